// What the windows share: one conversation with the instrument at a time
// across windows and timers, a read before the first edit, steps judged on
// the stored value, and redisplay when a dump arrives late.
#include "MirageFixture.h"

#include "ConfigTable.h"
#include "MasosCopy.h"
#include "Sampling.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

class WindowsShareTest : public MirageFixture {
protected:
    template <typename W>
    W* window(const char* name)
    {
        auto* w = qobject_cast<W*>(form().Window(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

TEST_F(WindowsShareTest, AnActivationAndATimerInsideAWaitGoAfterTheRunningSequence)
{
    fetchDumps();
    auto* sampling = window<TfmSample>("TfmSample");
    auto* copy = window<TfmMasosCopy>("TfmMasosCopy");
    seams().clear();
    // While the sampling window's query waits, the user brings up the copy
    // window and a timer sends the Abort key.
    seams().duringNextWait = [&] {
        copy->show();
        copy->Activate();
        seams().startTimer(0, [this] { form().SendSysEx(keyCodeMessage({key::Abort})); });
        seams().advance(0);
    };
    sampling->show();
    sampling->Activate();
    const std::vector<std::string> query{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"};
    std::vector<std::string> expected = query;
    expected.insert(expected.end(), query.begin(), query.end());
    expected.push_back("sent " + hex(keyCodeMessage({key::Abort})));
    EXPECT_EQ(seams().lines(), expected);
    EXPECT_EQ(copy->ActivationCount(), 1);
}

TEST_F(WindowsShareTest, AnEditorOpenedBeforeItsDumpReadsItFirstAndStepsFromTheInstrumentsValue)
{
    auto* win = window<TConfigTableForm>("TConfigTableForm");
    activate(win);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 00 7F", "wait 60"}));
    const int tune = mirage().config().field(cfg::MasterTune);
    EXPECT_EQ(win->ebMasterTune->text(), QString::number(tune));
    clickUp(win->UpDownMasterTune);
    EXPECT_EQ(form().GetConfigParam(cfg::MasterTune), tune + 1);
    EXPECT_EQ(mirage().config().field(cfg::MasterTune), tune + 1);
    // Read once: the next activation sends nothing.
    seams().clear();
    activate(win);
    EXPECT_TRUE(seams().sent().empty());
}

TEST_F(WindowsShareTest, AStepIsJudgedOnTheStoredValueNotOnTheUpDown)
{
    fetchDumps();
    auto* win = window<TConfigTableForm>("TConfigTableForm");
    activate(win);
    // The copy changes under an open window (the up-down still shows the
    // old value): the instrument refuses 99 -> 100, so must the editor.
    mirage().config().setField(cfg::MasterTune, 99);
    form().SetConfigParam(cfg::MasterTune, 99);
    seams().clear();
    clickUp(win->UpDownMasterTune);
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(form().GetConfigParam(cfg::MasterTune), 99);
    EXPECT_EQ(win->UpDownMasterTune->Position(), 99);
}

TEST_F(WindowsShareTest, AnOpenWindowShowsADumpThatArrivesAfterItsWait)
{
    fetchDumps();
    auto* win = window<TConfigTableForm>("TConfigTableForm");
    activate(win);
    mirage().config().setField(cfg::MasterTune, 12);
    seams().clear();
    form().SpeedButton1Click(); // "Get Configuration" sends and does not wait
    EXPECT_NE(win->ebMasterTune->text(), "12");
    seams().advance(30);
    EXPECT_EQ(win->ebMasterTune->text(), "12");
    EXPECT_EQ(win->UpDownMasterTune->Position(), 12);
    EXPECT_EQ(seams().sent().size(), 1u) << "the redisplay sends nothing";
}

} // namespace
} // namespace corvane::test
