// "Keyboard Setup": what each control sends and stores, the range ends,
// the switch rule, the balance bars and the refresh.
#include "MirageFixture.h"

#include "ConfigTable.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace corvane::test {
namespace {

class ConfigTableTest : public MirageFixture {
protected:
    TConfigTableForm* win = nullptr;

    void SetUp() override
    {
        MirageFixture::SetUp();
        // The window edits what the instrument holds: its dumps are read.
        fetchDumps();
        seams().clear();
        win = qobject_cast<TConfigTableForm*>(form().Window("TConfigTableForm"));
        ASSERT_NE(win, nullptr);
    }

    // Shows the window on the stored dump and forgets what came before.
    void open()
    {
        activate(win);
        seams().clear();
    }
    int stored(int pos) { return form().GetConfigParam(pos); }
};

TEST_F(ConfigTableTest, IsRegisteredWithItsMenuItemAndNamedControls)
{
    EXPECT_TRUE(form().Action("ConfigurationTable1")->isEnabled());
    EXPECT_EQ(win->windowTitle(), "Keyboard Setup");
    EXPECT_EQ(win->size(), QSize(379, 236));
    for (const char* name : {"UpDownMasterTune", "ebMasterTune", "UpDownPitchBender", "ebPitchBenderRange",
                             "UpDownVelsSens", "ebVelocitySensitivity", "UpDownULbalance", "ebULbalance",
                             "Shape1", "Shape2", "ckProgramLink", "edMidiChannel", "UpDownMidiChannel",
                             "ckOmniMode", "ckMidiThru", "ckMidiModEnable", "edSoftwareVersion",
                             "bnConfigRefresh", "bnOK"})
        EXPECT_NE(win->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(win->UpDownPitchBender->Position(), 1);
    EXPECT_EQ(win->UpDownMidiChannel->Min(), 1);
    EXPECT_EQ(win->UpDownMidiChannel->Max(), 16);
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 120, 65, 49));
    EXPECT_EQ(win->Shape2->geometry(), QRect(80, 120, 65, 49));
}

TEST_F(ConfigTableTest, ActivationShowsTheDumpAndSendsNothing)
{
    fetchDumps();
    seams().clear();
    activate(win);
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(win->ebMasterTune->text(), QString::number(mirage().config().field(cfg::MasterTune)));
    EXPECT_EQ(win->UpDownMasterTune->Position(), mirage().config().field(cfg::MasterTune));
    EXPECT_EQ(win->ebULbalance->text(), QString::number(mirage().config().field(cfg::Balance) / 2));
    EXPECT_EQ(win->edMidiChannel->text(), QString::number(mirage().config().field(cfg::MidiChannel) + 1));
    EXPECT_EQ(win->ckMidiModEnable->isChecked(), mirage().config().field(cfg::MidiModulation) == 1);
    EXPECT_EQ(win->edSoftwareVersion->text(), "3.2");
}

TEST_F(ConfigTableTest, NothingIsSentOrStoredAtTheEndsOfEveryRange)
{
    struct End {
        TUpDown* ud;
        int pos;
        int storedAtMin;
        int storedAtMax;
    };
    const End ends[] = {
        {win->UpDownMasterTune, cfg::MasterTune, 0, 99},
        {win->UpDownPitchBender, cfg::BendRange, 0, 12},
        {win->UpDownVelsSens, cfg::VelocitySensitivity, 0, 63},
        {win->UpDownULbalance, cfg::Balance, 0, 126},
        {win->UpDownMidiChannel, cfg::MidiChannel, 0, 15},
    };
    for (const End& e : ends)
        expectRangeEnds(win, e.ud, configField(e.pos), e.storedAtMin, e.storedAtMax);
}

TEST_F(ConfigTableTest, EachUpDownSendsItsParameterAndStepsTheStoredValue)
{
    form().SetConfigParam(cfg::MasterTune, 98);
    form().SetConfigParam(cfg::BendRange, 5);
    form().SetConfigParam(cfg::VelocitySensitivity, 1);
    form().SetConfigParam(cfg::MidiChannel, 0);
    open();

    clickUp(win->UpDownMasterTune);
    clickDown(win->UpDownPitchBender);
    clickDown(win->UpDownVelsSens);
    clickUp(win->UpDownMidiChannel);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{
                                   "sent F0 0F 01 01 0C 02 01 0D 0E 7F",
                                   "sent F0 0F 01 01 0C 02 02 0D 0F 7F",
                                   "sent F0 0F 01 01 0C 02 03 0D 0F 7F",
                                   "sent F0 0F 01 01 0C 08 02 0D 0E 7F",
                               }));
    EXPECT_EQ(stored(cfg::MasterTune), 99);
    EXPECT_EQ(win->ebMasterTune->text(), "99");
    EXPECT_EQ(stored(cfg::BendRange), 4);
    EXPECT_EQ(win->ebPitchBenderRange->text(), "4");
    EXPECT_EQ(stored(cfg::VelocitySensitivity), 0);
    EXPECT_EQ(stored(cfg::MidiChannel), 1);
    EXPECT_EQ(win->edMidiChannel->text(), "2");
}

TEST_F(ConfigTableTest, BalanceIsStoredDoubled)
{
    form().SetConfigParam(cfg::Balance, 126);
    open();
    EXPECT_EQ(win->ebULbalance->text(), "63");
    clickDown(win->UpDownULbalance);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 02 04 0D 0F 7F"});
    EXPECT_EQ(stored(cfg::Balance), 124);
    EXPECT_EQ(win->ebULbalance->text(), "62");
}

TEST_F(ConfigTableTest, MidiChannelIsShownFromOne)
{
    form().SetConfigParam(cfg::MidiChannel, 0);
    open();
    EXPECT_EQ(win->edMidiChannel->text(), "1");
    EXPECT_EQ(win->UpDownMidiChannel->Position(), 1);
    clickDown(win->UpDownMidiChannel);
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(win->edMidiChannel->text(), "1");
}

TEST_F(ConfigTableTest, ASwitchByteOtherThanZeroOrOneLeavesTheBox)
{
    for (bool ticked : {false, true}) {
        win->ckProgramLink->setChecked(ticked);
        form().ConfigDump[cfg::ProgramLink] = 2;
        open();
        EXPECT_EQ(win->ckProgramLink->isChecked(), ticked);
    }
    form().ConfigDump[cfg::ProgramLink] = 0;
    open();
    EXPECT_FALSE(win->ckProgramLink->isChecked());
    form().ConfigDump[cfg::ProgramLink] = 1;
    open();
    EXPECT_TRUE(win->ckProgramLink->isChecked());
}

TEST_F(ConfigTableTest, TickingOmniModeSwitchesItOnAndStoresOne)
{
    open();
    ASSERT_FALSE(win->ckOmniMode->isChecked());
    clickBox(win->ckOmniMode);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 08 01 0D 0E 7F"});
    EXPECT_EQ(form().ConfigDump[26], 1);
    EXPECT_EQ(form().ConfigDump[27], 0);
    open();
    EXPECT_TRUE(win->ckOmniMode->isChecked());

    clickBox(win->ckOmniMode);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 01 0C 08 01 0D 0F 7F"});
    EXPECT_EQ(form().ConfigDump[26], 0);
    EXPECT_FALSE(win->ckOmniMode->isChecked());
}

TEST_F(ConfigTableTest, EverySwitchSendsItsParameterAndTheKeyboardTogglesToo)
{
    struct Sw {
        TSwitchBox* box;
        int pos;
        const char* on;
    };
    const Sw switches[] = {
        {win->ckProgramLink, cfg::ProgramLink, "sent F0 0F 01 01 0C 02 05 0D 0E 7F"},
        {win->ckOmniMode, cfg::Omni, "sent F0 0F 01 01 0C 08 01 0D 0E 7F"},
        {win->ckMidiThru, cfg::MidiThru, "sent F0 0F 01 01 0C 08 03 0D 0E 7F"},
        {win->ckMidiModEnable, cfg::MidiModulation, "sent F0 0F 01 01 0C 08 04 0D 0E 7F"},
    };
    for (const Sw& s : switches) {
        form().SetConfigParam(s.pos, 0);
        open();
        s.box->setFocus();
        QTest::keyClick(s.box, Qt::Key_Space);
        EXPECT_EQ(seams().lines(), std::vector<std::string>{s.on}) << s.box->objectName().toStdString();
        EXPECT_EQ(stored(s.pos), 1);
        EXPECT_TRUE(s.box->isChecked());
    }
}

// A press that is released away from the box does not toggle it; the box
// and the stored switch must still agree afterwards.
TEST_F(ConfigTableTest, APressReleasedOutsideTheBoxChangesNothing)
{
    form().SetConfigParam(cfg::MidiThru, 0);
    open();
    TSwitchBox* box = win->ckMidiThru;
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(box->width() + 40, box->height() + 40));
    EXPECT_TRUE(seams().sent().empty());
    EXPECT_EQ(stored(cfg::MidiThru), 0);
    EXPECT_FALSE(box->isChecked());
}

TEST_F(ConfigTableTest, VersionIsByte59PointByte58)
{
    form().ConfigDump[59] = 3;
    form().ConfigDump[58] = 2;
    open();
    EXPECT_EQ(win->edSoftwareVersion->text(), "3.2");
    form().ConfigDump[59] = 0;
    form().ConfigDump[58] = 0;
    open();
    EXPECT_EQ(win->edSoftwareVersion->text(), "0.0");
    // Each byte is a signed number.
    form().ConfigDump[59] = 0xFF;
    form().ConfigDump[58] = 0x80;
    open();
    EXPECT_EQ(win->edSoftwareVersion->text(), "-1.-128");
}

TEST_F(ConfigTableTest, BalanceBarsFollowTheBalanceText)
{
    win->ebULbalance->setText("40");
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 128, 65, 41));
    EXPECT_EQ(win->Shape2->geometry(), QRect(80, 120, 65, 49));
    // Across the middle the shrunk bar stands at full height again.
    win->ebULbalance->setText("20");
    EXPECT_EQ(win->Shape2->geometry(), QRect(80, 131, 65, 38));
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 120, 65, 49));
    // The ends: 63 leaves an 18-pixel lower bar whose bottom stays at 169.
    win->ebULbalance->setText("63");
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 151, 65, 18));
    win->ebULbalance->setText("0");
    EXPECT_EQ(win->Shape2->geometry(), QRect(80, 151, 65, 18));
    // A balance never received draws no bars.
    win->ebULbalance->setText("XX");
    EXPECT_TRUE(win->Shape1->isHidden() && win->Shape2->isHidden());
    win->ebULbalance->setText("32");
    EXPECT_FALSE(win->Shape1->isHidden() || win->Shape2->isHidden());

    // Stepping the balance moves the bars through the text.
    form().SetConfigParam(cfg::Balance, 2 * 50);
    open();
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 138, 65, 31));
    clickUp(win->UpDownULbalance);
    EXPECT_EQ(win->Shape1->geometry(), QRect(16, 139, 65, 30));
}

TEST_F(ConfigTableTest, RefreshRequestsTheDumpWaitsAndRedisplays)
{
    open();
    mirage().config().setField(cfg::MasterTune, 77);
    mirage().config().setField(cfg::Omni, 1);
    QTest::mouseClick(win->bnConfigRefresh, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 00 7F", "wait 60"}));
    EXPECT_EQ(win->ebMasterTune->text(), "77");
    EXPECT_EQ(win->UpDownMasterTune->Position(), 77);
    EXPECT_TRUE(win->ckOmniMode->isChecked());
}

} // namespace
} // namespace corvane::test
