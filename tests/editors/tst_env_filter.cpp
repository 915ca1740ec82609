// The envelope and filter windows of both halves: what activation selects
// and shows, what each step sends, stores and redraws, the graphs, the
// refresh, and the presets (list, Store, Recall).
#include "MirageFixture.h"

#include "EnvFilter.h"
#include "EnvelopeGraph.h"
#include "Image.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
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
    EnvelopeGraph filter(60, 59, 49, 278, 114);
    filter.setPoints(0, 0, 0, 0, 0);
    EXPECT_EQ(filter.points, (Points{QPoint(60, 112), {60, 112}, {60, 112}, {90, 112}, {90, 112}}));
    EXPECT_EQ(filter.frame, QRect(59, 49, 219, 65));

    EnvelopeGraph amp(400, 399, 49, 618, 114);
    amp.setPoints(10, 31, 5, 20, 8);
    EXPECT_EQ(amp.points, (Points{QPoint(400, 112), {420, 50}, {430, 72}, {460, 72}, {476, 112}}));

    // One step of each value moves the points to where the stepped values
    // put them, in both directions.
    const std::array<int, 5> base = {10, 20, 5, 20, 8};
    for (int v = EnvelopeGraph::Attack; v <= EnvelopeGraph::Release; ++v)
        for (const int d : {+1, -1}) {
            std::array<int, 5> next = base;
            next[static_cast<std::size_t>(v)] += d;
            EnvelopeGraph stepped(60, 59, 49, 278, 114), computed(60, 59, 49, 278, 114);
            stepped.setPoints(base[0], base[1], base[2], base[3], base[4]);
            stepped.stepPoints(static_cast<EnvelopeGraph::Value>(v), d > 0);
            computed.setPoints(next[0], next[1], next[2], next[3], next[4]);
            EXPECT_EQ(stepped.points, computed.points) << "value " << v << " step " << d;
        }
}

class EnvFilterTest : public MirageFixture {
protected:
    TEnvFilterEditor* lower = nullptr;
    TEnvFilterEditor* upper = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps();
        lower = qobject_cast<TEnvFilterEditor*>(form().Window("TEnvelopeForm"));
        upper = qobject_cast<TEnvFilterEditor*>(form().Window("TfmEnvFilterU"));
        ASSERT_TRUE(lower && upper);
        seams().clear();
    }

    // Shows `w` on `program` of its half and forgets what came before.
    void open(TEnvFilterEditor* w, int program = 0)
    {
        form().SetCurrentProgram(w->Half(), program);
        activate(w);
        seams().clear();
    }
    void set(TEnvFilterEditor* w, int offset, int value, int program = -1)
    {
        form().SetParam(w->Half(), programFieldPos(program < 0 ? w->Program() : program, offset), value);
    }
    int stored(TEnvFilterEditor* w, int offset) { return form().GetParam(w->Half(), programFieldPos(w->Program(), offset)); }
    static std::string step(int parameter, bool up) { return "sent " + hex(parameterStepMessage(parameter, up)); }
};

TEST_F(EnvFilterTest, BothHalvesWithTheirCaptionsControlsAndHints)
{
    struct Half {
        TEnvFilterEditor* w;
        const char* caption;
        QSize size;
        const char* menuItem;
        const char* block;
        const char* firstButton;
        const char* programLabel;
        const char* trackingHint;
    };
    for (const Half& h : {Half{lower, "Lower - Envelope/Filter Settings", {650, 383}, "Envelope2", "imEnvL", "L1",
                               "Lower Program", "Lowers cutoff with lower keys. No effect at 0."},
                          Half{upper, "Upper - Envelope/Filter Settings", {651, 385}, "EnvelopeFilterU", "imEnvU",
                               "U1", "Upper Program", "Lowers cutoff with lower keys"}}) {
        EXPECT_EQ(h.w->windowTitle(), h.caption);
        EXPECT_EQ(h.w->size(), h.size);
        EXPECT_TRUE(form().Action(h.menuItem)->isEnabled()) << h.menuItem;
        EXPECT_TRUE(form().findChild<TImage*>(h.block)->isEnabled()) << h.block;
        EXPECT_EQ(h.w->SpeedButton1->text(), h.firstButton);
        EXPECT_EQ(h.w->lbProgram->text(), h.programLabel);
        EXPECT_EQ(h.w->edFTracking->toolTip(), h.trackingHint);
        EXPECT_EQ(h.w->edFilterCutoff->toolTip(), "0 = 50Hz,  99 = 15kHz");
        EXPECT_EQ(h.w->edFilterRv->toolTip(), "Increasing will shorten release on key up.");
        EXPECT_EQ(h.w->cbEnvPresetNames->toolTip(), "Select or enter your own name");
        EXPECT_EQ(h.w->bnEnvSet->toolTip(), "Send selected preset to Mirage");
        EXPECT_EQ(h.w->bnEnvStore->toolTip(), "Press to store current parameters");
        for (const char* name : {"edFilterCutoff", "udFilterCutoff", "edResonance", "udResonance", "edFTracking",
                                 "udFtracking", "edFilterEnvSustain", "udFilterEnvSustain", "edFilterSv", "udFilterSv",
                                 "edAmpEnvRelease", "udAmpEnvRelease", "edAmpModDk", "udAmpModDk", "SpeedButton4",
                                 "bnEnvStore", "cbEnvPresetNames", "bnEnvSet", "bnRefresh", "bnOK"})
            EXPECT_NE(h.w->findChild<QWidget*>(name), nullptr) << name;
    }
    // Each box follows its up-down.
    EXPECT_EQ(lower->udAmpModRv->Associate(), lower->edAmpModRv);
}

TEST_F(EnvFilterTest, ActivationSelectsTheHalfsCurrentProgramAndShowsIt)
{
    form().EnvPresets.names[4] = "Boom";
    set(upper, pgf::FilterCutoff, 81, 3);
    set(upper, pgf::FilterModulation, 13, 3);
    set(upper, pgf::AmpEnvelope + 2, 30, 3);
    open(upper, 3);
    EXPECT_TRUE(upper->SpeedButton4->isChecked());
    EXPECT_EQ(mirage().currentHalf(), 1);
    EXPECT_EQ(mirage().currentProgram(1), 3);
    EXPECT_EQ(upper->edFilterCutoff->text(), "40");
    EXPECT_EQ(upper->udFilterCutoff->Position(), 40);
    EXPECT_EQ(upper->edFilterAv->text(), "3");
    EXPECT_EQ(upper->edAmpEnvPeak->text(), "30");
    EXPECT_EQ(upper->AmplitudeGraph().points[1].y(), 112 - 60);
    EXPECT_EQ(upper->cbEnvPresetNames->itemText(4), "Boom") << "the list is reloaded";
}

TEST_F(EnvFilterTest, StepsSendStoreAndShowByTheFieldsScaling)
{
    struct Case {
        const char* what;
        TUpDown* TEnvFilterEditor::*ud;
        TValueBox* TEnvFilterEditor::*box;
        int program, offset, before;
        const char* shownBefore;
        bool up;
        int parameter; // 0: nothing may be sent
        int after;
        const char* shownAfter;
    };
    using W = TEnvFilterEditor;
    const Case cases[] = {
        {"cutoff of program 2", &W::udFilterCutoff, &W::edFilterCutoff, 2, pgf::FilterCutoff, 51, "25", false, 36,
         49, "24"},
        {"filter Av", &W::udFilterAv, &W::edFilterAv, 0, pgf::FilterModulation, 6, "1", true, 45, 10, "2"},
        {"resonance at the top", &W::udResonance, &W::edResonance, 0, pgf::Resonance, 160, "40", true, 0, 160, "40"},
        {"tracking at the bottom", &W::udFtracking, &W::edFTracking, 1, pgf::KeyboardTracking, 0, "0", false, 0, 0,
         "0"},
        {"amplitude sustain", &W::udAmpEnvSustain, &W::edAmpEnvSustain, 3, pgf::AmpEnvelope + 6, 31, "31", false, 53,
         30, "30"},
    };
    for (const Case& c : cases) {
        set(lower, c.offset, c.before, c.program);
        open(lower, c.program);
        EXPECT_EQ((lower->*c.box)->text(), c.shownBefore) << c.what;
        if (c.up)
            clickUp(lower->*c.ud);
        else
            clickDown(lower->*c.ud);
        EXPECT_EQ(seams().lines(), c.parameter ? std::vector<std::string>{step(c.parameter, c.up)}
                                               : std::vector<std::string>{})
            << c.what;
        EXPECT_EQ(stored(lower, c.offset), c.after) << c.what;
        EXPECT_EQ((lower->*c.box)->text(), c.shownAfter) << c.what;
    }
    // Program 2's cutoff lives at 1122 and 1123.
    EXPECT_EQ(form().LowerProgramDump[1122], 49 % 16);
    EXPECT_EQ(form().LowerProgramDump[1123], 49 / 16);
}

TEST_F(EnvFilterTest, EnvelopeStepsMoveTheirGraphAndModulationStepsRedisplayTheFilterSection)
{
    set(lower, pgf::FilterEnvelope + 6, 20); // filter sustain
    open(lower);
    const Points filterBefore = lower->FilterGraph().points;
    clickUp(lower->udFilterEnvSustain);
    for (int i : {2, 3}) {
        EXPECT_EQ(lower->FilterGraph().points[i], filterBefore[i] - QPoint(0, 2)) << i;
        EXPECT_EQ(lower->FilterGraph().points[i].y(), 70);
    }

    // Values changed behind the window: the amplitude modulation step
    // redraws the filter graph from the dump and leaves the amplitude
    // section as it stands.
    const Points ampBefore = lower->AmplitudeGraph().points;
    const QString ampAttackBox = lower->edAmpEnvAttack->text();
    set(lower, pgf::FilterEnvelope, 25);
    set(lower, pgf::AmpEnvelope, stored(lower, pgf::AmpEnvelope) == 9 ? 8 : 9);
    set(lower, pgf::AmpModulation, 0);
    clickUp(lower->udAmpModAv);
    EXPECT_EQ(seams().lines().back(), step(55, true));
    EXPECT_EQ(lower->edAmpModAv->text(), "1");
    EXPECT_EQ(lower->FilterGraph().points[1].x(), 60 + 50);
    EXPECT_EQ(lower->edFilterEnvAttack->text(), "25");
    EXPECT_EQ(lower->AmplitudeGraph().points, ampBefore);
    EXPECT_EQ(lower->edAmpEnvAttack->text(), ampAttackBox);
}

TEST_F(EnvFilterTest, RefreshProgramButtonsAndClosing)
{
    for (TEnvFilterEditor* w : {lower, upper}) {
        open(w);
        const int fresh = mirage().half(w->Half()).programs[0].field(pgf::Resonance);
        set(w, pgf::Resonance, fresh + 4);
        QTest::mouseClick(w->bnRefresh, Qt::LeftButton);
        EXPECT_EQ(seams().lines(),
                  (std::vector<std::string>{w->Half() ? "sent F0 0F 01 13 7F" : "sent F0 0F 01 03 7F", "wait 500",
                                            "beep"}));
        EXPECT_EQ(w->edResonance->text(), QString::number(fresh / 4));
    }

    open(lower, 0);
    QTest::mouseClick(lower->SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(lower->Program(), 2);
    EXPECT_EQ(mirage().currentProgram(0), 2);
    EXPECT_EQ(form().StatusPanelText(1), "Current Lower Program: 3");
    EXPECT_EQ(lower->edFilterCutoff->text(),
              QString::number(mirage().half(0).programs[2].field(pgf::FilterCutoff) / 2));

    QTest::mouseClick(lower->bnOK, Qt::LeftButton);
    EXPECT_FALSE(lower->isVisible());
    activate(upper);
    activate(&form());
    EXPECT_FALSE(upper->isVisible()) << "another window became active";
}

// --- presets -------------------------------------------------------------------------

TEST_F(EnvFilterTest, RecallStepsEachValueByWholeStepsTowardThePreset)
{
    const QStringList defaults = {"Rhubarb", "Custard", "Mouse",  "Binary", "Kaboom",
                                  "Plix",    "Cosmo",   "Piano", "Organ",  "E Piano"};
    open(lower);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(lower->cbEnvPresetNames->itemText(i), defaults[i]);

    // From the defaults (every value 3) into a program whose cutoff is 7.
    for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
        set(lower, slot < 3 ? pgf::FilterCutoff + 2 * slot : 18 + 2 * slot, 3);
    set(lower, pgf::FilterCutoff, 7);
    open(lower);
    QTest::mouseClick(lower->bnEnvSet, Qt::LeftButton);
    EXPECT_EQ(seams().lines(),
              (std::vector<std::string>{step(36, false), "wait 30", step(36, false), "wait 30", "beep"}));
    EXPECT_EQ(stored(lower, pgf::FilterCutoff), 3);

    // Resonance 10 toward 13 is less than a step; filter Av 4 toward 13 is two.
    set(lower, pgf::Resonance, 10);
    set(lower, pgf::FilterModulation, 4);
    form().EnvPresets.value(0, 1) = 13;
    form().EnvPresets.value(0, 8) = 13;
    open(lower);
    QTest::mouseClick(lower->bnEnvSet, Qt::LeftButton);
    EXPECT_EQ(seams().lines(),
              (std::vector<std::string>{step(45, true), "wait 30", step(45, true), "wait 30", "beep"}));
    EXPECT_EQ(stored(lower, pgf::Resonance), 10);
    EXPECT_EQ(stored(lower, pgf::FilterModulation), 12);
    EXPECT_EQ(lower->edFilterAv->text(), "3");
}

TEST_F(EnvFilterTest, RecallMovesBoxesAndGraphsAsItRunsAndASecondClickStartsNothing)
{
    open(upper, 1);
    QTest::mouseClick(upper->bnEnvStore, Qt::LeftButton);
    const int attack = stored(upper, pgf::AmpEnvelope);
    const int steps = 31 - attack;
    ASSERT_GT(steps, 4);
    form().EnvPresets.value(0, 13) = 31;

    struct Seen {
        QString box;
        int x;
    };
    std::vector<Seen> seen;
    int paints = 0;
    struct PaintCounter : QObject {
        int& n;
        explicit PaintCounter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    upper->installEventFilter(&counter);
    for (int t = 45; t < 30 * steps; t += 60)
        seams().startTimer(t, [&] {
            seen.push_back({upper->edAmpEnvAttack->text(), upper->AmplitudeGraph().points[1].x()});
            QTest::mouseClick(upper->bnEnvSet, Qt::LeftButton);
            upper->bnEnvSetClick();
        });
    QTest::mouseClick(upper->bnEnvSet, Qt::LeftButton);

    EXPECT_EQ(static_cast<int>(seams().sent().size()), steps) << "one recall only";
    EXPECT_EQ(seams().beeps(), 1);
    EXPECT_EQ(stored(upper, pgf::AmpEnvelope), 31);
    ASSERT_GE(seen.size(), 2u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        // 45 ms in, two steps have been taken; then one more every 30 ms.
        const int at = attack + 2 + 2 * static_cast<int>(i);
        EXPECT_EQ(seen[i].box, QString::number(at)) << i;
        EXPECT_EQ(seen[i].x, 400 + 2 * at) << i;
    }
    EXPECT_GE(paints, steps) << "the graph is drawn at every step";
    EXPECT_TRUE(upper->bnEnvSet->isEnabled());
    EXPECT_FALSE(upper->Recalling());
}

TEST_F(EnvFilterTest, StoreTakesTheTypedNameAndTheProgramsValues)
{
    set(lower, pgf::FilterCutoff, 151, 1);
    set(lower, pgf::AmpModulation + 8, 124, 1);
    open(lower, 1);
    lower->cbEnvPresetNames->setCurrentIndex(2);
    lower->cbEnvPresetNamesClick(2);
    QLineEdit* edit = lower->cbEnvPresetNames->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "Bass");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(lower->cbEnvPresetNames->itemText(2), "Bass");
    EXPECT_EQ(form().EnvPresets.names[2], "Mouse") << "not in the table before Store";

    // A name not stored is gone at the next activation.
    open(lower, 1);
    EXPECT_EQ(lower->cbEnvPresetNames->itemText(2), "Mouse");
    edit->selectAll();
    QTest::keyClicks(edit, "Bass");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::mouseClick(lower->bnEnvStore, Qt::LeftButton);
    EXPECT_EQ(form().EnvPresets.names[2], "Bass");
    EXPECT_EQ(form().EnvPresets.value(2, 0), 151);
    EXPECT_EQ(form().EnvPresets.value(2, 22), 124);
    EXPECT_EQ(form().EnvPresets.value(1, 0), 3) << "other entries untouched";
    EXPECT_TRUE(seams().sent().empty());

    // At most ten characters are typed.
    edit->selectAll();
    QTest::keyClicks(edit, "Harpsichord1");
    EXPECT_EQ(edit->text(), "Harpsichor");

    form().Exit1Click();
    QFile f(configDir() + "/EnvPresets.cv1");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.mid(22, 11), QByteArray("Bass\0AAAAA\0", 11));
}

} // namespace
} // namespace corvane::test
