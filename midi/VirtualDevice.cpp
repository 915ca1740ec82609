// The registry of in-process devices: the built-in emulator and the test
// devices, what each has been handed and who listens to it.
#include "VirtualDevice.h"

#include "MidiSystem.h"

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

namespace {

struct ListenerEntry {
    VirtualMidiDevice* device;
    const void* owner;
    midisys::Listener post;
};

// A device handed a message, and the thread doing it.
struct InUse {
    VirtualMidiDevice* device;
    std::thread::id thread;
};

struct Registry {
    std::mutex mutex;
    std::condition_variable released;
    std::vector<VirtualMidiDevice*> devices;
    std::vector<ListenerEntry> listeners;
    std::vector<InUse> inUse;
};

Registry& registry()
{
    static Registry r;
    return r;
}

} // namespace

VirtualMidiDevice::VirtualMidiDevice(std::string name) : name_(std::move(name)) {}

VirtualMidiDevice::~VirtualMidiDevice() { unregisterVirtualDevice(this); }

void VirtualMidiDevice::transmit(const std::uint8_t* data, std::size_t len)
{
    if (!data || len == 0)
        return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const ListenerEntry& l : r.listeners)
        if (l.device == this)
            l.post(data, len);
}

void registerVirtualDevice(VirtualMidiDevice* device)
{
    if (!device)
        return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.devices.begin(), r.devices.end(), device) == r.devices.end())
        r.devices.push_back(device);
}

void unregisterVirtualDevice(VirtualMidiDevice* device)
{
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    std::erase(r.devices, device);
    std::erase_if(r.listeners, [device](const ListenerEntry& l) { return l.device == device; });
    // A message being handed to the device on another thread is finished
    // first: the device may be destroyed as soon as this returns. One handed
    // over on this thread is the caller's own (a device leaving from within
    // its receive()).
    const std::thread::id me = std::this_thread::get_id();
    r.released.wait(lock, [&] {
        return std::none_of(r.inUse.begin(), r.inUse.end(),
                            [&](const InUse& u) { return u.device == device && u.thread != me; });
    });
}

std::vector<VirtualMidiDevice*> virtualDevices()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.devices;
}

namespace midisys {

bool isRegistered(VirtualMidiDevice* device)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return std::find(r.devices.begin(), r.devices.end(), device) != r.devices.end();
}

bool sendToDevice(VirtualMidiDevice* device, const std::uint8_t* data, std::size_t len)
{
    Registry& r = registry();
    const InUse use{device, std::this_thread::get_id()};
    {
        std::lock_guard lock(r.mutex);
        if (std::find(r.devices.begin(), r.devices.end(), device) == r.devices.end())
            return false;
        r.inUse.push_back(use);
    }
    // Handed over outside the lock: the device's replies come back through
    // transmit(), which takes it.
    struct Release {
        Registry& r;
        const InUse& use;
        ~Release()
        {
            {
                std::lock_guard lock(r.mutex);
                const auto it = std::find_if(r.inUse.begin(), r.inUse.end(), [&](const InUse& u) {
                    return u.device == use.device && u.thread == use.thread;
                });
                if (it != r.inUse.end())
                    r.inUse.erase(it);
            }
            r.released.notify_all();
        }
    } release{r, use};
    device->receive(data, len);
    return true;
}

bool addListener(VirtualMidiDevice* device, const void* owner, Listener post)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.devices.begin(), r.devices.end(), device) == r.devices.end())
        return false;
    r.listeners.push_back({device, owner, std::move(post)});
    return true;
}

void removeListener(const void* owner)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.listeners, [owner](const ListenerEntry& l) { return l.owner == owner; });
}

} // namespace midisys
} // namespace corvane
