// The port components against in-process devices: device tables, port
// numbers, opening and closing, what SysEx puts on the wire, and how received
// messages are handed over and split into the receive buffers.
#include "Midiin.h"
#include "Midiout.h"
#include "RecordingSeams.h"
#include "VirtualDevice.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>

using namespace corvane;

namespace {

class RecordingDevice : public VirtualMidiDevice {
public:
    using VirtualMidiDevice::VirtualMidiDevice;
    std::vector<std::vector<std::uint8_t>> received;
    void receive(const std::uint8_t* data, std::size_t len) override { received.emplace_back(data, data + len); }
};

struct Event {
    std::vector<std::uint8_t> bytes;
    const std::uint8_t* buffer;
};

class PortsTest : public ::testing::Test {
protected:
    void SetUp() override { installSeams(&seams); }
    void TearDown() override
    {
        for (auto& dev : devices)
            unregisterVirtualDevice(dev.get());
        installSeams(nullptr);
    }

    RecordingDevice* addDevice(const std::string& name)
    {
        devices.push_back(std::make_unique<RecordingDevice>(name));
        registerVirtualDevice(devices.back().get());
        return devices.back().get();
    }

    void addDevices(int n)
    {
        for (int i = 0; i < n; ++i)
            addDevice("dev " + std::to_string(i));
    }

    void record(TMidiIn& in)
    {
        in.OnSysEx = [this](TMidiIn*, const std::uint8_t* data, int size) {
            events.push_back({std::vector<std::uint8_t>(data, data + size), data});
        };
    }

    static void deliverPending()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    test::RecordingSeams seams;
    std::vector<std::unique_ptr<RecordingDevice>> devices;
    std::vector<Event> events;
};

std::vector<std::uint8_t> sysexOf(std::size_t size)
{
    std::vector<std::uint8_t> m(size);
    m.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < size; ++i)
        m[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0x7F);
    m.back() = 0xF7;
    return m;
}

} // namespace

TEST_F(PortsTest, DeviceTablesHoldEveryRegisteredDeviceInOrder)
{
    // More than a desktop's eight or twelve: every one is listed.
    addDevices(20);
    TMidiOut out;
    TMidiIn in;
    EXPECT_EQ(out.NumDevs(), 20);
    EXPECT_EQ(in.NumDevs(), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(out.DeviceName(i), "dev " + std::to_string(i));
        EXPECT_EQ(in.DeviceName(i), "dev " + std::to_string(i));
    }
    EXPECT_EQ(out.DeviceName(20), "");
    EXPECT_EQ(in.DeviceName(-1), "");

    out.SetPort(19);
    EXPECT_EQ(out.Port(), 19);
    out.SetPort(20); // beyond the table: ignored
    EXPECT_EQ(out.Port(), 19);
}

TEST_F(PortsTest, TableIsTakenAtConstruction)
{
    addDevice("first");
    TMidiOut out;
    const int before = out.NumDevs();
    addDevice("later");
    EXPECT_EQ(out.NumDevs(), before);
    EXPECT_EQ(TMidiOut().DeviceName(1), "later");
}

TEST_F(PortsTest, PortAtOrAboveNumDevsIsIgnoredClosedAndOpen)
{
    addDevices(3);
    TMidiOut out;
    TMidiIn in;
    ASSERT_GE(out.NumDevs(), 3);
    const int beyond = out.NumDevs() + 2;

    out.SetPort(1);
    out.SetPort(beyond);
    EXPECT_EQ(out.Port(), 1);
    out.SetUsing(true);
    out.SetPort(beyond);
    EXPECT_EQ(out.Port(), 1);
    EXPECT_EQ(out.OpenResult(), 0u);
    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
    out.SysEx(msg, 5);
    EXPECT_TRUE(devices[0]->received.empty());
    EXPECT_EQ(devices[1]->received.size(), 1u);

    in.SetPort(2);
    in.SetUsing(true);
    in.SetPort(beyond);
    EXPECT_EQ(in.Port(), 2);
    record(in);
    devices[2]->transmit(sysexOf(10));
    deliverPending();
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(PortsTest, SetPortWhileOpenMovesToTheNewDevice)
{
    addDevices(3);
    TMidiOut out;
    TMidiIn in;
    record(in);
    out.SetUsing(true);
    in.SetUsing(true);
    out.SetPort(2);
    in.SetPort(1);
    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
    out.SysEx(msg, 5);
    EXPECT_TRUE(devices[0]->received.empty());
    EXPECT_EQ(devices[2]->received.size(), 1u);

    devices[0]->transmit(sysexOf(8));
    devices[1]->transmit(sysexOf(9));
    deliverPending();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes.size(), 9u);
}

TEST_F(PortsTest, OpeningAnOpenComponentDoesNotOpenAgain)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    in.SetUsing(true);
    dev->transmit(sysexOf(12));
    deliverPending();
    EXPECT_EQ(events.size(), 1u) << "the input listens once";

    TMidiOut out;
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), 0u);
    unregisterVirtualDevice(dev);
    out.SetUsing(true); // a reopen would now fail
    EXPECT_EQ(out.OpenResult(), 0u);
}

TEST_F(PortsTest, SysExSendsNothingWhenShortClosedOrFailed)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiOut out;
    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F};

    out.SysEx(msg, 5); // closed
    out.SetUsing(true);
    out.SysEx(msg, 2);
    out.SysEx(msg, 0);
    out.SysEx(nullptr, 5);
    EXPECT_TRUE(dev->received.empty());
    out.SysEx(msg, 3);
    EXPECT_EQ(dev->received.size(), 1u);

    out.SetUsing(false);
    out.SysEx(msg, 5);
    out.Put(0x90, 60, 100);
    out.Reset();
    EXPECT_EQ(dev->received.size(), 1u);
}

TEST_F(PortsTest, EndOfExclusiveIsAddedOnlyWhenMissing)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiOut out;
    out.SetUsing(true);
    const std::uint8_t refresh[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F};
    const std::uint8_t closed[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F, 0xF7};
    out.SysEx(refresh, 5);
    out.SysEx(closed, 6);
    ASSERT_EQ(dev->received.size(), 2u);
    EXPECT_EQ(dev->received[0], (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x03, 0x7F, 0xF7}));
    EXPECT_EQ(dev->received[1], (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x03, 0x7F, 0xF7}));

    // A long message reaches a virtual device whole, after its time on the
    // wire.
    std::vector<std::uint8_t> dump = sysexOf(65544);
    dump.back() = 0x7F;
    out.SysEx(dump.data(), static_cast<int>(dump.size()));
    ASSERT_EQ(dev->received.size(), 3u);
    ASSERT_EQ(dev->received[2].size(), 65545u);
    EXPECT_TRUE(std::equal(dump.begin(), dump.end(), dev->received[2].begin()));
    EXPECT_EQ(dev->received[2].back(), 0xF7);
    EXPECT_EQ(seams.totalWaited(), 65545 * 1000 / TMidiOut::WireSpeed);
}

TEST_F(PortsTest, SendFromWithinASendFollowsIt)
{
    // A device that answers the first message it gets by making the port
    // send again, before it has looked at what it received.
    struct Answering : RecordingDevice {
        using RecordingDevice::RecordingDevice;
        TMidiOut* out = nullptr;
        void receive(const std::uint8_t* data, std::size_t len) override
        {
            if (out && received.empty() && !answered) {
                answered = true;
                const std::uint8_t answer[] = {0xF0, 0x0F, 0x01, 0x09, 0x7F};
                out->SysEx(answer, 5);
            }
            RecordingDevice::receive(data, len);
        }
        bool answered = false;
    };
    Answering dev("answering");
    registerVirtualDevice(&dev);
    TMidiOut out;
    dev.out = &out;
    out.SetUsing(true);
    const std::uint8_t first[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F};
    out.SysEx(first, 5);
    unregisterVirtualDevice(&dev);
    ASSERT_EQ(dev.received.size(), 2u);
    EXPECT_EQ(dev.received[0], (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x03, 0x7F, 0xF7}));
    EXPECT_EQ(dev.received[1], (std::vector<std::uint8_t>{0xF0, 0x0F, 0x01, 0x09, 0x7F, 0xF7}));
}

TEST_F(PortsTest, AMessageSentAcrossAReopenLeavesBeforeTheNextOne)
{
    // While the first message is being handed over, the port is closed and
    // opened again and another message is sent: it must follow the first,
    // not wait for whatever is sent next.
    struct Reopening : RecordingDevice {
        using RecordingDevice::RecordingDevice;
        TMidiOut* out = nullptr;
        void receive(const std::uint8_t* data, std::size_t len) override
        {
            RecordingDevice::receive(data, len);
            if (received.size() == 1) {
                out->SetUsing(false);
                out->SetUsing(true);
                const std::uint8_t during[] = {0xF0, 0x0F, 0x01, 0x02, 0x7F};
                out->SysEx(during, 5);
            }
        }
    };
    Reopening dev("reopening");
    registerVirtualDevice(&dev);
    TMidiOut out;
    dev.out = &out;
    out.SetUsing(true);
    const std::uint8_t first[] = {0xF0, 0x0F, 0x01, 0x01, 0x7F};
    const std::uint8_t next[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F};
    out.SysEx(first, 5);
    out.SysEx(next, 5);
    unregisterVirtualDevice(&dev);
    ASSERT_EQ(dev.received.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(dev.received[i][3], std::vector<std::uint8_t>({0x01, 0x02, 0x03})[i]) << "message " << i;
}

TEST_F(PortsTest, UnregisteringWaitsForAMessageBeingHandedOver)
{
    // The output hands a message to the device on one thread while another
    // takes the device out of the registry: once that returns, the device
    // may be destroyed, so it must no longer be inside receive().
    struct Slow : VirtualMidiDevice {
        using VirtualMidiDevice::VirtualMidiDevice;
        std::promise<void> entered;
        std::atomic<bool> inside{false};
        std::atomic<bool> release{false};
        void receive(const std::uint8_t*, std::size_t) override
        {
            inside = true;
            entered.set_value();
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            inside = false;
        }
    };
    Slow dev("slow");
    registerVirtualDevice(&dev);
    TMidiOut out;
    out.SetUsing(true);
    std::thread sender([&] {
        const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
        out.SysEx(msg, 5);
    });
    dev.entered.get_future().wait();
    std::atomic<bool> insideWhenGone{true};
    std::thread remover([&] {
        unregisterVirtualDevice(&dev);
        insideWhenGone = dev.inside.load();
    });
    // Released only once the remover has taken the device out, so that it
    // is waiting (or, were it not to wait, already past) when receive() ends,
    // however slowly the remover's thread got going.
    auto listed = [&] {
        const auto all = virtualDevices();
        return std::find(all.begin(), all.end(), &dev) != all.end();
    };
    while (listed())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    dev.release = true;
    remover.join();
    sender.join();
    EXPECT_FALSE(insideWhenGone);
}

TEST_F(PortsTest, QueuesAreBoundedAndTheLossIsReportedOnce)
{
    // Output: messages sent while a send is going on wait in a queue.
    struct Flooding : RecordingDevice {
        using RecordingDevice::RecordingDevice;
        TMidiOut* out = nullptr;
        void receive(const std::uint8_t* data, std::size_t len) override
        {
            RecordingDevice::receive(data, len);
            if (received.size() == 1) {
                const std::uint8_t m[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
                for (std::size_t i = 0; i < TMidiOut::MaxPendingMessages + 10; ++i)
                    out->SysEx(m, 5);
            }
        }
    };
    Flooding sink("sink");
    registerVirtualDevice(&sink);
    TMidiOut out;
    sink.out = &out;
    out.SetUsing(true);
    const std::uint8_t first[] = {0xF0, 0x0F, 0x01, 0x03, 0x7F};
    out.SysEx(first, 5);
    unregisterVirtualDevice(&sink);
    EXPECT_EQ(sink.received.size(), 1 + TMidiOut::MaxPendingMessages);
    EXPECT_EQ(seams.lines(), std::vector<std::string>{std::string("box \"") + TMidiOut::QueueFullText + "\" \"" +
                                                      TMidiOut::QueueFullCaption + "\""});

    // Input: messages handed over and not yet raised, by count and by bytes.
    seams.clear();
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    for (std::size_t i = 0; i < TMidiIn::MaxQueuedMessages + 10; ++i)
        dev->transmit(sysexOf(8));
    deliverPending();
    EXPECT_EQ(events.size(), TMidiIn::MaxQueuedMessages);
    ASSERT_EQ(seams.boxes().size(), 1u);
    EXPECT_EQ(seams.boxes()[0].text, TMidiIn::OverrunText);

    events.clear();
    const std::vector<std::uint8_t> dump = sysexOf(TMidiIn::BufferSize);
    const std::size_t fit = TMidiIn::MaxQueuedBytes / dump.size();
    for (std::size_t i = 0; i < fit + 3; ++i)
        dev->transmit(dump);
    deliverPending();
    EXPECT_EQ(events.size(), fit);
    EXPECT_EQ(seams.boxes().size(), 2u) << "reported again once the queue had emptied";

    // Within the limits again, nothing is lost and nothing reported.
    events.clear();
    dev->transmit(sysexOf(9));
    deliverPending();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(seams.boxes().size(), 2u);
}

// A message arriving while the overflow report is open (a modal box runs
// the event loop) is raised once it closes, without waiting for another.
TEST_F(PortsTest, AMessageArrivingDuringTheOverflowReportIsRaisedAfterIt)
{
    struct Modal : test::RecordingSeams {
        std::function<void()> during;
        BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxButtons buttons) override
        {
            const BoxAnswer a = RecordingSeams::messageBox(text, caption, buttons);
            if (during)
                std::exchange(during, nullptr)();
            return a;
        }
    } modal;
    installSeams(&modal);
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    for (std::size_t i = 0; i < TMidiIn::MaxQueuedMessages + 1; ++i)
        dev->transmit(sysexOf(8));
    const std::vector<std::uint8_t> late = sysexOf(9);
    modal.during = [&] {
        dev->transmit(late);
        QCoreApplication::processEvents();
    };
    deliverPending();
    ASSERT_EQ(modal.boxes().size(), 1u);
    ASSERT_EQ(events.size(), TMidiIn::MaxQueuedMessages + 1);
    EXPECT_EQ(events.back().bytes, late);
}

TEST_F(PortsTest, DevicesAreReadAfreshAndAnOpenPortKeepsItsDevice)
{
    addDevice("first");
    RecordingDevice* kept = addDevice("Mirage emulator:in 128:0");
    TMidiOut out;
    out.SetPort(1);
    out.SetUsing(true);
    EXPECT_TRUE(out.DevicePresent());

    unregisterVirtualDevice(devices[0].get());
    addDevice("later");
    EXPECT_EQ(out.NumDevs(), 2) << "until read again";
    out.ReadDevices();
    EXPECT_EQ(out.NumDevs(), 2);
    EXPECT_EQ(out.DeviceName(1), "later");
    EXPECT_EQ(out.Port(), 0) << "the open port follows its device";
    EXPECT_TRUE(out.Using());
    EXPECT_EQ(out.FindDevice("later"), 1);
    EXPECT_EQ(out.FindDevice("Mirage emulator:in 129:0"), 0) << "ALSA's numbers aside";
    EXPECT_EQ(out.FindDevice("Mirage emulator:out 128:0"), -1);
    EXPECT_EQ(out.FindDevice("gone"), -1);

    unregisterVirtualDevice(kept);
    EXPECT_FALSE(out.DevicePresent());
    registerVirtualDevice(kept);
    EXPECT_TRUE(out.DevicePresent()) << "the same device back";
    out.SetUsing(false);
    EXPECT_FALSE(out.DevicePresent());
}

TEST_F(PortsTest, ShortMessagesGoOutWithTheirLength)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiOut out;
    out.SetUsing(true);
    out.Put(0x90, 60, 100);
    out.Put(0xC3, 5, 0);
    ASSERT_EQ(dev->received.size(), 2u);
    EXPECT_EQ(dev->received[0], (std::vector<std::uint8_t>{0x90, 60, 100}));
    EXPECT_EQ(dev->received[1], (std::vector<std::uint8_t>{0xC3, 5}));
}

TEST_F(PortsTest, LongMessageIsSplitAcrossTheTwoBuffers)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    const std::vector<std::uint8_t> m = sysexOf(70000);
    dev->transmit(m);
    deliverPending();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].bytes.size(), 65545u);
    EXPECT_EQ(events[1].bytes.size(), 4455u);
    EXPECT_EQ(events[0].bytes.front(), 0xF0);
    EXPECT_NE(events[1].bytes.front(), 0xF0);
    EXPECT_TRUE(std::equal(m.begin(), m.begin() + 65545, events[0].bytes.begin()));
    EXPECT_TRUE(std::equal(m.begin() + 65545, m.end(), events[1].bytes.begin()));
    EXPECT_NE(events[0].buffer, events[1].buffer) << "the buffers alternate";

    // Exactly one buffer's worth is one event.
    events.clear();
    dev->transmit(sysexOf(65545));
    deliverPending();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes.size(), 65545u);
}

TEST_F(PortsTest, HandlerClosingThePortStopsTheRemainder)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    in.SetUsing(true);
    int raised = 0;
    in.OnSysEx = [&](TMidiIn* sender, const std::uint8_t*, int) {
        ++raised;
        sender->SetUsing(false);
    };
    dev->transmit(sysexOf(70000));
    deliverPending();
    EXPECT_EQ(raised, 1);
}

TEST_F(PortsTest, NothingIsDeliveredAfterClosingEvenWhenAlreadyPosted)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    dev->transmit(sysexOf(20));  // posted, not yet delivered
    in.SetUsing(false);
    deliverPending();
    EXPECT_TRUE(events.empty());

    // Reopening before the event loop runs does not revive older posts.
    dev->transmit(sysexOf(21));
    in.SetUsing(false);
    in.SetUsing(true);
    deliverPending();
    EXPECT_TRUE(events.empty());

    // Nor does a closed port pick anything up.
    in.SetUsing(false);
    dev->transmit(sysexOf(22));
    deliverPending();
    EXPECT_TRUE(events.empty());

    in.SetUsing(true);
    dev->transmit(sysexOf(23));
    deliverPending();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes.size(), 23u);
}

TEST_F(PortsTest, MessagesArrivingWhileAHandlerRunsAnEventLoopWaitForIt)
{
    // The dispatcher's reports are modal: while one is open, the event loop
    // runs and further messages arrive. The buffer the open handler is
    // reading must not be refilled under it.
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    in.SetUsing(true);
    std::vector<std::vector<std::uint8_t>> seen;
    bool intact = true;
    in.OnSysEx = [&](TMidiIn*, const std::uint8_t* data, int size) {
        const std::vector<std::uint8_t> copy(data, data + size);
        seen.push_back(copy);
        if (seen.size() == 1) {
            dev->transmit(sysexOf(31));
            dev->transmit(sysexOf(32));
            dev->transmit(sysexOf(33));
            deliverPending(); // as a modal box would
            intact = std::equal(copy.begin(), copy.end(), data);
            EXPECT_EQ(seen.size(), 1u) << "delivered inside the running handler";
        }
    };
    dev->transmit(sysexOf(30));
    deliverPending();
    EXPECT_TRUE(intact) << "the handler's buffer was overwritten while it ran";
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(seen[i], sysexOf(30 + i)) << "in order of arrival";
}

TEST_F(PortsTest, SwitchingPortsNeverDeliversFromTheOldDevice)
{
    // A device keeps transmitting from another thread while the input is
    // switched away from it and back, many times. Whatever it sent up to
    // the switch must be dropped, also a message caught in the switch.
    RecordingDevice* chatty = addDevice("chatty");
    addDevice("quiet");
    TMidiIn in;
    record(in);
    in.SetUsing(true);
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const std::vector<std::uint8_t> m = sysexOf(16);
        while (!stop.load())
            chatty->transmit(m);
    });
    std::size_t wrong = 0;
    for (int i = 0; i < 50000 && wrong == 0; ++i) {
        in.SetPort(0);
        in.SetPort(1);
        QCoreApplication::processEvents();
        wrong += events.size();
    }
    stop = true;
    sender.join();
    EXPECT_EQ(wrong, 0u);
}

TEST_F(PortsTest, DestroyingTheInputDropsItsPendingDeliveries)
{
    RecordingDevice* dev = addDevice("dev");
    int raised = 0;
    {
        TMidiIn in;
        in.OnSysEx = [&](TMidiIn*, const std::uint8_t*, int) { ++raised; };
        in.SetUsing(true);
        dev->transmit(sysexOf(20));
    }
    dev->transmit(sysexOf(20));
    deliverPending();
    EXPECT_EQ(raised, 0);
}

TEST_F(PortsTest, PortMinusOneIsTakenAndItsOpenFails)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiOut out;
    TMidiIn in;
    record(in);
    out.SetPort(-1);
    in.SetPort(-1);
    EXPECT_EQ(out.Port(), -1);
    out.SetUsing(true);
    in.SetUsing(true);
    EXPECT_TRUE(out.Using());
    EXPECT_TRUE(in.Using());
    EXPECT_NE(out.OpenResult(), 0u);
    EXPECT_NE(in.OpenResult(), 0u);

    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
    out.SysEx(msg, 5);
    out.Put(0x90, 1, 2);
    dev->transmit(sysexOf(10));
    deliverPending();
    EXPECT_TRUE(dev->received.empty());
    EXPECT_TRUE(events.empty());

    // Back on a real device the open succeeds again.
    out.SetPort(0);
    EXPECT_EQ(out.OpenResult(), 0u);
}

TEST_F(PortsTest, OpenFailsWithoutDevices)
{
    TMidiOut out;
    TMidiIn in;
    if (out.NumDevs() != 0 || in.NumDevs() != 0)
        GTEST_SKIP() << "this machine has MIDI ports";
    out.SetUsing(true);
    in.SetUsing(true);
    EXPECT_NE(out.OpenResult(), 0u);
    EXPECT_NE(in.OpenResult(), 0u);
    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
    out.SysEx(msg, 5);
    out.SetUsing(false);
    in.SetUsing(false);
    EXPECT_FALSE(out.Using());
}

TEST_F(PortsTest, DeviceUnregisteredWhileOpenReceivesNothing)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiOut out;
    out.SetUsing(true);
    unregisterVirtualDevice(dev);
    const std::uint8_t msg[] = {0xF0, 0x0F, 0x01, 0x00, 0x7F};
    out.SysEx(msg, 5);
    EXPECT_TRUE(dev->received.empty());
    out.SetUsing(false);
    out.SetUsing(true);
    EXPECT_NE(out.OpenResult(), 0u);
}

TEST_F(PortsTest, UseFlagsSilenceTheirEvents)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    record(in);
    std::vector<std::array<int, 3>> shorts;
    in.OnShort = [&](TMidiIn*, std::uint8_t s, std::uint8_t a, std::uint8_t b) { shorts.push_back({s, a, b}); };
    in.SetUsing(true);

    in.SetUseSysEx(false);
    dev->transmit(sysexOf(30));
    dev->transmit(std::vector<std::uint8_t>{0x90, 60, 100});
    deliverPending();
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(shorts.size(), 1u);
    EXPECT_EQ(shorts[0], (std::array<int, 3>{0x90, 60, 100}));

    in.SetUseSysEx(true);
    in.SetUseShort(false);
    dev->transmit(std::vector<std::uint8_t>{0xC0, 7});
    dev->transmit(sysexOf(30));
    deliverPending();
    EXPECT_EQ(shorts.size(), 1u);
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(PortsTest, TransmitFromAnotherThreadIsDeliveredOnTheComponentsThread)
{
    RecordingDevice* dev = addDevice("dev");
    TMidiIn in;
    in.SetUsing(true);
    std::vector<QThread*> threads;
    std::vector<int> sizes;
    in.OnSysEx = [&](TMidiIn*, const std::uint8_t*, int size) {
        threads.push_back(QThread::currentThread());
        sizes.push_back(size);
    };
    std::thread sender([dev] {
        for (int i = 0; i < 50; ++i)
            dev->transmit(sysexOf(100 + static_cast<std::size_t>(i)));
    });
    sender.join();
    deliverPending();
    ASSERT_EQ(sizes.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(sizes[static_cast<std::size_t>(i)], 100 + i) << "in order";
        EXPECT_EQ(threads[static_cast<std::size_t>(i)], QCoreApplication::instance()->thread());
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
