#include "WsSend.h"
#include "SendGuard.h"

#include "Named.h"
#include "PlayerPanel.h"
#include "Dumps.h"
#include "HexText.h"
#include "MirageProtocol.h"
#include "ValueBox.h"
#include "WavFile.h"
#include "WaveView.h"
#include "WsAudio.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>

namespace corvane {

namespace {

QFrame* bevel(QWidget* parent, const char* name, const QRect& r)
{
    auto* f = named(new QFrame(parent), name);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(r);
    f->lower();
    return f;
}

QString hex(int v) { return QString::fromStdString(hexNumber(v)); }

const char* const Error = "ERROR";
const char* const SendCaption = "MIDI Wavesample Send";
// The second line of a box refusing a file "Open File" cannot read.
const char* const OtherFilesHint = "\nOpen File reads 8-bit mono WAV files only. For other audio files (any depth, "
                                   "rate or channels; WAV, AIFF, FLAC, Ogg), use \"Import Audio...\".";

constexpr int ImportRow = 30;    // the row of "Import Audio..." under the file row
constexpr int AudioHeight = 242; // the audio group under the rest

} // namespace

TfmWsSend::TfmWsSend(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmWsSend");
    setWindowTitle("Send Wavesample to Mirage");
    SetFixedFrame({389, 328});
    UseEditorFont();

    buildFileRow();
    buildFigures();
    buildSendRow();
    buildDestination();
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(152, 296, 84, 25);

    buildAudioControls();
    connectHandlers();
}

// The file.
void TfmWsSend::buildFileRow()
{
    Bevel1 = bevel(this, "Bevel1", QRect(4, 4, 381, 44));
    bnOpenFile = named(new QPushButton("Open File", this), "bnOpenFile");
    bnOpenFile->setGeometry(10, 13, 84, 25);
    Label8 = namedLabel(this, "Label8", "Currently Selected File", 104, 7, 200);
    edFilename = named(new QLineEdit("No file selected", this), "edFilename");
    edFilename->setReadOnly(true);
    edFilename->setGeometry(104, 23, 274, 20);
}

// The file's figures.
void TfmWsSend::buildFigures()
{
    Bevel2 = bevel(this, "Bevel2", QRect(4, 52, 381, 92));
    Label2 = namedLabel(this, "Label2", "Wav Data Size:", 12, 58, 140);
    Label1 = namedLabel(this, "Label1", "no data", 156, 58, 48);
    Label9 = namedLabel(this, "Label9", "bytes.", 206, 58, 170);
    Label3 = namedLabel(this, "Label3", "This Wavesample uses:", 12, 78, 140);
    Label4 = namedLabel(this, "Label4", "XX", 156, 78, 48);
    Label16 = namedLabel(this, "Label16", "(Hex) pages of memory.", 206, 78, 170);
    Label17 = namedLabel(this, "Label17", "This corresponds to:", 12, 98, 140);
    lbWavPercent = namedLabel(this, "lbWavPercent", "XX", 156, 98, 48);
    Label10 = namedLabel(this, "Label10", "% of Mirage Memory", 206, 98, 170);
    Label6 = namedLabel(this, "Label6", "XX", 12, 118, 40);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label5 = namedLabel(this, "Label5", "bytes of padding used to fill last page. ", 58, 118, 320);
}

// Sending.
void TfmWsSend::buildSendRow()
{
    Bevel3 = bevel(this, "Bevel3", QRect(4, 148, 381, 36));
    bnSendWav = named(new QPushButton("Send Wav", this), "bnSendWav");
    bnSendWav->setGeometry(10, 153, 84, 25);
    bnSendWav->setEnabled(false);
    TSendGuard::guard(bnSendWav, Ctx().sendBlocked);
    ProgressBar1 = named(new TProgressBar(this), "ProgressBar1");
    ProgressBar1->setGeometry(104, 157, 196, 17);
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    bnCancelSend = named(new QPushButton("Cancel", this), "bnCancelSend");
    bnCancelSend->setGeometry(308, 153, 70, 25);
    bnCancelSend->hide();
}

// Where it goes.
void TfmWsSend::buildDestination()
{
    GroupBox2 = named(new QGroupBox("Destination Information", this), "GroupBox2");
    GroupBox2->setGeometry(4, 188, 381, 100);
    Label11 = namedLabel(GroupBox2, "Label11", "Wavesample", 10, 24, 72);
    cbSelectWs = named(new QComboBox(GroupBox2), "cbSelectWs");
    for (int i = 0; i < 16; ++i)
        cbSelectWs->addItem(QString("%1%2").arg(i < 8 ? 'L' : 'U').arg(i % 8 + 1));
    cbSelectWs->setGeometry(86, 20, 57, 22);
    Label15 = namedLabel(GroupBox2, "Label15", "Refresh", 250, 24, 50);
    bnRefreshParameters = named(new QPushButton("L", GroupBox2), "bnRefreshParameters");
    bnRefreshParameters->setGeometry(300, 20, 28, 23);
    bnRefreshU = named(new QPushButton("U", GroupBox2), "bnRefreshU");
    bnRefreshU->setGeometry(334, 20, 28, 23);
    Label12 = namedLabel(GroupBox2, "Label12", "Start Page", 10, 54, 62);
    edStartPage = named(new TValueBox(GroupBox2, "XX"), "edStartPage");
    edStartPage->setGeometry(76, 52, 40, 21);
    Label13 = namedLabel(GroupBox2, "Label13", "End Page", 126, 54, 54);
    edEndPage = named(new TValueBox(GroupBox2, "XX"), "edEndPage");
    edEndPage->setGeometry(182, 52, 40, 21);
    Label14 = namedLabel(GroupBox2, "Label14", "Page Count", 234, 54, 70);
    edPageCount = named(new QLineEdit("XX", GroupBox2), "edPageCount");
    edPageCount->setReadOnly(true);
    edPageCount->setToolTip("Hex");
    edPageCount->setGeometry(306, 52, 56, 21);
    lbDoesNotFit = namedLabel(GroupBox2, "lbDoesNotFit", QString(), 10, 78, 362);
    lbDoesNotFit->setStyleSheet("color: #c00000; font-weight: bold;");
    Bevel4 = bevel(GroupBox2, "Bevel4", QRect(4, 46, 373, 30));
    Bevel5 = bevel(GroupBox2, "Bevel5", QRect(244, 16, 124, 30));
}

void TfmWsSend::connectHandlers()
{
    connect(bnOpenFile, &QPushButton::clicked, this, &TfmWsSend::bnOpenFileClick);
    connect(bnSendWav, &QPushButton::clicked, this, &TfmWsSend::bnSendWavClick);
    connect(bnCancelSend, &QPushButton::clicked, this, &TfmWsSend::bnCancelSendClick);
    // `activated` comes only from the user's choice.
    connect(cbSelectWs, &QComboBox::activated, this, &TfmWsSend::cbSelectWsChange);
    connect(bnRefreshParameters, &QPushButton::clicked, this, &TfmWsSend::bnRefreshParametersClick);
    connect(bnRefreshU, &QPushButton::clicked, this, &TfmWsSend::bnRefreshUClick);
    connect(bnOK, &QPushButton::clicked, this, &TfmWsSend::bnOKClick);
}

TfmWsSend::~TfmWsSend() = default;

// "Import Audio..." and its choices in a row under "Open File"; what the
// conversion gives in a group under the rest of the window.
void TfmWsSend::buildAudioControls()
{
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->y() >= 48)
            w->move(w->x(), w->y() + ImportRow);
    Bevel1->setGeometry(4, 4, 381, 44 + ImportRow);
    setFixedSize(389, 328 + ImportRow + AudioHeight);

    bnImportAudio = named(new QPushButton("Import Audio...", this), "bnImportAudio");
    bnImportAudio->setGeometry(10, 44, 84, 25);
    lbImportRate = namedLabel(this, "lbImportRate", "Rate", 104, 48, 30);
    edImportRate = named(new QSpinBox(this), "edImportRate");
    edImportRate->setRange(1000, 50000);
    edImportRate->setValue(shownRate_);
    edImportRate->setToolTip("The rate the wavesample will play at");
    edImportRate->setGeometry(136, 46, 70, 21);
    lbImportHz = namedLabel(this, "lbImportHz", "Hz", 210, 48, 20);
    cbNormalise = named(new QCheckBox("Normalise", this), "cbNormalise");
    cbNormalise->setGeometry(240, 47, 100, 19);
    buildAudioGroup();

    connect(bnImportAudio, &QPushButton::clicked, this, &TfmWsSend::bnImportAudioClick);
    connect(bnPlay, &QToolButton::clicked, this, &TfmWsSend::bnPlayClick);
    connect(bnStop, &QToolButton::clicked, this, &TfmWsSend::bnStopClick);
}

// The group takes OK's place; OK goes under it.
void TfmWsSend::buildAudioGroup()
{
    const int top = bnOK->y();
    bnOK->move(bnOK->x(), top + AudioHeight);
    gbAudio = named(new QGroupBox("Audio Import", this), "gbAudio");
    gbAudio->setGeometry(4, top, 381, AudioHeight - 6);
    cbLoop = named(new QCheckBox("Loop from", gbAudio), "cbLoop");
    cbLoop->setGeometry(10, 22, 78, 19);
    edLoopStart = named(new QDoubleSpinBox(gbAudio), "edLoopStart");
    edLoopLength = named(new QDoubleSpinBox(gbAudio), "edLoopLength");
    for (QDoubleSpinBox* box : {edLoopStart, edLoopLength}) {
        box->setRange(0, 1e9);
        box->setDecimals(3);
    }
    edLoopStart->setGeometry(90, 20, 80, 21);
    lbLoopLength = namedLabel(gbAudio, "lbLoopLength", "length", 176, 22, 40);
    edLoopLength->setGeometry(216, 20, 80, 21);
    cbLoopUnit = named(new QComboBox(gbAudio), "cbLoopUnit");
    cbLoopUnit->addItems({"seconds", "samples"});
    cbLoopUnit->setGeometry(300, 20, 74, 22);
    connect(cbLoopUnit, &QComboBox::currentIndexChanged, this, [this](int unit) {
        for (QDoubleSpinBox* box : {edLoopStart, edLoopLength})
            box->setDecimals(unit == 1 ? 0 : 3);
    });
    lbLoopPointers = namedLabel(gbAudio, "lbLoopPointers", QString(), 10, 46, 364);
    lbSourceFormat = namedLabel(gbAudio, "lbSourceFormat", QString(), 10, 64, 364);
    lbResultLength = namedLabel(gbAudio, "lbResultLength", QString(), 10, 82, 364);
    lbCut = namedLabel(gbAudio, "lbCut", QString(), 10, 100, 364);
    lbCut->setStyleSheet("color: #c00000;");
    pbWaveform = named(new TWaveView(gbAudio), "pbWaveform");
    pbWaveform->setGeometry(10, 120, 296, 72);

    // The player of the converted sound, under its waveform.
    MediaPlayer1 = new TPlayerPanel(gbAudio, Ctx().seams);
    MediaPlayer1->move(10, 198);
    bnPlay = MediaPlayer1->bnPlay;
    bnStop = MediaPlayer1->bnStop;
    bnCancelAudio = named(new QPushButton("Cancel", gbAudio), "bnCancelAudio");
    bnCancelAudio->setGeometry(314, 160, 60, 25);
    bnCancelAudio->hide();
}

void TfmWsSend::FormActivate()
{
    destNumber_ = Mirage().QueryCurrentWavesample();
    destHalf_ = Mirage().GetCurrentHalf();
    const int index = destHalf_ * 8 + destNumber_;
    if (index >= 0 && index < cbSelectWs->count())
        cbSelectWs->setCurrentIndex(index);
    Mirage().EnsureProgram(destHalf_);
    DestinationDisplay();
    showImportRate();
}

void TfmWsSend::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::ProgramArrival(destHalf_))
        DestinationDisplay();
    if (a == MirageProtocol::Arrival::Config)
        showImportRate();
}

// The import rate follows the instrument's sample time while the user keeps
// the rate last shown.
void TfmWsSend::showImportRate()
{
    if (edImportRate->value() != shownRate_)
        return;
    shownRate_ = wavesampleRate(Mirage());
    edImportRate->setValue(shownRate_);
}

void TfmWsSend::bnOpenFileClick()
{
    const std::string path = Ctx().seams.openFileName(Filter);
    if (path.empty()) {
        refuse();
        return;
    }
    edFilename->setText(QString::fromStdString(path));
    clearAudio();
    const wav::ImportResult file = wav::readImport(path);
    if (!file.ok()) {
        std::string text = file.text();
        // "Open File" takes 8-bit mono WAV files alone; everything else goes
        // through the conversion.
        if (file.error != wav::ImportError::CannotOpen && file.error != wav::ImportError::Truncated &&
            file.error != wav::ImportError::NoData)
            text += OtherFilesHint;
        Ctx().seams.messageBox(text, wav::ImportResult::Caption, BoxButtons::Ok);
        refuse();
        return;
    }
    dump_ = wav::buildSendDump(file.samples);
    if (!dump_) {
        Ctx().seams.messageBox(wav::importMessage(wav::ImportError::DataTooBig), wav::ImportResult::Caption,
                               BoxButtons::Ok);
        refuse();
        return;
    }
    showDump();
}

// The figures of the dump to be sent, and "Send Wav" ready.
void TfmWsSend::showDump()
{
    Label1->setText(QString::number(dump_->dataSize));
    Label4->setText(hex(dump_->pages));
    lbWavPercent->setText(QString::number(dump_->percent));
    Label6->setText(QString::number(dump_->padding));
    bnSendWav->setEnabled(true);
    showFit();
}

// A cancelled or refused file leaves nothing to send.
void TfmWsSend::refuse()
{
    dump_.reset();
    clearAudio();
    for (QLabel* l : {Label1, Label4, Label6})
        l->setText(Error);
    bnSendWav->setEnabled(false);
    showFit();
}

void TfmWsSend::bnSendWavClick()
{
    // The pointers may have been stepped in the memory map since they were shown.
    DestinationDisplay();
    if (dump_ && dump_->pages > destinationPages_) {
        offerToFit();
        return;
    }
    Converse([this] { sendDump(); });
}

// The instrument refuses a dump that announces more pages than the
// destination has, after the whole dump has crossed the wire. Nothing is
// sent; the user may have the file converted to fit instead, and send that.
void TfmWsSend::offerToFit()
{
    const int index = destHalf_ * 8 + destNumber_;
    const std::string ws = std::string(index < 8 ? "L" : "U") + std::to_string(index % 8 + 1);
    const std::string sizes = "This sample needs " + hexNumber(dump_->pages) + " (Hex) pages; wavesample " +
                              ws + " has " + hexNumber(destinationPages_) +
                              ". The Mirage refuses a dump larger than its wavesample, so it was not sent.";
    if (destinationPages_ <= 0) {
        Ctx().seams.messageBox(sizes + "\n\nGive the wavesample pages in the memory map first.", SendCaption,
                               BoxButtons::Ok);
        return;
    }
    const std::string offer = "\n\nConvert the file to fit into " + hexNumber(destinationPages_) +
                              " (Hex) pages with Import Audio? You can listen to it before sending.";
    if (Ctx().seams.messageBox(sizes + offer, SendCaption, BoxButtons::YesNo) == BoxAnswer::Yes)
        importAudio(edFilename->text().toStdString(), destinationPages_);
}

// The dump names no wavesample: the destination shown is selected first, in
// the same conversation, so that a change on the front panel meanwhile does
// not send the data into another wavesample's pages.
void TfmWsSend::sendDump()
{
    if (!dump_)
        return;
    const std::vector<std::uint8_t> message = dump_->message;
    const int index = destHalf_ * 8 + destNumber_;
    const MirageProtocol::Transfer transfer(Mirage());
    sending_ = true;
    MirageProtocol::LongSend r;
    bool unanswered = false;
    {
        const AudioProgress shown(ProgressBar1, bnCancelSend,
                                  {bnOpenFile, bnImportAudio, bnSendWav, cbSelectWs, bnRefreshParameters, bnRefreshU});
        Mirage().SelectWavesample(index);
        const int answers = Mirage().WavesampleAnswers();
        const long long began = Ctx().seams.clockMs();
        if (!transfer.Stopped())
            r = Mirage().SendLongSysEx(message.data(), static_cast<int>(message.size()),
                                       [this](std::size_t sent, std::size_t total) {
                                           ProgressBar1->setValue(
                                               total ? static_cast<int>(sent * AudioProgress::Steps / total) : 0);
                                       });
        // The instrument answers a whole dump once it has crossed the wire
        // (a port that paces it has spent that time already): waited for as
        // long as a request's answer, Cancel still taking effect.
        if (r.total > 0 && r.sent == r.total && !r.stopped && !r.cutShort) {
            const long long onWire = std::max(0LL, (static_cast<long long>(r.sent) * 1000 + 3124) / 3125 -
                                                        (Ctx().seams.clockMs() - began));
            const long long limit = onWire + Mirage().AnswerLimit.programMs;
            long long waited = 0;
            for (; Mirage().WavesampleAnswers() == answers && waited < limit && !transfer.Stopped(); waited += 50)
                Mirage().WaitAcceptingInput(50);
            unanswered = Mirage().WavesampleAnswers() == answers && waited >= limit;
        }
    }
    sending_ = false;
    reportSend(r, index);
    if (unanswered) {
        const std::string ws = std::string(index < 8 ? "L" : "U") + std::to_string(index % 8 + 1);
        Mirage().ReportNoAnswer("the wavesample dump into " + ws, Mirage().AnswerLimit.programMs,
                                "Wavesample " + ws + " may hold the new sample now, or still its old one.");
    }
}

void TfmWsSend::reportSend(const MirageProtocol::LongSend& r, int index)
{
    const std::string ws = std::string(index < 8 ? "L" : "U") + std::to_string(index % 8 + 1);
    const std::string counts = std::to_string(r.sent) + " of " + std::to_string(r.total) + " bytes.";
    if (r.cutShort)
        Ctx().seams.messageBox("Error - MIDI output port lost - the dump into wavesample " + ws + " was cut short after " +
                                   counts,
                               SendCaption, BoxButtons::Ok);
    else if (r.stopped)
        Ctx().seams.messageBox("Send cancelled - wavesample " + ws + " now holds an incomplete dump: " + counts,
                               SendCaption, BoxButtons::Ok);
}

void TfmWsSend::bnCancelSendClick()
{
    if (sending_)
        Mirage().StopTransfer();
}

// While a dump goes out, the close box and Escape stop it and keep the
// window open.
void TfmWsSend::closeEvent(QCloseEvent* e)
{
    if (sending_) {
        bnCancelSendClick();
        e->ignore();
        return;
    }
    TFormBase::closeEvent(e);
}

void TfmWsSend::DestinationDisplay()
{
    const int start = Mirage().GetParam(destHalf_, wavesampleFieldPos(destNumber_, wsf::StartPage));
    const int end = Mirage().GetParam(destHalf_, wavesampleFieldPos(destNumber_, wsf::EndPage));
    // An end page before the start page leaves the wavesample no room.
    destinationPages_ = std::max(0, end - start + 1);
    edStartPage->setText(hex(start));
    edEndPage->setText(hex(end));
    edPageCount->setText(hex(destinationPages_));
    showFit();
}

// Said before the user sends: the Mirage refuses a dump that announces more
// pages than the destination's pointers give.
void TfmWsSend::showFit()
{
    if (dump_ && dump_->pages > destinationPages_)
        lbDoesNotFit->setText(QString("Too big: needs %1 (Hex) pages, this wavesample has %2.")
                                  .arg(hex(dump_->pages), hex(destinationPages_)));
    else
        lbDoesNotFit->clear();
}

void TfmWsSend::cbSelectWsChange(int index)
{
    if (index < 0 || index >= 16)
        return;
    Converse([this, index] {
        destHalf_ = index / 8;
        destNumber_ = index - 8 * destHalf_;
        Mirage().SelectWavesample(index);
        Mirage().EnsureProgram(destHalf_);
        DestinationDisplay();
    });
}

void TfmWsSend::refresh(int half)
{
    Converse([this, half] {
        Mirage().RequestProgram(half);
        DestinationDisplay();
        Ctx().seams.beep();
    });
}

void TfmWsSend::bnRefreshParametersClick() { refresh(0); }
void TfmWsSend::bnRefreshUClick() { refresh(1); }
void TfmWsSend::bnOKClick() { close(); }

void TfmWsSend::clearAudio()
{
    converted_.reset();
    for (QLabel* l : {lbLoopPointers, lbSourceFormat, lbResultLength, lbCut})
        l->clear();
    pbWaveform->setSamples({});
    MediaPlayer1->withdraw();
}

audio::ImportOptions TfmWsSend::importOptions() const
{
    audio::ImportOptions o;
    o.rate = edImportRate->value();
    o.normalise = cbNormalise->isChecked();
    if (cbLoop->isChecked())
        o.loop = audio::LoopRequest{edLoopStart->value(), edLoopLength->value(),
                                    cbLoopUnit->currentIndex() == 1 ? audio::LoopUnit::Samples
                                                                    : audio::LoopUnit::Seconds};
    // The pointers count from the destination's first page.
    o.startPage = Mirage().GetParam(destHalf_, wavesampleFieldPos(destNumber_, wsf::StartPage));
    return o;
}

void TfmWsSend::bnImportAudioClick()
{
    const std::string path = Ctx().seams.openFileName(AudioFilter);
    if (path.empty()) {
        refuse();
        return;
    }
    ImportFile(path);
}

void TfmWsSend::ImportFile(const std::string& path)
{
    edFilename->setText(QString::fromStdString(path));
    clearAudio();
    importAudio(path, 0);
}

bool TfmWsSend::IsAudioFileName(const std::string& name)
{
    const QString patterns = QString(AudioFilter).section('|', 1);
    for (const QString& pattern : patterns.split(' ', Qt::SkipEmptyParts))
        if (QString::fromStdString(name).endsWith(pattern.mid(1), Qt::CaseInsensitive))
            return true;
    return false;
}

// Converts `path` into the wavesample to send; `maxPages` > 0 keeps it
// within that many pages.
void TfmWsSend::importAudio(const std::string& path, int maxPages)
{
    audio::Conversion c;
    {
        AudioProgress progress(ProgressBar1, bnCancelAudio,
                               {bnOpenFile, bnImportAudio, bnSendWav, edImportRate, cbNormalise, cbLoop, edLoopStart,
                                edLoopLength, cbLoopUnit, MediaPlayer1});
        audio::ImportOptions options = importOptions();
        options.maxPages = maxPages;
        progress.run([&](const audio::Work& work) { c = audio::importAudio(path, options, work); });
    }
    if (!c.ok()) {
        if (c.error != audio::AudioError::Cancelled)
            Ctx().seams.messageBox(c.text(), audio::Conversion::Caption, BoxButtons::Ok);
        refuse();
        return;
    }
    dump_ = wav::buildSendDump(c.samples);
    if (!dump_) { // the conversion keeps within a dump's 65,535 bytes
        refuse();
        return;
    }
    showDump();
    showConversion(c);
    converted_ = std::move(c);
}

void TfmWsSend::showConversion(const audio::Conversion& c)
{
    lbSourceFormat->setText("Source: " + QString::fromStdString(c.source.text()));
    lbResultLength->setText(QString("Converted: %1 samples, %2 s at %3 Hz")
                                .arg(c.length)
                                .arg(static_cast<double>(c.length) / c.rate, 0, 'f', 3)
                                .arg(c.rate));
    lbCut->setText(QString::fromStdString(c.cutNotice()));
    if (c.loop) {
        const wavprep::Pointers& p = c.loop->pointers;
        lbLoopPointers->setText(QString("Loop bytes %1 to %2. Pointers: %3 %4 %5 %6 (Hex)")
                                    .arg(c.loop->loopStart)
                                    .arg(c.loop->markerByte - 1)
                                    .arg(hex(p.wsStart), hex(p.loopStart), hex(p.loopEnd), hex(p.wsEnd)));
    }
    pbWaveform->setSamples(c.samples);

    // The player plays what the instrument will: the 8-bit steps at the
    // wavesample's rate, up to the loop's end and then the loop.
    std::optional<SoundLoop> loop;
    if (c.loop)
        loop = SoundLoop{static_cast<std::size_t>(c.loop->loopStart), static_cast<std::size_t>(c.loop->markerByte)};
    MediaPlayer1->offer({c.samples, c.rate, loop});
}

void TfmWsSend::bnPlayClick() { MediaPlayer1->play(); }
void TfmWsSend::bnStopClick() { MediaPlayer1->stop(); }

} // namespace corvane
