// "Name Sample": names one of the sixteen wavesamples. The window that opens
// it sets the index of the wavesample being named first; the name goes into
// the wavesample names the settings file keeps.
#pragma once

#include "FormBase.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class TfmNameSample : public TFormBase {
    Q_OBJECT
public:
    explicit TfmNameSample(const WindowContext& context, QWidget* parent = nullptr);

    static constexpr int MaxNameLength = 8;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* edSampleName;
    QPushButton* bnOK;
    QPushButton* bnCancel;

    void bnOKClick();
    void bnCancelClick();

protected:
    void FormActivate() override;
    void keyPressEvent(QKeyEvent* e) override;
};

} // namespace corvane
