// The oscillator and LFO windows of both halves: activation, the steps and
// their range ends, the two switches, and which redisplays send a switch.
#include "MirageFixture.h"

#include "OscLfo.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace corvane::test {
namespace {

class OscLfoTest : public MirageFixture {
protected:
    TOscLfoEditor* lower = nullptr;
    TOscLfoEditor* upper = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        lower = qobject_cast<TOscLfoEditor*>(form().Window("TOscillator"));
        upper = qobject_cast<TOscLfoEditor*>(form().Window("TfmOscLFOU"));
        ASSERT_TRUE(lower && upper);
        seams().clear();
    }
    void open(TOscLfoEditor* w, int program = 0)
    {
        form().SetCurrentProgram(w->Half(), program);
        activate(w);
        seams().clear();
    }
    void set(TOscLfoEditor* w, int program, int offset, int value)
    {
        form().SetParam(w->Half(), programFieldPos(program, offset), value);
    }
    int stored(TOscLfoEditor* w, int offset) { return form().GetParam(w->Half(), programFieldPos(w->Program(), offset)); }
    FieldAccess field(TOscLfoEditor* w, int offset)
    {
        return {[=, this] { return stored(w, offset); }, [=, this](int v) { set(w, w->Program(), offset, v); }};
    }
    static std::string step(int parameter, bool up) { return "sent " + hex(parameterStepMessage(parameter, up)); }
};

TEST_F(OscLfoTest, BothHalvesWithTheirCaptionsNotesAndHints)
{
    struct Half {
        TOscLfoEditor* w;
        const char* caption;
        QSize size;
        const char* group;
        const char* menuItem;
        const char* firstButton;
        const char* programLabel;
    };
    for (const Half& h : {Half{lower, "Lower - Oscillator & LFO Settings", {474, 209}, "Lower Oscillator Setup",
                               "OscillatorLFO1", "L1", "Lower Program"},
                          Half{upper, "Upper - Oscillator & LFO Settings", {472, 213}, "Upper Oscillator Setup",
                               "OscillatorLfoU", "U1", "Upper Program"}}) {
        EXPECT_EQ(h.w->windowTitle(), h.caption);
        EXPECT_EQ(h.w->size(), h.size);
        EXPECT_EQ(h.w->gbOscillator->title(), h.group);
        EXPECT_TRUE(form().Action(h.menuItem)->isEnabled());
        EXPECT_EQ(h.w->SpeedButton1->text(), h.firstButton);
        EXPECT_EQ(h.w->lbProgram->text(), h.programLabel);
        EXPECT_EQ(h.w->cbMixModeSwitch->toolTip(), "unck = 1 osc, ck= 2 osc");
        EXPECT_EQ(h.w->edLFOdepth->toolTip(), "zero = mod wheel; >0 no mod wheel");
        EXPECT_EQ(h.w->lbMixVelNote->text(), "When zero, oscillator mix is by mod wheel only.");
        EXPECT_EQ(h.w->lbMixModeNote->text(),
                  "Note: with Mix Mode on, the second wavesample parameters: Relative Tuning, Relative Amplitude, "
                  "Relative Filter Freq. and Top Key are ignored.");
        EXPECT_EQ(h.w->udVmVm->Associate(), nullptr) << "the window writes the boxes itself";
    }
}

TEST_F(OscLfoTest, ActivationSetsTheHalfAndSelectsItsCurrentProgram)
{
    set(upper, 3, pgf::Mix, 100);
    set(upper, 3, pgf::LfoSpeed, 77);
    set(upper, 3, pgf::MonoMode, 0);
    set(upper, 3, pgf::MixModeSwitch, 0);
    upper->cbMonoMode->setChecked(false);
    upper->cbMixModeSwitch->setChecked(false);
    open(upper, 3);
    EXPECT_TRUE(upper->SpeedButton4->isChecked());
    EXPECT_EQ(form().StatusPanelText(0), "Current Kbd Half: Upper");
    EXPECT_EQ(mirage().currentHalf(), 1);
    EXPECT_EQ(mirage().currentProgram(1), 3);
    EXPECT_EQ(upper->edOscMixVm->text(), "25");
    EXPECT_EQ(upper->udOscMixVm->Position(), 25);
    EXPECT_EQ(upper->edLFOspeed->text(), "77");

    QTest::mouseClick(upper->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(mirage().currentProgram(1), 1);
    EXPECT_EQ(form().StatusPanelText(2), "Current Upper Program: 2");
    EXPECT_EQ(upper->edLFOspeed->text(), QString::number(mirage().half(1).programs[1].field(pgf::LfoSpeed)));

    seams().clear();
    QTest::mouseClick(upper->bnRefresh, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 13 7F", "wait 500", "beep"}));
    QTest::mouseClick(upper->bnOK, Qt::LeftButton);
    EXPECT_FALSE(upper->isVisible());
}

TEST_F(OscLfoTest, StepsAndRangeEnds)
{
    set(lower, 0, pgf::Mix, 250);
    open(lower);
    EXPECT_EQ(lower->edOscMixVm->text(), "62");
    clickUp(lower->udOscMixVm);
    EXPECT_EQ(stored(lower, pgf::Mix), 254);
    EXPECT_EQ(lower->edOscMixVm->text(), "63");
    clickUp(lower->udOscMixVm);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{step(34, true)});
    EXPECT_EQ(stored(lower, pgf::Mix), 254);

    struct End {
        TUpDown* ud;
        int offset, atMin, atMax;
    };
    for (const End& e : {End{lower->udLFOspeed, pgf::LfoSpeed, 0, 99}, End{lower->udLFOdepth, pgf::LfoDepth, 0, 99},
                         End{lower->udOscDetuneVm, pgf::Detune, 0, 99}, End{upper->udVmVm, pgf::MixVelocity, 0, 124}})
        expectRangeEnds(e.ud == upper->udVmVm ? upper : lower, e.ud,
                        field(e.ud == upper->udVmVm ? upper : lower, e.offset), e.atMin, e.atMax);

    set(lower, 0, pgf::MixVelocity, 6);
    open(lower);
    clickDown(lower->udVmVm);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{step(35, false)});
    EXPECT_EQ(stored(lower, pgf::MixVelocity), 2);
    EXPECT_EQ(lower->edOscVmVm->text(), "0");
}

TEST_F(OscLfoTest, TickingMixModeStoresAndSends)
{
    set(lower, 1, pgf::MixModeSwitch, 0);
    open(lower, 1);
    ASSERT_FALSE(lower->cbMixModeSwitch->isChecked());
    clickBox(lower->cbMixModeSwitch);
    EXPECT_EQ(form().LowerProgramDump[1060], 1);
    EXPECT_EQ(form().LowerProgramDump[1061], 0);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 02 08 0D 0E 7F"});
    seams().clear();
    clickBox(lower->cbMixModeSwitch);
    EXPECT_EQ(form().GetLowerParam(1060), 0);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 02 08 0D 0F 7F"});
}

TEST_F(OscLfoTest, ARedisplayThatChangesATickSendsItOnceButAnArrivedDumpSendsNothing)
{
    struct Case {
        const char* what;
        int stored;
        bool tickedBefore;
        bool tickedAfter;
        bool sends;
    };
    for (const Case& c : {Case{"ticks", 1, false, true, true}, Case{"unticks", 0, true, false, true},
                          Case{"already ticked", 1, true, true, false}, Case{"two leaves it", 2, false, false, false},
                          Case{"two leaves it ticked", 2, true, true, false},
                          Case{"high nibble set", 17, false, false, false}}) {
        set(lower, 2, pgf::MonoMode, c.stored);
        open(lower, 1);
        lower->cbMonoMode->setChecked(c.tickedBefore);
        QTest::mouseClick(lower->SpeedButton3, Qt::LeftButton);
        EXPECT_EQ(lower->cbMonoMode->isChecked(), c.tickedAfter) << c.what;
        int sent = 0;
        for (const Message& m : seams().sent())
            sent += m == parameterStepMessage(29, c.tickedAfter);
        EXPECT_EQ(sent, c.sends ? 1 : 0) << c.what;
        EXPECT_EQ(stored(lower, pgf::MonoMode), c.stored) << c.what;
    }

    // The dump arriving on a refresh is what the instrument holds: the
    // boxes follow it silently.
    open(lower, 0);
    const bool ticked = lower->cbMonoMode->isChecked();
    mirage().half(0).programs[0].setField(pgf::MonoMode, ticked ? 0 : 1);
    QTest::mouseClick(lower->bnRefresh, Qt::LeftButton);
    EXPECT_EQ(lower->cbMonoMode->isChecked(), !ticked);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
}

} // namespace
} // namespace corvane::test
