// The Mirage's front-panel parameters: for each parameter number, the field
// it changes, how much one press of the increment or decrement key changes
// the stored value, how the value is shown, and the range a press keeps to.
#pragma once

#include "Dumps.h"

#include <vector>

namespace corvane {

// How a Mirage parameter number maps onto a stored field.
enum class Area { Config, Program, Wavesample };
enum class StepKind {
    Plain,      // stepped by `step`, bounded by the shown range
    Switch,     // increment = on (1), decrement = off (0)
    StartPage,  // wavesample start page (loop reset follows)
    EndPage,    // wavesample end page (loop reset follows)
    LoopStart,  // loop start page, between start and loop end
    LoopEnd,    // loop end page, between loop start and end
};
struct ParameterInfo {
    int number;     // Mirage parameter number
    Area area;
    int position;   // dump position (Config) or offset within the stride
    StepKind kind;
    int step;       // change of the stored value per key press
    int divisor;    // shown = stored / divisor + addend
    int addend;
    int shownMin;   // shown range; a press never moves the shown value out of it
    int shownMax;
};

// The table of every parameter a key press steps, in parameter order. The
// editors build their fields from it and the emulator steps by it, so the
// two cannot disagree.
const std::vector<ParameterInfo>& parameterTable();
const ParameterInfo* findParameter(int number);


// Shown value of a stored one.
inline int shownValue(const ParameterInfo& p, int stored) { return stored / p.divisor + p.addend; }

// One press of a plain parameter: the stored value it leads to, or -1 when
// the instrument refuses it (the shown value is at the end of its range, or
// the result would not fit a byte).
int plainStep(const ParameterInfo& p, int stored, bool up);

} // namespace corvane
