// "Wavesample Relative Amplitude": the relative amplitude of the sixteen wavesamples.
#pragma once

#include "WavesampleTable.h"

namespace corvane {

class TfmRelAmplitude : public TWavesampleTable {
    Q_OBJECT
public:
    explicit TfmRelAmplitude(const WindowContext& context, QWidget* parent = nullptr);
};

} // namespace corvane
