// "Wavesample Tuning": octave and fine tune of the sixteen wavesamples.
#pragma once

#include "WavesampleTable.h"

namespace corvane {

class TfmTuning : public TWavesampleTable {
    Q_OBJECT
public:
    explicit TfmTuning(const WindowContext& context, QWidget* parent = nullptr);
};

} // namespace corvane
