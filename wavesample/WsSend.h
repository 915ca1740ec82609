// "Send Wavesample to Mirage": loads a mono 8-bit PCM WAV file, checks it,
// builds the wavesample dump and sends it into the wavesample the Mirage has
// selected, with the destination's page pointers shown beside the file's
// figures so that the user sees before sending whether it fits. "Import
// Audio..." takes any audio file instead and converts it into a wavesample,
// shown as a waveform and playable from memory before it is sent.
#pragma once

#include "AudioConvert.h"
#include "FormBase.h"
#include "ProgressBar.h"
#include "SendDump.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;
class QToolButton;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class TPlayerPanel;
class TValueBox;
class TWaveView;

class TfmWsSend : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWsSend(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmWsSend() override;

    static constexpr const char* Filter = "Wave files|*.wav";
    static constexpr const char* AudioFilter =
        "Audio files|*.wav *.aif *.aiff *.aifc *.flac *.ogg *.oga *.opus *.mp3 *.caf *.au *.snd *.w64 *.rf64";

    QPushButton* bnOpenFile;
    QLabel* Label8;
    QLineEdit* edFilename;
    QLabel* Label2;
    QLabel* Label1;
    QLabel* Label9;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label16;
    QLabel* Label17;
    QLabel* lbWavPercent;
    QLabel* Label10;
    QLabel* Label6;
    QLabel* Label5;
    QPushButton* bnSendWav;
    TProgressBar* ProgressBar1;
    QPushButton* bnCancelSend; // shown while a dump goes out
    QGroupBox* GroupBox2;
    QLabel* Label11;
    QComboBox* cbSelectWs;
    QLabel* Label12;
    TValueBox* edStartPage;
    QLabel* Label13;
    TValueBox* edEndPage;
    QLabel* Label14;
    QLineEdit* edPageCount;
    QLabel* Label15;
    QPushButton* bnRefreshParameters;
    QPushButton* bnRefreshU;
    QLabel* lbDoesNotFit;
    QPushButton* bnOK;
    QFrame* Bevel1;

    // Audio files of other formats.
    QPushButton* bnImportAudio;
    QLabel* lbImportRate;
    QSpinBox* edImportRate;
    QLabel* lbImportHz;
    QCheckBox* cbNormalise;
    QGroupBox* gbAudio;
    QCheckBox* cbLoop;
    QDoubleSpinBox* edLoopStart;
    QLabel* lbLoopLength;
    QDoubleSpinBox* edLoopLength;
    QComboBox* cbLoopUnit;
    QLabel* lbLoopPointers;
    QLabel* lbSourceFormat;
    QLabel* lbResultLength;
    QLabel* lbCut;
    TWaveView* pbWaveform;
    TPlayerPanel* MediaPlayer1;
    QToolButton* bnPlay;
    QToolButton* bnStop;
    QPushButton* bnCancelAudio;
    QFrame* Bevel2;
    QFrame* Bevel3;
    QFrame* Bevel4;
    QFrame* Bevel5;

    void bnOpenFileClick();
    void bnSendWavClick();
    void bnCancelSendClick();
    void cbSelectWsChange(int index);
    void bnRefreshParametersClick();
    void bnRefreshUClick();
    void bnOKClick();
    void bnImportAudioClick();
    void bnPlayClick();
    void bnStopClick();

    // Converts `path` as Import Audio does, without asking for a file: an
    // audio file opened with Corvane from the file manager.
    void ImportFile(const std::string& path);
    // Whether Import Audio reads files named so (by their ending).
    static bool IsAudioFileName(const std::string& name);

    // The dump that "Send Wav" sends (none after a refused or cancelled file).
    const std::optional<wav::SendDump>& Dump() const { return dump_; }
    // Pages between the destination's start and end page.
    int DestinationPages() const { return destinationPages_; }
    // The last accepted conversion (none after a refused file or a WAV file).
    const std::optional<audio::Conversion>& Converted() const { return converted_; }

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildFileRow();
    void buildFigures();
    void buildSendRow();
    void buildDestination();
    void connectHandlers();
    void sendDump();
    void offerToFit();
    void importAudio(const std::string& path, int maxPages);
    void reportSend(const MirageProtocol::LongSend& r, int index);
    void DestinationDisplay();
    void showFit();
    void refuse();
    void refresh(int half);
    void buildAudioControls();
    void buildAudioGroup();
    void showImportRate();
    void showDump();
    void clearAudio();
    audio::ImportOptions importOptions() const;
    void showConversion(const audio::Conversion& c);

    std::optional<wav::SendDump> dump_;
    bool sending_ = false;
    int destHalf_ = 0;
    int destNumber_ = 0;
    int destinationPages_ = 0;
    std::optional<audio::Conversion> converted_;
    int shownRate_ = audio::rateOfSampleTime(audio::DefaultSampleTimeUs); // the import rate set from the sample time
};

} // namespace corvane
