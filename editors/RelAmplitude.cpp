#include "RelAmplitude.h"

namespace corvane {

namespace {
const TWavesampleTable::Layout AmplitudeLayout = {
    "fmRelAmplitude", "Wavesample Relative Amplitude", {409, 314}, "cbSelectWs", true,
    {24, 28}, {32, 56}, {24, 176}, {24, 208}, {24, 272},
    {"Lower Ws Amplitude", "Upper Ws Amplitude"}, {QPoint(112, 8), QPoint(256, 8)}, 140, 60,
};
} // namespace

TfmRelAmplitude::TfmRelAmplitude(const WindowContext& context, QWidget* parent)
    : TWavesampleTable(context, AmplitudeLayout, {{69, "RA", nullptr, {}}}, parent)
{
}

} // namespace corvane
