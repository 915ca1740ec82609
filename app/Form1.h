// The main window: owner of the MIDI ports, the dumps, the selection state,
// the settings and the presets; block diagram, tool bar, menus, status bar.
#pragma once

#include "MidiPortSetup.h"
#include "MirageProtocol.h"
#include "PortKeeper.h"
#include "Presets.h"
#include "Settings.h"
#include "WindowContext.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QToolButton;
class QFrame;

namespace corvane {

class TMidiIn;
class TMidiOut;
class TFormBase;
class TImage;
class TShape;

class TForm1 : public QMainWindow, public MirageProtocol, public MidiPortSetup {
    Q_OBJECT
public:
    // `virtualMirage`: the built-in emulator is registered as the first
    // device; the settings file's port numbers are kept but not applied.
    // `midiApi`: the MIDI system for this run ("alsa", "jack"), given on the
    // command line; "" takes the settings file's.
    explicit TForm1(Seams& seams, bool virtualMirage = false, const std::string& midiApi = {},
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // --- MIDI ports ----------------------------------------------------------
    TMidiIn* MidiIn1;
    TMidiOut* MidiOut1;
    int MidiInCount = 0;
    int MidiOutCount = 0;
    std::vector<std::string> MidiInNames; // every device listed
    std::vector<std::string> MidiOutNames;
    int MidiInPort = 0;
    int MidiOutPort = 0;
    // The chosen devices' names ("" when not known): a port is opened by
    // name wherever its device is listed, and its number follows.
    std::string MidiInPortName;
    std::string MidiOutPortName;
    // The MIDI system chosen ("alsa", "jack"; "" lets the program pick).
    std::string MidiSystem;
    std::vector<std::string> MidiSystemNames() const override;
    int ListedMidiSystem() const override;
    bool MidiSystemChosen() const override { return !MidiSystem.empty(); }
    void SetMidiSystem(int index) override;
    void ReopenMidiPorts() override;
    void ReadMidiDevices() override;
    std::vector<std::string> MidiInputNames() const override { return MidiInNames; }
    std::vector<std::string> MidiOutputNames() const override { return MidiOutNames; }
    int ListedMidiInPort() const override;
    int ListedMidiOutPort() const override;
    void SetMidiPorts(int in, int out) override;
    // How often the ports are looked after: a device that has gone is
    // reported in the status bar and reconnected when it is back.
    static constexpr int PortWatchInterval = 1000;

    // --- settings and presets --------------------------------------------------
    std::array<std::string, 16> WavesampleNames;
    std::array<std::uint32_t, 16> WavesampleColours{};
    EnvPresetTable EnvPresets;
    // Index (0-15) of the wavesample being named, set before the naming
    // dialog is shown.
    int NameSampleIndex = 0;

    // --- windows ---------------------------------------------------------------
    // Windows are registered once, in order, under their class name; menu
    // items of windows that are not registered stay disabled. A window
    // registered with a maker is built when it is first asked for (shown,
    // or reached by another window or a test), and lives on from then.
    using WindowMaker = std::function<TFormBase*()>;
    void RegisterWindow(const std::string& className, TFormBase* window);
    void RegisterWindow(const std::string& className, WindowMaker make);
    bool HasWindow(const std::string& className) const;
    TFormBase* Window(const std::string& className);
    // Every window, in registration order, each built if it was not yet.
    const std::vector<std::pair<std::string, TFormBase*>>& Windows();
    // The class names in registration order, building none.
    std::vector<std::string> WindowNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : windowOrder_)
            names.push_back(entry.first);
        return names;
    }
    void ShowWindow(const std::string& className);
    // What every other window is given at creation.
    WindowContext Context();
    void UpdateMenus();

    // Text of status bar panel i, as shown.
    QString StatusPanelText(int i) const;

    bool VirtualMirageRun() const { return virtualMirage_; }

    // --- handlers -----------------------------------------------------------------
    void SpeedButton1Click();
    void sbRefreshULClick();
    void N11Click();
    void N21Click();
    void N31Click();
    void N12Click();
    void N22Click();
    void N32Click();
    void N13Click();
    void N23Click();
    void N33Click();
    void SaveToMdiskUL1Click();
    void SaveToMdiskUL2Click();
    void SaveToMdiskUL3Click();
    void SaveToMdiskU1Click();
    void SaveToMdiskU2Click();
    void SaveToMdiskU3Click();
    void SaveToMdiskL1Click();
    void SaveToMdiskL2Click();
    void SaveToMdiskL3Click();
    void SaveConfiguration1Click();
    void Reboot1Click();
    void Exit1Click();
    void FormClose();
    void ContentsClick();
    void KeepEditorsOpenClick();
    // Why nothing can be sent to the instrument now; empty when it can.
    std::string SendBlocked() const;
    std::string PortState() const override;
    void AboutClick();
    // Edit → Undo, Redo; Mirage → Check Mirage: fetches the configuration
    // and both program dumps and reports what differs from the copy.
    void UndoClick();
    void RedoClick();
    void CheckMirageClick();

    // Menu actions and tool buttons by object name, for tests and tools.
    QAction* Action(const QString& objectName) const;
    QToolButton* ToolButton(const QString& objectName) const;

protected:
    void StatusTextChanged(int panel) override;
    std::string PortsText() const override;
    std::string InputName() const override;
    void ConversationEnded() override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Looks, `limitMs` from now, whether a dump of each kind has arrived
    // since the counts `before` (taken now when not given).
    void expectAnswer(std::vector<Arrival> kinds, const std::string& asked, int limitMs, std::vector<int> before = {});
    std::vector<int> answerTimers_;
    void buildToolBar(QWidget* client);
    void buildBlockDiagram(QWidget* client);
    void buildBlocks(QWidget* client, int upperY, int lowerY);
    void buildStatusBar(QWidget* client);
    void buildMenus();
    void buildDiskMenu(QMenuBar* bar);
    void buildWavesampleMenu(QMenuBar* bar);
    void buildMirageMenu(QMenuBar* bar);
    void buildFunctionsMenu(QMenuBar* bar);
    void buildSetupAndHelpMenus(QMenuBar* bar);
    void buildHistoryMenus(QMenuBar* bar); // Form1Edit.cpp
    void showHistory(EditHistory::Change c);
    QAction* addItem(QMenu* menu, const QString& objectName, const QString& text,
                     std::function<void()> handler);
    QAction* addWindowItem(QMenu* menu, const QString& objectName, const QString& text,
                           const std::string& windowClass);
    void loadSettings(const std::string& midiApi);
    void openPortsAtStart();
    void openPorts(bool report);
    void copyDeviceLists();
    void watchPorts();
    void showPortNotes();
    void noteArrival(Arrival a);
    bool showingDrift() const;
    void loadSound(int halves, int sound);
    void saveToDisk(int halves, int slot);
    bool mayLeave(std::function<void()> leave);

    bool virtualMirage_;
    std::unique_ptr<PortKeeper<TMidiIn>> inKeeper_;
    std::unique_ptr<PortKeeper<TMidiOut>> outKeeper_;
    int portWatchTimer_ = 0;
    SettingsData loadedSettings_;
    std::vector<std::pair<std::string, TFormBase*>> windowOrder_;
    std::map<std::string, WindowMaker> windowMakers_; // of windows not built yet
    std::map<QAction*, std::string> windowActions_;
    std::map<std::string, TImage*> windowImages_;
    std::array<QLabel*, 4> statusPanels_{};
    QWidget* helpWindow_ = nullptr;
    std::string lastArrivalNote_; // "Configuration received", "Programs received"
    std::function<void()> leaveWhenFree_; // quitting, once the stopped transfer has ended
    int historyListener_ = 0;
    std::string statusBeforeDrift_; // the last panel's text, back when the drift marks go
    std::string newsShown_;         // the history's news, while the last panel shows it
};

// The single instance every window reaches.
extern TForm1* Form1;

} // namespace corvane
