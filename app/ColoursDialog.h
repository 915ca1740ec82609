// "Set Colours": the display colour of each of the 16 wavesamples.
#pragma once

#include "FormBase.h"

#include <array>

class QPushButton;

namespace corvane {

class TShape;

class TfmSetColours : public TFormBase {
    Q_OBJECT
public:
    explicit TfmSetColours(const WindowContext& context, QWidget* parent = nullptr);

    std::array<TShape*, 8> shL{};
    std::array<TShape*, 8> shU{};
    QPushButton* bnOK;

    void bnOKClick();
    // A mouse button released over a swatch: lower swatch n is entry n - 1,
    // upper swatch n entry n + 7.
    void SwatchMouseUp(int entry);

protected:
    void FormActivate() override;

private:
    void paintSwatches();
};

} // namespace corvane
