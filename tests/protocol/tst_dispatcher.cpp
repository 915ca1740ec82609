// The receive dispatcher: which messages replace which buffer, the reports,
// the status replies and the wavesample decode.
#include "ProtocolHarness.h"

#include <numeric>

namespace corvane::test {
namespace {

using Kind = TraceEvent::Kind;

TEST_F(ProtocolTest, DumpsOfTheRightSizeReplaceTheirBufferOnly)
{
    Message config = dump(cmd::ConfigDump, 63, 0x03);
    receive(config);
    EXPECT_TRUE(std::equal(config.begin(), config.end(), proto.ConfigDump));
    EXPECT_EQ(proto.GetLowerParam(36), 0);
    EXPECT_EQ(proto.GetUpperParam(36), 0);

    Message lower = dump(cmd::LowerDump, 1255, 0x01);
    lower[36] = 0x0A;
    lower[37] = 0x03;
    receive(lower);
    EXPECT_EQ(proto.GetLowerParam(36), 58);
    EXPECT_EQ(proto.GetUpperParam(36), 0) << "a lower dump must leave the upper buffer alone";

    Message upper = dump(cmd::UpperDump, 1255, 0x02);
    receive(upper);
    EXPECT_EQ(proto.GetUpperParam(36), 0x22);
    EXPECT_EQ(proto.GetLowerParam(36), 58) << "an upper dump must leave the lower buffer alone";
    // The trailing five bytes of the 1260-byte buffers stay zero.
    for (std::size_t i = 1255; i < ProgramBufferSize; ++i)
        EXPECT_EQ(proto.UpperProgramDump[i], 0);
    EXPECT_TRUE(seams.boxes().empty());
}

TEST_F(ProtocolTest, WrongSizedDumpsAreDroppedAndOnlyTheLowerOneIsReported)
{
    receive(dump(cmd::ConfigDump, 62));
    receive(dump(cmd::ConfigDump, 64));
    receive(dump(cmd::UpperDump, 1254));
    EXPECT_TRUE(seams.boxes().empty());
    EXPECT_EQ(proto.GetConfigParam(6), 0);
    EXPECT_EQ(proto.GetUpperParam(966), 0);

    receive(dump(cmd::LowerDump, 1254));
    receive(dump(cmd::LowerDump, 63)); // the size of a configuration dump
    const auto boxes = seams.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& b : boxes) {
        EXPECT_EQ(b.text, "Error - Not received Program Parameter dump correctly - please try again.");
        EXPECT_EQ(b.caption, "MIDI Program Data Request");
    }
    EXPECT_EQ(proto.GetLowerParam(966), 0);
    EXPECT_EQ(proto.GetConfigParam(6), 0) << "a 63-byte lower dump is stored nowhere";
}

TEST_F(ProtocolTest, OtherManufacturersAndDevicesAreIgnored)
{
    Message m = dump(cmd::LowerDump, 1254);
    m[2] = 0x02;
    receive(m);
    m[2] = 0x01;
    m[1] = 0x0E;
    receive(m);
    Message status{0xF0, 0x0F, 0x02, 0x08, 0x13, 0xF7};
    receive(status);
    EXPECT_TRUE(seams.boxes().empty());
    EXPECT_EQ(proto.CurrentHalf, 0);
}

TEST_F(ProtocolTest, StatusRepliesSetHalfAndWavesampleFromTheirNibbles)
{
    receive({0xF0, 0x0F, 0x01, 0x08, 0x13, 0xF7});
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(proto.CurrentWavesample, 3);

    proto.CurrentHalf = 0;
    proto.CurrentWavesample = 6;
    receive({0xF0, 0x0F, 0x01, 0x07, 0x13, 0xF7});
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(proto.CurrentWavesample, 6) << "0x07 gives the half only";

    receive({0xF0, 0x0F, 0x01, 0x0E, 0x05, 0xF7});
    EXPECT_EQ(proto.CurrentHalf, 0);
    EXPECT_EQ(proto.CurrentWavesample, 5);
    receive({0xF0, 0x0F, 0x01, 0x0D, 0x12, 0xF7});
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(proto.CurrentWavesample, 5);
}

TEST_F(ProtocolTest, StatusRepliesCountOnlyUpToNineBytes)
{
    Message nine{0xF0, 0x0F, 0x01, 0x08, 0x14, 0, 0, 0, 0xF7};
    Message ten{0xF0, 0x0F, 0x01, 0x08, 0x02, 0, 0, 0, 0, 0xF7};
    receive(ten);
    EXPECT_EQ(proto.CurrentHalf, 0);
    EXPECT_EQ(proto.CurrentWavesample, 0);
    receive(nine);
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(proto.CurrentWavesample, 4);
    // Cut off before the data byte: nothing to read, nothing changes.
    receive({0xF0, 0x0F, 0x01, 0x08});
    EXPECT_EQ(proto.CurrentWavesample, 4);
}

TEST_F(ProtocolTest, OnePageWavesampleDumpDecodesWithItsChecksum)
{
    Message m{0xF0, 0x0F, 0x01, 0x06, 0x01, 0x00};
    for (int s = 0; s < 256; ++s) {
        m.push_back(static_cast<std::uint8_t>(s & 0x0F));
        m.push_back(static_cast<std::uint8_t>((255 - s) >> 4));
    }
    m.push_back(0x5A); // checksum
    m.push_back(0xF7);
    ASSERT_EQ(m.size(), 520u);
    proto.WavesampleReady = false;
    receive(m);
    EXPECT_TRUE(proto.WavesampleReady);
    EXPECT_EQ(proto.WavesampleBuffer[0], 1);
    for (int s = 0; s < 256; ++s)
        ASSERT_EQ(proto.WavesampleBuffer[1 + s], (s & 0x0F) + 16 * ((255 - s) >> 4)) << "sample " << s;
    EXPECT_EQ(proto.WavesampleBuffer[257], 0x5A);
    EXPECT_EQ(proto.LastWavesample().sampleBytes, 256u);
    EXPECT_TRUE(proto.LastWavesample().complete);
    EXPECT_TRUE(seams.boxes().empty());
}

// F0 0F 01 06, page count, `pages` pages of sample bytes as nibble pairs,
// checksum, F7: 8 + 512 * pages bytes.
Message wavesampleDump(int pages)
{
    Message m{0xF0, 0x0F, 0x01, 0x06, static_cast<std::uint8_t>(pages % 16), static_cast<std::uint8_t>(pages / 16)};
    for (int i = 0; i < 256 * pages; ++i) {
        const auto sample = static_cast<std::uint8_t>(i * 13 + i / 256);
        m.push_back(sample & 0x0F);
        m.push_back(sample >> 4);
    }
    m.push_back(0x3C);
    m.push_back(0xF7);
    return m;
}

TEST_F(ProtocolTest, LongWavesampleDumpsAreJoinedFromTheirPieces)
{
    for (const int pages : {129, 256}) {
        const Message m = wavesampleDump(pages);
        receiveInPieces(m, 1);
        EXPECT_FALSE(proto.WavesampleReady) << pages << " pages: the rest is still to come";
        EXPECT_EQ(proto.LastWavesample().sampleBytes, 32769u);
        receive(Message(m.begin() + ReceiveBufferSize, m.end()));
        ASSERT_TRUE(proto.WavesampleReady) << pages;
        const auto& arrival = proto.LastWavesample();
        EXPECT_EQ(arrival.pages, pages);
        EXPECT_EQ(arrival.sampleBytes, 256u * pages);
        EXPECT_TRUE(arrival.complete);
        for (int i = 0; i < 256 * pages; ++i)
            ASSERT_EQ(proto.WavesampleBuffer[1 + i], static_cast<std::uint8_t>(i * 13 + i / 256)) << pages << " " << i;
        EXPECT_EQ(proto.WavesampleBuffer[1 + 256 * pages], 0x3C) << "the checksum behind the last page";
    }
    EXPECT_TRUE(seams.boxes().empty());
}

// A dump that ends short, one whose rest gives way to another message, and
// one longer than the buffer: each says what arrived and stays in bounds.
TEST_F(ProtocolTest, IncompleteAndOverlongWavesampleDumpsTellWhatArrived)
{
    Message shortDump = wavesampleDump(2);
    shortDump[4] = 4; // four pages announced, two sent
    receive(shortDump);
    EXPECT_TRUE(proto.WavesampleReady);
    EXPECT_EQ(proto.LastWavesample().pages, 4);
    EXPECT_EQ(proto.LastWavesample().sampleBytes, 512u);
    EXPECT_FALSE(proto.LastWavesample().complete);

    receiveInPieces(wavesampleDump(200), 1);
    EXPECT_FALSE(proto.WavesampleReady);
    receive({0xF0, 0x0F, 0x01, 0x08, 0x13, 0xF7});
    EXPECT_TRUE(proto.WavesampleReady);
    EXPECT_EQ(proto.LastWavesample().sampleBytes, 32768u) << "the last pair counts as checksum and closing byte";
    EXPECT_FALSE(proto.LastWavesample().complete);
    EXPECT_EQ(proto.CurrentWavesample, 3) << "the interrupting message is dispatched";
    EXPECT_TRUE(seams.boxes().empty());

    Message overlong = dump(cmd::WavesampleDump, 2 * ReceiveBufferSize + 100, 0x0F); // 255 pages
    receiveInPieces(overlong);
    const auto boxes = seams.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error - Buffer currently set for 131080 bytes");
    EXPECT_EQ(boxes[0].caption, "MIDI Receive Buffer Overflow");
    EXPECT_EQ(proto.LastWavesample().sampleBytes, 256u * 255);
    EXPECT_EQ(proto.WavesampleBuffer[1 + 256 * 255], overlong[overlong.size() - 2]);

    // A piece without F0 and no dump to continue is ignored.
    proto.WavesampleReady = false;
    receive(Message(100, 0x05));
    EXPECT_FALSE(proto.WavesampleReady);
}

// A frame of the right size whose "nibbles" run up to 7F is malformed: it
// is refused as a wrong-sized dump is, and every copy stays as it was.
TEST_F(ProtocolTest, DumpsWhoseDataAreNotAllNibblesAreRefusedAndTheCopiesKept)
{
    const Message config = dump(cmd::ConfigDump, 63, 0x03);
    const Message lower = dump(cmd::LowerDump, 1255, 0x01);
    const Message upper = dump(cmd::UpperDump, 1255, 0x02);
    for (const Message& m : {config, lower, upper, wavesampleDump(2)})
        receive(m);
    const auto samples = proto.WavesampleBuffer;
    for (Message m : {config, lower, upper}) {
        m[6] = 0x0D, m[7] = 0x16; // read as 365
        m[8] = 0x7E, m[9] = 0x79; // read as 2062
        receive(m);
    }
    EXPECT_TRUE(std::equal(config.begin(), config.end(), proto.ConfigDump));
    EXPECT_TRUE(std::equal(lower.begin(), lower.end(), proto.LowerProgramDump));
    EXPECT_TRUE(std::equal(upper.begin(), upper.end(), proto.UpperProgramDump));
    ASSERT_EQ(seams.boxes().size(), 1u) << "the lower one alone reports, as for a wrong size";
    EXPECT_EQ(seams.boxes()[0].text, text::NotReceivedProgram);

    // A wavesample dump is malformed by one such byte anywhere before its
    // checksum, in whichever piece it comes. While its pieces arrive, what
    // a time-out would find is the old dump once the byte is known to be
    // data, else only the pairs in front of it.
    const struct {
        int pages;
        std::size_t at;
        std::size_t midway; // sample bytes shown after the first piece
    } cases[] = {{2, 5, 0},          {2, 300, 0},
                 {2, 8 + 1024 - 3, 0}, {200, 1000, 512},
                 {200, ReceiveBufferSize - 1, 32769}, {200, 70000, 32769}};
    for (const auto& c : cases) {
        Message m = wavesampleDump(c.pages);
        m[c.at] = 0x40;
        receiveInPieces(m, 1);
        if (c.pages > 128) {
            EXPECT_FALSE(proto.WavesampleReady) << c.at << ": the rest is still to come";
            EXPECT_EQ(proto.LastWavesample().sampleBytes, c.midway) << c.at;
            receive(Message(m.begin() + ReceiveBufferSize, m.end()));
        }
        EXPECT_TRUE(proto.WavesampleReady) << c.at << ": as before the dump";
        EXPECT_EQ(proto.LastWavesample().pages, 2) << c.at;
        EXPECT_TRUE(proto.LastWavesample().complete) << c.at;
        EXPECT_TRUE(proto.WavesampleBuffer == samples) << c.at;
    }
    EXPECT_EQ(seams.boxes().size(), 1u);
}

// Any data byte above a nibble, first to last, makes a dump malformed; the
// head and the closing byte are not data.
TEST_F(ProtocolTest, NibbleDataCountsEveryDataByteAndNoOther)
{
    const std::size_t sizes[] = {ConfigDumpSize, ProgramDumpSize, 12, 13, 5};
    for (const std::size_t size : sizes) {
        const Message clean = dump(cmd::LowerDump, size);
        EXPECT_TRUE(nibbleData(clean.data(), clean.size())) << size;
        for (std::size_t at = 4; at + 1 < size; ++at) {
            Message m = clean;
            m[at] = 0x10;
            EXPECT_FALSE(nibbleData(m.data(), m.size())) << size << " at " << at;
        }
    }
}

TEST_F(ProtocolTest, AcknowledgementsAreReportedWithTheirTexts)
{
    receive({0xF0, 0x0F, 0x01, 0x09, 0xF7});
    receive({0xF0, 0x0F, 0x01, 0x0A});
    const auto boxes = seams.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Wavesample Receive - Ack = good");
    EXPECT_EQ(boxes[0].caption, "MIDI Wavesample Receive");
    EXPECT_EQ(boxes[1].text, "Wavesample Receive - Nck = bad");
    EXPECT_EQ(boxes[1].caption,
              "MIDI Wavesample Receive. File larger then that specified by the wavesample memory pointers.");
}

// A message arriving while a report is open waits until it is closed, so a
// report never sees a buffer the next message has already replaced.
class ReentrantSeams : public RecordingSeams {
public:
    std::function<void()> onBox;
    BoxAnswer messageBox(const std::string& t, const std::string& c, BoxButtons b) override
    {
        auto a = RecordingSeams::messageBox(t, c, b);
        if (onBox) {
            auto f = std::move(onBox);
            onBox = nullptr;
            f();
        }
        return a;
    }
};

TEST(ProtocolReentrancy, MessagesDuringAReportAreDispatchedAfterIt)
{
    ReentrantSeams seams;
    MirageProtocol proto(seams);
    Message status{0xF0, 0x0F, 0x01, 0x08, 0x13, 0xF7};
    seams.onBox = [&] {
        proto.MidiIn1SysEx(status.data(), static_cast<int>(status.size()));
        EXPECT_EQ(proto.CurrentWavesample, 0) << "dispatched inside the open report";
    };
    Message ack{0xF0, 0x0F, 0x01, 0x09, 0xF7};
    proto.MidiIn1SysEx(ack.data(), static_cast<int>(ack.size()));
    EXPECT_EQ(proto.CurrentWavesample, 3);
    EXPECT_EQ(proto.CurrentHalf, 1);
}

} // namespace
} // namespace corvane::test

namespace corvane::test {
namespace {

Message wire(Message m)
{
    m.push_back(sysex::End);
    return m;
}

// Through a MIDI thru loop the program's own messages come back: requests
// and key codes, and a sent wavesample dump, whole or in pieces. None is
// taken for an answer; the echo is said once.
TEST_F(ProtocolTest, OwnMessagesComingBackAreNotTakenForAnswers)
{
    for (const int pages : {2, 200}) {
        Message sent = makeWavesampleDump(pages, std::vector<std::uint8_t>(256 * static_cast<std::size_t>(pages), 0x44),
                                          sysex::Close);
        proto.SendLongSysEx(sent.data(), static_cast<int>(sent.size()));
        sent.push_back(sysex::End); // as the port sent it
        receive(wire(requestMessage(cmd::ConfigRequest)));
        receive(wire(parameterStepMessage(21, true)));
        receiveInPieces(sent);
        EXPECT_FALSE(proto.WavesampleArrived()) << pages;
        EXPECT_EQ(proto.LastWavesample().serial, 0) << pages;
    }
    EXPECT_TRUE(proto.EchoNoticed());
    ASSERT_EQ(seams.boxes().size(), 1u);
    EXPECT_EQ(seams.boxes()[0].caption, "MIDI Echo");

    // The instrument's own dump still is one.
    receive(makeWavesampleDump(1, std::vector<std::uint8_t>(256, 0x44)));
    EXPECT_TRUE(proto.WavesampleArrived());
}

} // namespace
} // namespace corvane::test
