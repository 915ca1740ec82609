#include "SoundWindows.h"
#include "SendGuard.h"

#include "Frames.h"
#include "MirageProtocol.h"
#include "Named.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

namespace corvane {

namespace {

const char* const Filter = "SysEx files|*.syx";
constexpr int BarSteps = 1000;

QString timeText(long long ms)
{
    const long long s = (ms + 999) / 1000;
    return s < 60 ? QString("%1 s").arg(s) : QString("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

QString lines(const std::vector<std::string>& v)
{
    QStringList l;
    for (const auto& s : v)
        l << QString::fromStdString(s);
    return l.join('\n');
}

} // namespace

// ---- the shared job panel ------------------------------------------------------

TSoundJobForm::TSoundJobForm(const WindowContext& context, QWidget* parent, const char* name, const QString& caption,
                             int width, int height)
    : TFormBase(context, parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    SetFixedFrame(QSize(width, height));
    setWindowModality(Qt::ApplicationModal);

    // Two lines, the last on the bar: what a stopped send left in the
    // instrument takes more than one.
    lbStatus = named(new QLabel("Ready.", this), "lbStatus");
    lbStatus->setWordWrap(true);
    lbStatus->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    lbStatus->setGeometry(12, height - 110, width - 24, 36);
    ProgressBar1 = named(new TProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, BarSteps);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(12, height - 70, width - 24, 16);
    lbTime = named(new QLabel(this), "lbTime");
    lbTime->setGeometry(12, height - 52, width - 24, 16);
    bnCancel = named(new QPushButton("Cancel", this), "bnCancel");
    bnCancel->setGeometry(width - 172, height - 33, 75, 25);
    bnCancel->setEnabled(false);
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setGeometry(width - 87, height - 33, 75, 25);
    connect(bnCancel, &QPushButton::clicked, this, &TSoundJobForm::bnCancelClick);
    connect(bnOK, &QPushButton::clicked, this, &TSoundJobForm::bnOKClick);
}

TAnchors* TSoundJobForm::Sizable()
{
    SetSizableFrame(size());
    auto* anchors = new TAnchors(this);
    for (QWidget* w : std::initializer_list<QWidget*>{lbStatus, ProgressBar1, lbTime})
        anchors->anchor(w, TAnchors::Left | TAnchors::Right | TAnchors::Bottom);
    for (QWidget* w : std::initializer_list<QWidget*>{bnCancel, bnOK})
        anchors->anchor(w, TAnchors::Right | TAnchors::Bottom);
    return anchors;
}

void TSoundJobForm::bnCancelClick()
{
    if (running_) {
        cancelled_ = true;
        lbStatus->setText("Cancelling...");
    }
}

void TSoundJobForm::bnOKClick()
{
    if (!running_)
        close();
}

void TSoundJobForm::runJob(const std::vector<QWidget*>& locked, const std::function<void()>& job)
{
    if (running_)
        return;
    Converse([this, locked, job] {
        running_ = true;
        cancelled_ = false;
        for (QWidget* w : locked)
            w->setEnabled(false);
        bnOK->setEnabled(false);
        bnCancel->setEnabled(true);
        ProgressBar1->setValue(0);
        jobStart_ = Ctx().seams.clockMs();
        job();
        for (QWidget* w : locked)
            w->setEnabled(true);
        bnOK->setEnabled(true);
        bnCancel->setEnabled(false);
        running_ = false;
    });
}

sound::JobHooks TSoundJobForm::hooks(double from, double to)
{
    sound::JobHooks h;
    h.wait = [this](int ms) { Mirage().WaitAcceptingInput(ms); };
    h.cancelled = [this] { return cancelled_; };
    h.progress = [this, from, to](const std::string& status, long long done, long long total) {
        const double fraction = total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 0.0;
        ProgressBar1->setValue(static_cast<int>((from + (to - from) * fraction) * BarSteps));
        lbStatus->setText(QString::fromStdString(status));
        // The time the job has taken, and the whole it will take: the wire
        // times expected at first, then what the part done took so far
        // (the instrument may answer faster than the wire allows, or slower).
        const long long elapsed = Ctx().seams.clockMs() - jobStart_;
        const long long whole = fraction >= 0.05 ? static_cast<long long>(static_cast<double>(elapsed) / fraction) : total;
        lbTime->setText(QString("%1 of about %2").arg(timeText(elapsed), timeText(std::max(whole, elapsed))));
    };
    return h;
}

void TSoundJobForm::keyPressEvent(QKeyEvent* e)
{
    if (running_ && e->key() == Qt::Key_Escape) {
        bnCancelClick();
        return;
    }
    TFormBase::keyPressEvent(e);
}

void TSoundJobForm::closeEvent(QCloseEvent* e)
{
    if (running_) {
        bnCancelClick();
        e->ignore();
        return;
    }
    TFormBase::closeEvent(e);
}

// ---- Save Sound to File --------------------------------------------------------------

TfmSaveSound::TfmSaveSound(const WindowContext& context, QWidget* parent)
    : TSoundJobForm(context, parent, "fmSaveSound", "Save Sound to File", 400, 230)
{
    auto* group = named(new QGroupBox("Keyboard halves", this), "GroupBox1");
    group->setGeometry(12, 10, 200, 100);
    rbLower = named(new QRadioButton("Lower half", group), "rbLower");
    rbLower->setGeometry(12, 22, 180, 20);
    rbUpper = named(new QRadioButton("Upper half", group), "rbUpper");
    rbUpper->setGeometry(12, 46, 180, 20);
    rbBoth = named(new QRadioButton("Both halves", group), "rbBoth");
    rbBoth->setGeometry(12, 70, 180, 20);
    rbBoth->setChecked(true);
    bnSave = named(new QPushButton("Save...", this), "bnSave");
    bnSave->setGeometry(230, 18, 110, 25);
    auto* note = new QLabel("Each half's programs, its eight wavesamples' parameters and sample data, and their names "
                            "and colours.",
                            this);
    note->setWordWrap(true);
    note->setGeometry(230, 50, 158, 90);
    connect(bnSave, &QPushButton::clicked, this, &TfmSaveSound::bnSaveClick);
}

void TfmSaveSound::bnSaveClick()
{
    const std::vector<int> halves = rbLower->isChecked() ? std::vector<int>{0}
                                    : rbUpper->isChecked() ? std::vector<int>{1}
                                                           : std::vector<int>{0, 1};
    const std::string suggested = rbLower->isChecked() ? "lower.syx" : rbUpper->isChecked() ? "upper.syx" : "sound.syx";
    const std::string path = Ctx().seams.saveFileName(Filter, suggested);
    if (path.empty())
        return;
    runJob({rbLower, rbUpper, rbBoth, bnSave}, [this, halves, path] {
        const sound::FetchResult r =
            sound::fetchSound(Mirage(), halves, Ctx().wavesampleNames, Ctx().wavesampleColours, hooks());
        if (r.end == sound::JobEnd::Cancelled) {
            lbStatus->setText("Cancelled: no file written.");
            return;
        }
        if (r.end == sound::JobEnd::Failed) {
            lbStatus->setText("Not saved: no file written.");
            Ctx().seams.messageBox(r.text, "Save Sound to File", BoxButtons::Ok);
            return;
        }
        const sound::Bytes image = sound::fileImage(r.sound);
        const std::string error = sound::writeAtomically(path, image);
        if (!error.empty()) {
            lbStatus->setText("Not saved: no file written.");
            Ctx().seams.messageBox(error, "Save Sound to File", BoxButtons::Ok);
            return;
        }
        std::size_t dumps = 0;
        for (const auto& h : r.sound.halves)
            dumps += h.wavesampleDumps.size();
        lbStatus->setText(QString("Saved %1 (%2, %3 bytes).")
                              .arg(QString::fromStdString(std::filesystem::path(path).filename().string()),
                                   dumps == 1 ? QString("1 wavesample dump") : QString("%1 wavesample dumps").arg(dumps))
                              .arg(image.size()));
    });
}

// ---- Load Sound from File ----------------------------------------------------------------

TfmLoadSound::TfmLoadSound(const WindowContext& context, QWidget* parent)
    : TSoundJobForm(context, parent, "fmLoadSound", "Load Sound from File", 440, 400)
{
    bnOpen = named(new QPushButton("Open File...", this), "bnOpen");
    bnOpen->setGeometry(12, 10, 100, 25);
    edFilename = named(new QLineEdit("No file selected", this), "edFilename");
    edFilename->setReadOnly(true);
    edFilename->setGeometry(120, 11, 308, 23);
    edContents = named(new QPlainTextEdit(this), "edContents");
    edContents->setReadOnly(true);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    edContents->setFont(mono);
    edContents->setGeometry(12, 44, 416, 224);
    bnSend = named(new QPushButton("Send to Mirage", this), "bnSend");
    bnSend->setGeometry(12, height() - 33, 120, 25);
    bnSend->setEnabled(false);
    TSendGuard::guard(bnSend, Ctx().sendBlocked);
    TAnchors* anchors = Sizable();
    anchors->anchor(edFilename, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(edContents, TAnchors::All);
    anchors->anchor(bnSend, TAnchors::Left | TAnchors::Bottom);
    connect(bnOpen, &QPushButton::clicked, this, &TfmLoadSound::bnOpenClick);
    connect(bnSend, &QPushButton::clicked, this, &TfmLoadSound::bnSendClick);
}

void TfmLoadSound::bnOpenClick()
{
    const std::string path = Ctx().seams.openFileName(Filter);
    if (!path.empty())
        OpenFile(path);
}

bool TfmLoadSound::OpenFile(const std::string& path)
{
    edFilename->setText(QString::fromStdString(path));
    sound::ReadResult r = sound::readFile(path);
    ProgressBar1->setValue(0);
    if (!r.ok()) {
        sound_ = {};
        edContents->clear();
        bnSend->setEnabled(false);
        lbStatus->setText("Refused: nothing will be sent.");
        lbTime->clear();
        Ctx().seams.messageBox(r.message(), sound::ReadResult::Caption, BoxButtons::Ok);
        return false;
    }
    sound_ = std::move(r.sound);
    edContents->setPlainText(lines(sound::describe(sound_)));
    bnSend->setEnabled(true);
    lbStatus->setText("Checked: ready to send.");
    lbTime->setText("Sending takes about " + timeText(sound::sendMs(sound_)) + ".");
    return true;
}

void TfmLoadSound::bnSendClick()
{
    if (sound_.halves.empty())
        return;
    runJob({bnOpen, bnSend}, [this] {
        const sound::SendResult r = sound::sendSound(Mirage(), sound_, hooks());
        if (r.end == sound::JobEnd::Done)
            for (const sound::Half& h : sound_.halves)
                if (h.hasNames)
                    for (std::size_t w = 0; w < 8; ++w) {
                        Ctx().wavesampleNames[static_cast<std::size_t>(h.half) * 8 + w] = h.names[w];
                        Ctx().wavesampleColours[static_cast<std::size_t>(h.half) * 8 + w] = h.colours[w];
                    }
        // What each wavesample's answer was, beside what the file holds.
        std::vector<std::string> shown = sound::describe(sound_);
        std::size_t line = 0;
        for (const sound::Half& h : sound_.halves) {
            ++line; // the half's heading
            for (int w = 0; w < 8; ++w, ++line) {
                const sound::Answer a = r.answers[static_cast<std::size_t>(h.half * 8 + w)];
                if (a == sound::Answer::NotSent && sound::wavesampleEntries(h.programDump)[static_cast<std::size_t>(w)].dump < 0)
                    continue;
                shown[line] += std::string("  - ") + sound::answerText(a);
            }
        }
        edContents->setPlainText(lines(shown));
        lbStatus->setText(QString::fromStdString(sound::sendSummary(sound_, r)));
        if (r.end == sound::JobEnd::Failed)
            Ctx().seams.messageBox(r.text, "Load Sound from File", BoxButtons::Ok);
    });
}

// ---- Archive Disk ---------------------------------------------------------------------------

TfmArchiveDisk::TfmArchiveDisk(const WindowContext& context, QWidget* parent)
    : TSoundJobForm(context, parent, "fmArchiveDisk", "Archive Disk", 440, 340)
{
    auto* note = new QLabel("Loads sound 1, 2 and 3 of the disk in the Mirage's drive into both halves in turn and "
                            "saves each as sound1.syx, sound2.syx and sound3.syx.",
                            this);
    note->setWordWrap(true);
    note->setGeometry(12, 6, 416, 50);
    bnFolder = named(new QPushButton("Choose Folder...", this), "bnFolder");
    bnFolder->setGeometry(12, 60, 110, 25);
    edFolder = named(new QLineEdit(this), "edFolder");
    edFolder->setReadOnly(true);
    edFolder->setGeometry(130, 61, 298, 23);
    edSummary = named(new QPlainTextEdit(this), "edSummary");
    edSummary->setReadOnly(true);
    edSummary->setGeometry(12, 94, 416, 130);
    bnArchive = named(new QPushButton("Archive", this), "bnArchive");
    bnArchive->setGeometry(12, height() - 33, 100, 25);
    TAnchors* anchors = Sizable();
    anchors->anchor(note, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(edFolder, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(edSummary, TAnchors::All);
    anchors->anchor(bnArchive, TAnchors::Left | TAnchors::Bottom);
    connect(bnFolder, &QPushButton::clicked, this, &TfmArchiveDisk::bnFolderClick);
    connect(bnArchive, &QPushButton::clicked, this, &TfmArchiveDisk::bnArchiveClick);
}

void TfmArchiveDisk::bnFolderClick()
{
    const std::string folder = Ctx().seams.chooseFolder("Archive Disk");
    if (!folder.empty())
        edFolder->setText(QString::fromStdString(folder));
}

void TfmArchiveDisk::bnArchiveClick()
{
    if (edFolder->text().isEmpty())
        bnFolderClick();
    const std::string folder = edFolder->text().toStdString();
    if (folder.empty())
        return;
    if (Ctx().seams.messageBox("Archiving loads each sound of the disk into both halves of the Mirage; what they hold "
                               "now is replaced. Continue?",
                               "Archive Disk", BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    runJob({bnFolder, bnArchive}, [this, folder] {
        std::vector<std::string> summary;
        int written = 0;
        edSummary->clear();
        for (int n = 1; n <= 3 && !cancelled(); ++n) {
            const double from = (n - 1) / 3.0;
            const double loaded = from + 0.15 / 3.0;
            const std::string file = "sound" + std::to_string(n) + ".syx";
            const sound::JobHooks loading = hooks(from, loaded);
            Mirage().SendSysEx(keyCodeMessage({key::UpperLoad, key::LowerLoad, static_cast<std::uint8_t>(n), key::Enter}));
            for (int waited = 0; waited < DiskLoadMs && !cancelled(); waited += 100) {
                loading.progress("Loading sound " + std::to_string(n) + " from disk", waited, DiskLoadMs);
                loading.wait(100);
            }
            if (cancelled())
                break;
            // The program's names belong to what it holds now, not to the
            // disk's sounds: the files carry none.
            const sound::FetchResult r = sound::fetchSound(Mirage(), {0, 1}, hooks(loaded, n / 3.0));
            if (r.end == sound::JobEnd::Cancelled)
                break;
            std::string line = file + ": ";
            if (r.end == sound::JobEnd::Failed) {
                line += "not written. " + r.text;
            } else {
                const sound::Bytes image = sound::fileImage(r.sound);
                const std::string error =
                    sound::writeAtomically((std::filesystem::path(folder) / file).string(), image);
                if (error.empty()) {
                    std::size_t dumps = 0;
                    for (const auto& h : r.sound.halves)
                        dumps += h.wavesampleDumps.size();
                    line += "both halves, " + std::to_string(dumps) + " wavesample dumps, " +
                            std::to_string(image.size()) + " bytes.";
                    ++written;
                } else {
                    line += "not written. " + error;
                }
            }
            summary.push_back(line);
            edSummary->setPlainText(lines(summary));
        }
        if (cancelled())
            summary.push_back("Cancelled: the sound under way was not written.");
        edSummary->setPlainText(lines(summary));
        lbStatus->setText(QString("%1 of 3 sounds archived%2").arg(written).arg(cancelled() ? ", cancelled." : "."));
    });
}

} // namespace corvane
