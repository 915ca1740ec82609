// The wave editor's operations: a wavesample held as floating-point samples
// (-1..1, byte 128 the centre) with its loop, edited on a selection or the
// whole, with an undo history of its own within a memory bound. The samples
// become 8-bit (1..255; the instrument stops a voice on 0) only when they
// are sent or saved, and a wavesample that was never edited gives back the
// bytes it was opened with. Loops follow the instrument's rules: the start
// on a page boundary, the end on any byte of its page (the loop end fine
// value). Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::waveedit {

constexpr int PageBytes = 256;
constexpr int MaxSamples = 256 * PageBytes; // a half's whole sample memory

using Samples = std::vector<float>;

// A span of samples [begin, end).
struct Range {
    int begin = 0;
    int end = 0;
    int size() const { return end - begin; }
    bool empty() const { return end <= begin; }
    bool operator==(const Range&) const = default;
};

// The loop as the instrument keeps it, relative to the wavesample's first
// sample: its first sample (a multiple of 256) and its last one.
struct Loop {
    bool on = false;
    int start = 0;
    int end = 0; // the last sample of the loop
    int length() const { return end - start + 1; }
    bool operator==(const Loop&) const = default;
};

// The loop's pointers, in pages from the wavesample's first page, and the
// loop end fine value (the last byte of the loop in its end page).
struct LoopPointers {
    int startPage = 0;
    int endPage = 0;
    int fine = 0;
};
LoopPointers pointersOf(const Loop& loop);
Loop loopOf(const LoopPointers& p, bool on);

// The loop the instrument can hold nearest to what was asked: the start on
// the nearest page boundary, the end on a byte after it, both within
// `length` samples.
Loop snapLoop(const Loop& asked, int length);
// Why the instrument cannot play `loop` in a wavesample of `length`
// samples; "" when it can (or the loop is off).
std::string loopProblem(const Loop& loop, int length);

// Pages that `samples` samples fill.
int pagesFor(int samples);

float fromByte(std::uint8_t b);
// The 8-bit samples of `samples`: exact where a sample lies on an 8-bit
// step (an edit that only moved it), with triangular dither where it does
// not; always 1..255. `dithered`, when given, says whether any was.
std::vector<std::uint8_t> toBytes(const Samples& samples, bool* dithered = nullptr);

enum class FadeShape { Linear, EqualPower };

// The period, in samples, of the strongest repetition of the audio around
// `at` (autocorrelation over a few thousand samples); none when there is
// no clear one.
std::optional<double> measurePeriod(const Samples& samples, int at);

// The three bands of Equaliser...: a low shelf, a peak and a high shelf at
// these frequencies, each lifted or cut by its dB. The low-pass and
// high-pass are second-order Butterworth sections, half the power passed at
// the frequency given.
struct Equaliser {
    double lowDb = 0, midDb = 0, highDb = 0;
    static constexpr double LowHz = 200, MidHz = 1000, HighHz = 4000;
};

// What a key plays, as the instrument's sound chip plays 8-bit samples:
// stepping through them `semitones` faster or slower than the wavesample's
// own rate and taking the nearest stored sample at each step, never
// interpolating. With the loop on, the samples up to the loop's end and then
// the loop, rendered once; `loopBegin` and `loopEnd` give the rendered loop.
struct Rendered {
    std::vector<std::uint8_t> samples;
    bool looped = false;
    std::size_t loopBegin = 0, loopEnd = 0;
};
Rendered renderAtPitch(std::span<const std::uint8_t> bytes, const Loop& loop, double semitones);

// A 16-bit WAV file of 8-bit samples at `rate`, the loop (when on) in its
// `smpl` chunk.
std::vector<std::uint8_t> wavImage16(std::span<const std::uint8_t> bytes, int rate, const Loop& loop);

class WaveBuffer {
public:
    WaveBuffer() = default;
    // A wavesample as received or read: the bytes it is given back as until
    // it is edited.
    static WaveBuffer fromBytes(std::span<const std::uint8_t> bytes, const Loop& loop, int rate);
    // Audio that has no 8-bit form yet (a converted file): edited from the start.
    static WaveBuffer fromSamples(Samples samples, const Loop& loop, int rate);

    const Samples& samples() const { return samples_; }
    int size() const { return static_cast<int>(samples_.size()); }
    int rate() const { return rate_; }
    const Loop& loop() const { return loop_; }
    bool edited() const { return edited_; }
    // The 8-bit samples to send or save: the bytes it was opened with while
    // unedited.
    std::vector<std::uint8_t> bytes(bool* dithered = nullptr) const;

    // A selection clamped to the samples; an empty one means the whole.
    Range clampRange(Range r) const;
    Range whole() const { return {0, size()}; }

    // ---- edits; each is one step of the history, named as the menu names it.
    Samples copy(Range r) const;
    Samples cut(Range r);
    void erase(Range r);                   // Delete
    void paste(int at, const Samples& clip, Range replace = {});
    void pasteMix(int at, const Samples& clip, double level);
    void trim(Range r);                    // Trim to Selection
    void insertSilence(int at, int count);
    void gain(Range r, double db);
    void normalise(Range r);
    void fadeIn(Range r, FadeShape shape);
    void fadeOut(Range r, FadeShape shape);
    void reverse(Range r);
    void invert(Range r);
    void removeDc(Range r);
    void lowPass(Range r, double hz);
    void highPass(Range r, double hz);
    void equalise(Range r, const Equaliser& eq);
    // Moves the pitch by `semitones` (cents as a fraction) with the best
    // converter: up shortens, down lengthens. False when the converter cannot
    // be had or the result would exceed MaxSamples.
    bool resample(Range r, double semitones);
    void pencil(int at, const Samples& values); // each value on its 8-bit step
    void setLoop(const Loop& loop);        // snapped
    // Finds a loop ending at or before `at`: whole cycles of the period
    // measured there, by the builder's search. False when none is found.
    bool findLoopNear(int at);
    // The builder's equal-power crossfade of `length` samples into the loop's end.
    bool crossfadeLoop(int length);

    // ---- history
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    std::string undoName() const { return canUndo() ? undo_.back().name : std::string(); }
    std::string redoName() const { return canRedo() ? redo_.back().name : std::string(); }
    void undo();
    void redo();
    // The bytes the history may keep; the oldest steps go first.
    void setHistoryLimit(std::size_t bytes);
    std::size_t historyBytes() const;

private:
    struct State {
        std::string name;
        Samples samples;
        Loop loop;
        bool edited = false;
    };
    void begin(const std::string& name);
    void shiftLoop(int at, int delta);
    void trimHistory();

    Samples samples_;
    Loop loop_;
    int rate_ = 29411;
    bool edited_ = false;
    std::vector<std::uint8_t> original_;
    std::deque<State> undo_, redo_;
    std::size_t limit_ = 64u << 20;
};

} // namespace corvane::waveedit
