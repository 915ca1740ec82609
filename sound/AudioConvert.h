// Conversion between ordinary audio files and the Mirage's 8-bit wavesamples,
// on libsndfile (every format it reads and writes) and libsamplerate. Plain
// C++: the send and get windows turn the typed results into their message
// boxes and feed the converted bytes to buildSendDump().
#pragma once

#include "WavPrepArithmetic.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::audio {

constexpr int DefaultSampleTimeUs = 34;
// The rate a wavesample plays at for a sample time in microseconds:
// 1,000,000 / 34 µs = 29,411 Hz.
int rateOfSampleTime(int microseconds);

enum class AudioError {
    None,
    CannotOpen,  // missing or unreadable file
    Unsupported, // not a format libsndfile knows, or a format/rate it cannot write
    NoAudio,     // empty file or no sample frames
    Damaged,     // the audio data stops short or cannot be decoded
    TooLong,     // the loop ends past the memory a loop may use
    LoopOutside, // the loop lies outside the audio
    WriteFail,
    Cancelled,
};

// The message box text of an error ("" for None); `path` fills in the
// write failure.
std::string audioMessage(AudioError error, const std::string& path = {});

// Progress and cancelling of a long conversion. `progress` gets 0..1 after
// each block (a window pumps its events there); the conversion stops with
// Cancelled at the next block once `cancel` is set.
struct Work {
    std::function<void(double)> progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;
};

// ---- in -----------------------------------------------------------------------

enum class LoopUnit { Seconds, Samples };

// A loop in the source file: start and length in seconds or source frames.
struct LoopRequest {
    double start = 0;
    double length = 0;
    LoopUnit unit = LoopUnit::Seconds;
};

struct ImportOptions {
    int rate = rateOfSampleTime(DefaultSampleTimeUs); // the rate the wavesample will play at
    bool normalise = false;
    std::optional<LoopRequest> loop = std::nullopt;
    int startPage = 0; // the wavesample's first page in memory, for the pointers (0..250)
    int maxPages = 0;  // the pages the destination wavesample has; 0: as many as a dump holds
    std::uint32_t ditherSeed = 1;
};

struct SourceFormat {
    std::string container; // "WAV", "AIFF", "FLAC", "OGG", ...
    std::string encoding;  // "Signed 16 bit PCM", ...
    int channels = 0;
    int rate = 0;
    std::int64_t frames = 0;
    // One line for the window: "WAV, Signed 16 bit PCM, stereo, 44100 Hz, 1.000 s".
    std::string text() const;
};

// The loop as placed on whole pages, with the calculator's figures.
struct LoopPlacement {
    int loopStart = 0;  // byte, a multiple of 256
    int loopSize = 0;   // bytes, a multiple of 256
    int markerByte = 0; // first byte after the loop
    int dataSize = 0;   // loop end plus the page for the end-of-sample and loop marker
    wavprep::Pointers pointers{};
};

struct Conversion {
    AudioError error = AudioError::None;
    SourceFormat source;
    int rate = 0;                      // the rate the samples were made for
    std::vector<std::uint8_t> samples; // 1..255, padded with silence (0x80) to whole pages
    int length = 0;                    // samples converted from the audio, before padding
    std::int64_t cutSamples = 0;       // converted samples left out
    double cutSeconds = 0;             // the same in seconds of the source
    bool dithered = false;             // false when the audio lay on the 8-bit steps already
    std::optional<LoopPlacement> loop;

    bool ok() const { return error == AudioError::None; }
    std::string text() const { return audioMessage(error); }
    // The report of what was cut ("" when nothing was).
    std::string cutNotice() const;
    static constexpr const char* Caption = "Audio Import";
};

// Reads any audio file, mixes its channels to mono, resamples it (best
// quality) to options.rate, optionally normalises it to full scale and
// turns it into 8-bit unsigned samples with triangular dither. Only the
// head of the source that fits into a wavesample (65,535 bytes, or the end
// of the loop's marker page) is read and converted.
Conversion importAudio(const std::string& path, const ImportOptions& options = {}, const Work& work = {});

// One channel of audio resampled by `ratio` (output rate / input rate) with
// the best-quality converter; false when the converter cannot be had.
bool resampleMono(std::span<const float> in, double ratio, std::vector<float>& out);

// ---- out ----------------------------------------------------------------------

enum class Container { Wav, Aiff, Flac };

struct ExportOptions {
    Container container = Container::Wav;
    int bits = 16;  // 16 or 24
    int rate = 0;   // 0: the wavesample's own rate; otherwise resampled (44,100 or 48,000)
};

struct ExportResult {
    AudioError error = AudioError::None;
    std::string path;
    std::int64_t frames = 0;
    int rate = 0;

    bool ok() const { return error == AudioError::None; }
    std::string text() const { return audioMessage(error, path); }
    static constexpr const char* Caption = "Audio Export";
};

// Writes 8-bit wavesample bytes played at `playRate` as a 16- or 24-bit
// file, creating or replacing `path`.
ExportResult exportAudio(const std::string& path, std::span<const std::uint8_t> samples, int playRate,
                         const ExportOptions& options, const Work& work = {});

// The same at the wavesample's default rate, written beside `path` and
// renamed over it: the file is there whole or not at all. "" or the
// message of what went wrong.
std::string exportReplacing(const std::string& path, std::span<const std::uint8_t> samples,
                            const ExportOptions& options);

// The file name extension of a container: "wav", "aiff", "flac".
const char* extensionOf(Container container);

} // namespace corvane::audio
