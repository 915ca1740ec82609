// Builds one keyboard half from zones: up to eight wavesamples, each tuned,
// looped and fitted into the half's 256 pages of sample memory, written into
// a template program dump. Plain C++.
//
// Pitch. A wavesample made at 29,411 Hz plays at its own pitch on the unity
// key (by default the E or A nearest the middle of the half) with the tuning
// the template gives it. A zone whose audio sounds at key r is moved to the
// unity key u: r - u splits into whole octaves, set in the octave field
// relative to the template's value, and a remainder of -6..+5 semitones done
// by resampling. Which keys are the unity keys and how many octave-field
// steps make an octave are settings, to be corrected by ear.
#pragma once

#include "BuildSources.h"
#include "Measure.h"
#include "SoundFile.h"

#include <atomic>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace corvane::build {

constexpr int WavesampleRate = 29411;    // 1,000,000 / 34 us
constexpr int HalfPages = 256;
constexpr int MaxWavesamples = 8;
constexpr int DefaultUnityKey[2] = {52, 81}; // E3 for the lower half, A5 for the upper

// The split of a transposition of `semitones` (root - unity) into whole
// octaves and a remainder of -6 <= remainder < 6; octaves beyond
// `leastOctaves`..`mostOctaves` (what the octave field can do) go into the
// remainder, to be resampled.
struct PitchSplit {
    int octaves = 0;
    double remainder = 0;
};
PitchSplit splitPitch(double semitones, int mostOctaves = 99, int leastOctaves = -99);

// The eight (or fewer) zones kept of `count` zones sorted by root: spread
// evenly over them, the lowest and highest always among them.
std::vector<int> thinZones(int count, int keep);
// The source's zones by root (then by their lowest key), a kit's by key:
// the order the builder and BuildOptions::keep count them in.
std::vector<Zone> zonesByRoot(const Source& source);
// Whether any of a zone's keys lie on the instrument's keyboard.
bool onTheKeyboard(const Zone& zone);

// The keys of the General MIDI drums a kit is built from, by role, in the
// order they are taken: kick, snare, closed and open hi-hat, two toms,
// crash, and a hand clap or a ride; each role takes the first key the kit
// has of its list.
struct DrumRole {
    const char* name;
    std::vector<int> keys;
};
const std::vector<DrumRole>& drumRoles();

// What the builder keeps of its own accord (indices into zonesByRoot) and
// why, for the report.
struct ZoneChoice {
    std::vector<int> zones;
    std::string why;
};
// At most `atMost` zones. Of a kit, the drums by role in key order; of
// files spread over the keyboard, as many as fit, evenly spaced. Else of
// the zones with a root on the keyboard (one per root) the count that
// moves no key more than 7 semitones from its zone's root while keeping
// the most of each zone: the most zones while all are kept whole, else the
// fewest that stay within 7 semitones (all, when none do).
ZoneChoice chooseAutomatically(const std::vector<Zone>& sorted, int atMost, bool kit = false, bool spread = false);
std::vector<int> chosenZones(const std::vector<Zone>& sorted, int keep, bool kit = false, bool spread = false);
constexpr int MostTransposition = 7; // semitones a zone is played away from its root
// The top key (MIDI) of each zone, sorted by root: halfway between
// neighbouring roots, or the zone's own top when the source gives ranges;
// the last always reaches the keyboard's top.
std::vector<int> topKeys(const std::vector<Zone>& zones, bool useRanges);

struct LoopSearch {
    int start = 0;     // sample, a multiple of 256
    int length = 0;    // samples
    double spliceDb = 0; // the jump at the splice, relative to the loop's level
    double period = 0; // samples of one cycle, measured over the loop; 0 when cut without cycles
    int cycles = 0;    // whole cycles the loop holds
};
// The best loop ending at or before `end` in `samples`: its start on a page
// boundary, at least `minLength` and at most `maxLength` long (0: no limit),
// ending within `endWithin` samples of `end` when that is given. Where the
// audio has a pitch near `period`, the period is measured over each
// stretch looked at and the loop holds a whole number of measured cycles
// (so that it plays at the pitch of the audio around it); it is chosen for
// the closest match of the waveform that leads into its end and into its
// start.
std::optional<LoopSearch> findLoop(const std::vector<float>& samples, int end, double period, int minLength,
                                   int maxLength = 0, int endWithin = 0);
// The jump at the splice of a loop [start, start + length), in dB relative
// to the level of the audio around it.
double spliceDb(const std::vector<float>& samples, int start, int length);
// The correlation (-1..1) of the `length` samples that end the loop with
// the `length` that precede its start: the two that a crossfade mixes.
double spliceCorrelation(const std::vector<float>& samples, int start, int loopLength, int length);
// The gains of a crossfade at `t` (0..1) for two signals of equal level
// correlated by `rho`: the fall of the loop's end and the rise of what
// precedes its start, scaled so that the mix keeps their level. Linear for
// fully correlated audio (periodic sounds spliced at whole cycles), equal
// power for uncorrelated audio (noise), in between for the rest.
std::pair<double, double> crossfadeGains(double t, double rho);
// A crossfade of `length` samples into the loop's end from what precedes
// its start, with the gains of crossfadeGains for the two regions'
// correlation.
void crossfade(std::vector<float>& samples, int start, int loopLength, int length);
// Evens out the level of a loop [start, start + length) whose sound falls
// or rises over it (a decaying note), by a gain that ramps in dB from 1 at
// its start, so that the loop keeps the level of its start as it repeats;
// `period` sets the stretches the level is measured over. Returns the
// change in dB it undid.
double levelLoop(std::vector<float>& samples, int start, int length, double period);

// The 8-bit bytes of audio scaled by `gain`, with triangular dither where
// the sound is above about one step (silence stays exactly 128), each
// within 1..255 (the instrument stops a voice on 0).
std::vector<std::uint8_t> toBytes(const std::vector<float>& samples, double gain, std::uint32_t seed);

struct BuildOptions {
    int half = 0;                   // 0 lower, 1 upper
    sound::Bytes templateDump;      // the half's program dump to start from (1,255 bytes)
    int unityKey = NoKey;           // NoKey: DefaultUnityKey[half]
    int octaveStep = 1;             // octave-field steps to one octave
    int fineTune = -1;              // the fine tune of every wavesample (0..255); -1: the template's first one's
    int zones = MaxWavesamples;     // how many wavesamples at most (1..8)
    std::vector<int> keep;          // the zones to keep (indices into zonesByRoot), instead of thinning
    double crossfadeMs = 20;        // of a loop found automatically
    double shortestLoopMs = 100;    // a found loop's length where memory allows
    double longestLoopMs = 500;
    int minimumPages = 4;           // a zone is never cut below this
    std::function<void(double)> progress;
    const std::atomic<bool>* cancel = nullptr;
};

struct BuiltZone {
    std::string name;
    int root = 0;       // MIDI key
    int lo = 0, hi = 0; // the keys it plays (MIDI)
    int startPage = 0, endPage = 0; // end page is the end-of-sample page
    bool looped = false;
    bool foundLoop = false; // the loop was found, not the source's
    int loopStartPage = 0, loopEndPage = 0, loopEndFine = 0;
    int loopLength = 0;     // samples
    std::optional<double> spliceDb;
    measure::Figures figures; // of the bytes as written
    int octave = 0;         // the octave field written
    double resample = 0;    // semitones the audio was moved by resampling
    std::vector<std::string> cuts; // what the fit cut of it
    std::vector<std::uint8_t> bytes; // the pages start..end
    int pages() const { return endPage - startPage + 1; }
    // "zone 3: root C4 (60), keys 52-63, 24 pages, loop 3A-3B fine 7F, splice -38 dB, 120 ms,
    // -0.4 cents (cut +0.1), swell 0.3 dB" (and the lead-in where it passes 1 ms)
    std::string line(int index) const;
};

enum class BuildError { None, Source, NoZones, NoRoot, Template, DoesNotFit, Audio, Cancelled };

struct BuildResult {
    BuildError error = BuildError::None;
    std::string text;                 // what is wrong
    std::vector<BuiltZone> zones;
    std::vector<std::string> notes;   // thinning, dropped layers, clamps
    double gainDb = 0;                // the one gain of the half
    int fineTune = 0;                 // the one fine tune of its wavesamples
    sound::Half half;
    bool ok() const { return error == BuildError::None; }
    static constexpr const char* Caption = "Build Sound";
};

BuildResult buildHalf(const Source& source, const BuildOptions& options);

// The account of a build, the same wherever it is shown: a line per
// wavesample with what was cut of it, the notes, the half's gain.
std::vector<std::string> reportLines(const BuildResult& result);
// "Built: 6 wavesamples in 250 of 256 pages (wavesamples 7-8 play
// wavesample 6's pages)."
std::string builtSummary(const BuildResult& result);

} // namespace corvane::build
