#include "PlaySound.h"

#include <algorithm>
#include <cstring>

namespace corvane {

std::optional<SoundLoop> validLoop(const std::optional<SoundLoop>& loop, std::size_t size)
{
    if (!loop || loop->start >= loop->end || loop->end > size)
        return std::nullopt;
    return loop;
}

SampleFeeder::SampleFeeder(PlaySound sound)
    : samples_(std::move(sound.samples)), rate_(sound.rate), loop_(validLoop(sound.loop, samples_.size()))
{
}

std::size_t SampleFeeder::read(std::uint8_t* out, std::size_t max)
{
    std::size_t done = 0;
    while (done < max) {
        // Where the samples in play stop: the loop's end, where the loop
        // starts again, or the last sample.
        const std::size_t stop = loop_ ? loop_->end : samples_.size();
        if (pos_ >= stop) {
            if (!loop_)
                break;
            pos_ = loop_->start;
        }
        const std::size_t n = std::min(max - done, stop - pos_);
        std::memcpy(out + done, samples_.data() + pos_, n);
        done += n;
        pos_ += n;
    }
    return done;
}

} // namespace corvane
