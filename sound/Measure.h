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

// The loop's swell: what leads into the loop and the loop played several
// times, the level of each stretch of whole cycles (of `loopPeriod`
// samples; 512-sample stretches when 0), the loudest against the quietest,
// in dB.
double swellDb(std::span<const float> audio, int start, int length, double loopPeriod);

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
// swell 0.4 dB, splice -41 dB"
std::string describe(const Figures& f);
// "L ws1 00-1E: " and describe(), or what the wavesample shares or lacks.
std::string line(const Wavesample& w, int half);

} // namespace corvane::measure
