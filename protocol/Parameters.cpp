#include "Parameters.h"

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

} // namespace corvane
