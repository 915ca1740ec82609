// The built-in emulator as an in-process MIDI device: messages sent to it
// reach the emulator, and its replies go out to the inputs listening to it.
#include "MidiSystem.h"
#include "VirtualMirage.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace corvane {
namespace {

class VirtualMirageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerVirtualDevice(&device);
        ASSERT_TRUE(midisys::addListener(&device, this, [this](const std::uint8_t* d, std::size_t n) {
            std::lock_guard<std::mutex> lock(mutex);
            received.emplace_back(d, d + n);
        }));
    }
    void TearDown() override
    {
        midisys::removeListener(this);
        unregisterVirtualDevice(&device);
    }
    void send(const Message& m) { device.receive(m.data(), m.size()); }

    VirtualMirage device;
    std::mutex mutex;
    std::vector<Message> received;
};

TEST_F(VirtualMirageTest, IsListedUnderItsName)
{
    EXPECT_EQ(device.name(), "Mirage (built-in emulator)");
    const auto devices = virtualDevices();
    EXPECT_NE(std::find(devices.begin(), devices.end(), &device), devices.end());
}

TEST_F(VirtualMirageTest, RepliesAreTransmittedInOrder)
{
    Message request = requestMessage(cmd::ConfigRequest);
    request.push_back(sysex::End);
    send(request);
    send(requestMessage(cmd::UpperRequest));
    send(keyCodeMessage({key::Param, 0x02, 0x06, key::Value}));
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].size(), 63u);
    EXPECT_EQ(received[1].size(), 1255u);
    EXPECT_EQ(received[1][3], cmd::UpperDump);
    EXPECT_EQ(received[2][3], cmd::StatusHalfWavesampleAlt);
}

TEST_F(VirtualMirageTest, StepsReachTheEmulatorAndNothingComesBack)
{
    const int before = device.emulator().config().field(6);
    send(parameterStepMessage(21, true));
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(device.emulator().config().field(6), before + 1);
}

TEST_F(VirtualMirageTest, SendersOnSeveralThreadsAreSerialised)
{
    auto hammer = [this] {
        for (int i = 0; i < 200; ++i) {
            send(parameterStepMessage(31, true));
            send(parameterStepMessage(31, false));
        }
    };
    std::thread a(hammer), b(hammer);
    a.join();
    b.join();
    auto lock = device.lock();
    EXPECT_EQ(device.emulator().counters().steps + device.emulator().counters().refusedSteps, 800);
}

} // namespace
} // namespace corvane
