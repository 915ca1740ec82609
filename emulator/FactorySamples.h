// The sample memory of the emulator's factory sounds: per half, eight
// waveforms of 32 pages each. Computing them takes some 20 ms, a stall at the
// first exchange with the built-in emulator, so a build that can run its own
// tools computes them once (corvane-bake-factory) and the program copies them.
#pragma once

#include <cstdint>
#include <vector>

namespace corvane::emu {

// The waveform of factory wavesample `w` (0..7) of half `half` (0 lower,
// 1 upper) of factory sound `variant` (0..2); pianos and bells decay.
int factoryKind(int half, int variant, int w);
bool isDecaying(int kind);

// The 64 KB sample memory of that half, computed now.
std::vector<std::uint8_t> computeFactoryMemory(int half, int variant);

// The same memory as the build computed it, or null where the build could
// not run its tools (a cross build).
const std::uint8_t* bakedFactoryMemory(int half, int variant);

} // namespace corvane::emu
