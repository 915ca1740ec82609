// Many thousands of random and mutated messages through the dispatcher. Run
// under AddressSanitizer and UndefinedBehaviorSanitizer in CI: nothing may
// crash or touch memory outside the buffers.
#include "ProtocolHarness.h"

#include <random>

namespace corvane::test {
namespace {

Message validSample(std::mt19937& rng)
{
    std::uniform_int_distribution<int> pick(0, 6);
    std::uniform_int_distribution<int> nib(0, 15);
    auto body = [&](std::uint8_t c, std::size_t n) {
        Message m{0xF0, 0x0F, 0x01, c};
        while (m.size() + 1 < n)
            m.push_back(static_cast<std::uint8_t>(nib(rng)));
        m.push_back(0xF7);
        return m;
    };
    switch (pick(rng)) {
    case 0: return body(cmd::ConfigDump, 63);
    case 1: return body(cmd::LowerDump, 1255);
    case 2: return body(cmd::UpperDump, 1255);
    case 3: {
        const int pages = 1 + static_cast<int>(rng() % 4);
        return body(cmd::WavesampleDump, 8 + 512 * static_cast<std::size_t>(pages));
    }
    case 4: return {0xF0, 0x0F, 0x01, 0x08, static_cast<std::uint8_t>(rng()), 0xF7};
    case 5: return {0xF0, 0x0F, 0x01, 0x09, 0xF7};
    default: return {0xF0, 0x0F, 0x01, 0x0E, static_cast<std::uint8_t>(rng())};
    }
}

Message mutate(Message m, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
        switch (rng() % 5) {
        case 0: // flip a byte, keeping the header most of the time
            if (!m.empty()) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
            break;
        case 1: // cut off
            if (!m.empty()) m.resize(rng() % m.size());
            break;
        case 2: // grow with junk
            m.resize(m.size() + rng() % 300, static_cast<std::uint8_t>(rng()));
            break;
        case 3: // wild page count
            if (m.size() > 5) { m[4] = static_cast<std::uint8_t>(rng()); m[5] = static_cast<std::uint8_t>(rng()); }
            break;
        default: // change the command
            if (m.size() > 3) m[3] = static_cast<std::uint8_t>(rng() % 0x20);
            break;
        }
    }
    return m;
}

// The selection a status reply leaves, by the receive rule: only a Mirage
// message of 5 to 9 bytes with command 07/0D (half) or 08/0E (half and
// wavesample) changes it. Windows index their sixteen-entry wavesample lists
// with 8 * half + wavesample, so a reply taken by mistake (a dump's first
// bytes, a message one byte too long) would send them to the wrong entry.
struct Selection {
    int half = 0;
    int wavesample = 0;
    int replies = 0;
    void apply(const Message& m)
    {
        if (m.size() < 5 || m.size() > 9 || m[0] != 0xF0 || m[1] != 0x0F || m[2] != 0x01)
            return;
        const int command = m[3];
        if (command == 0x07 || command == 0x0D || command == 0x08 || command == 0x0E) {
            half = m[4] / 16;
            ++replies;
        }
        if (command == 0x08 || command == 0x0E)
            wavesample = m[4] % 16;
    }
};

TEST_F(ProtocolTest, RandomAndMutatedMessagesNeverEscapeTheBuffers)
{
    std::mt19937 rng(20261207);
    Selection expected;
    for (int round = 0; round < 20000; ++round) {
        Message m;
        if (round % 3 == 0) {
            m.resize(rng() % 80);
            for (auto& b : m)
                b = static_cast<std::uint8_t>(rng());
            if (!m.empty() && rng() % 2) m[0] = 0xF0;
        } else {
            m = mutate(validSample(rng), rng);
        }
        if (m.empty())
            continue;
        receive(m);
        expected.apply(m);
        ASSERT_EQ(proto.CurrentHalf, expected.half) << "round " << round << ": " << hex(m);
        ASSERT_EQ(proto.CurrentWavesample, expected.wavesample) << "round " << round << ": " << hex(m);
    }
    EXPECT_GT(expected.replies, 200) << "the rounds must exercise the status replies";
    // A few extremes: 1 byte, 3 bytes, a 200,000-byte dump, every command.
    receive({0xF0});
    receive({0xF0, 0x0F, 0x01});
    Message huge(200000, 0x0F);
    huge[0] = 0xF0; huge[1] = 0x0F; huge[2] = 0x01; huge[3] = 0x06;
    receive(huge);
    for (int c = 0; c < 256; ++c)
        receive({0xF0, 0x0F, 0x01, static_cast<std::uint8_t>(c), 0xFF});
    // The dispatcher still works afterwards.
    receive({0xF0, 0x0F, 0x01, 0x08, 0x17, 0xF7});
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(proto.CurrentWavesample, 7);
}

} // namespace
} // namespace corvane::test
