// "Wavesample Relative Filter Settings": maximum and relative filter frequency of the sixteen wavesamples, both kept doubled.
#pragma once

#include "WavesampleTable.h"

namespace corvane {

class TfmRelFilter : public TWavesampleTable {
    Q_OBJECT
public:
    explicit TfmRelFilter(const WindowContext& context, QWidget* parent = nullptr);
};

} // namespace corvane
