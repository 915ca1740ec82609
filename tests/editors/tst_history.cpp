// The edit history and the differences found, through the windows against
// the emulator: steps, typed values and recalls undone and redone leave the
// instrument's dumps equal to the copy; a long walk shows its progress and
// stops on Cancel or Escape; a change made on the instrument behind the
// program's back is named by a Refresh and by Check Mirage, and nothing is
// sent because of it.
#include "MirageFixture.h"

#include "Settings.h"

#include "ConfigTable.h"
#include "EnvFilter.h"
#include "History.h"
#include "MasosCopy.h"
#include "MemoryMap.h"
#include "SwitchBox.h"
#include "ProgCopy.h"
#include "SoundTransfer.h"
#include "Tuning.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WalkPanel.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <random>

namespace corvane::test {
namespace {

class HistoryTest : public MirageFixture {
protected:
    // The instrument's dumps as it would send them now, against the copy:
    // every table field, named.
    std::vector<std::string> differencesFromInstrument()
    {
        std::vector<std::string> out;
        const auto config = mirage().configDump();
        for (const auto& c : dumpDifferences(true, 0, form().ConfigDump, config.data()))
            out.push_back(describeChange(c));
        for (int half : {0, 1}) {
            const auto dump = mirage().programDump(half);
            const std::uint8_t* copy = half ? form().UpperProgramDump : form().LowerProgramDump;
            for (const auto& c : dumpDifferences(false, half, copy, dump.data()))
                out.push_back(describeChange(c));
        }
        return out;
    }
    // The instrument's dumps; two states are equal when every field a step
    // reaches shows the same (a copy also takes bytes no step reaches, and
    // values between two steps that show alike).
    struct State {
        Message config, lower, upper;
        bool operator==(const State& o) const
        {
            std::vector<FieldChange> d = dumpDifferences(true, 0, config.data(), o.config.data());
            for (int half : {0, 1}) {
                const auto more = dumpDifferences(false, half, (half ? upper : lower).data(),
                                                  (half ? o.upper : o.lower).data());
                d.insert(d.end(), more.begin(), more.end());
            }
            return std::all_of(d.begin(), d.end(), [](const FieldChange& c) {
                const ParameterInfo* p = findParameter(c.parameter);
                return p && shownText(*p, c.before) == shownText(*p, c.after);
            });
        }
    };
    State instrument() { return {mirage().configDump(), mirage().programDump(0), mirage().programDump(1)}; }
    EditHistory& history() { return form().History(); }
    int sentSince(std::size_t from)
    {
        int n = 0;
        for (std::size_t i = from; i < seams().trace.size(); ++i)
            n += seams().trace[i].kind == TraceEvent::Kind::Sent;
        return n;
    }
    static void typeInto(QLineEdit* box, const char* text)
    {
        box->setFocus();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
};

// Each case: a window, what the user does in it, and how many edits that is.
struct UndoCase {
    const char* name;
    const char* window;
    std::function<void(TFormBase*)> act;
    int edits;
    const char* undoText; // how the menu names the last edit
};

TEST_F(HistoryTest, UndoAndRedoBringInstrumentAndCopyBackInEveryWindow)
{
    const UndoCase cases[] = {
        {"configuration", "TConfigTableForm",
         [](TFormBase* w) {
             auto* c = qobject_cast<TConfigTableForm*>(w);
             clickUp(c->UpDownMasterTune);
             clickUp(c->UpDownMasterTune);
             clickDown(c->UpDownULbalance);
         },
         3, "Undo Upper/Lower Balance "},
        {"envelope", "TfmEnvFilterU",
         [](TFormBase* w) {
             auto* e = qobject_cast<TEnvFilterEditor*>(w);
             e->SpeedButtonClick(2);
             clickUp(e->udAmpEnvAttack);
             clickDown(e->udFilterCutoff);
         },
         2, "Undo Filter Cutoff Program U3 "},
        {"tuning", "TfmTuning",
         [](TFormBase* w) {
             auto* t = qobject_cast<TfmTuning*>(w);
             t->cbSelectChange(9); // U2
             clickUp(t->upDown(1, 9));
             clickUp(t->upDown(1, 9));
         },
         2, "Undo Fine Tune U2 "},
        {"memory map, loop reset", "TMemoryMap",
         [](TFormBase* w) {
             auto* m = qobject_cast<TMemMap*>(w);
             m->cbCurrentWsChange(1);
             clickUp(m->ud[TMemMap::WsStart][1]);
         },
         1, "Undo Start Page L2 "},
        {"preset recall", "TEnvelopeForm",
         [this](TFormBase* w) {
             auto* e = qobject_cast<TEnvFilterEditor*>(w);
             form().EnvPresets.names[4] = "Strings";
             for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
                 form().EnvPresets.value(4, slot) = 8 + slot % 5;
             e->cbEnvPresetNamesClick(4);
             QTest::mouseClick(e->bnEnvSet, Qt::LeftButton);
         },
         1, "Undo Recall Preset 'Strings'"},
        {"program copy", "TfmProgCopy", [](TFormBase* w) { qobject_cast<TfmProgCopy*>(w)->bnU4Click(); }, 1,
         "Undo Program Copy "},
        {"wavesample copy within a half", "TfmMasosCopy",
         [this](TFormBase* w) {
             auto* c = qobject_cast<TfmMasosCopy*>(w);
             form().GetCurrentHalf() == 0 ? c->bnL8Click() : c->bnU8Click();
         },
         1, "Undo Wavesample Copy "},
    };
    fetchDumps();
    for (const UndoCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFormBase* w = form().Window(c.window);
        activate(w);
        const std::size_t edits = history().UndoList().size();
        const State before = instrument();
        c.act(w);
        const State after = instrument();
        ASSERT_FALSE(before == after);
        ASSERT_EQ(history().UndoList().size(), edits + static_cast<std::size_t>(c.edits));
        EXPECT_EQ(w->UndoAction()->text().toStdString().rfind(c.undoText, 0), 0u) << w->UndoAction()->text().toStdString();
        EXPECT_EQ(form().Action("EditUndo")->text(), "&" + w->UndoAction()->text());

        const std::string first = history().UndoList()[edits].name;
        const std::string last = history().UndoList().back().name;
        for (int i = 0; i < c.edits; ++i)
            w->UndoAction()->trigger();
        EXPECT_TRUE(instrument() == before);
        EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
        EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Undone: " + first);
        for (int i = 0; i < c.edits; ++i)
            form().RedoClick();
        EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Redone: " + last);
        EXPECT_TRUE(instrument() == after);
        EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
        EXPECT_EQ(mirage().counters().refusedSteps, 0);
        w->hide();
    }
}

// An editor closes when another window becomes active, but the main
// window's Edit - Undo that changes a value it shows leaves it open; with
// Setup - Keep editor windows open (kept in the settings file) editors stay
// beside every window, follow the copy and close with OK.
TEST_F(HistoryTest, TheMainWindowsUndoLeavesItsEditorOpenAndEditorsCanBeKeptOpen)
{
    fetchDumps();
    auto* env = qobject_cast<TEnvFilterEditor*>(form().Window("TfmEnvFilterU"));
    ASSERT_TRUE(env);
    QAction* undo = form().Action("EditUndo");
    auto* edit = qobject_cast<QMenu*>(undo->parent());
    ASSERT_TRUE(edit);
    // The main window becomes active with its Edit menu open; `choose`
    // closes the menu as a click on an entry (or outside it) does.
    const auto toMenu = [&](QAction* choose) {
        activate(env);
        edit->popup(form().mapToGlobal(QPoint(0, 0)));
        QApplication::setActiveWindow(&form());
        QCoreApplication::processEvents();
        EXPECT_TRUE(env->isVisible()) << "open while the menu is";
        edit->setActiveAction(choose);
        if (choose)
            QTest::keyClick(edit, Qt::Key_Return);
        else
            edit->hide();
    };
    activate(env);
    const QString before = env->udFilterCutoff->Box()->text();
    clickDown(env->udFilterCutoff);
    const QString after = env->udFilterCutoff->Box()->text();
    ASSERT_NE(before, after);

    toMenu(undo);
    ASSERT_TRUE(QTest::qWaitFor([&] { return env->udFilterCutoff->Box()->text() == before; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(env->isVisible());
    toMenu(nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !env->isVisible(); })) << "nothing of it chosen";

    QAction* keep = form().Action("KeepEditorsOpen1");
    ASSERT_TRUE(keep && keep->isCheckable() && !keep->isChecked());
    keep->trigger();
    EXPECT_TRUE(readSettings(settingsFilePath()).keepEditorsOpen);
    activate(env);
    activate(&form());
    form().RedoClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return env->udFilterCutoff->Box()->text() == after; }));
    EXPECT_TRUE(env->isVisible());
    QTest::mouseClick(env->bnOK, Qt::LeftButton);
    EXPECT_FALSE(env->isVisible());
    keep->trigger();
    EXPECT_FALSE(readSettings(settingsFilePath()).keepEditorsOpen);
}

TEST_F(HistoryTest, RandomClicksUndosAndRedosKeepTheCopyEqualToTheInstrument)
{
    fetchDumps();
    std::vector<TFormBase*> windows;
    for (const char* name : {"TConfigTableForm", "TEnvelopeForm", "TfmTuning", "TfmMemMapU"})
        windows.push_back(form().Window(name));
    std::mt19937 rng(20261208u);
    int undos = 0, redos = 0, clicks = 0;
    for (int i = 0; i < 400; ++i) {
        seams().advance(20);
        TFormBase* w = windows[rng() % windows.size()];
        if (!w->isVisible() || rng() % 10 == 0)
            activate(w);
        if (auto* t = qobject_cast<TfmTuning*>(w); t && t->CurrentIndex() < 0)
            t->cbSelectChange(static_cast<int>(rng() % 16));
        if (auto* m = qobject_cast<TMemMap*>(w); m && m->CurrentRow() < 0)
            m->cbCurrentWsChange(static_cast<int>(rng() % 8));
        const unsigned r = rng() % 10;
        if (r < 3) {
            undos += history().CanUndo();
            w->UndoAction()->trigger();
        } else if (r < 5) {
            redos += history().CanRedo();
            w->RedoAction()->trigger();
        } else {
            QList<TUpDown*> uds;
            for (TUpDown* ud : w->findChildren<TUpDown*>())
                if (ud->isEnabled())
                    uds.push_back(ud);
            if (uds.isEmpty())
                continue;
            TUpDown* ud = uds[rng() % uds.size()];
            rng() % 2 ? clickUp(ud) : clickDown(ud);
            ++clicks;
        }
    }
    EXPECT_GT(undos, 40);
    EXPECT_GT(redos, 10);
    EXPECT_GT(clicks, 150);
    EXPECT_EQ(mirage().counters().refusedSteps, 0);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
}

TEST_F(HistoryTest, TypedValueIsWalkedThereAndALongWalkStopsOnEscape)
{
    fetchDumps();
    auto* config = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
    activate(config);
    mirage().config().setField(cfg::MasterTune, 40);
    config->bnConfigRefreshClick();

    // Out of range, or not a value: a beep, nothing sent, the old value.
    std::size_t from = seams().trace.size();
    typeInto(config->ebMasterTune, "150");
    EXPECT_EQ(sentSince(from), 0);
    EXPECT_EQ(config->ebMasterTune->text(), "40");

    // A short walk: sent as steps, one edit, no progress shown.
    from = seams().trace.size();
    typeInto(config->ebMasterTune, "45");
    EXPECT_EQ(sentSince(from), 5);
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), 45);
    EXPECT_EQ(config->ebMasterTune->text(), "45");
    EXPECT_EQ(history().UndoText(), "Undo Master Tune 40 \xE2\x86\x92 45");
    EXPECT_EQ(history().UndoList().back().changes.size(), 1u);
    EXPECT_EQ(history().UndoList().back().changes[0].before, 40);
    auto* panel = config->findChild<TWalkPanel*>("WalkPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());

    // A long one shows its progress after a second; Escape stops it.
    bool shown = false;
    seams().inputAt(seams().now + 1500, [&] {
        shown = panel->isVisible();
        QTest::keyClick(config->ebMasterTune, Qt::Key_Escape);
    });
    typeInto(config->ebMasterTune, "99");
    EXPECT_TRUE(shown);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(config->isVisible()) << "Escape stopped the walk, not the window";
    const int reached = mirage().config().field(cfg::MasterTune);
    EXPECT_GT(reached, 50);
    EXPECT_LT(reached, 99);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
    // Undo and redo from the window's own keys.
    activate(config);
    QTest::keyClick(config, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), 45);
    QTest::keyClick(config, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), reached);
    QTest::keyClick(config, Qt::Key_Z, Qt::ControlModifier);

    // Hex boxes take hex.
    auto* tuning = qobject_cast<TfmTuning*>(form().Window("TfmTuning"));
    activate(tuning);
    tuning->cbSelectChange(0);
    const int fine = mirage().half(0).wavesamples[0].field(wsf::Fine);
    const int target = fine < 0xF0 ? fine + 3 : fine - 3;
    typeInto(tuning->edit(1, 0), QString::number(target, 16).toLatin1().constData());
    EXPECT_EQ(mirage().half(0).wavesamples[0].field(wsf::Fine), target);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
}

TEST_F(HistoryTest, RecallShowsProgressAndCancelStopsItAsOneEdit)
{
    fetchDumps();
    auto* env = qobject_cast<TEnvFilterEditor*>(form().Window("TEnvelopeForm"));
    activate(env);
    const State before = instrument();
    for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
        form().EnvPresets.value(2, slot) = slot < 3 ? 0 : 31;
    env->cbEnvPresetNamesClick(2);
    bool shown = false;
    seams().inputAt(seams().now + 1500, [&] {
        auto* panel = env->findChild<TWalkPanel*>("WalkPanel");
        shown = panel && panel->isVisible();
        if (shown)
            QTest::mouseClick(panel->bnWalkCancel, Qt::LeftButton);
    });
    QTest::mouseClick(env->bnEnvSet, Qt::LeftButton);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(env->bnEnvSet->isEnabled());
    EXPECT_FALSE(instrument() == before);
    // Stopped half way: preset values are not all reached.
    int reached = 0;
    for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot)
        reached += env->SlotUpDown(slot)->Position() == (slot < 3 ? 0 : 31);
    EXPECT_LT(reached, TEnvFilterEditor::PairCount);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
    EXPECT_EQ(history().UndoText(), "Undo Recall Preset '" + form().EnvPresets.names[2] + "'");
    form().UndoClick();
    EXPECT_TRUE(instrument() == before);
}

TEST_F(HistoryTest, ALongUndoShowsProgressAndCancelLeavesItToCarryOn)
{
    fetchDumps();
    auto* config = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
    activate(config);
    mirage().config().setField(cfg::MasterTune, 40);
    config->bnConfigRefreshClick();
    typeInto(config->ebMasterTune, "99");
    ASSERT_EQ(mirage().config().field(cfg::MasterTune), 99);
    const std::string undoText = history().UndoText();

    // The pace is the user's setting: 59 steps at 60 ms take 3.5 s.
    form().StepWaitMs = 60;
    auto* panel = TWalkPanel::of(config, form());
    bool shown = false;
    int midway = 0;
    seams().inputAt(seams().now + 1500, [&] {
        shown = panel->isVisible() && panel->Text().toStdString() == undoText;
        midway = config->ebMasterTune->text().toInt();
        QTest::mouseClick(panel->bnWalkCancel, Qt::LeftButton);
    });
    config->UndoAction()->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_GT(midway, 70) << "the window shows the value on its way back";
    EXPECT_LT(midway, 90);
    const int reached = mirage().config().field(cfg::MasterTune);
    EXPECT_GT(reached, 70);
    EXPECT_LT(reached, 90);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
    EXPECT_EQ(history().UndoText(), undoText) << "stopped part-way, the edit stays to be undone";
    EXPECT_FALSE(history().CanRedo());

    const long long start = seams().now;
    form().UndoClick();
    EXPECT_GE(seams().now - start, (reached - 40) * 60);
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), 40);
    EXPECT_EQ(history().RedoText(), "Redo" + undoText.substr(4));
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
}

TEST_F(HistoryTest, ChangesOnTheInstrumentAreNamedAndNothingIsSentForThem)
{
    fetchDumps();
    auto* config = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
    activate(config);
    const int tune = mirage().config().field(cfg::MasterTune);
    mirage().config().setField(cfg::MasterTune, tune == 63 ? 60 : 63);
    const int omni = mirage().config().field(cfg::Omni);
    mirage().config().setField(cfg::Omni, omni ? 0 : 1);

    std::size_t from = seams().trace.size();
    config->bnConfigRefreshClick();
    EXPECT_EQ(sentSince(from), 1) << "the request alone";
    const std::string expected = "Changed on the Mirage: Master Tune " + std::to_string(tune) + " \xE2\x86\x92 " +
                                 std::to_string(tune == 63 ? 60 : 63) + ", Omni Mode " + (omni ? "On" : "Off") +
                                 " \xE2\x86\x92 " + (omni ? "Off" : "On");
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), expected);
    EXPECT_TRUE(config->ebMasterTune->Marked());
    EXPECT_FALSE(config->ebPitchBenderRange->Marked());
    EXPECT_TRUE(config->ckOmniMode->Marked());
    EXPECT_FALSE(config->ckMidiThru->Marked());
    auto* strip = config->findChild<QLabel*>("lbDrift");
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(strip->isVisible());
    // The next edit takes the marks away.
    clickUp(config->UpDownVelsSens);
    EXPECT_FALSE(config->ebMasterTune->Marked());
    EXPECT_FALSE(config->ckOmniMode->Marked());
    EXPECT_FALSE(strip->isVisible());

    // Check Mirage: every dump, wavesample values named by their wavesample.
    for (int ws = 0; ws < 5; ++ws) {
        auto& w = mirage().half(ws % 2).wavesamples[static_cast<std::size_t>(ws)];
        w.setField(wsf::TopKey, w.field(wsf::TopKey) == 30 ? 35 : 30);
    }
    from = seams().trace.size();
    form().Action("CheckMirage")->trigger();
    EXPECT_EQ(sentSince(from), 3) << "the three requests alone";
    const std::string status = form().StatusPanelText(3).toStdString();
    EXPECT_EQ(status.rfind("Changed on the Mirage: Top Key L1 ", 0), 0u) << status;
    EXPECT_NE(status.find("\xE2\x80\xA6" "and 2 more"), std::string::npos) << status;
    EXPECT_EQ(history().Drift().size(), 5u);
    // Ctrl+R in an editor window checks as well.
    config->findChild<QAction*>("actCheckMirage")->trigger();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "No changes: Corvane's copy is the instrument's.");

    // A sound loaded from disk is news, not a change behind the program's back.
    form().N21Click();
    form().CheckMirageClick();
    EXPECT_EQ(history().Drift().size(), 0u);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});
}

// The newest event shows in the status bar: a difference found, then an
// undo, a check, a redo. An undo whose value no step reaches sends nothing,
// says so and leaves the history instead of going to the redo list.
TEST_F(HistoryTest, UndoAndRedoSayWhatTheyDidOrCouldNot)
{
    fetchDumps();
    auto* env = qobject_cast<TEnvFilterEditor*>(form().Window("TEnvelopeForm"));
    activate(env);
    env->SpeedButtonClick(0);
    clickDown(env->udFilterCutoff);
    const std::string edit = history().UndoList().back().name;
    ASSERT_EQ(edit.rfind("Filter Cutoff Program L1 ", 0), 0u) << edit;
    mirage().config().setField(cfg::MasterTune, mirage().config().field(cfg::MasterTune) == 63 ? 60 : 63);
    form().CheckMirageClick();
    ASSERT_EQ(form().StatusPanelText(3).toStdString().rfind("Changed on the Mirage: Master Tune ", 0), 0u);
    form().UndoClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Undone: " + edit);
    form().CheckMirageClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "No changes: Corvane's copy is the instrument's.");
    form().RedoClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Redone: " + edit);

    // A cutoff brought by a dump from beyond the range a press keeps to.
    mirage().half(0).programs[0].setField(pgf::FilterCutoff, 220);
    form().CheckMirageClick();
    clickDown(env->udFilterCutoff);
    ASSERT_EQ(history().UndoList().back().name, "Filter Cutoff Program L1 110 \xE2\x86\x92 109");
    const std::size_t edits = history().UndoList().size();
    const std::size_t from = seams().trace.size();
    form().UndoClick();
    EXPECT_EQ(sentSince(from), 0);
    EXPECT_EQ(form().StatusPanelText(3).toStdString(),
              "Could not undo Filter Cutoff Program L1 110 \xE2\x86\x92 109: a step reaches 0 to 99, not 110. "
              "Nothing was sent; the edit left the history.");
    EXPECT_EQ(history().UndoList().size(), edits - 1);
    EXPECT_FALSE(history().CanRedo());
    EXPECT_EQ(mirage().half(0).programs[0].field(pgf::FilterCutoff), 218);
    // The next edit takes the news away: the connection's text is back.
    clickDown(env->udFilterCutoff);
    EXPECT_EQ(form().StatusPanelText(3).toStdString().find("Undo"), std::string::npos);
}

// A sound sent into a half replaces it: the fresh dumps that follow are news,
// not changes made on the Mirage, also when the instrument took the sound
// without answering; the edits of that half leave the history, the other
// half's stay; a change made on the instrument afterwards is named again.
TEST_F(HistoryTest, ASoundSentReplacesItsHalfInTheCopyAndTheHistory)
{
    fetchDumps();
    sound::JobHooks hooks;
    hooks.wait = [this](int ms) { form().Wait(ms); };
    hooks.cancelled = [] { return false; };
    hooks.progress = [](const std::string&, long long, long long) {};
    sound::FetchResult fetched;
    form().Converse([&] { fetched = sound::fetchSound(form(), {0}, hooks); });
    ASSERT_EQ(fetched.end, sound::JobEnd::Done) << fetched.text;

    auto* lower = qobject_cast<TEnvFilterEditor*>(form().Window("TEnvelopeForm"));
    activate(lower);
    lower->SpeedButtonClick(0);
    clickDown(lower->udFilterCutoff);
    clickDown(lower->udFilterCutoff);
    lower->hide();
    auto* upper = qobject_cast<TEnvFilterEditor*>(form().Window("TfmEnvFilterU"));
    activate(upper);
    clickUp(upper->udAmpEnvAttack);
    const std::string upperEdit = history().UndoList().back().name;
    ASSERT_EQ(history().UndoList().size(), 3u);

    // The sound holds the cutoff as it was before the two steps.
    sound::SendResult sent;
    form().Converse([&] { sent = sound::sendSound(form(), fetched.sound, hooks); });
    ASSERT_EQ(sent.end, sound::JobEnd::Done) << sent.text;
    EXPECT_EQ(history().DriftText(), "");
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Lower half replaced: 2 of its edits left the history.");
    ASSERT_EQ(history().UndoList().size(), 1u);
    EXPECT_EQ(history().UndoList()[0].name, upperEdit);
    const Message lowerNow = mirage().programDump(0);
    form().UndoClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "Undone: " + upperEdit);
    EXPECT_EQ(mirage().programDump(0), lowerNow);
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});

    // The instrument takes the sound without answering: nothing is named,
    // not then and not when it answers again.
    clickDown(lower->udFilterCutoff);
    device().setBehaviour({true, false, 0});
    form().Converse([&] { sent = sound::sendSound(form(), fetched.sound, hooks); });
    EXPECT_TRUE(sent.unanswered);
    EXPECT_EQ(history().DriftText(), "");
    device().setBehaviour({false, false, 0});
    form().CheckMirageClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString(), "No changes: Corvane's copy is the instrument's.");
    EXPECT_EQ(differencesFromInstrument(), std::vector<std::string>{});

    const int resonance = mirage().half(0).programs[0].field(pgf::Resonance);
    mirage().half(0).programs[0].setField(pgf::Resonance, resonance == 8 ? 12 : 8);
    form().CheckMirageClick();
    EXPECT_EQ(form().StatusPanelText(3).toStdString().rfind("Changed on the Mirage: Resonance Program L1 ", 0), 0u)
        << form().StatusPanelText(3).toStdString();
}

} // namespace
} // namespace corvane::test
