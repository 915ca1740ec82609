// Measurements of a wavesample as the instrument plays it: its pitch over
// the attack and over the loop, how much the loop's level swells as it
// repeats, the step at the splice, the dead samples in front of the attack,
// and its level. They judge what the sound builder makes, in its report and
// its tests, and any .syx sound file. Plain C++.
//
// Pitch is given as a fractional MIDI key at the wavesample rate (29,411 Hz,
// the rate a wavesample plays at on its unity key): 69 is 440 Hz. The pitch
// of a loop is that of the loop played over and over: a loop of L samples
// holding n cycles sounds n / L cycles a sample, whatever the pitch of the
// audio inside it.
#pragma once

#include "SoundFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::measure {

constexpr int WavesampleRate = 29411;

// The period in samples (fractional) of `count` samples of `audio` from
// `from`, lags up to `maxPeriod`; nothing where the audio has no clear pitch
// (noise, silence, too few samples for two periods). With an `expected`
// period, the period within half an octave of it.
std::optional<double> period(std::span<const float> audio, std::size_t from, std::size_t count,
                             double maxPeriod = 1200, double expected = 0);
// The fractional MIDI key of a period in samples at `rate`.
double keyOfPeriod(double period, double rate = WavesampleRate);

// The jump at the splice of a loop [start, start + length), in dB relative
// to the loop's level: the loop's last samples against those that lead into
// its start (-120 for none).
double spliceDb(std::span<const float> audio, int start, int length);

// The loop's swell: how far its level jumps or bulges where it repeats. As
// the loop plays on, the stretch leading into its end stands where the
// stretch leading into its start stood; their levels are compared stretch
// by stretch (whole cycles of `loopPeriod` samples, about 256 samples; 512
// when 0) over up to 20 ms, and the largest difference is the swell in dB.
// A loop whose level falls, a crossfade that bulges and a tremolo cut out
// of step all swell; a tremolo looped in step with itself does not. A loop
// with too little in front of it is judged by its level range.
double swellDb(std::span<const float> audio, int start, int length, double loopPeriod);
// Those differences, one for each stretch back from the loop's end and its
// start (the level leading into the end less that leading into the start);
// empty when less than a stretch lies before the loop.
std::vector<double> spliceLevelSteps(std::span<const float> audio, int start, int length, double loopPeriod);
// The stretches of whole cycles levels are measured over: about 256
// samples (512 without a period).
int levelStretch(double loopPeriod);
// How far back from the splice the stretches are compared: 20 ms (a
// crossfade's length; farther back, a decay evened out inside the loop but
// not before it would count as a swell), at most
// half the loop and what lies before it.
int spliceSpan(int start, int length, int stretch);
// The loop's level range: what leads into the loop and the loop played
// several times, the loudest stretch against the quietest, in dB. The
// source's own tremolo or beating counts here too.
double levelRangeDb(std::span<const float> audio, int start, int length, double loopPeriod);

struct Figures {
    int samples = 0;
    int loopStart = -1, loopEnd = -1;    // samples, end exclusive; -1: no loop
    int leadIn = 0;                      // samples before the attack
    double rmsDb = -120, peakDb = -120;  // dBFS, of the whole data
    std::optional<double> attackKey;     // fractional MIDI key over the attack
    std::optional<double> loopKey;       // over the loop, repeated
    std::optional<double> loopCents;     // loop against attack
    std::optional<double> cutCents;      // loop against its own stretch played once: the error of the cut alone
    std::optional<double> swellDb;
    std::optional<double> levelRangeDb;
    std::optional<double> spliceDb;
    bool looped() const { return loopStart >= 0 && loopEnd > loopStart; }
    double loopMs() const { return looped() ? (loopEnd - loopStart) * 1000.0 / WavesampleRate : 0; }
};

// Audio at full scale +-1 with its loop (-1, -1 for none); `lsb` is the
// step of the data's quantisation (0 for float audio): the attack begins at
// the first sample 40 dB under the peak and above 1.5 steps.
Figures measure(std::span<const float> audio, int loopStart, int loopEnd, double lsb = 0);
// 8-bit wavesample data (128 silent).
std::vector<float> fromBytes(std::span<const std::uint8_t> bytes);
Figures measureBytes(std::span<const std::uint8_t> bytes, int loopStart, int loopEnd);

// Every wavesample of a half, from its program dump's page pointers and
// loop fields and its wavesample dumps.
struct Wavesample {
    int number = 0;             // 1-8
    sound::PageRange range;
    int sameAs = 0;             // the earlier wavesample whose pages it plays, or 0
    Figures figures;
};
std::vector<Wavesample> measureHalf(const sound::Half& half);

// "lead-in 3, RMS -14.2 dBFS, peak -0.3 dBFS, attack 52.01, loop 52.03 (+2.0 cents, cut +0.1) 120.4 ms,
// swell 0.4 dB, level range 1.2 dB, splice -41 dB"
std::string describe(const Figures& f);
// "L ws1 00-1E: " and describe(), or what the wavesample shares or lacks.
std::string line(const Wavesample& w, int half);

} // namespace corvane::measure
