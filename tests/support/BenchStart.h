// What the benchmarks share before they measure: the main window fetching
// the configuration and both halves' parameters from the built-in
// emulator, and the envelope presets a full recall walks between.
#pragma once

#include "EnvFilter.h"
#include "Form1.h"

namespace corvane::test {

// "Get Configuration" then "Get UL Parameters", each with time to answer.
inline void fetchDumps(TForm1& form, Seams& seams)
{
    form.SpeedButton1Click();
    seams.wait(200);
    form.sbRefreshULClick();
    seams.wait(1500);
}

// Entry 0 holds every value at the bottom of its range, entry 1 at the top
// (divided by `shorten`): recalling entry 1 after entry 0 steps every value
// all the way up.
inline void fillRecallPresets(TForm1& form, int shorten = 1)
{
    for (int slot = 0; slot < TEnvFilterEditor::PairCount; ++slot) {
        const int top = slot == 0 ? 198 : slot == 1 ? 160 : slot == 2 ? 4 : (slot - 3) % 10 < 5 ? 31 : 124;
        form.EnvPresets.value(0, slot) = 0;
        form.EnvPresets.value(1, slot) = top / shorten;
    }
}

} // namespace corvane::test
