// "Disk Images": the six sounds of a floppy disk image, each wavesample's
// pages and waveform, played from memory with its loop; a slot sent to the
// instrument, saved as a .syx file or exported as audio files; and a slot
// written from the instrument or from a .syx file, after a confirmation
// that names what is replaced, optionally keeping a copy of the image.
// A sound dragged from the library onto a slot is written there the same
// way. The jobs with the instrument run as the sound windows run theirs.
#pragma once

#include "DiskImage.h"
#include "SoundWindows.h"

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QListWidget;

class QDropEvent;

namespace corvane {

struct SoundDrag;
class TPlayerPanel;
class TWaveView;

class TfmDiskImages : public TSoundJobForm {
    Q_OBJECT
public:
    explicit TfmDiskImages(const WindowContext& context, QWidget* parent = nullptr);

    static constexpr const char* Caption = "Disk Images";

    QPushButton* bnOpen;
    QLineEdit* edImage;
    QListWidget* lvSlots;
    QGroupBox* gbWavesamples;
    std::array<QRadioButton*, 8> rbWavesample{};
    std::array<TWaveView*, 8> wvWavesample{};
    TPlayerPanel* MediaPlayer1;
    QComboBox* cbHalf; // the instrument's half a slot is sent to or written from
    QPushButton* bnSend;
    QPushButton* bnSaveSyx;
    QPushButton* bnExport;
    QComboBox* cbFormat;
    QPushButton* bnWriteInstrument;
    QPushButton* bnWriteSyx;
    QCheckBox* cbBackup;

    // Opens an image as the Open button does after its dialog.
    bool OpenImage(const std::string& path);
    int SelectedSlot() const;
    void SelectSlot(int slot);
    // The backup copy of an image: the image's name with ".bak" added.
    static std::string BackupPath(const std::string& imagePath) { return imagePath + ".bak"; }

    void bnOpenClick();
    void bnSendClick();
    void bnSaveSyxClick();
    void bnExportClick();
    void bnWriteInstrumentClick();
    void bnWriteSyxClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void acceptSoundDrops();
    // The slot row a library sound is dropped on, or -1.
    int dropSlot(const QDropEvent* event) const;
    void writeDropped(const SoundDrag& drag, int slot);
    void buildSlotControls();
    void buildActions();
    void layOut();
    void showSlots();
    void showSlot();
    void wavesampleChosen(int wavesample);
    void enableActions();
    std::vector<QWidget*> lockedByJobs() const;
    std::string stem() const;
    std::string slotSummary(int slot) const;
    // Asks before `what` replaces the selected slot and keeps the backup;
    // false when the user said no or the backup could not be written.
    bool confirmReplace(const std::string& what);
    void writeHalf(const sound::Half& half, const std::string& what);

    std::string path_;
    disk::Image image_;
    bool open_ = false;
};

} // namespace corvane
