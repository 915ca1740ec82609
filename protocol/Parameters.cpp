#include "Parameters.h"

#include "HexText.h"

#include <algorithm>

namespace corvane {

const std::vector<ParameterInfo>& parameterTable()
{
    using A = Area;
    using K = StepKind;
    static const std::vector<ParameterInfo> table = [] {
        std::vector<ParameterInfo> t = {
            // number, area, position/offset, kind, step, divisor, addend, min, max
            {21, A::Config, cfg::MasterTune, K::Plain, 1, 1, 0, 0, 99},
            {22, A::Config, cfg::BendRange, K::Plain, 1, 1, 0, 0, 12},
            {23, A::Config, cfg::VelocitySensitivity, K::Plain, 1, 1, 0, 0, 63},
            {24, A::Config, cfg::Balance, K::Plain, 2, 2, 0, 0, 63},
            {25, A::Config, cfg::ProgramLink, K::Switch, 0, 1, 0, 0, 1},
            {27, A::Program, pgf::InitialWavesample, K::Plain, 1, 1, 1, 1, 8},
            {28, A::Program, pgf::MixModeSwitch, K::Switch, 0, 1, 0, 0, 1},
            {29, A::Program, pgf::MonoMode, K::Switch, 0, 1, 0, 0, 1},
            {31, A::Program, pgf::LfoSpeed, K::Plain, 1, 1, 0, 0, 99},
            {32, A::Program, pgf::LfoDepth, K::Plain, 1, 1, 0, 0, 99},
            {33, A::Program, pgf::Detune, K::Plain, 1, 1, 0, 0, 99},
            {34, A::Program, pgf::Mix, K::Plain, 4, 4, 0, 0, 63},
            {35, A::Program, pgf::MixVelocity, K::Plain, 4, 4, 0, 0, 31},
            {36, A::Program, pgf::FilterCutoff, K::Plain, 2, 2, 0, 0, 99},
            {37, A::Program, pgf::Resonance, K::Plain, 4, 4, 0, 0, 40},
            {38, A::Program, pgf::KeyboardTracking, K::Plain, 1, 1, 0, 0, 4},
        };
        // Envelopes: 40-44 filter, 45-49 filter modulation, 50-54 amplitude,
        // 55-59 amplitude modulation. Rates and levels step by one, the
        // modulation amounts are kept multiplied by four.
        for (int i = 0; i < 5; ++i)
            t.push_back({40 + i, A::Program, pgf::FilterEnvelope + 2 * i, K::Plain, 1, 1, 0, 0, 31});
        for (int i = 0; i < 5; ++i)
            t.push_back({45 + i, A::Program, pgf::FilterModulation + 2 * i, K::Plain, 4, 4, 0, 0, 31});
        for (int i = 0; i < 5; ++i)
            t.push_back({50 + i, A::Program, pgf::AmpEnvelope + 2 * i, K::Plain, 1, 1, 0, 0, 31});
        for (int i = 0; i < 5; ++i)
            t.push_back({55 + i, A::Program, pgf::AmpModulation + 2 * i, K::Plain, 4, 4, 0, 0, 31});
        const std::vector<ParameterInfo> rest = {
            {60, A::Wavesample, wsf::StartPage, K::StartPage, 1, 1, 0, 0, 255},
            {61, A::Wavesample, wsf::EndPage, K::EndPage, 1, 1, 0, 0, 255},
            {62, A::Wavesample, wsf::LoopStart, K::LoopStart, 1, 1, 0, 0, 255},
            {63, A::Wavesample, wsf::LoopEnd, K::LoopEnd, 1, 1, 0, 0, 255},
            {64, A::Wavesample, wsf::LoopEndFine, K::Plain, 1, 1, 0, 0, 255},
            {65, A::Wavesample, wsf::LoopSwitch, K::Switch, 0, 1, 0, 0, 1},
            {67, A::Wavesample, wsf::Octave, K::Plain, 1, 1, 0, 0, 7},
            {68, A::Wavesample, wsf::Fine, K::Plain, 1, 1, 0, 0, 255},
            {69, A::Wavesample, wsf::RelAmplitude, K::Plain, 1, 1, 0, 0, 63},
            {70, A::Wavesample, wsf::RelFilter, K::Plain, 2, 2, 0, 0, 99},
            {71, A::Wavesample, wsf::MaxFilter, K::Plain, 2, 2, 0, 0, 99},
            {72, A::Wavesample, wsf::TopKey, K::Plain, 1, 1, 1, 1, 61},
            {73, A::Config, cfg::SampleTime, K::Plain, 1, 1, 0, 30, 99},
            {74, A::Config, cfg::InputFilter, K::Plain, 2, 2, 0, 50, 99},
            {75, A::Config, cfg::LineInput, K::Switch, 0, 1, 0, 0, 1},
            {76, A::Config, cfg::Threshold, K::Plain, 2, 2, 0, 0, 63},
            {77, A::Config, cfg::Multisampling, K::Switch, 0, 1, 0, 0, 1},
            {81, A::Config, cfg::Omni, K::Switch, 0, 1, 0, 0, 1},
            {82, A::Config, cfg::MidiChannel, K::Plain, 1, 1, 1, 1, 16},
            {83, A::Config, cfg::MidiThru, K::Switch, 0, 1, 0, 0, 1},
            {84, A::Config, cfg::MidiModulation, K::Switch, 0, 1, 0, 0, 1},
        };
        t.insert(t.end(), rest.begin(), rest.end());
        return t;
    }();
    return table;
}

const ParameterInfo* findParameter(int number)
{
    for (const auto& p : parameterTable())
        if (p.number == number)
            return &p;
    return nullptr;
}

int plainStep(const ParameterInfo& p, int stored, bool up)
{
    const int shown = shownValue(p, stored);
    const int next = up ? stored + p.step : stored - p.step;
    const bool inRange = up ? shown < p.shownMax : shown > p.shownMin;
    return inRange && next >= 0 && next <= 255 ? next : -1;
}

int pageStep(StepKind kind, const PagePointers& pages, bool up)
{
    const int s = pages.start, e = pages.end, ls = pages.loopStart, le = pages.loopEnd;
    switch (kind) {
    case StepKind::StartPage: return up ? (s < e ? s + 1 : -1) : (s >= 1 ? s - 1 : -1);
    case StepKind::EndPage: return up ? (e <= 0xFE ? e + 1 : -1) : (s + 1 < e ? e - 1 : -1);
    case StepKind::LoopStart: return up ? (ls < le ? ls + 1 : -1) : (s < ls ? ls - 1 : -1);
    case StepKind::LoopEnd: return up ? (le < e ? le + 1 : -1) : (ls < le ? le - 1 : -1);
    default: return -1;
    }
}

int loopResetPage(int start, int end) { return std::max(start, end - 1); }

const char* parameterName(int number)
{
    static const std::pair<int, const char*> names[] = {
        {21, "Master Tune"}, {22, "Pitch Bender Range"}, {23, "Velocity Sensitivity"},
        {24, "Upper/Lower Balance"}, {25, "Program Link"}, {26, "Current Wavesample"}, {27, "Initial Wavesample"}, {28, "Mix Mode"},
        {29, "Mono Mode"}, {31, "LFO Speed"}, {32, "LFO Depth"}, {33, "Osc Detune"}, {34, "Osc Mix"},
        {35, "Mix Velocity"}, {36, "Filter Cutoff"}, {37, "Resonance"}, {38, "Keyboard Tracking"},
        {40, "Filter Attack"}, {41, "Filter Peak"}, {42, "Filter Decay"}, {43, "Filter Sustain"},
        {44, "Filter Release"}, {45, "Filter Attack Velocity"}, {46, "Filter Peak Velocity"},
        {47, "Filter Decay Key Scale"}, {48, "Filter Sustain Velocity"}, {49, "Filter Release Velocity"},
        {50, "Amp Attack"}, {51, "Amp Peak"}, {52, "Amp Decay"}, {53, "Amp Sustain"}, {54, "Amp Release"},
        {55, "Amp Attack Velocity"}, {56, "Amp Peak Velocity"}, {57, "Amp Decay Key Scale"},
        {58, "Amp Sustain Velocity"}, {59, "Amp Release Velocity"}, {60, "Start Page"}, {61, "End Page"},
        {62, "Loop Start Page"}, {63, "Loop End Page"}, {64, "Loop End Fine"}, {65, "Loop Switch"},
        {67, "Octave"}, {68, "Fine Tune"}, {69, "Relative Amplitude"}, {70, "Relative Filter"},
        {71, "Maximum Filter"}, {72, "Top Key"}, {73, "Sample Time"}, {74, "Input Filter"},
        {75, "Line Input"}, {76, "Threshold"}, {77, "Multisampling"}, {81, "Omni Mode"},
        {82, "Midi Channel"}, {83, "Midi Thru"}, {84, "Midi Mod Enable"},
    };
    for (const auto& [n, name] : names)
        if (n == number)
            return name;
    return "Parameter";
}

bool shownInHex(int number) { return (number >= 60 && number <= 64) || number == 67 || number == 68; }

std::string shownText(const ParameterInfo& p, int stored)
{
    if (p.kind == StepKind::Switch)
        return stored != 0 ? "On" : "Off";
    if (shownInHex(p.number))
        return hexNumber(stored);
    return std::to_string(shownValue(p, stored));
}

} // namespace corvane
