#include "Tuning.h"

namespace corvane {

namespace {
const TWavesampleTable::Layout TuningLayout = {
    "fmTuning", "Wavesample Tuning", {577, 337}, "cbCurrentWs", false,
    {24, 48}, {32, 80}, {24, 184}, {24, 216}, {24, 296},
    {"Lower Wavesamples", "Upper Wavesamples"}, {QPoint(104, 8), QPoint(336, 8)}, 224, 72,
};
} // namespace

TfmTuning::TfmTuning(const WindowContext& context, QWidget* parent)
    : TWavesampleTable(context, TuningLayout, {{67, "Oct", "Octave", hexText}, {68, "FT", "Fine Tune", hexText}},
                       parent)
{
}

} // namespace corvane
