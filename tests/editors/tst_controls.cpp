// The shared controls: an up-down reports only moves, a switch box reports
// only real toggles, a value box paints its face and focus frame itself, a
// window opening is drawn once.
#include "MirageFixture.h"

#include "FormBase.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace corvane::test {
namespace {

TEST(UpDownTest, ReportsAClickOnlyWhenThePositionMoves)
{
    TUpDown ud;
    QLineEdit edit;
    ud.setAssociate(&edit);
    ud.setRange(1, 3);
    ud.setPosition(2);
    std::vector<bool> clicks;
    QObject::connect(&ud, &TUpDown::Click, [&](bool up) { clicks.push_back(up); });
    ud.show();

    QTest::mouseClick(ud.upButton(), Qt::LeftButton);
    EXPECT_EQ(ud.Position(), 3);
    EXPECT_EQ(edit.text(), "3");
    QTest::mouseClick(ud.upButton(), Qt::LeftButton); // at the top: no wrap, no click
    EXPECT_EQ(ud.Position(), 3);
    QTest::mouseClick(ud.downButton(), Qt::LeftButton);
    QTest::mouseClick(ud.downButton(), Qt::LeftButton);
    QTest::mouseClick(ud.downButton(), Qt::LeftButton); // at the bottom
    EXPECT_EQ(ud.Position(), 1);
    EXPECT_EQ(edit.text(), "1");
    EXPECT_EQ(clicks, (std::vector<bool>{true, false, false}));

    // Positions set by the program are clamped and report nothing.
    ud.setPosition(40);
    EXPECT_EQ(ud.Position(), 3);
    ud.setPosition(-5);
    EXPECT_EQ(ud.Position(), 1);
    EXPECT_EQ(clicks.size(), 3u);

    ud.setEnabled(false);
    EXPECT_FALSE(ud.press(true));
    EXPECT_EQ(ud.Position(), 1);
    EXPECT_EQ(clicks.size(), 3u);
}

TEST(SwitchBoxTest, ReportsRealTogglesWithTheStateBeforeAndAfter)
{
    TSwitchBox box("Omni Mode");
    box.resize(140, 21);
    box.show();
    std::vector<std::pair<bool, bool>> toggles;
    box.OnToggle = [&](bool before, bool after) { toggles.emplace_back(before, after); };
    const QPoint onIndicator(6, box.height() / 2);

    QTest::mouseClick(&box, Qt::LeftButton, {}, onIndicator);
    EXPECT_TRUE(box.isChecked());
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_FALSE(box.isChecked());
    ASSERT_EQ(toggles.size(), 2u);
    EXPECT_EQ(toggles[0], std::make_pair(false, true));
    EXPECT_EQ(toggles[1], std::make_pair(true, false));

    // A press released outside the box toggles nothing and reports nothing.
    QTest::mousePress(&box, Qt::LeftButton, {}, onIndicator);
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(box.width() + 30, box.height() + 30));
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(toggles.size(), 2u);

    // The program setting the state reports nothing either.
    box.setChecked(true);
    EXPECT_EQ(toggles.size(), 2u);
}

// The face: a one-pixel grey border round the fill, lime text; with the
// focus a two-pixel yellow frame, the text not moved; other colours on demand.
TEST(ValueBoxTest, PaintsItsFaceAndFocusFrameItself)
{
    QWidget host;
    auto* box = new TValueBox(&host, "127");
    box->setGeometry(4, 4, 40, 21);
    host.show();
    box->setFocusPolicy(Qt::StrongFocus);
    const QRect textArea(3, 2, 34, 17);
    auto rgb = [](const QImage& image, int x, int y) { return QColor(image.pixel(x, y)).name(); };

    const QImage plain = box->grab().toImage();
    EXPECT_EQ(rgb(plain, 0, 0), "#404040");
    EXPECT_EQ(rgb(plain, 39, 20), "#404040");
    EXPECT_EQ(rgb(plain, 1, 1), "#008000");
    bool lime = false;
    for (int y = textArea.top(); y <= textArea.bottom(); ++y)
        for (int x = textArea.left(); x <= textArea.right(); ++x)
            lime = lime || rgb(plain, x, y) == "#00ff00";
    EXPECT_TRUE(lime) << "no text painted";

    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    const QImage focused = box->grab().toImage();
    EXPECT_EQ(rgb(focused, 0, 0), "#ffff00");
    EXPECT_EQ(rgb(focused, 1, 1), "#ffff00");
    EXPECT_EQ(rgb(focused, 2, 2), "#008000");
    EXPECT_EQ(focused.copy(textArea), plain.copy(textArea));
    EXPECT_EQ(box->selectedText(), "");

    box->clearFocus();
    box->setColours(QColor(0x80, 0x80, 0x00), Qt::white);
    const QImage olive = box->grab().toImage();
    EXPECT_EQ(rgb(olive, 0, 0), "#404040");
    EXPECT_EQ(rgb(olive, 1, 1), "#808000");
}

TEST(FormBaseTest, AWindowOpeningIsDrawnOnce)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    TFormBase window;
    window.resize(200, 100);
    auto* box = new TValueBox(&window, "12");
    box->setGeometry(10, 10, 40, 21);
    box->installEventFilter(&counter);
    // From the event loop, as a menu item shows it.
    QMetaObject::invokeMethod(&window, [&window] { window.ShowAndActivate(); }, Qt::QueuedConnection);
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.isVisible(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&counter] { return counter.paints >= 1; }));
    QTest::qWait(50); // room for a second paint, were one coming
    EXPECT_EQ(counter.paints, 1);
}

} // namespace
} // namespace corvane::test
