// "Wave Editor": one wavesample on the computer, seen down to single
// samples, cut, shaped, filtered and looped the instrument's way, heard as
// the instrument plays it and sent back. It opens the current wavesample of
// the instrument (asked for as Get does) or any audio file through the
// conversion at the wavesample rate, also dropped on it. Edits work on a
// floating-point copy with an undo history of the window's own; the samples
// become 8-bit only when sent or saved, and an unedited wavesample goes back
// byte for byte.
#pragma once

#include "FormBase.h"
#include "ProgressBar.h"
#include "SoundFile.h"
#include "SoundTransfer.h"
#include "WaveEdit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QToolButton;

namespace corvane {

class TPlayerPanel;
class TWaveEditView;
class TWaveOverview;

class TfmWaveEditor : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWaveEditor(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmWaveEditor() override;

    static constexpr const char* Caption = "Wave Editor";
    static constexpr const char* WaveFilter = "Wave files|*.wav";
    static constexpr const char* SyxFilter = "SysEx files|*.syx";
    static constexpr const char* ImageFilter = "Disk images|*.img *.ima *.dsk *.edm";
    static constexpr const char* ClipboardFormat = "application/x-corvane-wave";

    QMenuBar* MainMenu;
    QMenu* mnFile;
    QMenu* mnEdit;
    QMenu* mnProcess;
    QMenu* mnLoop;
    QMenu* mnView;
    QAction *acOpenCurrent, *acOpenFile, *acOpenSound, *acOpenImage, *acSend, *acSaveWav, *acSaveSyx, *acWriteSlot,
        *acReplaceInBuild, *acClose;
    QAction *acUndo, *acRedo, *acCut, *acCopy, *acPaste, *acPasteMix, *acDelete, *acTrim, *acInsertSilence,
        *acSelectAll, *acPencil;
    QAction *acGain, *acNormalise, *acFadeIn, *acFadeOut, *acFadeInPower, *acFadeOutPower, *acReverse, *acInvert,
        *acRemoveDc, *acLowPass, *acHighPass, *acEqualiser, *acResample;
    QAction *acLoopSwitch, *acFindLoop, *acCrossfade;
    QAction *acZoomIn, *acZoomOut, *acZoomSelection, *acFit;

    QLabel* lbSource;
    TWaveEditView* pbWave;
    TWaveOverview* pbOverview;
    QScrollBar* sbScroll;
    QLabel* lbCursor;
    QLabel* lbSelection;
    QLabel* lbPages;
    QLabel* lbLoop;
    QLabel* lbKey;
    QSpinBox* edKey;
    TPlayerPanel* MediaPlayer1;
    QToolButton* bnPlay;
    QToolButton* bnStop;
    TProgressBar* ProgressBar1;
    QPushButton* bnCancel;
    QLabel* lbStatus;

    // Where the samples came from, and so where Send to Mirage puts them.
    struct Origin {
        bool instrument = false; // the current wavesample of the instrument
        int index = 0;           // L1-L8, U1-U8 as 0-15
        int startPage = 0;
        int pages = 0;           // its pages in the copy when opened
        std::string file;        // the file, as shown
        std::string image;       // the disk image it came from, to write back into
        int slot = -1;           // and its slot
    };

    // A value asked for by a Process item's dialog: the spin box's name,
    // label, first value and range.
    struct Ask {
        const char* name;
        const char* label;
        double value, min, max;
        int decimals = 1;
    };

    // The buffer edited; none before anything was opened.
    const std::optional<waveedit::WaveBuffer>& Buffer() const { return buffer_; }
    const Origin& Opened() const { return origin_; }
    // Opens an audio file as Open Audio File... does, without asking for it.
    void OpenFile(const std::string& path);

    // A zone of a half built in Build Sound, and the way back into the build
    // ("Replace in Build"): `replace` takes the zone's pages and its loop and
    // answers "" or why the build did not take them.
    struct BuiltZone {
        std::string name; // "L2 Tone G3.wav"
        int startPage = 0;
        int pages = 0;
        std::vector<std::uint8_t> bytes;
        waveedit::Loop loop;
        std::function<std::string(const std::vector<std::uint8_t>&, const waveedit::Loop&)> replace;
    };
    void OpenBuiltZone(BuiltZone zone);
    // A wavesample held elsewhere (a sound of the library) named `shown`:
    // its bytes from page `startPage` and its loop from there.
    void OpenWavesample(const std::string& shown, int startPage, const std::vector<std::uint8_t>& bytes,
                        const waveedit::Loop& loop, int rate);

    void acOpenCurrentClick();
    void acOpenFileClick();
    void acOpenSoundClick();
    void acOpenImageClick();
    void acWriteSlotClick();
    void acReplaceInBuildClick();
    void acSendClick();
    void acSaveWavClick();
    void acSaveSyxClick();
    void bnPlayClick();
    void bnStopClick();
    void bnCancelClick();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    QAction* item(QMenu* menu, const char* name, const QString& text, std::function<void()> fn,
                  const QKeySequence& key = {});
    void buildMenus();
    void buildControls();
    void load(waveedit::WaveBuffer buffer, Origin origin);
    void openCurrent();
    void openSound(const std::string& path);
    void openImage(const std::string& path);
    struct Candidate {
        sound::Half half;
        int slot; // of a disk image; -1 for a sound file
        std::string slotName;
    };
    void choose(const std::vector<Candidate>& found, const std::string& path, const std::string& shown);
    void sendSequence();
    sound::JobHooks startJob(const MirageProtocol::Transfer& transfer);
    void endJob();
    bool fitInto(int pages, const std::string& ws);
    std::vector<std::uint8_t> pageBytes(int pages) const;
    std::string writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

    // Edits: on the selection (`needsSelection`) or on it or the whole.
    void edit(const std::function<void(waveedit::WaveBuffer&, waveedit::Range)>& fn, bool needsSelection = false,
              const char* what = nullptr);
    waveedit::Range target() const;
    void edited();
    void cut();
    void copy();
    void paste(bool mix);
    std::optional<waveedit::Samples> clipboardAudio();
    void insertSilence();
    void askAndProcess(const char* title, std::vector<Ask> fields,
                       const std::function<void(waveedit::WaveBuffer&, waveedit::Range, const std::vector<double>&)>& fn);
    void findLoop();
    void crossfade();
    void loopSwitch(bool on);

    void showReadout(int sample);
    void showSelection();
    void showFigures();
    void showScroll();
    void updateActions();
    void offerSound();
    void soundChanged();
    int unityKey() const;
    std::string wsName(int index) const;
    void say(const std::string& text);

    std::optional<waveedit::WaveBuffer> buffer_;
    Origin origin_;
    std::optional<sound::Half> source_; // the half of the file or slot it came from
    std::function<std::string(const std::vector<std::uint8_t>&, const waveedit::Loop&)> replaceInBuild_;
    bool busy_ = false;
    bool playing_ = false;
    bool soundStale_ = true;
};

} // namespace corvane
