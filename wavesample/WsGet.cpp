#include "WsGet.h"

#include "Named.h"
#include "PlayerPanel.h"
#include "Dumps.h"
#include "Frames.h"
#include "MirageProtocol.h"
#include "PollWait.h"
#include "WavFile.h"
#include "WaveView.h"
#include "WsAudio.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <fstream>
#include <utility>

namespace corvane {

namespace {

constexpr int WireBytesPerSecond = 3125;
constexpr const char* const ReceiveCaption = "MIDI Receive Problem";
constexpr const char* const WaveFilter = "Wave files|*.wav";

} // namespace

const TfmWsGet::ExportFormat TfmWsGet::ExportFormats[6] = {
    {"WAV 16-bit", static_cast<int>(audio::Container::Wav), 16},
    {"WAV 24-bit", static_cast<int>(audio::Container::Wav), 24},
    {"AIFF 16-bit", static_cast<int>(audio::Container::Aiff), 16},
    {"AIFF 24-bit", static_cast<int>(audio::Container::Aiff), 24},
    {"FLAC 16-bit", static_cast<int>(audio::Container::Flac), 16},
    {"FLAC 24-bit", static_cast<int>(audio::Container::Flac), 24},
};

int TfmWsGet::PollsFor(int pages)
{
    const long long bytes = 8 + 512LL * std::clamp(pages, 0, 256);
    const long long ms = (bytes * 1000 + WireBytesPerSecond - 1) / WireBytesPerSecond + 2000;
    return std::max<int>(LeastPolls, static_cast<int>((ms + PollMs - 1) / PollMs));
}

TfmWsGet::TfmWsGet(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmWsGet");
    setWindowTitle("Get Wavesample");
    SetFixedFrame({380, 318});
    UseEditorFont();

    buildRequestColumn();
    buildInfo();
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(246, 150, 75, 25);

    pbWaveform = named(new TWaveView(this), "pbWaveform");
    pbWaveform->setGeometry(4, 188, 372, 124);

    buildExport();
    connectHandlers();
}

// The wavesample chosen, asked for and saved, and its player.
void TfmWsGet::buildRequestColumn()
{
    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(4, 4, 180, 178);
    Label4 = namedLabel(this, "Label4", "Select Wavesample", 12, 14, 108);
    cbSelectWs = named(new QComboBox(this), "cbSelectWs");
    for (int i = 0; i < 16; ++i)
        cbSelectWs->addItem(QString("%1%2").arg(i < 8 ? 'L' : 'U').arg(i % 8 + 1));
    cbSelectWs->setGeometry(120, 10, 57, 22);
    bnReqWs = named(new QPushButton("Request Ws", this), "bnReqWs");
    bnReqWs->setGeometry(12, 42, 164, 25);
    bnMakeIntoWav = named(new QPushButton("Make Into Wav", this), "bnMakeIntoWav");
    bnMakeIntoWav->setGeometry(12, 74, 164, 25);
    bnMakeIntoWav->setEnabled(false);
    bnSaveAs = named(new QPushButton("Save As...", this), "bnSaveAs");
    bnSaveAs->setGeometry(12, 106, 164, 25);
    bnSaveAs->setEnabled(false);

    // The player of what arrived, from "Make Into Wav" on.
    MediaPlayer1 = new TPlayerPanel(this, Ctx().seams);
    MediaPlayer1->move(12, 140);
    bnPlay = MediaPlayer1->bnPlay;
    bnStop = MediaPlayer1->bnStop;

    // Where "Make Into Wav" or "Save As..." wrote the file, the whole path
    // as the tooltip.
    lbWritten = namedLabel(this, "lbWritten", QString(), 194, 106, 180, 36);
}

// What arrived, and the progress while it arrives.
void TfmWsGet::buildInfo()
{
    GroupBox1 = named(new QGroupBox("Wavesample Info", this), "GroupBox1");
    GroupBox1->setStyleSheet("QGroupBox { font-weight: bold; color: black; }");
    GroupBox1->setGeometry(192, 4, 182, 96);
    Label1 = namedLabel(GroupBox1, "Label1", "Page Count:", 8, 22, 76);
    lbPageCount = namedLabel(GroupBox1, "lbPageCount", "no data", 88, 22, 90);
    Label2 = namedLabel(GroupBox1, "Label2", "Ws Size:", 8, 44, 76);
    lbWsSize = namedLabel(GroupBox1, "lbWsSize", "no data", 88, 44, 90);
    Label3 = namedLabel(GroupBox1, "Label3", "Checksum:", 8, 66, 76);
    lbChecksum = namedLabel(GroupBox1, "lbChecksum", "no data", 88, 66, 90);
    for (QLabel* l : {Label1, lbPageCount, Label2, lbWsSize, Label3, lbChecksum})
        l->setStyleSheet("font-weight: normal;");

    ProgressBar1 = named(new TProgressBar(this), "ProgressBar1");
    ProgressBar1->setGeometry(192, 110, 182, 17);
    ProgressBar1->setRange(0, LeastPolls);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
}

// Other audio formats and rates.
void TfmWsGet::buildExport()
{
    setFixedSize(380, 318 + 58);
    gbExport = named(new QGroupBox("Audio Export", this), "gbExport");
    gbExport->setGeometry(4, 316, 372, 54);
    bnExportAudio = named(new QPushButton("Export Audio...", gbExport), "bnExportAudio");
    bnExportAudio->setGeometry(8, 20, 92, 25);
    bnExportAudio->setEnabled(false);
    cbExportFormat = named(new QComboBox(gbExport), "cbExportFormat");
    for (const ExportFormat& f : ExportFormats)
        cbExportFormat->addItem(f.name);
    cbExportFormat->setGeometry(106, 21, 88, 22);
    cbExportRate = named(new QComboBox(gbExport), "cbExportRate");
    for (const int rate : ExportRates)
        cbExportRate->addItem(QString("%1 Hz").arg(rate));
    cbExportRate->setGeometry(200, 21, 164, 22);
    showExportRate();
    bnCancelAudio = named(new QPushButton("Cancel", this), "bnCancelAudio");
    bnCancelAudio->setGeometry(192, 150, 50, 25);
    bnCancelAudio->hide();
}

void TfmWsGet::connectHandlers()
{
    connect(cbSelectWs, &QComboBox::activated, this, &TfmWsGet::cbSelectWsChange);
    connect(bnReqWs, &QPushButton::pressed, this, &TfmWsGet::bnReqWsMouseDown);
    connect(bnReqWs, &QPushButton::clicked, this, &TfmWsGet::bnReqWsClick);
    connect(bnMakeIntoWav, &QPushButton::clicked, this, &TfmWsGet::bnMakeIntoWavClick);
    connect(bnSaveAs, &QPushButton::clicked, this, &TfmWsGet::bnSaveAsClick);
    connect(bnPlay, &QToolButton::clicked, this, &TfmWsGet::bnPlayClick);
    connect(bnStop, &QToolButton::clicked, this, &TfmWsGet::bnStopClick);
    connect(bnOK, &QPushButton::clicked, this, &TfmWsGet::bnOKClick);
    connect(bnExportAudio, &QPushButton::clicked, this, &TfmWsGet::bnExportAudioClick);
    connect(bnCancelAudio, &QPushButton::clicked, this, &TfmWsGet::bnCancelAudioClick);
}

TfmWsGet::~TfmWsGet() = default;

void TfmWsGet::FormActivate()
{
    const int w = Mirage().QueryCurrentWavesample();
    const int index = Mirage().GetCurrentHalf() * 8 + w;
    if (index >= 0 && index < cbSelectWs->count())
        cbSelectWs->setCurrentIndex(index);
    showExportRate();
}

// The first rate choice is the one the wavesample plays at.
void TfmWsGet::showExportRate()
{
    cbExportRate->setItemText(0, QString("Ws rate (%1 Hz)").arg(wavesampleRate(Mirage())));
}

void TfmWsGet::cbSelectWsChange(int index)
{
    if (index >= 0 && index < 16)
        Mirage().SelectWavesample(index);
}

void TfmWsGet::bnReqWsMouseDown()
{
    MediaPlayer1->withdraw();
    for (QLabel* l : {lbPageCount, lbWsSize, lbChecksum})
        l->setText("receiving data");
    ProgressBar1->show();
}

void TfmWsGet::bnReqWsClick()
{
    Converse([this] { requestWavesample(); });
}

// The instrument answers with the pages of its selected wavesample, start
// page to end page; before anything has arrived those pointers, when known,
// say how long the answer takes. Otherwise allow for the largest dump.
int TfmWsGet::expectedPages() const
{
    const int half = Mirage().GetCurrentHalf();
    if (!Mirage().Received(MirageProtocol::ProgramArrival(half)))
        return 256;
    const int w = Mirage().CurrentWavesample;
    const int start = Mirage().GetParam(half, wavesampleFieldPos(w, wsf::StartPage));
    const int end = Mirage().GetParam(half, wavesampleFieldPos(w, wsf::EndPage));
    return std::max(0, end - start + 1);
}

void TfmWsGet::requestWavesample()
{
    // The page pointers say how long the answer takes; unknown, they are
    // asked for first, which also finds out at once whether the Mirage
    // answers at all.
    const int half = Mirage().GetCurrentHalf();
    const std::string ws = std::string(half == 0 ? "L" : "U") + std::to_string(Mirage().CurrentWavesample + 1);
    if (!Mirage().Received(MirageProtocol::ProgramArrival(half))) {
        Mirage().RequestProgram(half, std::string("the ") + (half == 0 ? "lower" : "upper") +
                                          " program dump request (sent first, for the page pointers of wavesample " +
                                          ws + ")");
        if (!Mirage().Received(MirageProtocol::ProgramArrival(half))) {
            ProgressBar1->hide();
            keepNothing();
            return;
        }
    }
    const MirageProtocol::Transfer transfer(Mirage());
    // Only a dump that begins after the request is its answer: one that
    // came or began earlier (a late answer to an earlier request) is not.
    const int before = Mirage().LastWavesample().serial;
    Mirage().SendSysEx(wavesampleRequestMessage());
    pollLimit_ = PollsFor(expectedPages());
    bool ready = false;
    waiting_ = true;
    {
        const AudioProgress shown(ProgressBar1, bnCancelAudio, {bnReqWs, bnMakeIntoWav, bnSaveAs, bnExportAudio, cbSelectWs});
        ready = awaitAnswer(before, transfer);
    }
    waiting_ = false;
    if (transfer.Stopped() && !ready) {
        // The answer may still come; it is not shown when it does.
        dropNextDump_ = true;
        keepNothing();
        return;
    }
    const bool answered = Mirage().LastWavesample().serial != before;
    if (!ready && !answered) {
        Mirage().ReportNoAnswer("the wavesample dump request for " + ws + " (Request Ws)", pollLimit_ * PollMs,
                                Mirage().HeardFromMirage()
                                    ? "It has answered other requests since the ports were opened, so the cables, "
                                      "ports and SysEx are right: an operating system on the Mirage without the "
                                      "wavesample dump is the likeliest cause."
                                    : std::string());
    } else if (!ready) {
        const auto& a = Mirage().LastWavesample();
        Ctx().seams.messageBox("Error - the wavesample dump of " + ws + " began but stopped after " +
                                   std::to_string(a.sampleBytes) + " of " + std::to_string(256 * a.pages) +
                                   " sample bytes (in page " + std::to_string(a.sampleBytes / 256 + 1) + " of " +
                                   std::to_string(a.pages) + ").",
                               ReceiveCaption, BoxButtons::Ok);
    }
    Mirage().AwaitWavesample();
    if (!answered) {
        keepNothing();
        return;
    }
    takeReceived();
    const Received& r = received_;
    if (ready && !r.complete && r.pages > 0)
        Ctx().seams.messageBox("Error - wavesample incomplete - " + std::to_string(r.samples.size()) + " of " +
                                   std::to_string(256 * r.pages) + " sample bytes arrived.",
                               ReceiveCaption, BoxButtons::Ok);
}

// Polls until the answer has arrived, the time is up or Cancel is pressed;
// true when the answer arrived.
bool TfmWsGet::awaitAnswer(int before, const MirageProtocol::Transfer& transfer)
{
    const auto& arriving = Mirage().LastWavesample();
    PollWait wait;
    wait.pollMs = PollMs;
    wait.limitMs = static_cast<long long>(pollLimit_) * PollMs;
    wait.pause = [this](int ms) { Mirage().WaitAcceptingInput(ms); };
    wait.arrived = [&] { return Mirage().WavesampleArrived() && arriving.serial != before; };
    wait.stop = [&transfer] { return transfer.Stopped(); };
    wait.paused = [&](long long waited) {
        // A dump coming in pieces has announced its page count: wait as
        // long as that many pages need.
        if (!Mirage().WavesampleArrived() && arriving.serial != before && PollsFor(arriving.pages) > pollLimit_) {
            pollLimit_ = PollsFor(arriving.pages);
            wait.limitMs = static_cast<long long>(pollLimit_) * PollMs;
            ProgressBar1->setRange(0, pollLimit_ - 1);
        }
        if (const int poll = static_cast<int>(waited / PollMs); poll < pollLimit_)
            ProgressBar1->setValue(poll);
    };
    ProgressBar1->setRange(0, pollLimit_ - 1);
    ProgressBar1->setValue(0);
    return waitFor(wait) == WaitEnd::Arrived;
}

// Nothing of this request is kept: nothing to show or write.
void TfmWsGet::keepNothing()
{
    received_ = {};
    for (QLabel* l : {lbPageCount, lbWsSize, lbChecksum})
        l->setText("no data");
    pbWaveform->setSamples({});
    for (QPushButton* b : {bnMakeIntoWav, bnSaveAs, bnExportAudio})
        b->setEnabled(false);
}

void TfmWsGet::bnCancelAudioClick()
{
    if (waiting_)
        Mirage().StopTransfer();
}

// While a request waits, the close box and Escape cancel it and keep the
// window open.
void TfmWsGet::closeEvent(QCloseEvent* e)
{
    if (waiting_) {
        bnCancelAudioClick();
        e->ignore();
        return;
    }
    TFormBase::closeEvent(e);
}

// Takes what the last dump brought: only the bytes that arrived, and the
// checksum only when the dump ended with it.
void TfmWsGet::takeReceived()
{
    const auto& a = Mirage().LastWavesample();
    const auto& buffer = Mirage().ReceivedWavesample();
    received_.pages = a.pages;
    received_.complete = a.complete;
    const std::size_t n = std::min(a.sampleBytes, buffer.size() - 2);
    received_.samples.assign(buffer.begin() + 1, buffer.begin() + 1 + static_cast<std::ptrdiff_t>(n));
    received_.checksum.reset();
    if (a.complete)
        received_.checksum = buffer[1 + n];

    lbPageCount->setText(QString::number(received_.pages));
    lbWsSize->setText(QString::number(received_.samples.size()));
    lbChecksum->setText(received_.checksum ? QString::number(*received_.checksum) : QString("not received"));
    received_.loop = receivedLoop();
    pbWaveform->setSamples(received_.samples);
    bnMakeIntoWav->setEnabled(true);
    bnSaveAs->setEnabled(true);
    bnExportAudio->setEnabled(true);
}

// The loop of the selected wavesample, whose sample data the dump brings
// from its start page on: loop start page to loop end page, and in that
// page up to the fine value. None while the program dump of its half is
// unknown or its loop is off.
std::optional<SoundLoop> TfmWsGet::receivedLoop() const
{
    const int half = Mirage().GetCurrentHalf();
    if (!Mirage().Received(MirageProtocol::ProgramArrival(half)))
        return std::nullopt;
    const auto field = [this, half](int offset) {
        return Mirage().GetParam(half, wavesampleFieldPos(Mirage().CurrentWavesample, offset));
    };
    const int start = field(wsf::StartPage);
    const int loopStart = field(wsf::LoopStart);
    const int loopEnd = field(wsf::LoopEnd);
    if (field(wsf::LoopSwitch) == 0 || loopStart < start || loopEnd < loopStart)
        return std::nullopt;
    const int end = (loopEnd - start) * 256 + field(wsf::LoopEndFine) + 1;
    return SoundLoop{static_cast<std::size_t>(loopStart - start) * 256, static_cast<std::size_t>(end)};
}

void TfmWsGet::DumpArrived(MirageProtocol::Arrival a)
{
    // A dump that arrives unasked replaces what is shown; one that a
    // request waits for is shown when the wait ends.
    if (a == MirageProtocol::Arrival::Wavesample && !std::exchange(dropNextDump_, false) && !waiting_)
        takeReceived();
    if (a == MirageProtocol::Arrival::Config)
        showExportRate();
}

// The WAV image of what arrived: header, samples, then the dump's checksum
// byte when it came.
bool TfmWsGet::writeWav(const std::string& path)
{
    std::vector<std::uint8_t> image = wav::exportImage(received_.samples, received_.checksum.value_or(0));
    if (!received_.checksum)
        image.pop_back();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (file)
        file.close();
    if (!file) {
        Ctx().seams.messageBox("Error - File write fail - cannot create " + path + ".", wav::ExportResult::Caption,
                               BoxButtons::Ok);
        lbWritten->clear();
        return false;
    }
    const QString whole = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    lbWritten->setText("Written to:\n" + lbWritten->fontMetrics().elidedText(whole, Qt::ElideMiddle, lbWritten->width()));
    lbWritten->setToolTip(whole);
    return true;
}

void TfmWsGet::bnMakeIntoWavClick()
{
    MediaPlayer1->withdraw();
    if (!writeWav(ExportName))
        return;
    MediaPlayer1->offer({received_.samples, wavesampleRate(Mirage()), received_.loop});
}

void TfmWsGet::bnSaveAsClick()
{
    const std::string path = Ctx().seams.saveFileName(WaveFilter, ExportName);
    if (!path.empty())
        writeWav(path);
}

void TfmWsGet::bnPlayClick() { MediaPlayer1->play(); }
void TfmWsGet::bnStopClick() { MediaPlayer1->stop(); }
void TfmWsGet::bnOKClick() { close(); }

void TfmWsGet::bnExportAudioClick()
{
    const ExportFormat& f = ExportFormats[std::clamp(cbExportFormat->currentIndex(), 0, 5)];
    const auto container = static_cast<audio::Container>(f.container);
    const std::string extension = audio::extensionOf(container);
    const std::string kind(f.name, std::string_view(f.name).find(' '));
    const std::string path = Ctx().seams.saveFileName(kind + " files|*." + extension, "test." + extension);
    if (path.empty())
        return;
    const int playRate = wavesampleRate(Mirage());
    audio::ExportResult r;
    {
        AudioProgress progress(ProgressBar1, bnCancelAudio,
                               {bnReqWs, bnMakeIntoWav, bnSaveAs, bnExportAudio, cbExportFormat, cbExportRate});
        const audio::ExportOptions options{container, f.bits,
                                           ExportRates[std::clamp(cbExportRate->currentIndex(), 0, 2)]};
        const std::vector<std::uint8_t> samples = received_.samples; // the window's may change meanwhile
        progress.run([&](const audio::Work& work) { r = audio::exportAudio(path, samples, playRate, options, work); });
    }
    if (!r.ok() && r.error != audio::AudioError::Cancelled)
        Ctx().seams.messageBox(r.text(), audio::ExportResult::Caption, BoxButtons::Ok);
}

} // namespace corvane
