// Wavesample data: the dump out (answer to F0 0F 01 04), the dump in (from the
// editor's WAV send) with its acknowledgement, and the sample rotate.
#include "EmulatorFixture.h"
#include "SendDump.h"

#include <numeric>

namespace corvane::emu::test {
namespace {

struct Decoded {
    int pages = -1;
    std::vector<std::uint8_t> data;
    int checksum = -1;
};

// Decodes a wavesample dump the way the editor's receive side does.
Decoded decode(const Message& m)
{
    Decoded d;
    if (m.size() < 8 || m[3] != cmd::WavesampleDump)
        return d;
    d.pages = m[4] + 16 * m[5];
    for (std::size_t i = 6; i + 3 < m.size(); i += 2)
        d.data.push_back(static_cast<std::uint8_t>(m[i] + 16 * m[i + 1]));
    d.checksum = m[m.size() - 2];
    return d;
}

// The dump the editor sends from WAV data.
Message editorDump(const std::vector<std::uint8_t>& samples) { return wav::buildSendDump(samples)->message; }

std::vector<std::uint8_t> pagesOf(const MirageEmulator& e, int half, int from, int to)
{
    const auto& mem = e.half(half).memory;
    return {mem.begin() + from * 256, mem.begin() + (to + 1) * 256};
}

class Wavesamples : public EmulatorTest {
protected:
    Message requestDump(bool withF7 = false)
    {
        Message r = wavesampleRequestMessage();
        if (withF7)
            r.push_back(0xF7);
        return single(send(r));
    }
    Wavesample& wsParams(int half, int w) { return mirage.half(half).wavesamples[w]; }
    void setPages(int half, int w, int start, int end)
    {
        wsParams(half, w).setField(wsf::StartPage, start);
        wsParams(half, w).setField(wsf::EndPage, end);
    }
};

TEST_F(Wavesamples, DumpCarriesTheCurrentWavesamplesPages)
{
    selectWavesample(10); // U3
    setPages(1, 2, 0x40, 0x47);
    for (bool withF7 : {false, true}) {
        const Message m = requestDump(withF7);
        EXPECT_EQ(m.size(), 8u + 512u * 8u);
        EXPECT_EQ(m.back(), 0xF7);
        const Decoded d = decode(m);
        EXPECT_EQ(d.pages, 8);
        EXPECT_EQ(d.data, pagesOf(mirage, 1, 0x40, 0x47));
        const unsigned sum = std::accumulate(m.begin() + 4, m.end() - 2, 0u);
        EXPECT_EQ(d.checksum, static_cast<int>(sum % 128));
    }
}

TEST_F(Wavesamples, DumpSizesFollowThePagePointers)
{
    selectWavesample(0);
    setPages(0, 0, 0x05, 0x05);
    EXPECT_EQ(requestDump().size(), 8u + 512u);
    setPages(0, 0, 0x00, 0xFF);
    const Message whole = requestDump();
    EXPECT_EQ(whole.size(), 8u + 512u * 256u);
    EXPECT_EQ(whole[4], 0x00);
    EXPECT_EQ(whole[5], 0x10) << "256 pages";
    EXPECT_EQ(decode(whole).data, mirage.half(0).memory);
}

TEST_F(Wavesamples, ReceivedDumpThatFitsIsStoredAndAcknowledged)
{
    selectWavesample(12); // U5
    setPages(1, 4, 0x80, 0x83);
    std::vector<std::uint8_t> samples(700);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::uint8_t>((i * 37) & 0xFF);
    const auto lowerBefore = mirage.half(0).memory;
    const auto outsideBefore = pagesOf(mirage, 1, 0x84, 0x84);

    for (bool withF7 : {false, true}) {
        Message m = editorDump(samples);
        if (withF7)
            m.push_back(0xF7);
        const auto replies = send(m);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0], (Message{0xF0, 0x0F, 0x01, 0x09, 0xF7}));
    }
    auto stored = pagesOf(mirage, 1, 0x80, 0x82);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(stored[i], samples[i] == 0 ? 1 : samples[i]) << "sample " << i;
    EXPECT_EQ(pagesOf(mirage, 1, 0x84, 0x84), outsideBefore) << "nothing beyond the announced pages";
    EXPECT_EQ(mirage.half(0).memory, lowerBefore) << "the other half is untouched";

    // and it comes back out unchanged
    const Decoded back = decode(requestDump());
    EXPECT_EQ(back.pages, 4);
    EXPECT_TRUE(std::equal(back.data.begin(), back.data.begin() + 700, stored.begin()));
}

TEST_F(Wavesamples, ReceivedDumpLargerThanThePagePointersIsRefused)
{
    selectWavesample(1);
    setPages(0, 1, 0x20, 0x21); // two pages
    const auto before = mirage.half(0).memory;
    // 513 bytes announce three pages
    const auto replies = send(editorDump(std::vector<std::uint8_t>(513, 0x55)));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], (Message{0xF0, 0x0F, 0x01, 0x0A, 0xF7}));
    EXPECT_EQ(mirage.half(0).memory, before);
    // 512 bytes fill two pages exactly
    EXPECT_EQ(single(send(editorDump(std::vector<std::uint8_t>(512, 0x55))))[3], 0x09);
    EXPECT_EQ(mirage.half(0).memory[0x20 * 256 + 511], 0x55);
}

TEST_F(Wavesamples, CorruptDumpIsRefusedAndNotStored)
{
    selectWavesample(0);
    const auto before = mirage.half(0).memory;
    Message badSum = editorDump(std::vector<std::uint8_t>(100, 0x42));
    badSum[badSum.size() - 2] ^= 0x01;
    Message badNibble = editorDump(std::vector<std::uint8_t>(100, 0x42));
    badNibble[20] = 0x1F;
    Message tooShort = {0xF0, 0x0F, 0x01, 0x06, 0x01};
    for (const Message& m : {badSum, badNibble, tooShort}) {
        const auto replies = send(m);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0][3], 0x0A);
    }
    EXPECT_EQ(mirage.half(0).memory, before);
}

// ---- sample rotate

class Rotate : public Wavesamples {
protected:
    void SetUp() override
    {
        selectWavesample(3);
        setPages(0, 3, 0x60, 0x61);
        before = pagesOf(mirage, 0, 0x60, 0x61);
    }
    std::vector<std::uint8_t> now() { return pagesOf(mirage, 0, 0x60, 0x61); }
    std::vector<std::uint8_t> before;
};

TEST_F(Rotate, LeftMovesDataTowardsTheStart)
{
    keys({0x01, 0x09});
    keys({key::Inc});
    keys({key::Inc});
    keys({key::Inc});
    keys({key::Enter});
    auto expected = before;
    std::rotate(expected.begin(), expected.begin() + 3, expected.end());
    EXPECT_EQ(now(), expected);
    EXPECT_EQ(decode(requestDump()).data, expected);
}

TEST_F(Rotate, RightMovesDataTowardsTheEndAndDecrementCounts)
{
    keys({0x02, 0x00});
    keys({key::Inc});
    keys({key::Inc});
    keys({key::Dec});
    keys({key::Enter});
    auto expected = before;
    std::rotate(expected.begin(), expected.end() - 1, expected.end());
    EXPECT_EQ(now(), expected);
}

TEST_F(Rotate, AbortCancelsAndRotateTouchesOnlyTheWavesample)
{
    const auto lowerBefore = mirage.half(0).memory;
    keys({0x01, 0x09});
    keys({key::Inc});
    keys({key::Abort});
    keys({key::Enter});
    EXPECT_EQ(mirage.half(0).memory, lowerBefore);

    keys({0x02, 0x00});
    for (int i = 0; i < 5; ++i)
        keys({key::Inc});
    keys({key::Enter});
    auto memory = mirage.half(0).memory;
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 0x60 * 256, lowerBefore.begin()));
    EXPECT_TRUE(std::equal(memory.begin() + 0x62 * 256, memory.end(), lowerBefore.begin() + 0x62 * 256));
    EXPECT_NE(now(), before);
}

TEST_F(Rotate, IncrementWhileRotatingLeavesParametersAlone)
{
    selectProgram(0, 0);
    selectWavesample(3);
    step(36, true); // cut-off is now the selected parameter
    const Message dump = lowerDump();
    keys({0x01, 0x09});
    keys({key::Inc});
    keys({key::Dec});
    EXPECT_EQ(lowerDump(), dump);
}

} // namespace
} // namespace corvane::emu::test
