#include "WavPrepArithmetic.h"

#include "HexText.h"
#include "SendDump.h"

namespace corvane::wavprep {

namespace {
constexpr int ChoiceLimit = 0xFC00; // 64,512
constexpr int PageBytes = 256;
} // namespace

int loopSizeBytes(int index)
{
    switch (index) {
    case 1: return 512;
    case 2: return 1024;
    default: return 256;
    }
}

std::vector<int> loopStartChoices(int loopSize)
{
    std::vector<int> choices;
    if (loopSize <= 0)
        return choices;
    for (int start = 0; start < ChoiceLimit; start += loopSize)
        choices.push_back(start);
    return choices;
}

LoopFigures loopFigures(int loopStart, int loopSize)
{
    return {loopStart + loopSize, loopStart + loopSize + PageBytes};
}

Pointers pointers(int loopStart, int loopSize, int startPage)
{
    return {startPage, loopStart / PageBytes + startPage, (loopStart + loopSize) / PageBytes + startPage - 1,
            (loopStart + loopSize + PageBytes) / PageBytes + startPage - 1};
}

Converted convert(int value) { return {hexNumber(value), std::to_string(value)}; }

} // namespace corvane::wavprep
