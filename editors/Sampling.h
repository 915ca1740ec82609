// "Sampling": the sampling parameters of the configuration dump, with the
// memory a sample will fill and how long it lasts, and a static guide to
// sampling on the instrument's front panel.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace corvane {

class TSwitchBox;
class TUpDown;
class TValueBox;

// The input filter's cut-off in Hz for a shown filter value 50..99; 0 for
// any other value.
int InputFilterCutoffHz(int shown);

class TfmSample : public TFormBase {
    Q_OBJECT
public:
    explicit TfmSample(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmSample() override;

    QLabel* Label9;
    TValueBox* edSampleTimeAdjust;
    TUpDown* udSampleTime;
    QLabel* Label1;
    QLabel* lbSamplingFrequency;
    QLabel* Label2;
    QLabel* Label11;
    TValueBox* edSamplingThresh;
    TUpDown* udSamplingThresh;
    QLabel* Label10;
    TValueBox* edInputFilterFreq;
    TUpDown* udInputFilterFreq;
    QLabel* Label3;
    QLabel* lbFilterCutoffFreq;
    QLabel* Label4;
    TSwitchBox* ckMicLine;
    TSwitchBox* cbMultiSampling;
    QLabel* lbMultiInstruction;
    QLabel* Label19;
    QComboBox* cbSelectWs;
    QLabel* Label20;
    QLabel* lbSamplingTime;
    QLabel* Label21;
    QLabel* Label22;
    QLabel* lbMemPages;
    QLabel* Label23;
    QLabel* lbMemBytes;
    QLabel* Label24;
    QPushButton* bnRefresh;
    QPushButton* bnOK;
    QFrame* Panel1;
    QFrame* Panel2;
    QFrame* Panel3;

    void udSampleTimeClick(bool up) { fields_->step(udSampleTime, up); }
    void udSamplingThreshClick(bool up) { fields_->step(udSamplingThresh, up); }
    void udInputFilterFreqClick(bool up) { fields_->step(udInputFilterFreq, up); }
    // The switches act once the user has toggled the box (mouse or keyboard).
    void ckMicLineToggle(bool before, bool) { fields_->toggle(ckMicLine, before); }
    void cbMultiSamplingToggle(bool before, bool) { fields_->toggle(cbMultiSampling, before); }
    void cbSelectWsChange(int index);
    void bnRefreshClick();
    void bnOKClick();

    void FullDisplay();
    void MemoryDisplay();

    // Pages the memory figures are computed for.
    int Pages() const { return pages_; }

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;

private:
    void buildSamplingRows();
    void buildInputControls();
    void buildMemoryRows();
    void buildGuide();
    void bindFields();
    void connectHandlers();
    void showSampleTime(int stored);
    void showFilter(int stored);
    void showDuration();

    std::unique_ptr<FieldStepper> fields_;
    int pages_ = 256;
};

} // namespace corvane
