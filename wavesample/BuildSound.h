// "Build Sound": one keyboard half built from a SoundFont 2 preset, an SFZ
// file or audio files, shown zone by zone (table, keyboard, memory, the
// selected zone's waveform and loop, a player), then sent to the Mirage,
// saved as a .syx sound file or written into a slot of a disk image. The
// build runs beside the window with a progress bar and Cancel; nothing is
// sent or written until the user asks for a result that fits.
#pragma once

#include "FormBase.h"
#include "SoundBuilder.h"
#include "WaveView.h"

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace corvane {

class TPlayerPanel;
class TProgressBar;

// A waveform with the loop marked: its start and end as lines, the loop
// shaded.
class TLoopWaveView : public TWaveView {
    Q_OBJECT
public:
    using TWaveView::TWaveView;
    // Sample indices, the end one past the loop's last sample; none: no loop.
    void setLoop(std::optional<std::pair<int, int>> loop);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::optional<std::pair<int, int>> loop_;
};

// The keyboard's 61 keys with each zone's keys coloured under them as the
// keyboard allocation window colours them, and the half's 256 pages of
// memory with each zone's pages.
class TBuildPicture : public QWidget {
    Q_OBJECT
public:
    explicit TBuildPicture(QWidget* parent = nullptr);
    void setZones(const std::vector<build::BuiltZone>& zones, std::vector<QColor> colours, int selected);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int KeyPixels = 7;
    static constexpr int PagePixels = 2;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::vector<build::BuiltZone> zones_;
    std::vector<QColor> colours_;
    int selected_ = -1;
};

class TfmBuildSound : public TFormBase {
    Q_OBJECT
public:
    explicit TfmBuildSound(const WindowContext& context, QWidget* parent = nullptr);

    QPushButton* bnOpen;
    QPushButton* bnFolder;
    QLineEdit* edSource;
    QComboBox* cbPreset;
    QRadioButton* rbLower;
    QRadioButton* rbUpper;
    QComboBox* cbUnity;      // the key a wavesample made at 29,411 Hz plays at its own pitch
    QSpinBox* sbOctaveStep;  // octave-field steps to an octave
    QSpinBox* sbFineTune;    // every wavesample's fine tune; -1: the template's first wavesample's
    QSpinBox* sbZones;
    QCheckBox* cbSpread;
    QPushButton* bnBuild;
    QListWidget* lwSource;   // the source's zones by root, those to build ticked
    QComboBox* cbRoot;       // the root of the zone selected in the list
    QTableWidget* tbZones;
    TBuildPicture* pcPicture;
    TLoopWaveView* wvZone;
    TPlayerPanel* Player;
    QComboBox* cbPlayKey;    // "At its root" or a key
    QPushButton* bnEditZone; // the selected zone in the Wave Editor
    QPlainTextEdit* edReport;
    TProgressBar* ProgressBar1;
    QLabel* lbStatus;
    QPushButton* bnCancel;
    QPushButton* bnSend;
    QPushButton* bnSave;
    QComboBox* cbSlot;
    QPushButton* bnWrite;
    QPushButton* bnClose;

    static constexpr const char* Caption = "Build Sound";

    void bnOpenClick();
    void bnFolderClick();
    // The paths typed into the source line, split at "; " as it shows them.
    void edSourceReturn();
    // Takes the sources as the Open buttons do after their dialogs: a
    // SoundFont fills the preset list; "" or what is wrong.
    std::string OpenSources(const std::vector<std::string>& paths);
    // Reads the source's zones (the preset chosen, spread or not) into the
    // list, the builder's own choice ticked; "" or what is wrong. Sources
    // are read off the window's thread; these return when they are read.
    std::string ReadZones();
    void TickChosen();
    void lwSourceSelect();
    void cbRootChange();
    void bnBuildClick();
    void bnSendClick();
    void bnSaveClick();
    void bnWriteClick();
    void rbHalfClick();
    void tbZonesSelect();
    void cbPlayKeyChange();
    void bnEditZoneClick();

    const std::optional<build::BuildResult>& Result() const { return result_; }

    // Where the window keeps its settings (the unity key and fine tune of
    // each half and the octave step) between runs; none: they last while
    // it runs.
    static void SetSettingsFile(const std::string& path);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // The first time: within the screen's available area.
    void showEvent(QShowEvent* e) override;

private:
    void buildSourceRow();
    QGroupBox* buildSettings();
    void buildZoneList();
    void buildZoneView();
    void buildActions();
    void layOut(QGroupBox* settings);
    void connectHandlers();
    void connectChoices();

    void showResult();
    void clearResult();
    void setBusy(bool busy);
    int half() const;

    std::string readSource(const std::function<build::Source()>& read);
    void listZones(const std::vector<std::string>& ticked);
    static std::string zoneKey(const build::Zone& z) { return z.file + "|" + z.name; }
    void readSettings();
    void writeSettings() const;

    std::array<int, 2> unityKeys_{build::DefaultUnityKey[0], build::DefaultUnityKey[1]};
    std::array<int, 2> fineTunes_{-1, -1};
    bool placed_ = false;
    QWidget* content_ = nullptr; // all of the window, in a scroll area
    std::vector<std::string> sources_;
    build::Source source_;
    std::optional<build::BuildResult> result_;
    int builds_ = 0; // results shown so far: a zone edited elsewhere goes back only into its own
    std::string replaceZone(int builds, int row, const std::vector<std::uint8_t>& bytes, bool looped, int loopStart,
                            int loopEnd);
    bool busy_ = false;
    bool cancelled_ = false;
};

} // namespace corvane
