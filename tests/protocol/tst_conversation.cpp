// One conversation with the instrument at a time: what starts inside a
// running sequence's wait is kept and runs after it, in order; what arrives
// is announced; a dump never received is asked for before it is edited.
#include "ProtocolHarness.h"

#include <chrono>
#include <functional>
#include <thread>

namespace corvane::test {
namespace {

class ConversationTest : public ProtocolTest {
protected:
    Message key(std::uint8_t k) { return keyCodeMessage({k}); }
    void send(std::uint8_t k) { proto.SendSysEx(key(k)); }
};

TEST_F(ConversationTest, WhatStartsInsideAWaitRunsAfterTheSequenceInOrder)
{
    seams.duringNextWait = [this] {
        // Another window's sequence, then a timer's lone message.
        EXPECT_FALSE(proto.Converse([this] {
            send(0x02);
            proto.Wait(10);
        }));
        send(0x03);
    };
    EXPECT_TRUE(proto.Converse([this] {
        send(0x01);
        proto.Wait(50);
        // Called from the running sequence itself: part of it.
        EXPECT_TRUE(proto.Converse([this] { send(0x04); }));
        send(0x05);
    }));
    EXPECT_EQ(seams.lines(), (std::vector<std::string>{"sent F0 0F 01 01 01 7F", "wait 50", "sent F0 0F 01 01 04 7F",
                                                       "sent F0 0F 01 01 05 7F", "sent F0 0F 01 01 02 7F", "wait 10",
                                                       "sent F0 0F 01 01 03 7F"}));
    EXPECT_FALSE(proto.Conversing());
}

TEST_F(ConversationTest, ASelectionStartedDuringALongSendWaitsUntilTheSendHasLeft)
{
    // A paced port: the long message takes its wire time through the wait.
    proto.setSysExOut([this](const std::uint8_t* d, int n) {
        seams.recordSent(d, static_cast<std::size_t>(std::min(n, 4)));
        if (n > 20)
            seams.wait(n * 32 / 100);
    });
    seams.duringNextWait = [this] { proto.SelectProgram(0, 1); };
    const Message dumpBytes(1000, 0x01);
    proto.Converse([&] { proto.SendLongSysEx(dumpBytes.data(), static_cast<int>(dumpBytes.size())); });
    const auto lines = seams.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "sent 01 01 01 01");
    EXPECT_EQ(lines[1], "wait 320");
    EXPECT_EQ(lines[2], "sent F0 0F 01 01");
    EXPECT_EQ(lines[3], "wait 50") << "the selection's wait starts after its message has left";
}

TEST_F(ConversationTest, WhatStartsWhileThePortsChangeRunsAfterwards)
{
    // Closing a JACK output drains it through the wait primitive.
    seams.duringNextWait = [this] { proto.SelectProgram(0, 1); };
    proto.ChangePorts([this] { seams.wait(20); });
    const auto lines = seams.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "wait 20");
    EXPECT_EQ(lines[1], "sent F0 0F 01 01 00 00 7F") << "the selection starts once the ports have changed";
    EXPECT_FALSE(proto.Conversing());
}

TEST_F(ConversationTest, AKeptSequenceCanBeCancelled)
{
    int ticket = 0;
    seams.duringNextWait = [&] { proto.Converse([this] { send(0x02); }, &ticket); };
    proto.Converse([this] { proto.Wait(10); proto.CancelKept(0); });
    EXPECT_EQ(seams.sent().size(), 1u) << "ticket 0 cancels nothing";

    seams.clear();
    seams.duringNextWait = [&] { proto.Converse([this] { send(0x02); }, &ticket); };
    proto.Converse([&] {
        proto.Wait(10);
        proto.CancelKept(ticket);
    });
    EXPECT_TRUE(seams.sent().empty());
}

TEST_F(ConversationTest, ArrivalsAreAnnouncedAndRemembered)
{
    std::vector<MirageProtocol::Arrival> heard;
    const int id = proto.AddArrivalListener([&](MirageProtocol::Arrival a) { heard.push_back(a); });
    using A = MirageProtocol::Arrival;
    receive(dump(cmd::ConfigDump, ConfigDumpSize));
    receive(dump(cmd::UpperDump, ProgramDumpSize));
    receive({0xF0, 0x0F, 0x01, cmd::StatusHalfWavesampleAlt, 0x13, 0xF7});
    receive(dump(cmd::LowerDump, 100, 0x00)); // wrong size: reported, not announced
    EXPECT_EQ(heard, (std::vector<A>{A::Config, A::UpperProgram, A::Status}));
    EXPECT_TRUE(proto.Received(A::UpperProgram));
    EXPECT_FALSE(proto.Received(A::LowerProgram));

    // A dump never received is asked for; one received is not.
    seams.clear();
    proto.EnsureProgram(1);
    proto.EnsureProgram(0);
    proto.EnsureConfig();
    // Nothing answers here: after the fixed wait the request is waited for
    // in polls up to its limit, then said to be unanswered.
    const auto unanswered = [&](const char* request, int fixedMs, int limitMs, const std::string& said) {
        const std::vector<std::string> lines = seams.lines();
        ASSERT_EQ(lines.size(), 3u + static_cast<std::size_t>((limitMs - fixedMs + 49) / 50)) << request;
        EXPECT_EQ(lines[0], std::string("sent ") + request);
        EXPECT_EQ(lines[1], "wait " + std::to_string(fixedMs));
        EXPECT_EQ(lines[2], "wait 50");
        EXPECT_EQ(lines.back().rfind("box \"The Mirage did not answer " + said, 0), 0u) << lines.back();
    };
    unanswered("F0 0F 01 03 7F", 500, 3000, "the lower program dump request within 3 seconds.");
    proto.ForgetReceived();
    seams.clear();
    proto.EnsureConfig();
    unanswered("F0 0F 01 00 7F", 60, 2000, "the configuration dump request within 2 seconds.");

    proto.RemoveArrivalListener(id);
    receive(dump(cmd::ConfigDump, ConfigDumpSize));
    EXPECT_EQ(heard.size(), 3u);
}

TEST_F(ConversationTest, TheNibbleWriterRefusesWhatTwoNibblesCannotHold)
{
    for (const int value : {-1, 256, 1000}) {
        proto.SetConfigParam(6, 0x42);
        EXPECT_FALSE(proto.SetConfigParam(6, value)) << value;
        EXPECT_EQ(proto.GetConfigParam(6), 0x42) << value;
    }
    EXPECT_TRUE(proto.SetConfigParam(6, 255));
    EXPECT_EQ(proto.ConfigDump[6], 0x0F);
    EXPECT_EQ(proto.ConfigDump[7], 0x0F);
}

// The program's clock (the one a sound job's elapsed time is read from) is
// the real one: it runs on with real time and never goes back.
TEST(ProgramClock, RunsOnWithRealTime)
{
    RecordingSeams seams; // its own clock is virtual; the base's is the program's
    const long long before = seams.Seams::clockMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const long long after = seams.Seams::clockMs();
    EXPECT_GE(after - before, 25);
    EXPECT_LT(after - before, 5000);
}

} // namespace
} // namespace corvane::test
