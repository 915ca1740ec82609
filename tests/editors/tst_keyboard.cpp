// Keyboard operation of the windows, through "Keyboard Setup": a value box
// and its up-down are one tab stop, the keys step through the click handler
// one step message at a time, and Escape closes windows and cancels dialogs.
#include "MirageFixture.h"

#include "ConfigTable.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QTest>

namespace corvane::test {
namespace {

class KeyboardTest : public MirageFixture {
protected:
    TConfigTableForm* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        fetchDumps(); // the window edits what the instrument holds
        win = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
        ASSERT_NE(win, nullptr);
    }

    // The names of the focus stops met tabbing once round from `from`.
    std::vector<std::string> tabRound(QWidget* from)
    {
        from->setFocus(Qt::TabFocusReason);
        std::vector<std::string> names;
        for (QWidget* w = win->focusWidget(); w && names.size() < 30;) {
            names.push_back(w->objectName().toStdString());
            QTest::keyClick(w, Qt::Key_Tab);
            w = win->focusWidget();
            if (w == from)
                break;
        }
        return names;
    }
};

TEST_F(KeyboardTest, EachValueBoxWithItsUpDownIsOneTabStop)
{
    activate(win);
    const std::vector<std::string> all{"ebMasterTune", "ebPitchBenderRange", "ebVelocitySensitivity",
                                       "ebULbalance", "ckProgramLink", "edMidiChannel", "ckOmniMode",
                                       "ckMidiThru", "ckMidiModEnable", "edSoftwareVersion", "bnConfigRefresh",
                                       "bnOK"};
    EXPECT_EQ(tabRound(win->ebMasterTune), all);
    EXPECT_FALSE(win->ebMasterTune->hasSelectedText());

    // A disabled up-down takes its box out of the round.
    win->UpDownVelsSens->setEnabled(false);
    std::vector<std::string> without = all;
    std::erase(without, "ebVelocitySensitivity");
    EXPECT_EQ(tabRound(win->ebMasterTune), without);
    win->UpDownVelsSens->setEnabled(true);

    // Clicking the arrows puts the focus in their box.
    clickUp(win->UpDownULbalance);
    EXPECT_EQ(win->focusWidget(), win->ebULbalance);

    // Every window finds the box of each of its up-downs by itself.
    for (const auto& [name, w] : form().Windows()) {
        w->show();
        for (const TUpDown* ud : w->findChildren<TUpDown*>())
            EXPECT_NE(ud->Box(), nullptr) << name << " " << ud->objectName().toStdString();
        w->hide();
    }
}

TEST_F(KeyboardTest, KeysStepThroughTheClickHandlerOneMessagePerStep)
{
    const char* const tuneUp = "sent F0 0F 01 01 0C 02 01 0D 0E 7F";
    const char* const balanceDown = "sent F0 0F 01 01 0C 02 04 0D 0F 7F";
    struct Case {
        TUpDown* ud;
        int pos;
        int before;
        Qt::Key key;
        int steps;
        const char* line;
        int after;
        const char* shown;
    };
    const Case cases[] = {
        {win->UpDownMasterTune, cfg::MasterTune, 50, Qt::Key_Up, 1, tuneUp, 51, "51"},
        {win->UpDownMasterTune, cfg::MasterTune, 50, Qt::Key_PageUp, 10, tuneUp, 60, "60"},
        {win->UpDownMasterTune, cfg::MasterTune, 95, Qt::Key_PageUp, 4, tuneUp, 99, "99"},
        {win->UpDownMasterTune, cfg::MasterTune, 99, Qt::Key_Up, 0, "", 99, "99"},
        {win->UpDownVelsSens, cfg::VelocitySensitivity, 0, Qt::Key_Down, 0, "", 0, "0"},
        {win->UpDownULbalance, cfg::Balance, 100, Qt::Key_PageDown, 10, balanceDown, 80, "40"},
        {win->UpDownPitchBender, cfg::BendRange, 5, Qt::Key_PageDown, 0, "", 5, "5"}, // narrow range
    };
    for (const Case& c : cases) {
        const std::string what = "case " + std::to_string(&c - cases);
        form().SetConfigParam(c.pos, c.before);
        activate(win);
        seams().clear();
        c.ud->setFocus(); // lands on its box
        QTest::keyClick(win->focusWidget(), c.key);
        EXPECT_EQ(seams().lines(), std::vector<std::string>(static_cast<std::size_t>(c.steps), c.line)) << what;
        EXPECT_EQ(form().GetConfigParam(c.pos), c.after) << what;
        EXPECT_EQ(c.ud->Box()->text(), c.shown) << what;
    }
}

TEST_F(KeyboardTest, EscapeClosesTheWindowsAndCancelsThePortDialog)
{
    for (const char* name : {"TConfigTableForm", "TfmSample", "TfmProgCopy", "TAboutBox"}) {
        TFormBase* w = form().Window(name);
        activate(w);
        ASSERT_TRUE(w->isVisible()) << name;
        QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible()) << name;
    }

    TFormBase* dialog = form().Window("TMidiSetupDialogBox");
    activate(dialog);
    auto* inputs = control<QComboBox>(dialog, "ComboBox1");
    inputs->setFocus();
    inputs->setCurrentIndex(-1);
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(form().MidiInPort, 0);
}

} // namespace
} // namespace corvane::test
