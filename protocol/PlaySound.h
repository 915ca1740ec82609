// A sound played from memory, as the instrument plays a wavesample: 8-bit
// unsigned mono samples at the rate of the sampling time they were taken
// at. With its loop on, a held key plays the samples up to the loop's end
// and then the loop again and again until it is let go; with the loop off
// the samples play once through. Plain C++: the feeder below hands the real
// audio output its samples piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// The loop as sample indices, the end one past its last sample.
struct SoundLoop {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const SoundLoop&) const = default;
};

struct PlaySound {
    std::vector<std::uint8_t> samples; // 8-bit unsigned, 0x80 the centre
    int rate = 0;                      // samples a second
    std::optional<SoundLoop> loop;     // none: once through
};

// A loop that lies within `size` samples and holds at least one sample;
// any other is none, and the sound plays once through.
std::optional<SoundLoop> validLoop(const std::optional<SoundLoop>& loop, std::size_t size);

// The samples in the order the output plays them: the start up to the end
// of the loop, then the loop for ever; without a loop, start to end once.
class SampleFeeder {
public:
    explicit SampleFeeder(PlaySound sound);

    // Copies the next samples, at most `max`, into `out` and returns how
    // many; 0 once a sound played once through has ended.
    std::size_t read(std::uint8_t* out, std::size_t max);
    bool atEnd() const { return !loop_ && pos_ >= samples_.size(); }
    int rate() const { return rate_; }

private:
    std::vector<std::uint8_t> samples_;
    int rate_;
    std::optional<SoundLoop> loop_;
    std::size_t pos_ = 0;
};

} // namespace corvane
