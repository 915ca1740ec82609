// The wavesample copy window: its sixteen destination messages, the question
// it asks the instrument on activation, and the copy the instrument makes.
#include "MasosCopy.h"
#include "MirageFixture.h"

#include "Dumps.h"

#include <QGroupBox>
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <set>

namespace corvane::test {
namespace {

class MasosCopyTest : public MirageFixture {
protected:
    TfmMasosCopy* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        win = qobject_cast<TfmMasosCopy*>(form().Window("TfmMasosCopy"));
        ASSERT_NE(win, nullptr);
    }

    void click(const QString& name)
    {
        auto* b = win->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // The 48 positions of one wavesample's fields in a program dump.
    static std::vector<std::uint8_t> wsBlock(const std::uint8_t* dump, int w)
    {
        const int from = wavesampleFieldPos(w, 0);
        return {dump + from, dump + from + 48};
    }
    std::vector<std::uint8_t> lowerWs(int w) { return wsBlock(form().LowerProgramDump, w); }
    std::vector<std::uint8_t> upperWs(int w) { return wsBlock(form().UpperProgramDump, w); }
};

TEST_F(MasosCopyTest, EveryDestinationSendsItsOwnTenByteMessage)
{
    activate(win);
    std::set<std::string> seen;
    for (int half = 0; half < 2; ++half) {
        for (int k = 1; k <= 8; ++k) {
            const QString name = QStringLiteral("%1%2").arg(half ? "bnU" : "bnL").arg(k);
            char expected[64];
            std::snprintf(expected, sizeof expected, "sent F0 0F 01 01 0C 01 %02X %02X 0A 7F",
                          half ? 0x08 : 0x07, k);
            seams().clear();
            click(name);
            EXPECT_EQ(seams().lines(), std::vector<std::string>{expected}) << name.toStdString();
            EXPECT_EQ(win->findChild<QPushButton*>(name)->text(), QString::number(k));
            seen.insert(expected);
        }
    }
    EXPECT_EQ(seen.size(), 16u);
    // the two examples as written out for the instrument
    EXPECT_TRUE(seen.count("sent F0 0F 01 01 0C 01 08 08 0A 7F"));
    EXPECT_TRUE(seen.count("sent F0 0F 01 01 0C 01 07 05 0A 7F"));
    EXPECT_TRUE(win->isVisible());
}

TEST_F(MasosCopyTest, NamedButtonMembersAreTheDestinationButtonsOfTheirGroup)
{
    const std::vector<QPushButton*> upper = {win->bnU1, win->bnU2, win->bnU3, win->bnU4,
                                             win->bnU5, win->bnU6, win->bnU7, win->bnU8};
    const std::vector<QPushButton*> lower = {win->bnL1, win->bnL2, win->bnL3, win->bnL4,
                                             win->bnL5, win->bnL6, win->bnL7, win->bnL8};
    for (int k = 1; k <= 8; ++k) {
        QPushButton* u = upper[static_cast<std::size_t>(k - 1)];
        QPushButton* l = lower[static_cast<std::size_t>(k - 1)];
        ASSERT_NE(u, nullptr);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(u->objectName(), QStringLiteral("bnU%1").arg(k));
        EXPECT_EQ(l->objectName(), QStringLiteral("bnL%1").arg(k));
        EXPECT_EQ(u->parent(), win->GroupBox1);
        EXPECT_EQ(l->parent(), win->GroupBox2);
    }
    activate(win);
    seams().clear();
    QTest::mouseClick(win->bnU3, Qt::LeftButton);
    QTest::mouseClick(win->bnL7, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 01 08 03 0A 7F",
                                                         "sent F0 0F 01 01 0C 01 07 07 0A 7F"}));
}

TEST_F(MasosCopyTest, ActivationAsksTheMirageAndShowsItsWavesample)
{
    EXPECT_EQ(win->windowTitle(), "Copy Wavesample To...");
    EXPECT_EQ(win->Label1->text(), "Current Wavesample:");
    EXPECT_EQ(win->GroupBox1->title(), "Destination Upper");
    EXPECT_EQ(win->GroupBox2->title(), "Destination Lower");
    EXPECT_EQ(win->size(), QSize(204, 325));

    mirage().setCurrentHalf(1);
    mirage().setCurrentWavesample(5);
    // opened from the menu, as the user does
    seams().clear();
    form().Action("WavesampleCopy1")->trigger();
    RecordingSeams::deliver();
    if (seams().lines().empty())
        win->Activate(); // a platform that does not activate windows by itself
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
    EXPECT_EQ(win->Label2->text(), "6");
    EXPECT_EQ(form().GetCurrentHalf(), 1) << "the reply carries the half too";

    // asked again at every activation
    mirage().setCurrentHalf(0);
    mirage().setCurrentWavesample(0);
    seams().clear();
    win->Activate();
    EXPECT_EQ(seams().waits(), std::vector<int>{100});
    EXPECT_EQ(win->Label2->text(), "1");
}

TEST_F(MasosCopyTest, OkOnlyCloses)
{
    activate(win);
    seams().clear();
    click("bnOK");
    EXPECT_FALSE(win->isVisible());
    EXPECT_TRUE(seams().lines().empty());
}

TEST_F(MasosCopyTest, CopyDuplicatesTheWavesampleParameters)
{
    form().SelectWavesample(2); // L3
    fetchDumps();
    const auto source = lowerWs(2);
    const std::vector<std::uint8_t> lowerBefore(form().LowerProgramDump,
                                                form().LowerProgramDump + ProgramDumpSize);
    ASSERT_NE(upperWs(5), source) << "destination must differ before the copy";
    ASSERT_NE(lowerWs(7), source);

    activate(win);
    EXPECT_EQ(win->Label2->text(), "3");
    click("bnU6");
    click("bnL8");
    fetchDumps();

    EXPECT_EQ(upperWs(5), source);
    EXPECT_EQ(lowerWs(7), source);
    EXPECT_EQ(form().GetUpperParam(wavesampleFieldPos(5, wsf::RelAmplitude)),
              form().GetLowerParam(wavesampleFieldPos(2, wsf::RelAmplitude)));
    for (int w = 0; w < 7; ++w)
        EXPECT_EQ(lowerWs(w), wsBlock(lowerBefore.data(), w)) << "lower wavesample " << w + 1;
}

} // namespace
} // namespace corvane::test
