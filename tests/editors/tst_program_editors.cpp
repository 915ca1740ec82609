// The envelope/filter and oscillator/LFO windows of both halves: what
// activation selects and shows, what each step sends, stores and redraws,
// the graphs, the presets, and which redisplays send a switch.
#include "MirageFixture.h"

#include "EnvFilter.h"
#include "EnvelopeGraph.h"
#include "OscLfo.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace corvane::test {
namespace {

using Points = std::array<QPoint, 5>;

TEST(EnvelopeGraphTest, PointsFromValuesAndStepsAgree)
{
    EnvelopeGraph filter(60, 59, 49, 278, 114), amp(400, 399, 49, 618, 114);
    EXPECT_EQ(filter.points, (Points{QPoint(60, 112), {60, 112}, {60, 112}, {90, 112}, {90, 112}}));
    amp.setPoints(10, 31, 5, 20, 8);
    EXPECT_EQ(amp.points, (Points{QPoint(400, 112), {420, 50}, {430, 72}, {460, 72}, {476, 112}}));
    // One step of any value, either way, puts the points where the stepped
    // values put them.
    const std::array<int, 5> base = {10, 20, 5, 20, 8};
    for (int v = EnvelopeGraph::Attack; v <= EnvelopeGraph::Release; ++v)
        for (const int d : {+1, -1}) {
            std::array<int, 5> next = base;
            next[static_cast<std::size_t>(v)] += d;
            EnvelopeGraph stepped = filter, computed = filter;
            stepped.setPoints(base[0], base[1], base[2], base[3], base[4]);
            stepped.stepPoints(static_cast<EnvelopeGraph::Value>(v), d > 0);
            computed.setPoints(next[0], next[1], next[2], next[3], next[4]);
            EXPECT_EQ(stepped.points, computed.points) << "value " << v << " by " << d;
        }
}

class ProgramEditorsTest : public MirageFixture {
protected:
    TEnvFilterEditor* env[2] = {};
    TOscLfoEditor* osc[2] = {};

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        env[0] = qobject_cast<TEnvFilterEditor*>(form().Window("TEnvelopeForm"));
        env[1] = qobject_cast<TEnvFilterEditor*>(form().Window("TfmEnvFilterU"));
        osc[0] = qobject_cast<TOscLfoEditor*>(form().Window("TOscillator"));
        osc[1] = qobject_cast<TOscLfoEditor*>(form().Window("TfmOscLFOU"));
        ASSERT_TRUE(env[0] && env[1] && osc[0] && osc[1]);
    }
    // Shows a window on `program` of its half and forgets what came before.
    template <typename W>
    void open(W* w, int program = 0)
    {
        form().SetCurrentProgram(w->Half(), program);
        activate(w);
        seams().clear();
    }
    void set(int half, int program, int offset, int v) { form().SetParam(half, programFieldPos(program, offset), v); }
    int get(int half, int program, int offset) { return form().GetParam(half, programFieldPos(program, offset)); }
    static std::string step(int parameter, bool up) { return "sent " + hex(parameterStepMessage(parameter, up)); }
};

TEST_F(ProgramEditorsTest, FourWindowsWithTheirCaptionsAndHints)
{
    struct Row {
        TFormBase* w;
        const char* caption;
        QSize size;
        const char* menuItem;
        QToolButton* button1;
        const char* button1Text;
        QLabel* program;
        const char* programText;
    };
    for (const Row& r :
         {Row{env[0], "Lower - Envelope/Filter Settings", {650, 383}, "Envelope2", env[0]->SpeedButton1, "L1",
              env[0]->lbProgram, "Lower Program"},
          Row{env[1], "Upper - Envelope/Filter Settings", {651, 385}, "EnvelopeFilterU", env[1]->SpeedButton1, "U1",
              env[1]->lbProgram, "Upper Program"},
          Row{osc[0], "Lower - Oscillator & LFO Settings", {474, 209}, "OscillatorLFO1", osc[0]->SpeedButton1, "L1",
              osc[0]->lbProgram, "Lower Program"},
          Row{osc[1], "Upper - Oscillator & LFO Settings", {472, 213}, "OscillatorLfoU", osc[1]->SpeedButton1, "U1",
              osc[1]->lbProgram, "Upper Program"}}) {
        EXPECT_EQ(r.w->windowTitle(), r.caption);
        EXPECT_EQ(r.w->size(), r.size) << r.caption;
        EXPECT_TRUE(form().Action(r.menuItem)->isEnabled()) << r.menuItem;
        EXPECT_EQ(r.button1->text(), r.button1Text) << r.caption;
        EXPECT_EQ(r.program->text(), r.programText) << r.caption;
    }
    EXPECT_EQ(env[0]->edFTracking->toolTip(), "Lowers cutoff with lower keys. No effect at 0.");
    EXPECT_EQ(env[1]->edFTracking->toolTip(), "Lowers cutoff with lower keys");
    EXPECT_EQ(env[1]->edFilterCutoff->toolTip(), "0 = 50Hz,  99 = 15kHz");
    EXPECT_EQ(env[1]->cbEnvPresetNames->toolTip(), "Select or enter your own name");
    EXPECT_EQ(osc[1]->gbOscillator->title(), "Upper Oscillator Setup");
    EXPECT_EQ(osc[0]->cbMixModeSwitch->toolTip(), "unck = 1 osc, ck= 2 osc");
    EXPECT_EQ(osc[0]->edLFOdepth->toolTip(), "zero = mod wheel; >0 no mod wheel");
}

TEST_F(ProgramEditorsTest, ActivationSelectsTheHalfsCurrentProgramAndShowsIt)
{
    form().EnvPresets.names[4] = "Boom";
    set(1, 3, pgf::FilterModulation, 13);
    set(1, 3, pgf::AmpEnvelope + 2, 30);
    set(1, 3, pgf::Mix, 100);
    open(env[1], 3);
    EXPECT_TRUE(env[1]->SpeedButton4->isChecked());
    EXPECT_EQ(mirage().currentHalf(), 1);
    EXPECT_EQ(mirage().currentProgram(1), 3);
    EXPECT_EQ(env[1]->edFilterAv->text(), "3");
    EXPECT_EQ(env[1]->AmplitudeGraph().points[1].y(), 112 - 60);
    EXPECT_EQ(env[1]->cbEnvPresetNames->itemText(4), "Boom") << "the list is reloaded";

    mirage().setCurrentProgram(1, 0);
    form().SetCurrentHalf(0);
    open(osc[1], 3);
    EXPECT_EQ(form().StatusPanelText(0), "Current Kbd Half: Upper");
    EXPECT_TRUE(osc[1]->SpeedButton4->isChecked());
    EXPECT_EQ(mirage().currentProgram(1), 3);
    EXPECT_EQ(osc[1]->edOscMixVm->text(), "25");
}

TEST_F(ProgramEditorsTest, StepsSendStoreAndShowByTheFieldsScaling)
{
    struct Case {
        TFormBase* w;
        TUpDown* ud;
        QLineEdit* box;
        int program, offset, before;
        bool up;
        int parameter; // 0: nothing may be sent
        int after;
        const char *shownBefore, *shownAfter;
    };
    TEnvFilterEditor* e = env[0];
    TOscLfoEditor* o = osc[0];
    const Case cases[] = {
        {e, e->udFilterCutoff, e->edFilterCutoff, 2, pgf::FilterCutoff, 51, false, 36, 49, "25", "24"},
        {e, e->udFilterAv, e->edFilterAv, 0, pgf::FilterModulation, 6, true, 45, 10, "1", "2"},
        {e, e->udResonance, e->edResonance, 0, pgf::Resonance, 160, true, 0, 160, "40", "40"},
        {e, e->udFtracking, e->edFTracking, 1, pgf::KeyboardTracking, 0, false, 0, 0, "0", "0"},
        {e, e->udAmpEnvSustain, e->edAmpEnvSustain, 3, pgf::AmpEnvelope + 6, 31, false, 53, 30, "31", "30"},
        {o, o->udOscMixVm, o->edOscMixVm, 0, pgf::Mix, 250, true, 34, 254, "62", "63"},
        {o, o->udOscMixVm, o->edOscMixVm, 0, pgf::Mix, 254, true, 0, 254, "63", "63"},
        {o, o->udLFOspeed, o->edLFOspeed, 1, pgf::LfoSpeed, 99, true, 0, 99, "99", "99"},
        {o, o->udVmVm, o->edOscVmVm, 2, pgf::MixVelocity, 6, false, 35, 2, "1", "0"},
    };
    for (const Case& c : cases) {
        const std::string what = c.ud->objectName().toStdString() + " from " + std::to_string(c.before);
        set(0, c.program, c.offset, c.before);
        if (c.w == e)
            open(e, c.program);
        else
            open(o, c.program);
        EXPECT_EQ(c.box->text(), c.shownBefore) << what;
        c.up ? clickUp(c.ud) : clickDown(c.ud);
        EXPECT_EQ(seams().lines(),
                  c.parameter ? std::vector<std::string>{step(c.parameter, c.up)} : std::vector<std::string>{})
            << what;
        EXPECT_EQ(get(0, c.program, c.offset), c.after) << what;
        EXPECT_EQ(c.box->text(), c.shownAfter) << what;
    }
    // Program 2's cutoff lives at 1122 and 1123.
    EXPECT_EQ(form().LowerProgramDump[1122], 49 % 16);
    EXPECT_EQ(form().LowerProgramDump[1123], 49 / 16);
}

TEST_F(ProgramEditorsTest, EnvelopeStepsMoveTheirGraphAndAmplitudeModulationRedisplaysOnlyTheFilter)
{
    TEnvFilterEditor* w = env[0];
    set(0, 0, pgf::FilterEnvelope + 6, 20); // filter sustain
    open(w);
    const Points before = w->FilterGraph().points;
    clickUp(w->udFilterEnvSustain);
    EXPECT_EQ(w->FilterGraph().points[2], before[2] - QPoint(0, 2));
    EXPECT_EQ(w->FilterGraph().points[3], QPoint(before[3].x(), 70));

    // Values changed behind the window's back: an amplitude modulation step
    // redraws the filter graph from the dump, the amplitude section stays.
    const Points ampBefore = w->AmplitudeGraph().points;
    const QString ampAttack = w->edAmpEnvAttack->text();
    set(0, 0, pgf::FilterEnvelope, 25);
    set(0, 0, pgf::AmpEnvelope, get(0, 0, pgf::AmpEnvelope) + 1);
    clickUp(w->udAmpModAv);
    EXPECT_EQ(seams().lines().back(), step(55, true));
    EXPECT_EQ(w->FilterGraph().points[1].x(), 60 + 50);
    EXPECT_EQ(w->edFilterEnvAttack->text(), "25");
    EXPECT_EQ(w->AmplitudeGraph().points, ampBefore);
    EXPECT_EQ(w->edAmpEnvAttack->text(), ampAttack);
}

TEST_F(ProgramEditorsTest, RefreshProgramButtonsAndClosing)
{
    for (int half : {0, 1})
        for (TFormBase* w : {static_cast<TFormBase*>(env[half]), static_cast<TFormBase*>(osc[half])}) {
            activate(w);
            seams().clear();
            QTest::mouseClick(w->findChild<QPushButton*>("bnRefresh"), Qt::LeftButton);
            EXPECT_EQ(seams().lines(), (std::vector<std::string>{half ? "sent F0 0F 01 13 7F" : "sent F0 0F 01 03 7F",
                                                                  "wait 500", "beep"}));
        }
    open(env[0], 0);
    QTest::mouseClick(env[0]->SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(mirage().currentProgram(0), 2);
    EXPECT_EQ(form().StatusPanelText(1), "Current Lower Program: 3");
    EXPECT_EQ(env[0]->edFilterCutoff->text(), QString::number(get(0, 2, pgf::FilterCutoff) / 2));

    // The envelope window closes when another window becomes active; the
    // oscillator window stays.
    activate(env[1]);
    activate(&form());
    EXPECT_FALSE(env[1]->isVisible());
    activate(osc[1]);
    activate(&form());
    EXPECT_TRUE(osc[1]->isVisible());
    QTest::mouseClick(osc[1]->bnOK, Qt::LeftButton);
    EXPECT_FALSE(osc[1]->isVisible());
}

// --- presets ---------------------------------------------------------------------------

TEST_F(ProgramEditorsTest, RecallStepsEachValueByWholeStepsTowardThePreset)
{
    // From the defaults (every value 3) into a program whose cutoff is 7.
    EXPECT_EQ(env[0]->cbEnvPresetNames->itemText(9), "E Piano");
    for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
        set(0, 0, slot < 3 ? pgf::FilterCutoff + 2 * slot : 18 + 2 * slot, 3);
    set(0, 0, pgf::FilterCutoff, 7);
    open(env[0]);
    QTest::mouseClick(env[0]->bnEnvSet, Qt::LeftButton);
    EXPECT_EQ(seams().lines(),
              (std::vector<std::string>{step(36, false), "wait 30", step(36, false), "wait 30", "beep"}));
    EXPECT_EQ(get(0, 0, pgf::FilterCutoff), 3);

    // Resonance 10 toward 13 is less than a step; filter Av 4 toward 13 is two.
    set(0, 0, pgf::Resonance, 10);
    set(0, 0, pgf::FilterModulation, 4);
    form().EnvPresets.value(0, 1) = 13;
    form().EnvPresets.value(0, 8) = 13;
    open(env[0]);
    QTest::mouseClick(env[0]->bnEnvSet, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{step(45, true), "wait 30", step(45, true), "wait 30", "beep"}));
    EXPECT_EQ(get(0, 0, pgf::Resonance), 10);
    EXPECT_EQ(env[0]->edFilterAv->text(), "3");
}

TEST_F(ProgramEditorsTest, RecallMovesBoxesAndGraphsAsItRunsAndASecondClickStartsNothing)
{
    TEnvFilterEditor* w = env[1];
    open(w, 1);
    QTest::mouseClick(w->bnEnvStore, Qt::LeftButton);
    const int attack = get(1, 1, pgf::AmpEnvelope);
    const int steps = 31 - attack;
    ASSERT_GT(steps, 4);
    form().EnvPresets.value(0, 13) = 31;

    std::vector<std::pair<QString, int>> seen; // attack box, P1.x
    int paints = 0;
    struct PaintCounter : QObject {
        int& n;
        explicit PaintCounter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override { return (n += e->type() == QEvent::Paint), false; }
    } counter(paints);
    w->installEventFilter(&counter);
    for (int t = 45; t < 30 * steps; t += 60)
        seams().startTimer(t, [&] {
            seen.emplace_back(w->edAmpEnvAttack->text(), w->AmplitudeGraph().points[1].x());
            QTest::mouseClick(w->bnEnvSet, Qt::LeftButton);
            w->bnEnvSetClick();
        });
    QTest::mouseClick(w->bnEnvSet, Qt::LeftButton);

    EXPECT_EQ(static_cast<int>(seams().sent().size()), steps) << "one recall only";
    EXPECT_EQ(seams().beeps(), 1);
    EXPECT_EQ(get(1, 1, pgf::AmpEnvelope), 31);
    ASSERT_GE(seen.size(), 2u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        // 45 ms in, two steps have been taken; then one more every 30 ms.
        const int at = attack + 2 + 2 * static_cast<int>(i);
        EXPECT_EQ(seen[i], std::make_pair(QString::number(at), 400 + 2 * at)) << i;
    }
    EXPECT_GE(paints, steps) << "the graph is drawn at every step";
    EXPECT_TRUE(w->bnEnvSet->isEnabled());
}

TEST_F(ProgramEditorsTest, StoreTakesTheTypedNameAndTheProgramsValues)
{
    TEnvFilterEditor* w = env[0];
    set(0, 1, pgf::FilterCutoff, 151);
    set(0, 1, pgf::AmpModulation + 8, 124);
    QLineEdit* edit = w->cbEnvPresetNames->lineEdit();
    auto typeOverItem2 = [&](const char* text) {
        w->cbEnvPresetNames->setCurrentIndex(2);
        w->cbEnvPresetNamesClick(2);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    open(w, 1);
    typeOverItem2("Organ");
    EXPECT_EQ(w->cbEnvPresetNames->itemText(2), "Organ") << "the kept item, though another has that name";
    EXPECT_EQ(w->PresetIndex(), 2);
    open(w, 1);
    EXPECT_EQ(w->cbEnvPresetNames->itemText(2), "Mouse") << "a name not stored is gone at the next activation";

    typeOverItem2("Bass");
    QTest::mouseClick(w->bnEnvStore, Qt::LeftButton);
    EXPECT_EQ(form().EnvPresets.names[2], "Bass");
    EXPECT_EQ(form().EnvPresets.value(2, 0), 151);
    EXPECT_EQ(form().EnvPresets.value(2, 22), 124);
    EXPECT_EQ(form().EnvPresets.value(1, 0), 3) << "other entries untouched";
    EXPECT_TRUE(seams().sent().empty());
    edit->selectAll();
    QTest::keyClicks(edit, "Harpsichord1");
    EXPECT_EQ(edit->text(), "Harpsichor") << "at most ten characters";

    form().Exit1Click();
    QFile f(configDir() + "/EnvPresets.cv1");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().mid(22, 11), QByteArray("Bass\0AAAAA\0", 11));
}

// --- switches of the oscillator window ---------------------------------------------------

TEST_F(ProgramEditorsTest, TickingMixModeStoresAndSends)
{
    set(0, 1, pgf::MixModeSwitch, 0);
    open(osc[0], 1);
    clickBox(osc[0]->cbMixModeSwitch);
    EXPECT_EQ(form().LowerProgramDump[1060], 1);
    EXPECT_EQ(form().LowerProgramDump[1061], 0);
    clickBox(osc[0]->cbMixModeSwitch);
    EXPECT_EQ(form().LowerProgramDump[1060], 0);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 08 0D 0E 7F",
                                                          "sent F0 0F 01 01 0C 02 08 0D 0F 7F"}));
}

TEST_F(ProgramEditorsTest, ARedisplayThatChangesATickSendsItOnceButAnArrivedDumpSendsNothing)
{
    TOscLfoEditor* w = osc[0];
    struct Case {
        int stored;
        bool before, after, sends;
    };
    for (const Case& c : {Case{1, false, true, true}, Case{0, true, false, true}, Case{1, true, true, false},
                          Case{2, false, false, false}, Case{2, true, true, false}, Case{17, false, false, false}}) {
        set(0, 2, pgf::MonoMode, c.stored);
        open(w, 1);
        w->cbMonoMode->setChecked(c.before);
        QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);
        EXPECT_EQ(w->cbMonoMode->isChecked(), c.after) << c.stored << c.before;
        const auto sent = seams().sent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), parameterStepMessage(29, c.after)), c.sends ? 1 : 0)
            << c.stored << c.before;
        EXPECT_EQ(get(0, 2, pgf::MonoMode), c.stored);
    }
    // The dump arriving on a refresh is what the instrument holds: the box
    // follows it silently.
    open(w, 0);
    const bool ticked = w->cbMonoMode->isChecked();
    mirage().half(0).programs[0].setField(pgf::MonoMode, ticked ? 0 : 1);
    QTest::mouseClick(w->bnRefresh, Qt::LeftButton);
    EXPECT_EQ(w->cbMonoMode->isChecked(), !ticked);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 500", "beep"}));
}

} // namespace
} // namespace corvane::test
