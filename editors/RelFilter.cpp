#include "RelFilter.h"

namespace corvane {

namespace {
const TWavesampleTable::Layout FilterLayout = {
    "fmRelFilter", "Wavesample Relative Filter Settings", {628, 349}, "cbSelectWs", false,
    {24, 24}, {32, 64}, {24, 200}, {24, 232}, {24, 304},
    {"Lower Wavesample Filter", "Upper Wavesample Filter"}, {QPoint(112, 16), QPoint(368, 16)}, 224, 72,
};
} // namespace

// Both values are kept doubled: one step is 2 on the stored value, which
// keeps an odd stored value odd.
TfmRelFilter::TfmRelFilter(const WindowContext& context, QWidget* parent)
    : TWavesampleTable(context, FilterLayout, {{71, "MFF", "Maximum", {}}, {70, "RFF", "Relative", {}}}, parent)
{
}

} // namespace corvane
