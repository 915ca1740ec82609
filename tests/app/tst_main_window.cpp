// The main window as a user meets it: start-up, the requests, the disk and
// system commands, the menus, leaving by "&Exit" or by the close box.
#include "MirageFixture.h"

#include "AboutBox.h"
#include "Artwork.h"
#include "SamplingArt.h"
#include "FormBase.h"
#include "Midiin.h"
#include "Midiout.h"
#include "ColoursDialog.h"
#include "Settings.h"
#include "Shape.h"
#include "VirtualDevice.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>

#include <stdexcept>
#include <QToolButton>

namespace corvane::test {
namespace {

class MainWindowTest : public MirageFixture {};

// The program shows the block diagram and the sampling window's guide from
// the pictures the build painted into it; they must be what the painting
// makes now. The sampling window's are in every program that has the window,
// this test's too.
TEST(Artwork, BakedPicturesAreTheirPainting)
{
#if !defined(CORVANE_BAKED_DIR) || !defined(CORVANE_SAMPLING_BAKED)
    GTEST_SKIP() << "this build paints the pictures when they are first shown";
#else
    const std::pair<QString, std::vector<art::BakedPicture>> sets[] = {
        {QStringLiteral(CORVANE_BAKED_DIR "/%1.png"), art::bakedPictures()},
        {art::bakedPath("%1"), art::samplingPictures()},
    };
    for (const auto& [file, pictures] : sets)
        for (const art::BakedPicture& p : pictures) {
            const QImage baked(file.arg(p.name));
            ASSERT_FALSE(baked.isNull()) << p.name.toStdString();
            EXPECT_EQ(baked.convertToFormat(QImage::Format_ARGB32),
                      p.paint().toImage().convertToFormat(QImage::Format_ARGB32))
                << p.name.toStdString();
        }
#endif
}

TEST_F(MainWindowTest, StartsWithDefaultsAndSendsNothing)
{
    EXPECT_EQ(form().windowTitle(), "Corvane");
    for (const auto& n : form().WavesampleNames)
        EXPECT_EQ(n, "Un Named");
    EXPECT_EQ(form().WavesampleColours[1], 65535u);
    EXPECT_EQ(form().WavesampleColours[9], 16711680u);
    EXPECT_EQ(form().MidiInPort, 0);
    EXPECT_EQ(form().MidiOutPort, 0);
    EXPECT_TRUE(seams().trace.empty()) << "nothing is sent or reported at start-up";
    EXPECT_EQ(form().StatusPanelText(0), "Current Kbd Half: XXXXX");
    EXPECT_EQ(form().StatusPanelText(1), "Current Lower Program: X");
    EXPECT_EQ(form().StatusPanelText(2), "Current Upper Program: X");
    EXPECT_EQ(form().StatusPanelText(3), "Mirage (built-in emulator): no answer yet");
    EXPECT_EQ(form().centralWidget()->size(), QSize(627, 465));
    EXPECT_EQ(form().GetLowerParam(978), 0);
    EXPECT_EQ(form().GetConfigParam(6), 0);
}

// The status bar says what has answered, with the instrument's software
// version; the Mirage menu holds both fetches beside the tool buttons.
TEST_F(MainWindowTest, GetConfigurationAndParametersFillTheDumpsFromTheInstrument)
{
    form().Action("GetConfiguration1")->trigger();
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 00 7F"}));
    QTest::mouseClick(form().ToolButton("SpeedButton1"), Qt::LeftButton);
    seams().wait(60);
    const Message config = mirage().configDump();
    EXPECT_TRUE(std::equal(config.begin(), config.end(), form().ConfigDump));
    EXPECT_EQ(form().StatusPanelText(3), "Mirage 3.2 answered - Configuration received");

    seams().clear();
    QTest::mouseClick(form().ToolButton("sbRefreshUL"), Qt::LeftButton);
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 100", "sent F0 0F 01 13 7F"}));
    // On the wire the two 1255-byte dumps follow each other: the lower one
    // is in 400 ms after its request, the upper one 400 ms later.
    const Message lower = mirage().programDump(0);
    const Message upper = mirage().programDump(1);
    ASSERT_EQ(lower.size(), 1255u);
    seams().wait(500);
    EXPECT_TRUE(std::equal(lower.begin(), lower.end(), form().LowerProgramDump));
    EXPECT_TRUE(form().Received(MirageProtocol::Arrival::LowerProgram));
    EXPECT_FALSE(form().Received(MirageProtocol::Arrival::UpperProgram));
    seams().wait(300);
    EXPECT_TRUE(std::equal(upper.begin(), upper.end(), form().UpperProgramDump));
    EXPECT_EQ(form().StatusPanelText(3), "Mirage 3.2 answered - Programs received");
    EXPECT_TRUE(seams().boxes().empty());
    seams().clear();
    form().Action("GetULParameters1")->trigger();
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{"sent F0 0F 01 03 7F", "wait 100", "sent F0 0F 01 13 7F"}));
}

TEST_F(MainWindowTest, GetParametersWithNoInstrumentChangesNothing)
{
    form().MidiOut1->SetUsing(false);
    form().sbRefreshULClick();
    seams().wait(500);
    EXPECT_EQ(form().GetLowerParam(978), 0);
    EXPECT_TRUE(seams().boxes().empty());
}

struct DiskCase {
    const char* menuItem;
    const char* toolButton; // "" when the command has no button
    const char* bytes;
};

TEST_F(MainWindowTest, EveryDiskCommandSendsItsOwnBytesFromMenuAndToolButton)
{
    const DiskCase cases[] = {
        {"N11", "SpeedButtonLoadUL1", "F0 0F 01 01 10 11 01 0A 7F"},
        {"N21", "SpeedButton2", "F0 0F 01 01 10 11 02 0A 7F"},
        {"N31", "SpeedButton3", "F0 0F 01 01 10 11 03 0A 7F"},
        {"N12", "sbLoadU1", "F0 0F 01 01 10 01 0A 7F"},
        {"N22", "SpeedButton4", "F0 0F 01 01 10 02 0A 7F"},
        {"N32", "SpeedButton5", "F0 0F 01 01 10 03 0A 7F"},
        {"N13", "sbLoadL1", "F0 0F 01 01 11 01 0A 7F"},
        {"N23", "SpeedButton6", "F0 0F 01 01 11 02 0A 7F"},
        {"N33", "SpeedButton7", "F0 0F 01 01 11 03 0A 7F"},
        {"SaveToMdiskUL1", "", "F0 0F 01 01 01 03 01 0A 7F"},
        {"SaveToMdiskUL2", "", "F0 0F 01 01 01 03 02 0A 7F"},
        {"SaveToMdiskUL3", "", "F0 0F 01 01 01 03 03 0A 7F"},
        {"SaveToMdiskU1", "", "F0 0F 01 01 01 02 01 0A 7F"},
        {"SaveToMdiskU2", "", "F0 0F 01 01 01 02 02 0A 7F"},
        {"SaveToMdiskU3", "", "F0 0F 01 01 01 02 03 0A 7F"},
        {"SaveToMdiskL1", "", "F0 0F 01 01 01 01 01 0A 7F"},
        {"SaveToMdiskL2", "", "F0 0F 01 01 01 01 02 0A 7F"},
        {"SaveToMdiskL3", "", "F0 0F 01 01 01 01 03 0A 7F"},
    };
    fetchDumps();
    std::uint8_t lower[ProgramBufferSize];
    std::copy(std::begin(form().LowerProgramDump), std::end(form().LowerProgramDump), lower);
    for (const DiskCase& c : cases) {
        seams().clear();
        QAction* a = form().Action(c.menuItem);
        ASSERT_NE(a, nullptr) << c.menuItem;
        a->trigger();
        EXPECT_EQ(seams().lines(), std::vector<std::string>{std::string("sent ") + c.bytes}) << c.menuItem;
        if (*c.toolButton) {
            seams().clear();
            QTest::mouseClick(form().ToolButton(c.toolButton), Qt::LeftButton);
            EXPECT_EQ(seams().lines(), std::vector<std::string>{std::string("sent ") + c.bytes}) << c.toolButton;
        }
    }
    seams().wait(100);
    EXPECT_TRUE(std::equal(std::begin(lower), std::end(lower), form().LowerProgramDump))
        << "disk commands leave the dumps alone";
}

TEST_F(MainWindowTest, SaveConfigurationAndRebootAskFirst)
{
    seams().answers = {BoxAnswer::No, BoxAnswer::Yes};
    form().Action("SaveConfiguration1")->trigger();
    form().Action("SaveConfiguration1")->trigger();
    EXPECT_EQ(seams().lines(),
              (std::vector<std::string>{
                  "box \"Only save MASOS to MASOS disks not to non-MASOS, and non-MASOS to non-MASOS. "
                  "Continue?\" \"Save Configuration Warning\" yes/no",
                  "box \"Only save MASOS to MASOS disks not to non-MASOS, and non-MASOS to non-MASOS. "
                  "Continue?\" \"Save Configuration Warning\" yes/no",
                  "sent F0 0F 01 01 01 04 0A 7F",
              }));
    seams().clear();
    seams().answers = {BoxAnswer::No, BoxAnswer::Yes};
    form().Action("Reboot1")->trigger();
    form().Action("Reboot1")->trigger();
    EXPECT_EQ(seams().lines(), (std::vector<std::string>{
                                   "box \"Insert MASOS floppy disk into the Mirage. Continue?\" \"Mirage Reboot\" yes/no",
                                   "box \"Insert MASOS floppy disk into the Mirage. Continue?\" \"Mirage Reboot\" yes/no",
                                   "sent F0 0F 01 01 10 11 00 0A 7F",
                               }));
    seams().wait(10);
    EXPECT_EQ(mirage().counters().rebooted, 1);
    EXPECT_EQ(mirage().counters().configSaves, 1);
}

TEST_F(MainWindowTest, LoadSoundToolButtonChangesWhatTheInstrumentHolds)
{
    const emu::Half before = mirage().half(1);
    QTest::mouseClick(form().ToolButton("SpeedButton4"), Qt::LeftButton); // Load U2
    seams().wait(10);
    EXPECT_EQ(mirage().counters().lastLoadedSlot, 1);
    EXPECT_TRUE(mirage().half(1) == mirage().diskSound(1).upper);
    EXPECT_FALSE(mirage().half(1) == before) << "the factory disk's sound 2 differs from the sound in memory";
}

TEST_F(MainWindowTest, MenuHasItsItemsAccelsAndSeparators)
{
    QStringList titles;
    for (QAction* a : form().menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&Disk", "&Edit", "&Wavesample", "&Mirage", "&Functions", "&Setup", "&Help"}));
    auto itemsOf = [&](int menu) {
        QStringList items;
        for (QAction* a : form().menuBar()->actions()[menu]->menu()->actions())
            items << (a->isSeparator() ? QString("-") : a->text());
        return items;
    };
    EXPECT_EQ(itemsOf(0), QStringList({"&Load sounds into Mirage", "&Save to Mirage Disk", "Save &Configuration", "-",
                                       "Save Sound to &File...", "Load Sound fr&om File...", "&Archive Disk...",
                                       "Disk &Images...", "L&ibrary...", "-", "&Exit"}));
    for (const auto& [item, keys] : std::vector<std::pair<const char*, const char*>>{
             {"SaveSoundToFile1", "Ctrl+S"}, {"LoadSoundFromFile1", "Ctrl+O"}, {"ArchiveDisk1", "Ctrl+Shift+A"}, {"Library1", "Ctrl+L"},
             {"EditUndo", "Ctrl+Z"}, {"EditRedo", "Ctrl+Shift+Z"}, {"CheckMirage", "Ctrl+R"},
             {"EditWavesample1", "Ctrl+E"}})
        EXPECT_EQ(form().Action(item)->shortcut(), QKeySequence(keys)) << item;
    EXPECT_EQ(itemsOf(1), QStringList({"&Undo", "&Redo"}));
    EXPECT_EQ(itemsOf(2), QStringList({"&Tuning", "Relative &Amplitude", "Relative &Filter", "-", "Sam&pling", "-",
                                       "&Get from Mirage", "&Send to Mirage", "&Edit Wavesample...", "-", "&Calculator",
                                       "&Build Sound..."}));
    EXPECT_EQ(itemsOf(3), QStringList({"&Upper", "&Lower", "-", "&Key Allocation", "-", "Get &Configuration",
                                       "Get U&L Parameters", "-", "&Check Mirage"}));
    EXPECT_EQ(itemsOf(4), QStringList({"&Program Copy", "&Wavesample Copy", "&Sample Rotate", "-", "&Reboot"}));
    EXPECT_EQ(itemsOf(5), QStringList({"MIDI &Ports", "&Configuration Table", "C&olours", "&Library Folders...", "MIDI &Monitor..."}));
    EXPECT_EQ(itemsOf(6), QStringList({"&Contents", "&About..."}));

    // A window that exists opens from its item; one that does not is disabled.
    for (const char* name : {"MIDIPorts1", "Colours1", "About"})
        EXPECT_TRUE(form().Action(name)->isEnabled()) << name;
    for (const auto& [item, window] : std::vector<std::pair<const char*, const char*>>{
             {"Tuning1", "TfmTuning"}, {"GetfromMirage1", "TfmWsGet"}, {"Envelope2", "TEnvelopeForm"}})
        EXPECT_EQ(form().Action(item)->isEnabled(), form().Window(window) != nullptr) << item;
    form().Action("About")->trigger();
    EXPECT_TRUE(form().Window("TAboutBox")->isVisible());
}

TEST_F(MainWindowTest, ToolButtonsCarryTheirHints)
{
    const std::pair<const char*, const char*> hints[] = {
        {"SpeedButtonLoadUL1", "Load UL1 into Mirage"}, {"SpeedButton2", "Load UL2 into Mirage"},
        {"SpeedButton3", "Load UL3 into Mirage"},       {"sbLoadU1", "Load U1 into Mirage"},
        {"SpeedButton4", "Load U2 into Mirage"},        {"SpeedButton5", "Load U3 into Mirage"},
        {"sbLoadL1", "Load L1 into Mirage"},            {"SpeedButton6", "Load L2 into Mirage"},
        {"SpeedButton7", "Load L3 into Mirage"},        {"SpeedButton1", "Get Configuration"},
        {"sbRefreshUL", "Get UL Parameters"},
    };
    int lastX = -1;
    for (const auto& [name, hint] : hints) {
        QToolButton* b = form().ToolButton(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->toolTip(), hint);
        EXPECT_GT(b->x(), lastX) << "left to right in this order";
        lastX = b->x();
    }
}

TEST_F(MainWindowTest, ExitWritesEveryKeyAndRestartShowsIt)
{
    auto* colours = static_cast<TfmSetColours*>(form().Window("TfmSetColours"));
    activate(colours);
    seams().colourAnswers = {0xFF0000u};
    QTest::mouseClick(colours->shL[1], Qt::LeftButton);
    EXPECT_EQ(seams().colourPresets, std::vector<std::uint32_t>{65535u}) << "chooser preset with the swatch";
    EXPECT_EQ(form().WavesampleColours[1], 16711680u);
    EXPECT_EQ(colours->shL[1]->brushColor(), QColor(0, 0, 255));
    form().WavesampleNames[10] = "Strings";
    form().MidiOutPort = 3;
    form().EnvPresets.names[2] = "Bass";
    form().Exit1Click();

    QSettings ini(configDir() + "/Corvane.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.allKeys().size(), 37);
    EXPECT_EQ(ini.value("WsColours/WscL2").toString(), "16711680");
    EXPECT_EQ(ini.value("WsColours/WscL1").toString(), "255");
    EXPECT_EQ(ini.value("WsNames/WsnU3").toString(), "Strings");
    EXPECT_EQ(ini.value("WsNames/WsnL1").toString(), "Un Named");
    EXPECT_EQ(ini.value("MIDIports/MidiOutPort").toString(), "3");
    EXPECT_EQ(ini.value("MIDIports/MidiInPort").toString(), "0");
    EXPECT_EQ(ini.value("MIDIports/MidiOutPortName").toString(), "") << "the name went with the old number";
    EXPECT_EQ(ini.value("MIDIports/MidiApi").toString(), "") << "no MIDI system chosen: the program picks";
    EXPECT_EQ(QFileInfo(configDir() + "/EnvPresets.cv1").size(), 360);

    stop();
    start();
    EXPECT_EQ(form().WavesampleColours[1], 16711680u);
    EXPECT_EQ(form().WavesampleNames[10], "Strings");
    EXPECT_EQ(form().MidiOutPort, 3);
    EXPECT_EQ(form().EnvPresets.names[2], "Bass");
    EXPECT_EQ(form().EnvPresets.names[0], "Rhubarb");
}

// A file that cannot be written is named with its reason; No keeps the
// program open with the changes in hand, Yes leaves all the same.
TEST_F(MainWindowTest, ExitReportsAFileItCannotWriteAndLetsTheUserStay)
{
    ASSERT_TRUE(QDir(configDir()).mkdir("Corvane.ini") && QDir(configDir()).mkdir("EnvPresets.cv1"));
    seams().answers = {BoxAnswer::No, BoxAnswer::Yes};
    form().Exit1Click();
    const auto boxes = seams().boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Exit");
    EXPECT_EQ(boxes[0].buttons, BoxButtons::YesNo);
    for (const QString& file : {settingsFilePath(), presetsFilePath()}) {
        const std::string says = "Error - File write fail - cannot write " + file.toStdString() + " (Filename refers to a directory)";
        EXPECT_NE(boxes[0].text.find(says), std::string::npos) << boxes[0].text;
    }
    EXPECT_TRUE(form().MidiIn1->Using()) << "No stays in the program";
    form().Exit1Click();
    EXPECT_FALSE(form().MidiIn1->Using()) << "Yes leaves";
}

TEST_F(MainWindowTest, CloseBoxClosesThePortsAndSavesNothing)
{
    form().WavesampleNames[0] = "Changed";
    form().close();
    EXPECT_FALSE(form().MidiIn1->Using());
    EXPECT_FALSE(form().MidiOut1->Using());
    EXPECT_FALSE(QFile::exists(configDir() + "/Corvane.ini"));
    EXPECT_FALSE(QFile::exists(configDir() + "/EnvPresets.cv1"));
    stop();
    start();
    EXPECT_EQ(form().WavesampleNames[0], "Un Named");
}

TEST_F(MainWindowTest, CancelledColourChooserChangesNothing)
{
    auto* colours = static_cast<TfmSetColours*>(form().Window("TfmSetColours"));
    activate(colours);
    seams().colourAnswers = {std::nullopt};
    QTest::mouseClick(colours->shU[5], Qt::RightButton); // any button
    EXPECT_EQ(seams().colourPresets.size(), 1u);
    EXPECT_EQ(form().WavesampleColours[13], 8388608u);
    EXPECT_EQ(colours->shU[5]->brushColor(), QColor(0, 0, 0x80));
}

TEST_F(MainWindowTest, ContentsOpensTheUserGuide)
{
    form().ContentsClick();
    QWidget* help = form().findChild<QWidget*>("HelpWindow");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Corvane Help");
    auto* browser = help->findChild<QTextBrowser*>("HelpBrowser");
    ASSERT_NE(browser, nullptr);
    const QString text = browser->toPlainText();
    for (const char* topic : {"MIDI Setup", "Get UL Parameters", "Send to Mirage", "Reboot"})
        EXPECT_TRUE(text.contains(topic)) << topic;
}

} // namespace
} // namespace corvane::test

namespace corvane::test {
namespace {

class ThrowingWidget : public QWidget {
protected:
    void mousePressEvent(QMouseEvent*) override { throw std::runtime_error("the handler failed"); }
};

TEST_F(MainWindowTest, AnExceptionEscapingAHandlerIsReportedAndTheProgramGoesOn)
{
    ThrowingWidget w;
    w.resize(20, 20);
    w.show();
    QTest::mouseClick(&w, Qt::LeftButton);
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"box \"the handler failed\" \"Corvane\""});
    seams().clear();
    form().SpeedButton1Click();
    EXPECT_EQ(seams().lines(), std::vector<std::string>{"sent F0 0F 01 00 7F"});
}

class VirtualRunTest : public MirageFixture {
protected:
    VirtualRunTest()
    {
        autoStart = false;
        virtualMirageRun = true;
    }
};

TEST_F(VirtualRunTest, StoredPortsAreNotAppliedButWrittenBackUnchanged)
{
    SettingsData s = defaultSettings();
    s.midiInPort = 3;
    s.midiOutPort = 4;
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    start();
    EXPECT_EQ(form().MidiIn1->Port(), 0);
    EXPECT_EQ(form().MidiOut1->Port(), 0);
    EXPECT_TRUE(seams().boxes().empty());
    form().SpeedButton1Click();
    EXPECT_EQ(seams().sent().size(), 1u) << "the emulator is the output";
    form().Exit1Click();
    const SettingsData back = readSettings(settingsFilePath());
    EXPECT_EQ(back.midiInPort, 3);
    EXPECT_EQ(back.midiOutPort, 4);
}

} // namespace
} // namespace corvane::test

namespace corvane::test {
namespace {

TEST_F(MainWindowTest, EachActivationRunsTheWindowsHandlerOnce)
{
    TFormBase* w = form().Window("TfmSetColours");
    ASSERT_NE(w, nullptr);
    activate(w);
    EXPECT_EQ(w->ActivationCount(), 1);
    activate(w);
    EXPECT_EQ(w->ActivationCount(), 2);
}

} // namespace
} // namespace corvane::test
