// Where a built sound's zones come from: a SoundFont 2 preset (through
// libgig), an SFZ file (a small reader of our own), or audio files and
// folders of them (through libsndfile). Each source gives zones: a piece of
// audio, the key it sounds at, the keys it covers and its loop. Plain C++.
//
// A zone's audio is read only when the builder asks for it, so that a
// preset of forty zones thinned to eight reads eight samples.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane::build {

// Keys are MIDI note numbers; middle C (C4) is 60.
constexpr int NoKey = -1;

// "C4" -> 60, "F#3" -> 54, "db5" -> 73, "c-1" -> 0; "60" -> 60. NoKey for
// anything else.
int parseKey(const std::string& text);
// 60 -> "C4", 54 -> "F#3".
std::string keyName(int key);
// The root note a file name gives: "Piano C4.wav" -> 60, "pad_F#3.flac" ->
// 54, "str-60.wav" -> 60; NoKey when it gives none.
int keyFromFileName(const std::string& path);

enum class LoopKind {
    Find,   // no loop given: the builder finds one
    Source, // the source's own loop, kept exactly
    Off,    // played once (a drum): no loop
};

struct ZoneAudio {
    std::vector<float> samples; // mono, -1..1
    int rate = 0;
    std::string error; // "" or what is wrong, naming the file
    std::vector<std::string> notes; // mixed to mono, 24-bit data, ...
};

struct Zone {
    std::string name;  // for the report: the sample's file or name
    std::string file;  // the file that holds the audio
    double pitch = NoKey; // the key the audio sounds at when played at its own rate (cents as fractions)
    int lo = NoKey;    // the keys the source gives it, or NoKey
    int hi = NoKey;
    LoopKind loop = LoopKind::Find;
    std::int64_t loopStart = 0; // source frames, from the first frame of the zone's audio
    std::int64_t loopEnd = 0;   // first frame after the loop
    std::int64_t frames = 0;    // frames of the zone's audio, when known (0: unknown)
    int rate = 0;               // the audio's sample rate, when known before reading (0: unknown)
    double gainDb = 0;          // the source's own level for the zone (attenuation, volume), put into its data
    // Reads the audio: at most `maxFrames` frames from the zone's start.
    std::function<ZoneAudio(std::int64_t maxFrames)> read;

    int root() const;
};

// A SoundFont's preset.
struct PresetInfo {
    int index = 0;  // in the file
    int bank = 0;
    int program = 0;
    std::string name;
    int zones = 0;  // the instrument regions it plays, all layers and channels
};

struct Source {
    std::vector<Zone> zones;
    std::string error;                    // "" or what is wrong, naming the file
    std::vector<std::string> notes;       // what was left out or ignored
    std::vector<std::string> unknownOpcodes; // SFZ opcodes not taken into account
    std::shared_ptr<void> keep;           // what the zones' readers need open
    bool spread = false;                  // the zones share the keyboard equally, each at its own pitch
    bool kit = false;                     // a percussion preset: a drum on each key, chosen by role
    std::string preset;                   // the SoundFont preset read: "128:000 Standard"
    std::vector<PresetInfo> presets;   // a SoundFont's presets, in the file's order
    bool ok() const { return error.empty(); }
};

// ---- SFZ --------------------------------------------------------------------

struct SfzRegion {
    std::string sample; // as written, with the default path in front
    int lo = NoKey, hi = NoKey, keycenter = NoKey;
    int transpose = 0;
    double tune = 0; // cents
    double volume = 0; // dB
    std::string loopMode; // "", "no_loop", "one_shot", "loop_continuous", "loop_sustain"
    std::int64_t loopStart = -1, loopEnd = -1; // loop_end is the loop's last frame
    std::int64_t offset = 0, end = -1;         // end is the last frame played
};

struct SfzText {
    std::vector<SfzRegion> regions;
    std::vector<std::string> unknownOpcodes; // each once, in order of appearance
    std::string error; // "" or what is wrong, with the line
};

// Reads the text of an SFZ file: <control>, <global>, <master>, <group> and
// <region> headers, opcodes with values (a sample's name may hold spaces),
// comments, #define. No file is opened.
SfzText parseSfz(const std::string& text);
// Reads an SFZ file and makes a zone of each region; samples are looked
// for beside the file.
Source readSfz(const std::string& path);

// ---- SoundFont 2 ------------------------------------------------------------


struct PresetList {
    std::vector<PresetInfo> presets;
    std::string error;
};
PresetList soundFontPresets(const std::string& path);
// "000:048 Strings", as the preset list and the report show a preset.
std::string presetLabel(const PresetInfo& preset);
// The preset `wanted` names among `presets`: "" the lowest bank:program,
// "BANK:PROGRAM", a program number (its lowest bank), or a name, case
// ignored, whole or a start that only one preset's name has. nullptr and
// `error` (naming the presets that would do, or where to find them) when
// none or several answer.
const PresetInfo* choosePreset(const std::vector<PresetInfo>& presets, const std::string& wanted, std::string& error);
// Whether a bank holds drum kits: the General MIDI percussion bank 128.
constexpr bool isKitBank(int bank) { return bank == 128; }
// The zones of a preset, chosen as choosePreset chooses. Of a stereo pair
// only the left sample is taken, and of velocity layers those that answer a
// velocity of 100. A preset of the percussion bank is a kit.
Source readSoundFont(const std::string& path, const std::string& preset);
// The same by the preset's index in the file (PresetInfo::index).
Source readSoundFont(const std::string& path, int index);

// ---- audio files ------------------------------------------------------------

// Audio files, or folders of them (their audio files in name order). The
// root note comes from the file's instrument data, else from its name;
// `spread` instead gives each file an equal share of the keyboard, played
// once at its own pitch in the middle of it (a drum kit). A file that gives
// no root note refuses the lot, or with `askRoots` becomes a zone without
// one (pitch NoKey) for the user to give it.
Source readAudioFiles(const std::vector<std::string>& paths, bool spread, bool askRoots = false);

// Any of the above by the first path's extension: .sf2, .sfz, else audio.
// `spread` gives a SoundFont preset's zones equal shares of the keyboard too.
Source readSources(const std::vector<std::string>& paths, const std::string& preset, bool spread,
                   bool askRoots = false);

// The lowest and highest MIDI keys of the instrument's keyboard (61 keys,
// C to C), and a keyboard key 1..61 of a MIDI key.
constexpr int FirstKey = 36;
constexpr int LastKey = 96;

// Whether a loop of [start, end) source frames at `rate` Hz could be kept
// in a half at all: its start put on a page and the loop whole within 255
// pages, at the highest pitch a zone is moved up by resampling. A reader
// gives up a loop that cannot before any audio is read.
bool loopCanFit(std::int64_t start, std::int64_t end, int rate);

} // namespace corvane::build
