// The Mirage's front-panel parameters: for each parameter number, the field
// it changes, how much one press of the increment or decrement key changes
// the stored value, how the value is shown, and the range a press keeps to.
#pragma once

#include "Dumps.h"

#include <string>
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

// The page pointers of one wavesample, as a press of a page parameter finds
// them.
struct PagePointers {
    int start, end, loopStart, loopEnd;
};
// Where one press of a page parameter (StartPage, EndPage, LoopStart,
// LoopEnd) moves its pointer, or -1 where the instrument refuses it: the
// pointers keep start <= loop start <= loop end <= end, and the end page
// stays after the start page.
int pageStep(StepKind kind, const PagePointers& pages, bool up);
// A start or end page move puts the loop back to its default: the last page
// (never before the start page), played to its end. The loop start and loop
// end page it puts.
int loopResetPage(int start, int end);

// The name a parameter goes by in the windows ("Master Tune"), and whether
// the windows show it in hex.
const char* parameterName(int number);
bool shownInHex(int number);
// The value as the windows show it: decimal or two hex digits, "On"/"Off"
// for a switch.
std::string shownText(const ParameterInfo& p, int stored);

} // namespace corvane
