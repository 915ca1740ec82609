// The protocol through the real port components against the in-process
// emulator: what the selection operations and the dispatcher rely on from
// the instrument arrives through TMidiIn's hand-over during the fixed waits.
#include "Midiin.h"
#include "Midiout.h"
#include "MirageProtocol.h"
#include "RecordingSeams.h"
#include "SendDump.h"
#include "VirtualMirage.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

class LinkTest : public ::testing::Test {
protected:
    LinkTest() : proto(seams)
    {
        installSeams(&seams);
        registerVirtualDevice(&mirage);
        out = std::make_unique<TMidiOut>();
        in = std::make_unique<TMidiIn>();
        in->SetUseShort(false);
        in->OnSysEx = [this](TMidiIn*, const std::uint8_t* d, int n) { proto.MidiIn1SysEx(d, n); };
        proto.setSysExOut([this](const std::uint8_t* d, int n) {
            seams.recordSent(d, static_cast<std::size_t>(n));
            out->SysEx(d, n);
        });
        out->SetUsing(true);
        in->SetUsing(true);
    }
    ~LinkTest() override
    {
        in.reset();
        out.reset();
        unregisterVirtualDevice(&mirage);
        installSeams(nullptr);
    }

    RecordingSeams seams;
    VirtualMirage mirage;
    MirageProtocol proto;
    std::unique_ptr<TMidiOut> out;
    std::unique_ptr<TMidiIn> in;
};

TEST_F(LinkTest, SelectProgramFollowsTheInstrumentsHalf)
{
    ASSERT_EQ(in->OpenResult(), 0u);
    ASSERT_EQ(out->OpenResult(), 0u);

    // The instrument is on the lower half; the program believes upper.
    proto.CurrentHalf = 1;
    proto.SelectProgram(1, 2);
    // The status reply to 00 00 corrects the belief during the first wait,
    // so the half switch is sent; its reply then says upper.
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{
                                 "sent F0 0F 01 01 00 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 03 7F",
                             }));
    EXPECT_EQ(proto.CurrentHalf, 1);
    EXPECT_EQ(mirage.emulator().currentHalf(), 1);
    EXPECT_EQ(mirage.emulator().currentProgram(1), 2);
    EXPECT_EQ(proto.CurrentUpperProgram, 2);

    // Already on the upper half: no switch.
    seams.clear();
    proto.SelectProgram(1, 0);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{
                                 "sent F0 0F 01 01 00 00 7F",
                                 "wait 50",
                                 "sent F0 0F 01 01 01 7F",
                             }));
    EXPECT_EQ(mirage.emulator().currentProgram(1), 0);
}

TEST_F(LinkTest, QueryCurrentWavesampleReadsTheStatusReply)
{
    proto.SelectWavesample(13);
    EXPECT_EQ(mirage.emulator().currentHalf(), 1);
    EXPECT_EQ(mirage.emulator().currentWavesample(), 5);

    // The instrument moves on its own; the query finds out.
    mirage.emulator().setCurrentHalf(0);
    mirage.emulator().setCurrentWavesample(6);
    seams.clear();
    EXPECT_EQ(proto.QueryCurrentWavesample(), 6);
    EXPECT_EQ(proto.CurrentHalf, 0);
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"sent F0 0F 01 01 0C 02 06 0D 7F", "wait 100"}));
}

TEST_F(LinkTest, DumpRequestsAreAnsweredIntoTheirBuffers)
{
    proto.SendSysEx(requestMessage(cmd::ConfigRequest));
    proto.SendSysEx(requestMessage(cmd::LowerRequest));
    proto.SendSysEx(requestMessage(cmd::UpperRequest));
    seams.wait(100);
    EXPECT_EQ(proto.ConfigDump[0], 0xF0);
    EXPECT_EQ(proto.ConfigDump[3], cmd::ConfigDump);
    EXPECT_EQ(proto.ConfigDump[62], 0xF7);
    EXPECT_EQ(proto.LowerProgramDump[3], cmd::LowerDump);
    EXPECT_EQ(proto.LowerProgramDump[1254], 0xF7);
    EXPECT_EQ(proto.UpperProgramDump[3], cmd::UpperDump);
    EXPECT_TRUE(seams.boxes().empty()) << "every dump arrived at its own size";

    // One step on the instrument and in the copy agree after a refresh.
    const int pos = programFieldPos(proto.CurrentLowerProgram, pgf::FilterCutoff);
    const int before = proto.GetLowerParam(pos);
    proto.SendParameterStep(36, before < 198);
    const int expected = before < 198 ? before + 2 : before - 2;
    proto.SendSysEx(requestMessage(cmd::LowerRequest));
    seams.wait(500);
    EXPECT_EQ(proto.GetLowerParam(pos), expected);

    // The wavesample request: the dump is decoded and flagged.
    proto.WavesampleReady = false;
    proto.SendSysEx(wavesampleRequestMessage());
    seams.wait(100);
    EXPECT_TRUE(proto.WavesampleReady);
    EXPECT_GT(proto.WavesampleBuffer[0], 0);
}

// Wavesamples of up to 256 pages both ways: the instrument's 131,080-byte
// dump reaches the dispatcher in the input's two pieces and is joined; a
// dump sent from WAV data is stored when its pages fit the pointers.
TEST_F(LinkTest, WavesamplesOfUpTo256PagesGoBothWays)
{
    out->SetPacing(0);
    proto.SelectWavesample(0);
    auto& mirror = mirage.emulator().half(0);
    auto setPages = [&](int start, int end) {
        mirror.wavesamples[0].setField(wsf::StartPage, start);
        mirror.wavesamples[0].setField(wsf::EndPage, end);
    };
    auto request = [&] {
        proto.WavesampleReady = false;
        proto.SendSysEx(wavesampleRequestMessage());
        seams.wait(100);
        return proto.WavesampleReady;
    };

    setPages(0x00, 0xFF);
    ASSERT_TRUE(request());
    EXPECT_EQ(proto.LastWavesample().pages, 256);
    EXPECT_TRUE(proto.LastWavesample().complete);
    EXPECT_TRUE(std::equal(mirror.memory.begin(), mirror.memory.end(), proto.WavesampleBuffer.begin() + 1));

    struct Send {
        int start, end;
        std::size_t size;
        bool accepted;
    };
    for (const Send& c : {Send{0x00, 0xFF, 65535, true}, Send{0x00, 0xFE, 65535, false},
                          Send{0x40, 0x41, 512, true}, Send{0x40, 0x41, 513, false}}) {
        setPages(c.start, c.end);
        std::vector<std::uint8_t> samples(c.size);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::uint8_t>(i * 5 + c.size);
        const auto before = mirror.memory;
        seams.clear();
        const auto dump = wav::buildSendDump(samples);
        out->SysEx(dump->message.data(), static_cast<int>(dump->message.size()));
        seams.wait(100);
        const auto boxes = seams.boxes();
        ASSERT_EQ(boxes.size(), 1u) << c.size;
        EXPECT_EQ(boxes[0].text, c.accepted ? "Wavesample Receive - Ack = good" : "Wavesample Receive - Nck = bad");
        if (!c.accepted) {
            EXPECT_EQ(mirror.memory, before) << c.size;
            continue;
        }
        ASSERT_TRUE(request());
        ASSERT_EQ(proto.LastWavesample().sampleBytes, (c.size + 255) / 256 * 256);
        for (std::size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(proto.WavesampleBuffer[1 + i], samples[i] == 0 ? 1 : samples[i]) << c.size << " " << i;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
