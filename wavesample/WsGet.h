// "Get Wavesample": asks the Mirage for the sample data of its selected
// wavesample, shows what arrived (page count, size, checksum and a picture
// of the wave), plays it from memory, writes it as "test.wav", or as a
// WAV file of the user's choosing, or as a 16- or 24-bit WAV, AIFF or FLAC
// file at the wavesample's rate or at 44.1 or 48 kHz ("Export Audio...").
#pragma once

#include "FormBase.h"
#include "PlaySound.h"
#include "ProgressBar.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace corvane {

class TPlayerPanel;
class TWaveView;

class TfmWsGet : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWsGet(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmWsGet() override;

    static constexpr const char* ExportName = "test.wav";
    static constexpr int PollMs = 100;
    static constexpr int LeastPolls = 20; // the least wait, 2 s

    // Polls a request waits for a dump of `pages`: its time on the wire at
    // 3,125 bytes a second and two seconds for the request and the answer to
    // start (a busy instrument answers late), never fewer than LeastPolls.
    static int PollsFor(int pages);

    QLabel* Label4;
    QComboBox* cbSelectWs;
    QPushButton* bnReqWs;
    QPushButton* bnMakeIntoWav;
    QPushButton* bnSaveAs;
    TPlayerPanel* MediaPlayer1;
    QToolButton* bnPlay;
    QToolButton* bnStop;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* lbPageCount;
    QLabel* Label2;
    QLabel* lbWsSize;
    QLabel* Label3;
    QLabel* lbChecksum;
    QLabel* lbWritten;
    TProgressBar* ProgressBar1;
    QPushButton* bnOK;
    QFrame* Bevel1;
    TWaveView* pbWaveform;
    QGroupBox* gbExport;
    QPushButton* bnExportAudio;
    QComboBox* cbExportFormat;
    QComboBox* cbExportRate;
    QPushButton* bnCancelAudio;

    // The choices of cbExportFormat and cbExportRate, in their order.
    struct ExportFormat {
        const char* name;
        int container; // audio::Container
        int bits;
    };
    static const ExportFormat ExportFormats[6];
    static constexpr int ExportRates[3] = {0, 44100, 48000}; // 0: the wavesample's own rate

    void cbSelectWsChange(int index);
    void bnReqWsMouseDown();
    void bnReqWsClick();
    void bnMakeIntoWavClick();
    void bnSaveAsClick();
    void bnPlayClick();
    void bnStopClick();
    void bnOKClick();
    void bnExportAudioClick();

    // What the window shows and writes: the sample bytes of the last dump
    // that arrived, and its checksum when the whole dump came.
    struct Received {
        int pages = 0;
        std::vector<std::uint8_t> samples;
        std::optional<std::uint8_t> checksum;
        bool complete = false;
        std::optional<SoundLoop> loop; // the wavesample's loop when on and known, from its start page
    };
    const Received& Data() const { return received_; }
    // Polls the last request waited at most.
    int PollLimit() const { return pollLimit_; }

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildRequestColumn();
    void buildInfo();
    void buildExport();
    void connectHandlers();
    void requestWavesample();
    bool awaitAnswer(int before, const MirageProtocol::Transfer& transfer);
    void keepNothing();
    void bnCancelAudioClick();
    int expectedPages() const;
    void takeReceived();
    bool writeWav(const std::string& path);
    std::optional<SoundLoop> receivedLoop() const;
    void showExportRate();

    Received received_;
    bool waiting_ = false;
    bool dropNextDump_ = false; // the answer of a cancelled request
    int pollLimit_ = 0;
};

} // namespace corvane
