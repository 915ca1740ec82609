// The shared controls: an up-down reports only moves, a switch box reports
// only real toggles.
#include "MirageFixture.h"

#include "SwitchBox.h"
#include "UpDown.h"

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

} // namespace
} // namespace corvane::test
