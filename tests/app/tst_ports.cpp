// Choosing MIDI ports: what start-up says, the "MIDI Setup" dialog, reopening.
#include "MirageFixture.h"

#include "MidiSetupDialog.h"
#include "Midiin.h"
#include "Midiout.h"
#include "Settings.h"
#include "VirtualDevice.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace corvane::test {
namespace {

// A silent second device, so there is a choice to make.
class SilentDevice : public VirtualMidiDevice {
public:
    explicit SilentDevice(std::string name) : VirtualMidiDevice(std::move(name)) {}
    void receive(const std::uint8_t* data, std::size_t len) override { got.emplace_back(data, data + len); }
    std::vector<Message> got;
};

class PortsTest : public MirageFixture {
protected:
    PortsTest() { autoStart = false; }
    void TearDown() override
    {
        MirageFixture::TearDown();
        unregisterVirtualDevice(&second);
    }
    TMidiSetupDialogBox* dialog() { return static_cast<TMidiSetupDialogBox*>(form().Window("TMidiSetupDialogBox")); }
    SilentDevice second{"Second device"};
};

TEST_F(PortsTest, DialogListsTheDevicesAndOkReopensBothPorts)
{
    registerVirtualDevice(&second);
    start();
    TMidiSetupDialogBox* d = dialog();
    EXPECT_EQ(d->windowTitle(), "MIDI Setup");
    ASSERT_GE(d->ComboBox1->count(), 2);
    EXPECT_EQ(d->ComboBox1->itemText(0).toStdString(), form().MidiIn1->DeviceName(0));
    EXPECT_EQ(d->ComboBox2->itemText(1), "Second device");
    EXPECT_EQ(d->ComboBox1->currentIndex(), 0);

    d->show();
    d->ComboBox2->setCurrentIndex(1);
    QTest::mouseClick(d->OKBtn, Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(form().MidiOutPort, 1);
    EXPECT_EQ(form().MidiOut1->Port(), 1);
    EXPECT_EQ(form().MidiIn1->Port(), 0);
    EXPECT_TRUE(form().MidiIn1->Using());
    EXPECT_TRUE(seams().boxes().empty());
    form().SpeedButton1Click();
    ASSERT_EQ(second.got.size(), 1u) << "requests now go to the chosen output";
    EXPECT_EQ(second.got[0], (Message{0xF0, 0x0F, 0x01, 0x00, 0x7F, 0xF7}));
    EXPECT_TRUE(seams().sent().empty()) << "and no longer to the emulator";
}

TEST_F(PortsTest, CancelLeavesThePortsAndTheNextShowingSelectsTheStoredOnes)
{
    registerVirtualDevice(&second);
    start();
    TMidiSetupDialogBox* d = dialog();
    d->show();
    d->ComboBox1->setCurrentIndex(1);
    QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
    EXPECT_EQ(form().MidiInPort, 0);
    EXPECT_EQ(form().MidiIn1->Port(), 0);
    d->show();
    EXPECT_EQ(d->ComboBox1->currentIndex(), 0);

    // A system switched to and cancelled: the program picks again.
    emit d->ComboBox3->activated(1);
    EXPECT_EQ(form().MidiSystem, "jack");
    d->CancelBtnClick();
    EXPECT_EQ(form().MidiSystem, "");
    EXPECT_TRUE(form().MidiIn1->Using());
}

TEST_F(PortsTest, NothingSelectedStoresMinusOneAndReportsTheFailedOpen)
{
    start();
    TMidiSetupDialogBox* d = dialog();
    d->show();
    d->ComboBox1->setCurrentIndex(-1);
    d->OKBtnClick();
    EXPECT_EQ(form().MidiInPort, -1);
    EXPECT_EQ(seams().lines(),
              std::vector<std::string>{"box \"Error - MIDI input port is not ready.\" \"MIDI Setup\""});
}

// No device at start: said once, in the window (the status bar, the MIDI
// Setup dialog and the tooltip of every shut send button), not in boxes;
// a port that opens later opens the buttons again.
TEST_F(PortsTest, NoDevicesIsSaidInTheWindowAndSendingIsShutWithTheReason)
{
    detachEmulator(); // no device at all, unless the machine has its own
    start();
    if (form().MidiIn1->NumDevs() > 0)
        GTEST_SKIP() << "this machine has MIDI devices of its own";
    EXPECT_TRUE(seams().boxes().empty());
    EXPECT_EQ(form().StatusPanelText(3), "No MIDI port: Setup - MIDI Ports");
    EXPECT_EQ(dialog()->ComboBox1->count(), 0);
    EXPECT_EQ(dialog()->lbState->text(), "No MIDI device was found: connect the interface, then choose its ports here.");
    const std::string why = "Nothing can be sent: no MIDI output device was found. Connect the interface, then "
                            "choose it in Setup - MIDI Ports.";
    auto* send = form().Window("TfmWsSend")->findChild<QPushButton*>("bnSendWav");
    ASSERT_TRUE(send);
    send->setEnabled(true); // as a file read into the window enables it
    EXPECT_FALSE(send->isEnabled());
    EXPECT_EQ(send->toolTip().toStdString(), why);
    form().SpeedButton1Click(); // goes nowhere, reports nothing
    EXPECT_TRUE(seams().boxes().empty());

    // The device comes, is chosen: sending opens as the window left it.
    registerVirtualDevice(&second);
    QCoreApplication::processEvents(); // the dialog reads the devices again when shown after its making
    dialog()->show();
    ASSERT_EQ(dialog()->ComboBox2->count(), 1);
    dialog()->ComboBox2->setCurrentIndex(0);
    dialog()->OKBtnClick();
    ASSERT_TRUE(form().MidiOut1->Using());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(send->toolTip().isEmpty());
    dialog()->show();
    EXPECT_EQ(dialog()->lbState->text(), "") << "both ports of the device are open";
}

TEST_F(PortsTest, AStoredPortBeyondTheDevicesIsReportedOnceAndNotOpened)
{
    SettingsData s = defaultSettings();
    s.midiInPort = 7;
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    start();
    EXPECT_EQ(form().MidiInPort, 7) << "kept for the file";
    EXPECT_FALSE(form().MidiIn1->Using()) << "not taken as device 0";
    seams().advance(5 * TForm1::PortWatchInterval);
    EXPECT_TRUE(seams().lines().empty()) << "said in the window, not in a box";
    dialog()->show();
    EXPECT_EQ(dialog()->ComboBox1->currentIndex(), -1) << "no selection for that direction";
    EXPECT_EQ(dialog()->lbState->text(), "No MIDI input port is open: nothing from the Mirage is heard.");
}

TEST_F(PortsTest, AStoredPortIsOpenedByNameWhereverItIsListedNow)
{
    registerVirtualDevice(&second);
    SettingsData s = defaultSettings();
    s.midiOutPort = 0; // the number of an earlier run
    s.midiOutPortName = "Second device";
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    start();
    EXPECT_EQ(form().MidiOut1->Port(), 1);
    form().SpeedButton1Click();
    EXPECT_EQ(second.got.size(), 1u);
    EXPECT_TRUE(seams().boxes().empty());

    form().Exit1Click();
    const SettingsData saved = readSettings(settingsFilePath());
    EXPECT_EQ(saved.midiOutPort, 1);
    EXPECT_EQ(saved.midiOutPortName, "Second device");
    EXPECT_EQ(saved.midiInPort, 0);
    EXPECT_EQ(saved.midiInPortName, form().MidiIn1->DeviceName(0));
}

TEST_F(PortsTest, APortThatGoesIsReportedAndReconnectedByNameWhenItReturns)
{
    registerVirtualDevice(&second);
    SettingsData s = defaultSettings();
    s.midiInPortName = s.midiOutPortName = "Second device";
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    start();
    ASSERT_EQ(form().MidiOut1->Port(), 1);

    unregisterVirtualDevice(&second);
    seams().advance(TForm1::PortWatchInterval);
    EXPECT_EQ(form().StatusPanelText(3), "MIDI In missing: Second device; MIDI Out missing: Second device");
    EXPECT_TRUE(seams().boxes().empty()) << "said in the status bar, not in a box";

    // It comes back, listed under another number now.
    SilentDevice other("Other device");
    registerVirtualDevice(&other);
    registerVirtualDevice(&second);
    seams().advance(TForm1::PortWatchInterval);
    EXPECT_EQ(form().StatusPanelText(3), "MIDI In back: Second device; MIDI Out back: Second device");
    EXPECT_EQ(form().MidiOutPort, 2);
    form().SpeedButton1Click();
    EXPECT_EQ(second.got.size(), 1u);
    second.transmit(mirage().configDump());
    RecordingSeams::deliver();
    EXPECT_EQ(form().ConfigDump[3], 0x02) << "and the input hears it again";
    unregisterVirtualDevice(&other);
}

TEST_F(PortsTest, TheDialogReadsTheDevicesAfreshAndShowsWholeNames)
{
    start();
    const std::string name = "a2j:USB MIDI Interface [24] (capture): USB MIDI Interface MIDI 1";
    SilentDevice later(name);
    registerVirtualDevice(&later);
    TMidiSetupDialogBox* d = dialog();
    d->show();
    const int at = d->ComboBox2->findText(QString::fromStdString(name));
    ASSERT_GE(at, 0) << "connected after start, listed at the next showing";
    d->ComboBox2->setCurrentIndex(at);
    QLineEdit* edit = d->ComboBox2->lineEdit();
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()), edit->contentsRect().width());
    d->CancelBtnClick();
    unregisterVirtualDevice(&later);
}

// With no system chosen and none running, the dialog shows the one the
// program would use rather than a blank.
TEST_F(PortsTest, TheMidiSystemShownIsNeverBlank)
{
    start();
    TMidiSetupDialogBox* d = dialog();
    d->show();
    EXPECT_GE(d->ComboBox3->currentIndex(), 0);
    EXPECT_FALSE(d->ComboBox3->currentText().isEmpty());
}

TEST_F(PortsTest, TheMidiSystemIsOfferedChosenAndKeptInTheSettings)
{
    // A choice in the file, beside a line the program does not know.
    QFile file(settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[MIDIports]\nMidiApi=jack\nLatency=3\n");
    file.close();
    start();
    EXPECT_EQ(form().MidiSystem, "jack");
    EXPECT_EQ(chosenMidiSystem(), "jack") << "the ports are made on it";
    TMidiSetupDialogBox* d = dialog();
    d->show();
    ASSERT_EQ(d->Label3->text(), "MIDI System");
    std::vector<std::string> offered;
    for (int i = 0; i < d->ComboBox3->count(); ++i)
        offered.push_back(d->ComboBox3->itemText(i).toStdString());
    EXPECT_EQ(offered, (std::vector<std::string>{"ALSA", "JACK"}));
    EXPECT_EQ(d->ComboBox3->currentText(), "JACK");

    // Switched to ALSA and back by Cancel; then to ALSA for good by OK.
    d->ComboBox3->setCurrentIndex(0);
    emit d->ComboBox3->activated(0);
    EXPECT_EQ(chosenMidiSystem(), "alsa");
    EXPECT_EQ(d->ComboBox1->itemText(0).toStdString(), form().MidiIn1->DeviceName(0)) << "the lists follow";
    d->CancelBtnClick();
    EXPECT_EQ(chosenMidiSystem(), "jack");
    d->show();
    emit d->ComboBox3->activated(0);
    d->ComboBox1->setCurrentIndex(0);
    d->ComboBox2->setCurrentIndex(0);
    d->OKBtnClick();
    EXPECT_TRUE(form().MidiOut1->Using());
    form().SpeedButton1Click();
    EXPECT_EQ(seams().sent().size(), 1u) << "the emulator is still reached";

    form().Exit1Click();
    EXPECT_EQ(readSettings(settingsFilePath()).midiApi, "alsa");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Latency=3"));
    stop();
    chooseMidiSystem("");
}

TEST_F(PortsTest, TheCommandLinesMidiSystemGoesBeforeTheSettings)
{
    SettingsData s = defaultSettings();
    s.midiApi = "alsa";
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    TForm1 form(seams(), false, "jack");
    EXPECT_EQ(chosenMidiSystem(), "jack");
    chooseMidiSystem("");
}

TEST_F(PortsTest, EveryDeviceIsListedAndTheNinthAndLaterCanBeChosen)
{
    std::vector<std::unique_ptr<SilentDevice>> many;
    for (int i = 0; i < 13; ++i) {
        many.push_back(std::make_unique<SilentDevice>("Device " + std::to_string(i)));
        registerVirtualDevice(many.back().get());
    }
    start();
    const int listed = form().MidiIn1->NumDevs();
    EXPECT_GE(listed, 14);
    EXPECT_EQ(form().MidiInNames.size(), static_cast<std::size_t>(listed));
    TMidiSetupDialogBox* d = dialog();
    d->show();
    EXPECT_EQ(d->ComboBox2->count(), form().MidiOut1->NumDevs());
    d->ComboBox2->setCurrentIndex(13);
    d->OKBtnClick();
    EXPECT_EQ(form().MidiOutPort, 13);
    EXPECT_EQ(form().MidiOutPortName, "Device 12");
    form().SpeedButton1Click();
    EXPECT_EQ(many[12]->got.size(), 1u) << "the request goes to the thirteenth device";
    stop();
    for (auto& dev : many)
        unregisterVirtualDevice(dev.get());
}

} // namespace
} // namespace corvane::test
