#include "DiskImagesWindow.h"
#include "Counted.h"
#include "SendGuard.h"

#include "AudioConvert.h"
#include "Dumps.h"
#include "HexText.h"
#include "LibraryWindow.h"
#include "MirageProtocol.h"
#include "Named.h"
#include "PlayerPanel.h"
#include "Seams.h"
#include "WaveView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace corvane {

namespace {

namespace fs = std::filesystem;

const char* const ImageFilter = "Disk images|*.img *.ima *.dsk *.edm";
const char* const SyxFilter = "SysEx files|*.syx";
constexpr audio::Container Formats[] = {audio::Container::Wav, audio::Container::Aiff, audio::Container::Flac};
constexpr int RowHeight = 24;

std::string hex2(int v) { return hexByte(static_cast<std::uint8_t>(v)); }

const char* halfText(int half) { return half == 0 ? "lower half" : "upper half"; }

// The loop of wavesample `w` as the instrument plays it from the
// wavesample's start page: loop start page up to the loop end page's fine
// value. None while the loop is off or its pointers lie outside.
std::optional<SoundLoop> loopOf(const sound::Bytes& programDump, int w)
{
    const auto field = [&](int offset) {
        return getNibblePair(programDump.data(), programDump.size(), wavesampleFieldPos(w, offset));
    };
    const int start = field(wsf::StartPage);
    const int loopStart = field(wsf::LoopStart);
    const int loopEnd = field(wsf::LoopEnd);
    if (field(wsf::LoopSwitch) == 0 || loopStart < start || loopEnd < loopStart || loopEnd > field(wsf::EndPage))
        return std::nullopt;
    const auto page = [start](int p) { return static_cast<std::size_t>(p - start) * 256; };
    return SoundLoop{page(loopStart), page(loopEnd) + static_cast<std::size_t>(field(wsf::LoopEndFine)) + 1};
}

std::vector<std::uint8_t> samplesOf(const disk::SlotData& data, const sound::PageRange& range)
{
    const auto from = data.memory.begin() + static_cast<std::ptrdiff_t>(range.start) * 256;
    return {from, from + static_cast<std::ptrdiff_t>(range.pages()) * 256};
}

} // namespace

TfmDiskImages::TfmDiskImages(const WindowContext& context, QWidget* parent)
    : TSoundJobForm(context, parent, "fmDiskImages", Caption, 640, 500)
{
    bnOpen = named(new QPushButton("Open Image...", this), "bnOpen");
    bnOpen->setGeometry(12, 10, 100, 25);
    edImage = named(new QLineEdit("No image opened", this), "edImage");
    edImage->setReadOnly(true);
    edImage->setGeometry(120, 11, 508, 23);
    lvSlots = named(new QListWidget(this), "lvSlots");
    lvSlots->setGeometry(12, 46, 204, 212);
    buildSlotControls();
    buildActions();
    layOut();
    connect(bnOpen, &QPushButton::clicked, this, &TfmDiskImages::bnOpenClick);
    connect(lvSlots, &QListWidget::currentRowChanged, this, [this] { showSlot(); });
    acceptSoundDrops();
    enableActions();
}

void TfmDiskImages::buildSlotControls()
{
    gbWavesamples = named(new QGroupBox("Wavesamples", this), "gbWavesamples");
    gbWavesamples->setGeometry(224, 40, 404, 218);
    for (int w = 0; w < 8; ++w) {
        const std::string n = std::to_string(w + 1);
        auto* rb = new QRadioButton(QString::fromStdString(n), gbWavesamples);
        rb->setObjectName(QString::fromStdString("rbWavesample" + n));
        rb->setGeometry(10, 20 + w * RowHeight, 150, 20);
        auto* wave = new TWaveView(gbWavesamples);
        wave->setObjectName(QString::fromStdString("wvWavesample" + n));
        wave->setGeometry(164, 20 + w * RowHeight, 230, 20);
        rbWavesample[static_cast<std::size_t>(w)] = rb;
        wvWavesample[static_cast<std::size_t>(w)] = wave;
        connect(rb, &QRadioButton::clicked, this, [this, w] { wavesampleChosen(w); });
    }
    MediaPlayer1 = new TPlayerPanel(this, Ctx().seams);
    MediaPlayer1->move(464, 264);
    connect(MediaPlayer1->bnPlay, &QToolButton::clicked, MediaPlayer1, &TPlayerPanel::play);
    connect(MediaPlayer1->bnStop, &QToolButton::clicked, MediaPlayer1, &TPlayerPanel::stop);
    namedLabel(this, "lbHalf", "Instrument half:", 12, 271, 96);
    cbHalf = named(new QComboBox(this), "cbHalf");
    cbHalf->addItems({"Lower half", "Upper half"});
    cbHalf->setGeometry(110, 267, 106, 23);
}

// The slot list grows with the window's height, the image's name and the
// waveforms with its width; the player and the actions keep to the bottom.
void TfmDiskImages::layOut()
{
    TAnchors* anchors = Sizable();
    anchors->anchor(edImage, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(lvSlots, TAnchors::Left | TAnchors::Top | TAnchors::Bottom);
    anchors->anchor(gbWavesamples, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    auto* rows = new TAnchors(gbWavesamples);
    for (TWaveView* wave : wvWavesample)
        rows->anchor(wave, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(MediaPlayer1, TAnchors::Right | TAnchors::Bottom);
    for (const char* name : {"lbHalf", "cbHalf", "gbFrom", "gbInto"})
        anchors->anchor(findChild<QWidget*>(name), TAnchors::Left | TAnchors::Bottom);
}

void TfmDiskImages::buildActions()
{
    auto* from = named(new QGroupBox("From this slot", this), "gbFrom");
    from->setGeometry(12, 300, 300, 92);
    bnSend = named(new QPushButton("Send to Mirage", from), "bnSend");
    bnSend->setGeometry(10, 22, 136, 25);
    bnSaveSyx = named(new QPushButton("Save as .syx...", from), "bnSaveSyx");
    bnSaveSyx->setGeometry(154, 22, 136, 25);
    bnExport = named(new QPushButton("Export Audio...", from), "bnExport");
    bnExport->setGeometry(10, 56, 136, 25);
    cbFormat = named(new QComboBox(from), "cbFormat");
    cbFormat->addItems({"WAV", "AIFF", "FLAC"});
    cbFormat->setGeometry(154, 57, 80, 23);
    auto* into = named(new QGroupBox("Write into this slot", this), "gbInto");
    into->setGeometry(322, 300, 306, 92);
    bnWriteInstrument = named(new QPushButton("From the Instrument", into), "bnWriteInstrument");
    bnWriteInstrument->setGeometry(10, 22, 140, 25);
    bnWriteSyx = named(new QPushButton("From a .syx File...", into), "bnWriteSyx");
    bnWriteSyx->setGeometry(156, 22, 140, 25);
    cbBackup = named(new QCheckBox("Keep a backup copy of the image (.bak)", into), "cbBackup");
    cbBackup->setChecked(true);
    cbBackup->setGeometry(10, 60, 290, 20);
    connect(bnSend, &QPushButton::clicked, this, &TfmDiskImages::bnSendClick);
    TSendGuard::guard(bnSend, Ctx().sendBlocked);
    connect(bnSaveSyx, &QPushButton::clicked, this, &TfmDiskImages::bnSaveSyxClick);
    connect(bnExport, &QPushButton::clicked, this, &TfmDiskImages::bnExportClick);
    connect(bnWriteInstrument, &QPushButton::clicked, this, &TfmDiskImages::bnWriteInstrumentClick);
    connect(bnWriteSyx, &QPushButton::clicked, this, &TfmDiskImages::bnWriteSyxClick);
}

// The group boxes, not their buttons, are locked during a job: the buttons
// keep the states the slot gives them.
std::vector<QWidget*> TfmDiskImages::lockedByJobs() const
{
    return {bnOpen, lvSlots, gbWavesamples, cbHalf, findChild<QWidget*>("gbFrom"), findChild<QWidget*>("gbInto")};
}

// ---- showing an image -------------------------------------------------------------------

void TfmDiskImages::bnOpenClick()
{
    const std::string path = Ctx().seams.openFileName(ImageFilter);
    if (!path.empty())
        OpenImage(path);
}

bool TfmDiskImages::OpenImage(const std::string& path)
{
    disk::Image image;
    if (const std::string error = image.open(path); !error.empty()) {
        Ctx().seams.messageBox(error, disk::Image::Caption, BoxButtons::Ok);
        return false;
    }
    const bool same = open_ && path == path_;
    image_ = std::move(image);
    path_ = path;
    open_ = true;
    edImage->setText(QString::fromStdString(path));
    const int keep = same ? SelectedSlot() : 0;
    showSlots();
    SelectSlot(keep);
    lbStatus->setText("Ready.");
    lbTime->clear();
    ProgressBar1->setValue(0);
    return true;
}

std::string TfmDiskImages::stem() const { return fs::path(path_).stem().string(); }

std::string TfmDiskImages::slotSummary(int slot) const { return disk::slotSummary(image_, slot); }

void TfmDiskImages::showSlots()
{
    const QSignalBlocker block(lvSlots);
    lvSlots->clear();
    for (int s = 0; s < disk::Layout::Slots; ++s)
        lvSlots->addItem(QString::fromStdString(disk::slotName(s) + "  " + slotSummary(s)));
}

int TfmDiskImages::SelectedSlot() const { return open_ ? lvSlots->currentRow() : -1; }

void TfmDiskImages::SelectSlot(int slot)
{
    lvSlots->setCurrentRow(slot);
    showSlot(); // also when the row was current already
}

void TfmDiskImages::showSlot()
{
    MediaPlayer1->withdraw();
    const int slot = SelectedSlot();
    const disk::SlotRead r = slot >= 0 ? disk::readSlot(image_, slot) : disk::SlotRead{};
    const bool sound = slot >= 0 && r.ok();
    gbWavesamples->setTitle(slot < 0 ? QString("Wavesamples")
                                     : QString::fromStdString("Wavesamples of " + disk::slotName(slot) + ", the " +
                                                              halfText(disk::halfOfSlot(slot)) + " of sound " +
                                                              std::to_string(disk::soundOfSlot(slot) + 1) +
                                                              (sound ? "" : ": " + slotSummary(slot))));
    const disk::SlotData data = slot >= 0 ? image_.slot(slot) : disk::SlotData{};
    const auto entries = sound::wavesampleEntries(r.half.programDump);
    int first = -1;
    for (std::size_t w = 0; w < 8; ++w) {
        const sound::PageRange p = entries[w].range;
        const bool has = sound && p.pages() > 0;
        const std::string pages = std::to_string(p.pages()) + (p.pages() == 1 ? " page" : " pages");
        const std::string text = std::to_string(w + 1) + "   " +
                                 (has ? hex2(p.start) + "-" + hex2(p.end) + "  " + pages
                                      : std::string(sound ? "no pages" : ""));
        rbWavesample[w]->setText(QString::fromStdString(text));
        rbWavesample[w]->setEnabled(has);
        wvWavesample[w]->setSamples(has ? samplesOf(data, p) : std::vector<std::uint8_t>{});
        if (has && first < 0)
            first = static_cast<int>(w);
    }
    // Exclusive radio buttons cannot all be unchecked: none is checked while
    // the slot holds no sound.
    for (QRadioButton* rb : rbWavesample) {
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
    }
    if (first >= 0) {
        rbWavesample[static_cast<std::size_t>(first)]->setChecked(true);
        MediaPlayer1->offer({samplesOf(data, entries[static_cast<std::size_t>(first)].range),
                             audio::rateOfSampleTime(audio::DefaultSampleTimeUs),
                             loopOf(r.half.programDump, first)});
    }
    if (slot >= 0)
        cbHalf->setCurrentIndex(disk::halfOfSlot(slot));
    enableActions();
}

// Plays the chosen wavesample at once, with its loop while "Loop" is ticked.
void TfmDiskImages::wavesampleChosen(int wavesample)
{
    const int slot = SelectedSlot();
    if (slot < 0)
        return;
    const disk::SlotRead r = disk::readSlot(image_, slot);
    if (!r.ok())
        return;
    const sound::PageRange p = sound::wavesampleEntries(r.half.programDump)[static_cast<std::size_t>(wavesample)].range;
    MediaPlayer1->offer({samplesOf(image_.slot(slot), p), audio::rateOfSampleTime(audio::DefaultSampleTimeUs),
                         loopOf(r.half.programDump, wavesample)});
    if (MediaPlayer1->bnPlay->isEnabled())
        MediaPlayer1->play();
}

void TfmDiskImages::enableActions()
{
    const int slot = SelectedSlot();
    const bool sound = slot >= 0 && image_.check(slot).state == disk::SlotState::Sound;
    for (QWidget* w : std::initializer_list<QWidget*>{bnSend, bnSaveSyx, bnExport, cbFormat})
        w->setEnabled(sound);
    for (QWidget* w : std::initializer_list<QWidget*>{bnWriteInstrument, bnWriteSyx, cbBackup})
        w->setEnabled(slot >= 0);
}

// ---- from a slot ------------------------------------------------------------------------

void TfmDiskImages::bnSendClick()
{
    const int slot = SelectedSlot();
    if (slot < 0 || image_.check(slot).state != disk::SlotState::Sound)
        return;
    const int half = cbHalf->currentIndex();
    sound::Sound sound;
    sound.halves.push_back(disk::halfOf(image_.slot(slot), half));
    const std::string what = disk::slotName(slot) + " into the " + halfText(half);
    runJob(lockedByJobs(), [this, sound, what] {
        const sound::SendResult r = sound::sendSound(Mirage(), sound, hooks());
        lbStatus->setText(QString::fromStdString(sound::sendSummary(sound, r, what)));
        if (r.end == sound::JobEnd::Failed)
            Ctx().seams.messageBox(r.text, Caption, BoxButtons::Ok);
    });
}

void TfmDiskImages::bnSaveSyxClick()
{
    const int slot = SelectedSlot();
    const disk::SlotRead r = slot >= 0 ? disk::readSlot(image_, slot) : disk::SlotRead{};
    if (slot < 0 || !r.ok())
        return;
    const std::string path = Ctx().seams.saveFileName(SyxFilter, stem() + "-" + disk::slotName(slot) + ".syx");
    if (path.empty())
        return;
    sound::Sound sound;
    sound.halves.push_back(r.half);
    if (const std::string error = sound::writeAtomically(path, sound::fileImage(sound)); !error.empty()) {
        lbStatus->setText("Not saved: no file written.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    lbStatus->setText(
        QString::fromStdString("Saved " + disk::slotName(slot) + " as " + fs::path(path).filename().string() + "."));
}

// Each wavesample with pages as IMAGE-SLOT-WS.EXT in the chosen folder, at
// the rate of the default sample time; Cancel is taken between files.
void TfmDiskImages::bnExportClick()
{
    const int slot = SelectedSlot();
    if (slot < 0 || image_.check(slot).state != disk::SlotState::Sound)
        return;
    const std::string folder = Ctx().seams.chooseFolder("Export Audio");
    if (folder.empty())
        return;
    const audio::Container container = Formats[std::clamp(cbFormat->currentIndex(), 0, 2)];
    const disk::SlotData data = image_.slot(slot);
    const auto entries = sound::wavesampleEntries(disk::programDumpOf(0, data.program));
    std::vector<std::pair<fs::path, sound::PageRange>> files;
    int existing = 0;
    for (int w = 0; w < 8; ++w)
        if (entries[static_cast<std::size_t>(w)].range.pages() > 0) {
            files.emplace_back(fs::path(folder) / disk::exportName(stem(), slot, w, audio::extensionOf(container)),
                               entries[static_cast<std::size_t>(w)].range);
            std::error_code ec;
            existing += fs::exists(files.back().first, ec) ? 1 : 0;
        }
    if (existing > 0 &&
        Ctx().seams.messageBox("The folder already holds " + std::to_string(existing) + " of these files (" +
                                   files.front().first.filename().string() + " ...). Replace them?",
                               Caption, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    runJob(lockedByJobs(), [this, data, files, container] {
        const sound::JobHooks h = hooks();
        int written = 0;
        for (const auto& [target, range] : files) {
            if (h.cancelled())
                break;
            h.progress("Exporting " + target.filename().string(), written, static_cast<long long>(files.size()));
            lbTime->setText(QString("File %1 of %2").arg(written + 1).arg(files.size()));
            const std::string error =
                audio::exportReplacing(target.string(), samplesOf(data, range), {container, 16, 0});
            if (!error.empty()) {
                Ctx().seams.messageBox(error, audio::ExportResult::Caption, BoxButtons::Ok);
                break;
            }
            ++written;
            h.wait(1); // the bar and Cancel between files
        }
        ProgressBar1->setValue(ProgressBar1->maximum());
        lbTime->clear();
        lbStatus->setText(
            QString("%1 %2 written.").arg(h.cancelled() ? "Cancelled:" : "Exported:", countedText(written, "audio file")));
    });
}

// ---- into a slot -------------------------------------------------------------------------

bool TfmDiskImages::confirmReplace(const std::string& what)
{
    const int slot = SelectedSlot();
    const std::string name = fs::path(path_).filename().string();
    std::string text = "Writing replaces " + disk::slotName(slot) + " of \"" + name + "\" (" + slotSummary(slot) +
                       ") with " + what + ".";
    if (cbBackup->isChecked())
        text += " A copy of the image as it is now is kept as \"" + fs::path(BackupPath(path_)).filename().string() +
                "\".";
    return Ctx().seams.messageBox(text + " Continue?", Caption, BoxButtons::YesNo) == BoxAnswer::Yes;
}

// The image is read again from its file, so that nothing another program
// wrote there since it was opened is lost.
void TfmDiskImages::writeHalf(const sound::Half& half, const std::string& what)
{
    const int slot = SelectedSlot();
    std::string error;
    if (cbBackup->isChecked()) {
        disk::Image now;
        error = now.open(path_);
        if (error.empty())
            error = now.save(BackupPath(path_));
    }
    if (error.empty())
        error = disk::insertHalf(path_, slot, half);
    if (!error.empty()) {
        lbStatus->setText("Not written: the image is unchanged.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    OpenImage(path_);
    lbStatus->setText(QString::fromStdString("Wrote " + what + " into " + disk::slotName(slot) + "."));
}

void TfmDiskImages::bnWriteInstrumentClick()
{
    const int half = cbHalf->currentIndex();
    const std::string what = std::string("the instrument's ") + halfText(half);
    if (SelectedSlot() < 0 || !confirmReplace(what))
        return;
    runJob(lockedByJobs(), [this, half, what] {
        const sound::FetchResult r = sound::fetchSound(Mirage(), {half}, hooks());
        if (r.end == sound::JobEnd::Cancelled) {
            lbStatus->setText("Cancelled: the image is unchanged.");
            return;
        }
        if (r.end == sound::JobEnd::Failed || r.sound.halves.empty()) {
            lbStatus->setText("Not written: the image is unchanged.");
            Ctx().seams.messageBox(r.text, Caption, BoxButtons::Ok);
            return;
        }
        writeHalf(r.sound.halves.front(), what);
    });
}

void TfmDiskImages::bnWriteSyxClick()
{
    const int slot = SelectedSlot();
    if (slot < 0)
        return;
    const std::string path = Ctx().seams.openFileName(SyxFilter);
    if (path.empty())
        return;
    const sound::ReadResult r = sound::readFile(path);
    if (!r.ok()) {
        Ctx().seams.messageBox(r.message(), sound::ReadResult::Caption, BoxButtons::Ok);
        return;
    }
    const sound::Half* half = disk::halfForSlot(r.sound, slot);
    if (!half) {
        Ctx().seams.messageBox("Error - \"" + path + "\" holds no half to put into " + disk::slotName(slot) + ".",
                               Caption, BoxButtons::Ok);
        return;
    }
    const std::string what =
        std::string("the ") + halfText(half->half) + " of \"" + fs::path(path).filename().string() + "\"";
    if (confirmReplace(what))
        writeHalf(*half, what);
}

// ---- a sound dropped from the library -----------------------------------------------------

void TfmDiskImages::acceptSoundDrops()
{
    lvSlots->viewport()->setAcceptDrops(true);
    lvSlots->viewport()->installEventFilter(this);
}

int TfmDiskImages::dropSlot(const QDropEvent* event) const
{
    if (!open_ || Running() || !event->mimeData()->hasFormat(SoundDrag::MimeType))
        return -1;
    return lvSlots->indexAt(event->position().toPoint()).row();
}

bool TfmDiskImages::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched != lvSlots->viewport() ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return TSoundJobForm::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const int slot = dropSlot(drop);
    const std::optional<SoundDrag> drag = SoundDrag::of(drop->mimeData());
    if (slot < 0 || !drag) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    // The confirmation is asked once the drag has ended, not inside it.
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(this, [this, d = *drag, slot] { writeDropped(d, slot); }, Qt::QueuedConnection);
    return true;
}

void TfmDiskImages::writeDropped(const SoundDrag& drag, int slot)
{
    if (!open_ || Running())
        return;
    SelectSlot(slot);
    std::string error;
    const std::optional<sound::Half> half = drag.read(error);
    if (!half) {
        lbStatus->setText("Not written: the image is unchanged.");
        Ctx().seams.messageBox(error, Caption, BoxButtons::Ok);
        return;
    }
    const std::string what = drag.what();
    if (confirmReplace(what))
        writeHalf(*half, what);
}

} // namespace corvane
