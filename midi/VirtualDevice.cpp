#include "VirtualDevice.h"

#include "MidiSystem.h"

#include <algorithm>
#include <mutex>

#include <unistd.h>

#ifdef CORVANE_HAVE_JACK
#include <jack/jack.h>
#endif

namespace corvane {

namespace {

struct ListenerEntry {
    VirtualMidiDevice* device;
    const void* owner;
    midisys::Listener post;
};

struct Registry {
    std::mutex mutex;
    std::vector<VirtualMidiDevice*> devices;
    std::vector<ListenerEntry> listeners;
};

Registry& registry()
{
    static Registry r;
    return r;
}

void ignoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

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
    std::lock_guard lock(r.mutex);
    std::erase(r.devices, device);
    std::erase_if(r.listeners, [device](const ListenerEntry& l) { return l.device == device; });
}

std::vector<VirtualMidiDevice*> virtualDevices()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.devices;
}

namespace midisys {

namespace {

bool compiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

bool alsaUsable()
{
    // Without the sequencer device no client can be opened; asking RtMidi
    // anyway would only print the failure.
    if (!compiled(RtMidi::LINUX_ALSA) || ::access("/dev/snd/seq", R_OK | W_OK) != 0)
        return false;
    try {
        RtMidiIn probe(RtMidi::LINUX_ALSA, "Corvane");
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}

void quiet(const char*) {}

// Whether a JACK server runs now. Asked quietly: RtMidi would otherwise
// report the missing server for every component constructed.
bool jackServerRunning()
{
    if (!compiled(RtMidi::UNIX_JACK))
        return false;
#ifdef CORVANE_HAVE_JACK
    static std::mutex probeMutex;
    std::lock_guard lock(probeMutex);
    auto* const error = jack_error_callback;
    auto* const info = jack_info_callback;
    jack_set_error_function(&quiet);
    jack_set_info_function(&quiet);
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Corvane-probe", JackNoStartServer, &status);
    if (client)
        jack_client_close(client);
    jack_set_error_function(error);
    jack_set_info_function(info);
    return client != nullptr;
#else
    return true; // let RtMidi find out
#endif
}

} // namespace

RtMidi::Api systemApi()
{
    static const bool alsa = alsaUsable();
    if (alsa)
        return RtMidi::LINUX_ALSA;
    if (jackServerRunning())
        return RtMidi::UNIX_JACK;
    return RtMidi::UNSPECIFIED;
}

std::unique_ptr<RtMidiIn> makeInput()
{
    const RtMidi::Api api = systemApi();
    if (api == RtMidi::UNSPECIFIED)
        return nullptr;
    try {
        auto in = std::make_unique<RtMidiIn>(api, "Corvane");
        in->setErrorCallback(&ignoreRtMidiError, nullptr);
        // Time-code and active-sensing stay filtered; SysEx is wanted.
        in->ignoreTypes(false, true, true);
        return in;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

std::unique_ptr<RtMidiOut> makeOutput()
{
    const RtMidi::Api api = systemApi();
    if (api == RtMidi::UNSPECIFIED)
        return nullptr;
    try {
        auto out = std::make_unique<RtMidiOut>(api, "Corvane");
        out->setErrorCallback(&ignoreRtMidiError, nullptr);
        return out;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

std::vector<DeviceEntry> deviceTable(RtMidi* api, int max)
{
    std::vector<DeviceEntry> table;
    for (VirtualMidiDevice* d : virtualDevices()) {
        if (static_cast<int>(table.size()) >= max)
            return table;
        table.push_back({d->name(), d});
    }
    if (!api)
        return table;
    try {
        const unsigned n = api->getPortCount();
        for (unsigned i = 0; i < n && static_cast<int>(table.size()) < max; ++i)
            table.push_back({api->getPortName(i), nullptr});
    } catch (const RtMidiError&) {
        // a failing API lists nothing more
    }
    return table;
}

int findPort(RtMidi* api, const std::string& name)
{
    if (!api)
        return -1;
    try {
        const unsigned n = api->getPortCount();
        for (unsigned i = 0; i < n; ++i)
            if (api->getPortName(i) == name)
                return static_cast<int>(i);
    } catch (const RtMidiError&) {
    }
    return -1;
}

unsigned openSystemPort(RtMidi* api, const std::string& name, const char* ourName)
{
    if (!api)
        return ResultError;
    const int index = findPort(api, name);
    if (index < 0)
        return ResultBadDevice;
    try {
        api->openPort(static_cast<unsigned>(index), ourName);
        return api->isPortOpen() ? ResultOk : ResultError;
    } catch (const RtMidiError&) {
        return ResultError;
    }
}

bool isRegistered(VirtualMidiDevice* device)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return std::find(r.devices.begin(), r.devices.end(), device) != r.devices.end();
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
