// The sample rotate window: its six key sequences, the three states driven by
// the two-second timer on the virtual clock, and the rotation it makes the
// instrument carry out.
#include "MirageFixture.h"
#include "SampleRotate.h"

#include "Dumps.h"
#include "History.h"
#include "Image.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <set>

namespace corvane::test {
namespace {

class SampleRotateTest : public MirageFixture {
protected:
    TfmSampleRotate* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        win = qobject_cast<TfmSampleRotate*>(form().Window("TfmSampleRotate"));
        ASSERT_NE(win, nullptr);
        activate(win);
        seams().clear();
    }

    void click(const char* name)
    {
        auto* b = control<QPushButton>(win, name);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(b->isEnabled()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    bool stepButtonsEnabled(bool all)
    {
        int on = 0;
        for (const char* n : {"bnIncSampleShift", "bnDecSampleShift", "bnEnterKey"})
            on += control<QPushButton>(win, n)->isEnabled() ? 1 : 0;
        return all ? on == 3 : on > 0;
    }
    bool waitShown() { return !control<QLabel>(win, "Label2")->isHidden(); }

    void expectChooseDirection()
    {
        EXPECT_FALSE(stepButtonsEnabled(false));
        EXPECT_FALSE(waitShown());
    }
    void expectWaiting()
    {
        EXPECT_FALSE(stepButtonsEnabled(false));
        EXPECT_TRUE(waitShown());
    }
    void expectAdjust()
    {
        EXPECT_TRUE(stepButtonsEnabled(true));
        EXPECT_FALSE(waitShown());
    }
    void expectAlwaysEnabled()
    {
        for (const char* n : {"bnRotateSampleLeft", "bnRotateSampleRight", "bnAbort", "bnCancel"})
            EXPECT_TRUE(control<QPushButton>(win, n)->isEnabled()) << n;
    }
};

TEST_F(SampleRotateTest, WindowShowsTheThreeStepsAndStartsInChooseDirection)
{
    EXPECT_EQ(win->windowTitle(), "Wavesample Rotate");
    EXPECT_EQ(win->GroupBox1->title(), "Step 1 Choose shift direction");
    EXPECT_EQ(win->GroupBox2->title(), "Step 2 Set number of samples to shift");
    EXPECT_EQ(win->GroupBox3->title(), "Step 3 Shift wavsample");
    EXPECT_EQ(win->Label3->text(), "Use these buttons to change the value. Look at the Mirage's LED "
                                   "display for current value. Values are in Hex ");
    EXPECT_EQ(win->Label1->text(), "Tell the Mirage to abort this command");
    EXPECT_EQ(win->Label2->text(), "Wait for the Mirage");
    EXPECT_EQ(win->bnCancel->text(), "Close");
    EXPECT_FALSE(win->pkRL->pixmap().isNull());
    EXPECT_FALSE(win->pkRR->pixmap().isNull());
    expectChooseDirection();
    expectAlwaysEnabled();
    EXPECT_TRUE(seams().lines().empty()) << "activation sends nothing";
}

TEST_F(SampleRotateTest, EachButtonSendsItsOwnKeySequenceAndNothingElse)
{
    const std::vector<std::pair<const char*, std::string>> table = {
        {"bnRotateSampleLeft", "sent F0 0F 01 01 01 09 7F"},
        {"bnIncSampleShift", "sent F0 0F 01 01 0E 7F"},
        {"bnDecSampleShift", "sent F0 0F 01 01 0F 7F"},
        {"bnEnterKey", "sent F0 0F 01 01 0A 7F"},
        {"bnAbort", "sent F0 0F 01 01 0B 7F"},
        {"bnRotateSampleRight", "sent F0 0F 01 01 02 00 7F"},
    };
    std::set<std::string> seen;
    for (const auto& [name, expected] : table) {
        seams().advance(TfmSampleRotate::TimerInterval); // into the adjust state
        seams().clear();
        click(name);
        EXPECT_EQ(seams().lines(), std::vector<std::string>{expected}) << name;
        seen.insert(expected);
    }
    EXPECT_EQ(seen.size(), table.size());
}

TEST_F(SampleRotateTest, TimerMovesWaitingToAdjustAfterTwoSeconds)
{
    click("bnRotateSampleLeft");
    expectWaiting();
    expectAlwaysEnabled();
    seams().advance(1999);
    expectWaiting();
    seams().advance(1);
    expectAdjust();
    // later firings of the running timer change nothing
    seams().advance(6000);
    expectAdjust();
    EXPECT_EQ(seams().sent().size(), 1u) << "the timer sends nothing";
}

TEST_F(SampleRotateTest, DoItAndAbortLeaveTheStepButtonsEnabled)
{
    click("bnRotateSampleRight");
    seams().advance(2000);
    expectAdjust();
    click("bnIncSampleShift");
    click("bnEnterKey");
    expectAdjust();
    click("bnAbort");
    expectAdjust();
    click("bnDecSampleShift");
    expectAdjust();
}

TEST_F(SampleRotateTest, ActivationAlwaysReturnsToChooseDirection)
{
    // from the adjust state
    click("bnRotateSampleLeft");
    seams().advance(2000);
    expectAdjust();
    win->Activate();
    expectChooseDirection();

    // from the waiting state: the pending timer is stopped as well
    click("bnRotateSampleRight");
    expectWaiting();
    seams().advance(500);
    win->Activate();
    expectChooseDirection();
    EXPECT_FALSE(win->TimerRunning());
    seams().advance(10000);
    expectChooseDirection();
}

TEST_F(SampleRotateTest, ChoosingADirectionAgainWaitsTheFullTimeAgain)
{
    click("bnRotateSampleLeft");
    seams().advance(2000);
    expectAdjust();
    seams().advance(1500); // the running timer is 500 ms from its next firing
    click("bnRotateSampleRight");
    expectWaiting();
    seams().advance(1999);
    expectWaiting();
    seams().advance(1);
    expectAdjust();
}

TEST_F(SampleRotateTest, TheTimerStopsOnceInAdjustAndWhenTheWindowCloses)
{
    click("bnRotateSampleLeft");
    seams().advance(2000);
    expectAdjust();
    EXPECT_FALSE(win->TimerRunning()) << "no firing every 2 s for the rest of the run";
    click("bnRotateSampleLeft");
    click("bnCancel");
    EXPECT_FALSE(win->isVisible());
    EXPECT_FALSE(win->TimerRunning());
}

TEST_F(SampleRotateTest, AWindowDestroyedWithAPendingTimerIsNotCalled)
{
    click("bnRotateSampleLeft");
    ASSERT_TRUE(win->TimerRunning());
    stop(); // destroys every window while Timer1 is pending
    seams().advance(5000);
    SUCCEED() << "no call into a destroyed window";
}

// ---- against the emulator --------------------------------------------------

class SampleRotateOnMirage : public SampleRotateTest {
protected:
    // The sample bytes of wavesample `index` (0-15), start page to end page.
    std::vector<std::uint8_t> samples(int index)
    {
        const auto& hf = mirage().half(index / 8);
        const auto& ws = hf.wavesamples[static_cast<std::size_t>(index % 8)];
        const int start = ws.field(wsf::StartPage), end = ws.field(wsf::EndPage);
        return {hf.memory.begin() + start * emu::PageSize, hf.memory.begin() + (end + 1) * emu::PageSize};
    }
    void press(const char* name, int times)
    {
        for (int i = 0; i < times; ++i)
            click(name);
    }
};

TEST_F(SampleRotateOnMirage, RotateRightShiftsTheCurrentWavesampleByTheChosenAmount)
{
    form().SelectWavesample(10); // U3
    const auto before = samples(10);
    const auto otherBefore = samples(2);
    ASSERT_GT(before.size(), 8u);
    ASSERT_NE(before.front(), before[3]) << "the factory wave must not be flat here";

    click("bnRotateSampleRight");
    seams().advance(2000);
    press("bnIncSampleShift", 4);
    press("bnDecSampleShift", 1);
    click("bnEnterKey");

    const auto after = samples(10);
    ASSERT_EQ(after.size(), before.size());
    const std::size_t n = before.size();
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(after[(i + 3) % n], before[i]) << "sample " << i;
    EXPECT_EQ(samples(2), otherBefore) << "the other half is untouched";
}

TEST_F(SampleRotateOnMirage, RotateLeftMovesSamplesTowardsTheStart)
{
    form().SelectWavesample(1); // L2
    const auto before = samples(1);
    click("bnRotateSampleLeft");
    seams().advance(2000);
    press("bnIncSampleShift", 2);
    click("bnEnterKey");
    const auto after = samples(1);
    const std::size_t n = before.size();
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(after[i], before[(i + 2) % n]) << "sample " << i;
}

TEST_F(SampleRotateOnMirage, AbortLeavesTheSampleAsItWas)
{
    form().SelectWavesample(0);
    const auto before = samples(0);
    click("bnRotateSampleLeft");
    seams().advance(2000);
    press("bnIncSampleShift", 5);
    click("bnAbort");
    click("bnEnterKey");
    EXPECT_EQ(samples(0), before);
    EXPECT_EQ(mirage().counters().rotations, 0);
}

// Do It is one edit of the history, undone by rotating the same wavesample
// back, whatever is selected by then; new sample data ends that.
TEST_F(SampleRotateOnMirage, DoItIsUndoneByRotatingTheSameWavesampleBack)
{
    EditHistory& h = form().History();
    form().SelectWavesample(10); // U3
    const auto before = samples(10);
    click("bnRotateSampleRight");
    seams().advance(2000);
    press("bnIncSampleShift", 4);
    press("bnDecSampleShift", 1);
    click("bnEnterKey");
    const auto once = samples(10);
    click("bnEnterKey"); // the instrument rotates again
    const auto after = samples(10);
    ASSERT_NE(after, once);
    EXPECT_EQ(h.UndoText(), "Undo Rotate U3 Right 03 (Hex)");
    ASSERT_EQ(h.UndoList().size(), 2u);

    click("bnRotateSampleLeft");
    seams().advance(2000);
    press("bnIncSampleShift", 2);
    click("bnAbort");
    EXPECT_EQ(h.UndoList().size(), 2u) << "an aborted rotate is no edit";

    form().SelectWavesample(1); // L2
    form().UndoClick();
    EXPECT_EQ(samples(10), once);
    form().UndoClick();
    EXPECT_EQ(samples(10), before);
    EXPECT_EQ(mirage().currentHalf(), 0);
    EXPECT_EQ(mirage().currentWavesample(), 1) << "the selection is put back";
    form().RedoClick();
    EXPECT_EQ(samples(10), once);
    EXPECT_EQ(h.UndoText(), "Undo Rotate U3 Right 03 (Hex)");

    form().N21Click(); // a sound loaded from disk
    EXPECT_EQ(h.UndoList().size(), 0u);
    h.RotationsUndoable = false;
    click("bnRotateSampleLeft");
    seams().advance(2000);
    click("bnIncSampleShift");
    click("bnEnterKey");
    EXPECT_EQ(h.UndoList().size(), 0u) << "kept out of the history by the setting";
}

} // namespace
} // namespace corvane::test
