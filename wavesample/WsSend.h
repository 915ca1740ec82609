// "Send Wavesample to Mirage": loads a mono 8-bit PCM WAV file, checks it,
// builds the wavesample dump and sends it into the wavesample the Mirage has
// selected, with the destination's page pointers shown beside the file's
// figures so that the user sees before sending whether it fits.
#pragma once

#include "FormBase.h"
#include "SendDump.h"

#include <optional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace corvane {

class TValueBox;

class TfmWsSend : public TFormBase {
    Q_OBJECT
public:
    explicit TfmWsSend(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmWsSend() override;

    static constexpr const char* Filter = "Wave files|*.wav";

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
    QProgressBar* ProgressBar1;
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
    QFrame* Bevel2;
    QFrame* Bevel3;
    QFrame* Bevel4;
    QFrame* Bevel5;

    void bnOpenFileClick();
    void bnSendWavClick();
    void cbSelectWsChange(int index);
    void bnRefreshParametersClick();
    void bnRefreshUClick();
    void bnOKClick();

    // The dump that "Send Wav" sends (none after a refused or cancelled file).
    const std::optional<wav::SendDump>& Dump() const { return dump_; }
    // Pages between the destination's start and end page.
    int DestinationPages() const { return destinationPages_; }

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;

private:
    void DestinationDisplay();
    void showFit();
    void refuse();
    void refresh(int half);

    std::optional<wav::SendDump> dump_;
    int destHalf_ = 0;
    int destNumber_ = 0;
    int destinationPages_ = 0;
};

} // namespace corvane
