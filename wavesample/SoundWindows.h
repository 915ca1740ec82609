// Sounds on the computer: "Save Sound to File" fetches one or both keyboard
// halves into a .syx file, "Load Sound from File" checks such a file, shows
// what it holds and sends it, "Archive Disk" saves the three sounds of the
// disk in the instrument's drive. Each job runs as the one conversation with
// the instrument, with a progress bar and a Cancel that is taken between
// steps; the window stays modal while it is shown.
#pragma once

#include "Anchors.h"
#include "FormBase.h"
#include "ProgressBar.h"
#include "SoundTransfer.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

// What the three windows share: the progress bar, the status line, Cancel
// and OK, and the running of a job.
class TSoundJobForm : public TFormBase {
    Q_OBJECT
public:
    TSoundJobForm(const WindowContext& context, QWidget* parent, const char* name, const QString& caption, int width,
                  int height);

    TProgressBar* ProgressBar1;
    QLabel* lbStatus;
    QLabel* lbTime;
    QPushButton* bnCancel;
    QPushButton* bnOK;

    bool Running() const { return running_; }
    void bnCancelClick();
    void bnOKClick();

protected:
    // Runs `job` in the conversation with the controls of `locked` disabled
    // and Cancel enabled. The job's progress moves the bar from `from` to
    // `to` (fractions of the whole bar).
    void runJob(const std::vector<QWidget*>& locked, const std::function<void()>& job);
    sound::JobHooks hooks(double from = 0.0, double to = 1.0);
    // Lets the window grow from its size as built: the status lines and the
    // progress bar stretch, Cancel and OK keep to the bottom right corner.
    // The window anchors its own controls on what this returns.
    TAnchors* Sizable();
    bool cancelled() const { return cancelled_; }
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool running_ = false;
    bool cancelled_ = false;
    long long jobStart_ = 0; // on the seams' clock
};

class TfmSaveSound : public TSoundJobForm {
    Q_OBJECT
public:
    explicit TfmSaveSound(const WindowContext& context, QWidget* parent = nullptr);

    QRadioButton* rbLower;
    QRadioButton* rbUpper;
    QRadioButton* rbBoth;
    QPushButton* bnSave;

    void bnSaveClick();
};

class TfmLoadSound : public TSoundJobForm {
    Q_OBJECT
public:
    explicit TfmLoadSound(const WindowContext& context, QWidget* parent = nullptr);

    QPushButton* bnOpen;
    QLineEdit* edFilename;
    QPlainTextEdit* edContents;
    QPushButton* bnSend;

    void bnOpenClick();
    void bnSendClick();
    // Opens and checks a file as the Open button does after its dialog.
    bool OpenFile(const std::string& path);

private:
    sound::Sound sound_;
};

class TfmArchiveDisk : public TSoundJobForm {
    Q_OBJECT
public:
    explicit TfmArchiveDisk(const WindowContext& context, QWidget* parent = nullptr);

    QLineEdit* edFolder;
    QPushButton* bnFolder;
    QPushButton* bnArchive;
    QPlainTextEdit* edSummary;

    void bnFolderClick();
    void bnArchiveClick();

    // Time given to the instrument to load a sound from its floppy disk.
    static constexpr int DiskLoadMs = 10000;
};

} // namespace corvane
