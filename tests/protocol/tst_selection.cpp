// Selection state, the send operation and the nibble accessors.
#include "ProtocolHarness.h"

namespace corvane::test {
namespace {

TEST_F(ProtocolTest, SelectProgramUpperFromUpperHalf)
{
    proto.CurrentHalf = 1;
    proto.SelectProgram(1, 2);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{
                                 "sent F0 0F 01 01 00 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 03 7F",
                             }));
    EXPECT_EQ(proto.CurrentUpperProgram, 2);
    EXPECT_EQ(proto.StatusText[2], "Current Upper Program: 3");
    EXPECT_EQ(proto.StatusText[1], "Current Lower Program: 1");
    EXPECT_EQ(proto.StatusText[0], "Current Kbd Half: Upper");
    EXPECT_EQ(proto.CurrentHalf, 1) << "the half follows the instrument, not the call";
}

TEST_F(ProtocolTest, SelectProgramSwitchesHalfWhenTheInstrumentIsOnTheOther)
{
    proto.CurrentHalf = 1;
    proto.SelectProgram(0, 3);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{
                                 "sent F0 0F 01 01 00 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 04 7F",
                             }));
    EXPECT_EQ(proto.CurrentLowerProgram, 3);
    EXPECT_EQ(proto.StatusText[0], "Current Kbd Half: Lower");
    EXPECT_EQ(proto.StatusText[1], "Current Lower Program: 4");
}

TEST_F(ProtocolTest, SelectWavesampleSendsTheHalfKeyAndDigit)
{
    proto.SelectWavesample(9);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"sent F0 0F 01 01 14 02 7F", "wait 30"}));
    EXPECT_EQ(proto.CurrentWavesample, 1);
    EXPECT_EQ(proto.CurrentHalf, 1);

    seams.clear();
    proto.SelectWavesample(0);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"sent F0 0F 01 01 15 01 7F", "wait 30"}));
    EXPECT_EQ(proto.CurrentHalf, 0);

    seams.clear();
    proto.SelectWavesample(16);
    proto.SelectWavesample(-1);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"wait 30", "wait 30"}));
    EXPECT_EQ(proto.CurrentWavesample, 0);
    EXPECT_EQ(proto.StatusText[0], "Current Kbd Half: XXXXX") << "the status bar is not refreshed";
}

TEST_F(ProtocolTest, QueryCurrentWavesampleAsksAndWaits)
{
    proto.CurrentWavesample = 4;
    EXPECT_EQ(proto.QueryCurrentWavesample(), 4) << "no reply keeps the previous value";
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
}

TEST_F(ProtocolTest, CurrentProgramAndHalfUpdateTheStatusTexts)
{
    proto.SetCurrentProgram(0, 2);
    EXPECT_EQ(proto.GetCurrentProgram(0), 2);
    EXPECT_EQ(proto.StatusText[1], "Current Lower Program: 3");
    proto.SetCurrentProgram(7, 1); // any non-zero half is upper
    EXPECT_EQ(proto.GetCurrentProgram(1), 1);
    proto.SetCurrentHalf(1);
    EXPECT_EQ(proto.GetCurrentHalf(), 1);
    EXPECT_EQ(proto.StatusText[0], "Current Kbd Half: Upper");
    proto.ShowCurrentHalf(0);
    EXPECT_EQ(proto.StatusText[0], "Current Kbd Half: Lower");
}

TEST_F(ProtocolTest, SendSysExPassesUpToTwentyBytesUnchanged)
{
    const Message step = parameterStepMessage(36, true);
    EXPECT_EQ(hex(step), "F0 0F 01 01 0C 03 06 0D 0E 7F");
    EXPECT_EQ(hex(parameterStepMessage(21, false)), "F0 0F 01 01 0C 02 01 0D 0F 7F");
    proto.SendSysEx(step);
    Message twenty(20, 0x01);
    proto.SendSysEx(twenty);
    Message tooLong(21, 0x01);
    proto.SendSysEx(tooLong);
    const auto sent = seams.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], step);
    EXPECT_EQ(sent[1], twenty);
    EXPECT_EQ(hex(wavesampleRequestMessage()), "F0 0F 01 04");
    EXPECT_EQ(hex(requestMessage(0x13)), "F0 0F 01 13 7F");
}

TEST(NibbleCodec, SetAndGetCoverTheByteRange)
{
    std::uint8_t buf[8] = {};
    setNibblePair(buf, sizeof buf, 2, 255);
    EXPECT_EQ(buf[2], 15);
    EXPECT_EQ(buf[3], 15);
    EXPECT_EQ(getNibblePair(buf, sizeof buf, 2), 255);
    setNibblePair(buf, sizeof buf, 2, 16);
    EXPECT_EQ(buf[2], 0);
    EXPECT_EQ(buf[3], 1);
    setNibblePair(buf, sizeof buf, 2, 15);
    EXPECT_EQ(buf[2], 15);
    EXPECT_EQ(buf[3], 0);
    // Outside the buffer: reads 0, writes nothing.
    setNibblePair(buf, sizeof buf, 7, 255);
    setNibblePair(buf, sizeof buf, -1, 255);
    EXPECT_EQ(buf[7], 0);
    EXPECT_EQ(getNibblePair(buf, sizeof buf, 7), 0);
}

TEST_F(ProtocolTest, AccessorsWorkOnTheirOwnBuffersAndStartAtZero)
{
    for (int pos : {6, 28, 58})
        EXPECT_EQ(proto.GetConfigParam(pos), 0);
    for (int pos : {22, 978, 1252})
        EXPECT_EQ(proto.GetLowerParam(pos) + proto.GetUpperParam(pos), 0);
    proto.SetLowerParam(programFieldPos(3, pgf::AmpModulation + 8), 200);
    EXPECT_EQ(proto.GetLowerParam(1244), 200);
    EXPECT_EQ(proto.LowerProgramDump[1244], 8);
    EXPECT_EQ(proto.LowerProgramDump[1245], 12);
    EXPECT_EQ(proto.GetUpperParam(1244), 0);
    proto.SetParam(1, wavesampleFieldPos(7, wsf::LoopEndFine), 77);
    EXPECT_EQ(proto.GetUpperParam(22 + 48 * 7 + 22), 77);
    proto.SetConfigParam(cfg::MidiChannel, 9);
    EXPECT_EQ(proto.ConfigDump[28], 9);
}

} // namespace
} // namespace corvane::test
