// "About Corvane".
#pragma once

#include "FormBase.h"

class QPushButton;

namespace corvane {

class TAboutBox : public TFormBase {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QPushButton* OKButton;
    void OKButtonClick();
};

} // namespace corvane
