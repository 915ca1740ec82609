#include "FactorySamples.h"

#include "MirageEmulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace corvane::emu {

namespace {

// Waveforms of the factory sounds. x is the phase within one cycle (0..1),
// t the position within the whole wavesample (0..1) for decaying sounds.
double waveform(int kind, double x, double t)
{
    constexpr double tau = 2.0 * std::numbers::pi;
    switch (kind % 8) {
    case 0: // sine
        return std::sin(tau * x);
    case 1: { // band-limited saw
        double s = 0;
        for (int h = 1; h <= 12; ++h)
            s += std::sin(tau * h * x) / h;
        return s * 0.55;
    }
    case 2: { // soft square
        double s = 0;
        for (int h = 1; h <= 11; h += 2)
            s += std::sin(tau * h * x) / h;
        return s * 0.95;
    }
    case 3: // triangle
        return x < 0.5 ? 4 * x - 1 : 3 - 4 * x;
    case 4: { // piano-like: bright attack, upper partials dying first
        double s = 0;
        for (int h = 1; h <= 8; ++h)
            s += std::sin(tau * h * x) * std::exp(-t * h * 1.5) / h;
        return s * std::exp(-t * 2.0) * 0.8;
    }
    case 5: // drawbar organ
        return (std::sin(tau * x) + 0.5 * std::sin(tau * 2 * x) + 0.3 * std::sin(tau * 4 * x)) / 1.5;
    case 6: { // string ensemble: saw with a slow beating partner
        double s = 0;
        for (int h = 1; h <= 8; ++h)
            s += (std::sin(tau * h * x) + std::sin(tau * h * x * 1.003 + t * 40)) / h;
        return s * 0.3;
    }
    default: { // bell: inharmonic partials, decaying
        const double s = std::sin(tau * x) + 0.6 * std::sin(tau * 2.76 * x + 1) +
                         0.4 * std::sin(tau * 5.4 * x + 2);
        return s * std::exp(-t * 3.0) / 2.0;
    }
    }
}

// A library that leaves the upper halves of the AVX registers in use (some
// of what a Qt program loads does) makes every following SSE instruction of
// ours wait on them: the factory sounds then took 250 ms instead of 18. The
// synthesis clears that state first where the processor has it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx"))) void clearUpperVectorHalves() { __builtin_ia32_vzeroupper(); }
void clearVectorState()
{
    if (__builtin_cpu_supports("avx"))
        clearUpperVectorHalves();
}
#else
void clearVectorState() {}
#endif

constexpr int CycleLength = 64; // samples per cycle: 4 cycles a page

// The waveforms that do not change along the wavesample repeat every cycle:
// one cycle is computed and copied, with exactly the values waveform() gives.
bool changesAlong(int kind) { return kind % 8 == 4 || kind % 8 == 6 || kind % 8 == 7; }

void fillWavesample(std::vector<std::uint8_t>& memory, int startPage, int pages, int kind)
{
    const int count = pages * PageSize;
    std::array<double, CycleLength> cycle{};
    const bool repeats = !changesAlong(kind);
    if (repeats)
        for (int i = 0; i < CycleLength; ++i)
            cycle[static_cast<std::size_t>(i)] = waveform(kind, static_cast<double>(i) / CycleLength, 0.0);
    for (int i = 0; i < count; ++i) {
        const double x = static_cast<double>(i % CycleLength) / CycleLength;
        const double t = static_cast<double>(i) / count;
        const double w = repeats ? cycle[static_cast<std::size_t>(i % CycleLength)] : waveform(kind, x, t);
        const double v = 128.0 + 110.0 * w;
        // 0 marks the end of a sample on the instrument: keep data at 1..255
        memory[static_cast<std::size_t>(startPage * PageSize + i)] =
            static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 1, 255));
    }
}

} // namespace

int factoryKind(int half, int variant, int w) { return w + (half * 3 + variant) * 3; }

bool isDecaying(int kind) { return kind % 8 == 4 || kind % 8 == 7; }

std::vector<std::uint8_t> computeFactoryMemory(int half, int variant)
{
    clearVectorState();
    std::vector<std::uint8_t> memory(SampleMemorySize, 0x80);
    for (int w = 0; w < 8; ++w)
        fillWavesample(memory, w * 32, 32, factoryKind(half, variant, w));
    return memory;
}

} // namespace corvane::emu
