// Thousands of random and mutated messages: the emulator must neither crash
// nor read out of bounds (the sanitizer build runs this), every reply it
// gives must be a well-formed Mirage message, and it must keep answering.
#include "EmulatorFixture.h"

#include <random>

namespace corvane::emu::test {
namespace {

void expectWellFormed(const Message& r)
{
    ASSERT_GE(r.size(), 5u);
    EXPECT_EQ(r[0], 0xF0);
    EXPECT_EQ(r[1], 0x0F);
    EXPECT_EQ(r[2], 0x01);
    EXPECT_EQ(r.back(), 0xF7);
    for (std::size_t i = 1; i + 1 < r.size(); ++i)
        ASSERT_LT(r[i], 0x80) << "data byte " << i;
    switch (r[3]) {
    case 0x02: EXPECT_EQ(r.size(), 63u); break;
    case 0x05:
    case 0x15: EXPECT_EQ(r.size(), 1255u); break;
    case 0x06: EXPECT_EQ((r.size() - 8) % 512, 0u); break;
    case 0x07:
    case 0x08:
    case 0x0D:
    case 0x0E: EXPECT_LE(r.size(), 9u); break;
    case 0x09:
    case 0x0A: break;
    default: ADD_FAILURE() << "unexpected reply command " << int(r[3]);
    }
}

// Messages the editor really sends, as seeds for mutation.
std::vector<Message> seeds()
{
    std::vector<Message> s = {
        requestMessage(0x00), requestMessage(0x03), requestMessage(0x13), wavesampleRequestMessage(),
        keyCodeMessage({0x00, 0x00}), keyCodeMessage({0x00}), keyCodeMessage({0x03}),
        keyCodeMessage({0x15, 0x04}), keyCodeMessage({0x14, 0x08}),
        keyCodeMessage({0x0C, 0x02, 0x06, 0x0D}), keyCodeMessage({0x11, 0x02, 0x0A}),
        keyCodeMessage({0x10, 0x11, 0x03, 0x0A}), keyCodeMessage({0x01, 0x03, 0x02, 0x0A}),
        keyCodeMessage({0x01, 0x05, 0x02, 0x0A}), keyCodeMessage({0x0C, 0x01, 0x08, 0x03, 0x0A}),
        keyCodeMessage({0x01, 0x09}), keyCodeMessage({0x0E}), keyCodeMessage({0x0A}),
        keyCodeMessage({0x07, 0x02, 0x0D, 0x0E}), keyCodeMessage({0x02, 0x07, 0x0D, 0x0F}),
    };
    for (int p : {21, 24, 27, 36, 37, 45, 60, 61, 62, 63, 64, 65, 70, 72, 74, 82, 84})
        for (bool up : {true, false})
            s.push_back(parameterStepMessage(p, up));
    Message dump = {0xF0, 0x0F, 0x01, 0x06, 0x02, 0x00};
    for (int i = 0; i < 300; ++i) {
        dump.push_back(static_cast<std::uint8_t>(i & 0x0F));
        dump.push_back(static_cast<std::uint8_t>((i >> 4) & 0x0F));
    }
    unsigned sum = 0;
    for (std::size_t i = 4; i < dump.size(); ++i)
        sum += dump[i];
    dump.push_back(static_cast<std::uint8_t>(sum % 128));
    dump.push_back(0x7F);
    s.push_back(dump);
    return s;
}

TEST(EmulatorRobustness, SurvivesRandomAndMutatedMessages)
{
    MirageEmulator mirage;
    std::mt19937 rng(20261207);
    const auto base = seeds();
    auto byte = [&](int hi) { return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, hi)(rng)); };
    std::size_t replies = 0;

    for (int round = 0; round < 30000; ++round) {
        Message m;
        switch (round % 4) {
        case 0: { // pure noise, sometimes behind a Mirage header
            const int len = std::uniform_int_distribution<int>(0, 40)(rng);
            if (round % 8 == 0)
                m = {0xF0, 0x0F, 0x01};
            for (int i = 0; i < len; ++i)
                m.push_back(byte(255));
            break;
        }
        case 1: { // a Mirage header, any command, data bytes of any size
            m = {0xF0, 0x0F, 0x01, byte(0x7F)};
            const int len = std::uniform_int_distribution<int>(0, 24)(rng);
            for (int i = 0; i < len; ++i)
                m.push_back(byte(round % 3 ? 0x1F : 0x7F));
            if (rng() % 2)
                m.push_back(0xF7);
            break;
        }
        default: { // a real message, mutated: flipped, cut, inserted, doubled
            m = base[rng() % base.size()];
            const int edits = std::uniform_int_distribution<int>(0, 3)(rng);
            for (int e = 0; e < edits && !m.empty(); ++e) {
                const std::size_t at = rng() % m.size();
                switch (rng() % 4) {
                case 0: m[at] = byte(255); break;
                case 1: m.resize(at); break;
                case 2: m.insert(m.begin() + static_cast<std::ptrdiff_t>(at), byte(0x7F)); break;
                default: m.insert(m.end(), m.begin(), m.begin() + static_cast<std::ptrdiff_t>(at)); break;
                }
            }
            if (rng() % 2)
                m.push_back(0xF7);
            break;
        }
        }
        for (const Message& r : mirage.receive(m)) {
            ++replies;
            expectWellFormed(r);
            if (testing::Test::HasFatalFailure())
                return;
        }
        // occasionally a large wavesample dump out of whatever the pointers now say
        if (round % 1000 == 0)
            for (const Message& r : mirage.receive(wavesampleRequestMessage()))
                expectWellFormed(r);
    }
    EXPECT_GT(replies, 1000u) << "the fuzzing reached the answering paths";

    // still a working instrument afterwards
    const auto config = mirage.receive(requestMessage(0x00));
    ASSERT_EQ(config.size(), 1u);
    EXPECT_EQ(config[0].size(), 63u);
    const auto query = mirage.receive(keyCodeMessage({0x0C, 0x02, 0x06, 0x0D}));
    ASSERT_EQ(query.size(), 1u);
    EXPECT_EQ(query[0][4] >> 4, mirage.currentHalf());
}

TEST(EmulatorRobustness, IgnoresOtherDevicesAndEmptyInput)
{
    MirageEmulator mirage;
    const std::vector<Message> foreign = {
        {}, {0xF0}, {0xF0, 0x0F}, {0xF0, 0x0F, 0x01}, {0xF0, 0x0F, 0x02, 0x00, 0x7F},
        {0xF0, 0x0E, 0x01, 0x00, 0x7F}, {0xF0, 0x43, 0x10, 0x00, 0xF7}, {0x90, 0x40, 0x7F},
        {0xF0, 0x0F, 0x01, 0xF7}, {0xF0, 0x0F, 0x01, 0x01, 0xF7}, {0xF0, 0x0F, 0x01, 0x01, 0x7F},
        {0xF0, 0x0F, 0x01, 0x7E, 0x7F, 0xF7}};
    for (const Message& m : foreign)
        EXPECT_TRUE(mirage.receive(m).empty());
    EXPECT_TRUE(mirage.receive(nullptr, 5).empty());
    EXPECT_EQ(mirage.counters().ignored, static_cast<int>(foreign.size()) + 1);
}

} // namespace
} // namespace corvane::emu::test
