// The order in which the audio output gets a sound's samples: up to the
// loop's end and then the loop for ever, or once through to the end.
#include "PlaySound.h"

#include <gtest/gtest.h>

#include <numeric>

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ramp(std::size_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), std::uint8_t{0});
    return b;
}

// Reads `chunk` samples at a time until `want` have come or the feeder ends.
Bytes feed(SampleFeeder& feeder, std::size_t chunk, std::size_t want)
{
    Bytes out;
    Bytes piece(chunk);
    while (out.size() < want) {
        const std::size_t n = feeder.read(piece.data(), std::min(chunk, want - out.size()));
        if (n == 0)
            break;
        out.insert(out.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return out;
}

TEST(SampleFeeder, LoopRepeatsAfterTheStartAndOnceThroughStopsAtTheEnd)
{
    const struct {
        const char* what;
        std::size_t size;
        std::optional<SoundLoop> loop;
        std::size_t chunk;
        Bytes expected; // the first 16 samples, or all there are
    } rows[] = {
        {"loop in the middle", 10, SoundLoop{4, 7}, 3, {0, 1, 2, 3, 4, 5, 6, 4, 5, 6, 4, 5, 6, 4, 5, 6}},
        {"one-sample loop", 10, SoundLoop{2, 3}, 5, {0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
        {"loop over everything", 6, SoundLoop{0, 6}, 4, {0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3}},
        {"loop to the last sample", 10, SoundLoop{8, 10}, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 8, 9, 8, 9, 8, 9}},
        {"no loop", 10, std::nullopt, 4, ramp(10)},
        {"loop past the samples", 10, SoundLoop{4, 11}, 4, ramp(10)},
        {"loop backwards", 10, SoundLoop{7, 4}, 4, ramp(10)},
        {"empty loop", 10, SoundLoop{5, 5}, 4, ramp(10)},
        {"no samples", 0, SoundLoop{0, 1}, 4, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SampleFeeder feeder({ramp(row.size), 29411, row.loop});
        EXPECT_EQ(feed(feeder, row.chunk, 16), row.expected);
        const bool once = row.expected.size() < 16;
        EXPECT_EQ(feeder.atEnd(), once);
        std::uint8_t more = 0;
        EXPECT_EQ(feeder.read(&more, 1), once ? 0u : 1u) << "a loop never ends; once through stays ended";
    }
}

} // namespace
} // namespace corvane
