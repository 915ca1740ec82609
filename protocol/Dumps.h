// The three dump buffers the program keeps byte for byte, and the nibble
// codec through which every field is read and written.
//
// A field is named by its position: the index, in the received message with
// F0 at 0, of its low-nibble byte. Its value is byte[p] + 16 * byte[p + 1].
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

constexpr std::size_t ConfigDumpSize = 63;
constexpr std::size_t ProgramDumpSize = 1255;
constexpr std::size_t ProgramBufferSize = 1260; // the last 5 bytes stay zero

// Wavesample fields repeat every 48 positions from 22, program fields every
// 72 positions from 966.
constexpr int wavesampleFieldPos(int wavesample, int offset) { return 22 + 48 * wavesample + offset; }
constexpr int programFieldPos(int program, int offset) { return 966 + 72 * program + offset; }
// The positions of one wavesample's and one program's whole parameter block.
constexpr std::size_t WavesampleBlockPositions = 48;
constexpr std::size_t ProgramBlockPositions = 72;

// Configuration dump positions.
namespace cfg {
constexpr int MasterTune = 6;
constexpr int BendRange = 8;
constexpr int VelocitySensitivity = 10;
constexpr int Balance = 12;
constexpr int ProgramLink = 14;
constexpr int SampleTime = 16;
constexpr int InputFilter = 18;
constexpr int LineInput = 20;
constexpr int Threshold = 22;
constexpr int Multisampling = 24;
constexpr int Omni = 26;
constexpr int MidiChannel = 28;
constexpr int MidiThru = 30;
constexpr int MidiModulation = 32;
constexpr int VersionMinor = 58; // single bytes: major at 59, minor at 58
constexpr int VersionMajor = 59;
} // namespace cfg

// Offsets of the wavesample fields within their 48-position stride.
namespace wsf {
constexpr int LoopSwitch = 0;
constexpr int Octave = 2;
constexpr int Fine = 4;
constexpr int RelAmplitude = 6;
constexpr int RelFilter = 8;
constexpr int MaxFilter = 10;
constexpr int TopKey = 12;
constexpr int StartPage = 14;
constexpr int EndPage = 16;
constexpr int LoopStart = 18;
constexpr int LoopEnd = 20;
constexpr int LoopEndFine = 22;
} // namespace wsf

// Offsets of the program fields within their 72-position stride.
namespace pgf {
constexpr int MonoMode = 0;
constexpr int LfoSpeed = 2;
constexpr int LfoDepth = 4;
constexpr int Detune = 6;
constexpr int Mix = 8;
constexpr int MixVelocity = 10;
constexpr int FilterCutoff = 12;
constexpr int Resonance = 14;
constexpr int KeyboardTracking = 16;
constexpr int InitialWavesample = 20;
constexpr int MixModeSwitch = 22;
constexpr int FilterEnvelope = 24;    // attack, peak, decay, sustain, release: 24..32
constexpr int FilterModulation = 34;  // Av, Pv, Dk, Sv, Rv: 34..42
constexpr int AmpEnvelope = 44;       // 44..52
constexpr int AmpModulation = 54;     // 54..62
} // namespace pgf

// A dump's data bytes, positions 4 to size - 2, are all nibbles (0x00 to
// 0x0F); the byte before them is the command and the last the closing byte.
// A dump with any other data byte is malformed and is not taken.
bool nibbleData(const std::uint8_t* message, std::size_t size);

// Get returns byte[pos] + 16 * byte[pos + 1]. Positions outside the buffer
// read as 0; callers pass only the positions of their fields.
int getNibblePair(const std::uint8_t* buffer, std::size_t bufferSize, int pos);

// Stores value div 16 at pos + 1 and the low nibble at pos. A position
// outside the buffer or a value outside 0..255 is refused: nothing is
// written and the result is false.
bool setNibblePair(std::uint8_t* buffer, std::size_t bufferSize, int pos, int value);

} // namespace corvane
