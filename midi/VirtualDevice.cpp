#include "VirtualDevice.h"

#include "MidiSystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

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

namespace {

constexpr std::pair<RtMidi::Api, const char*> SystemNames[] = {
    {RtMidi::LINUX_ALSA, "ALSA"},
    {RtMidi::UNIX_JACK, "JACK"},
};

bool compiledApi(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

} // namespace

std::vector<std::string> midiSystems()
{
    std::vector<std::string> keys;
    for (const auto& [api, name] : SystemNames)
        if (compiledApi(api))
            keys.push_back(RtMidi::getApiName(api));
    return keys;
}

std::string midiSystemName(const std::string& key)
{
    for (const auto& [api, name] : SystemNames)
        if (key == RtMidi::getApiName(api))
            return name;
    return {};
}

void chooseMidiSystem(const std::string& key)
{
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    for (const auto& [each, name] : SystemNames)
        if (key == RtMidi::getApiName(each) && compiledApi(each))
            api = each;
    midisys::chooseApi(api);
}

std::string chosenMidiSystem() { return midisys::chosenApiKey(); }

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

#ifdef CORVANE_HAVE_JACK
void quiet(const char*) {}

// Opens a client of our own without the messages libjack prints when no
// server runs; nullptr when none does.
jack_client_t* openQuietly(const char* name)
{
    static std::mutex printMutex;
    std::lock_guard lock(printMutex);
    auto* const error = jack_error_callback;
    auto* const info = jack_info_callback;
    jack_set_error_function(&quiet);
    jack_set_info_function(&quiet);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    jack_set_error_function(error);
    jack_set_info_function(info);
    return client;
}

// libjack (JACK2) frees every client the process still has open when the
// process opens a new client after the server has shut any of them down:
// the server stopped, or it dropped a client whose cycle did not finish in
// time, as it does to everyone behind a peer that never runs its process
// cycle and so holds the graph up. RtMidi goes on using the clients it was
// given and faults on its next call (closing a port, listing, destruction).
// So the JACK clients of the process form one session: the look below,
// opened first, and each RtMidi object on JACK. New ones join only while
// the session is live; once a client of it may have been shut down it has
// ended, and no client is opened again until every RtMidi object of it has
// been destroyed (their clients closed while still valid).
struct JackSession {
    std::mutex mutex;
    // Our own client: looks at the server's connections and cycles; closed
    // when the program ends (a client left open keeps the server waiting
    // when it stops).
    jack_client_t* look = nullptr;
    std::atomic<bool> ended{false};
    int held = 0; // RtMidi objects on JACK not yet destroyed
    ~JackSession()
    {
        if (look)
            jack_client_close(look);
    }
};

JackSession& jackSession()
{
    static JackSession session;
    return session;
}

void onServerGone(void* session) { static_cast<JackSession*>(session)->ended = true; }

// The session's look client while the session is live, else nullptr.
// Called with the session's mutex held.
jack_client_t* liveLook(JackSession& s) { return s.ended ? nullptr : s.look; }
#endif

} // namespace

bool jackJoin()
{
#ifdef CORVANE_HAVE_JACK
    if (!compiled(RtMidi::UNIX_JACK))
        return false;
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    if (s.ended) {
        if (s.held > 0)
            return false; // the old session's clients are still open
        if (s.look)
            jack_client_close(s.look);
        s.look = nullptr;
        s.ended = false;
    }
    if (!s.look) {
        // Also tells whether a server runs, quietly: RtMidi would report a
        // missing server for every component constructed.
        s.look = openQuietly("Corvane-look");
        if (!s.look)
            return false;
        jack_on_shutdown(s.look, &onServerGone, &s);
    }
    ++s.held;
    return true;
#else
    return compiled(RtMidi::UNIX_JACK); // let RtMidi find out
#endif
}

void jackLeave()
{
#ifdef CORVANE_HAVE_JACK
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    if (s.held > 0)
        --s.held;
#endif
}

bool jackSessionLive()
{
#ifdef CORVANE_HAVE_JACK
    return !jackSession().ended;
#else
    return true;
#endif
}

void jackEndSession()
{
#ifdef CORVANE_HAVE_JACK
    jackSession().ended = true;
#endif
}

namespace {

std::atomic<RtMidi::Api> chosenApi{RtMidi::UNSPECIFIED};

// The API the system devices are reached through now; joins the JACK
// session when that is the one.
RtMidi::Api pickApi()
{
    static const bool alsa = alsaUsable();
    const RtMidi::Api chosen = chosenApi;
    if (alsa && chosen != RtMidi::UNIX_JACK)
        return RtMidi::LINUX_ALSA;
    if (chosen != RtMidi::LINUX_ALSA && jackJoin())
        return RtMidi::UNIX_JACK;
    return RtMidi::UNSPECIFIED;
}

template <typename Api>
std::unique_ptr<Api, ApiDeleter> makeApi()
{
    const RtMidi::Api api = pickApi();
    if (api == RtMidi::UNSPECIFIED)
        return nullptr;
    try {
        std::unique_ptr<Api, ApiDeleter> made(new Api(api, "Corvane"));
        made->setErrorCallback(&ignoreRtMidiError, nullptr);
        return made;
    } catch (const RtMidiError&) {
        if (api == RtMidi::UNIX_JACK)
            jackLeave();
        return nullptr;
    }
}

} // namespace

template <typename Api>
void ApiDeleter::destroy(Api* api)
{
    const bool jack = api->getCurrentApi() == RtMidi::UNIX_JACK;
    delete api;
    if (jack)
        jackLeave();
}

void ApiDeleter::operator()(RtMidiIn* api) const { destroy(api); }
void ApiDeleter::operator()(RtMidiOut* api) const { destroy(api); }

void chooseApi(RtMidi::Api api) { chosenApi = api; }

std::string chosenApiKey()
{
    const RtMidi::Api api = chosenApi;
    return api == RtMidi::UNSPECIFIED ? std::string() : RtMidi::getApiName(api);
}

bool isChosen(RtMidi::Api api)
{
    const RtMidi::Api chosen = chosenApi;
    return chosen == RtMidi::UNSPECIFIED || chosen == api;
}

InputApi makeInput()
{
    InputApi in = makeApi<RtMidiIn>();
    // Time-code and active-sensing stay filtered; SysEx is wanted.
    if (in)
        in->ignoreTypes(false, true, true);
    return in;
}

OutputApi makeOutput() { return makeApi<RtMidiOut>(); }

std::vector<DeviceEntry> deviceTable(RtMidi* api)
{
    std::vector<DeviceEntry> table;
    for (VirtualMidiDevice* d : virtualDevices())
        table.push_back({d->name(), d});
    if (!api)
        return table;
    try {
        const unsigned n = api->getPortCount();
        for (unsigned i = 0; i < n; ++i)
            table.push_back({api->getPortName(i), nullptr});
    } catch (const RtMidiError&) {
        // a failing API lists nothing more
    }
    return table;
}

namespace {

// A port name without the client and port numbers ALSA appends to it
// ("Mirage emulator:out 128:0"); they change whenever the client starts again.
std::string_view withoutAlsaAddress(std::string_view name)
{
    auto digitsBefore = [&](std::size_t end) {
        std::size_t i = end;
        while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9')
            --i;
        return i;
    };
    const std::size_t portStart = digitsBefore(name.size());
    if (portStart == name.size() || portStart == 0 || name[portStart - 1] != ':')
        return name;
    const std::size_t clientStart = digitsBefore(portStart - 1);
    if (clientStart == portStart - 1 || clientStart == 0 || name[clientStart - 1] != ' ')
        return name;
    return name.substr(0, clientStart - 1);
}

} // namespace

bool jackPortConnected(const std::string& name)
{
#ifdef CORVANE_HAVE_JACK
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    jack_client_t* const client = liveLook(s);
    if (!client)
        return true;
    jack_port_t* port = jack_port_by_name(client, name.c_str());
    if (!port)
        return false;
    const char** connections = jack_port_get_all_connections(client, port);
    const bool connected = connections && connections[0];
    if (connections)
        jack_free(connections);
    return connected;
#else
    (void)name;
    return true;
#endif
}

void jackLetOutputLeave(std::chrono::steady_clock::time_point lastSend, const std::function<void(int ms)>& wait)
{
#ifdef CORVANE_HAVE_JACK
    using namespace std::chrono;
    JackSession& s = jackSession();
    std::unique_lock lock(s.mutex);
    jack_client_t* client = liveLook(s);
    if (!client)
        return;
    const std::uint64_t period = jack_get_buffer_size(client);
    const std::uint64_t rate = jack_get_sample_rate(client);
    if (period == 0 || rate == 0)
        return;
    const auto since = static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now() - lastSend).count());
    const std::uint64_t framesSince = since * rate / 1'000'000;
    if (framesSince >= 3 * period)
        return; // long enough ago: that cycle has run through
    // The cycle that starts after the send moves the message into the port
    // buffer; once the cycle after it has started, every client's part of
    // the first one is done (or the server has reported an xrun). Frame
    // numbers wrap around; their difference does not.
    const jack_nframes_t target = jack_frame_time(client) - static_cast<jack_nframes_t>(framesSince) +
                                  static_cast<jack_nframes_t>(2 * period);
    const int limitMs = static_cast<int>(4 * period * 1000 / rate) + 250;
    const auto limit = steady_clock::now() + milliseconds(limitMs);
    // Waited in steps with the lock let go: the wait may run the event
    // loop, and whatever runs there may look at the server too.
    for (int waited = 0; waited < limitMs && steady_clock::now() < limit;) {
        const auto ahead = static_cast<std::int32_t>(target - jack_last_frame_time(client));
        if (ahead <= 0)
            return;
        const int ms = std::clamp(static_cast<int>(static_cast<std::uint64_t>(ahead) * 1000 / rate), 1, 20);
        lock.unlock();
        wait(ms);
        waited += ms;
        lock.lock();
        client = liveLook(s);
        if (!client)
            return;
    }
#else
    (void)lastSend;
    (void)wait;
#endif
}

int findEntry(const std::vector<DeviceEntry>& table, const std::string& name)
{
    if (name.empty())
        return -1;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].name == name)
            return static_cast<int>(i);
    const std::string_view bare = withoutAlsaAddress(name);
    for (std::size_t i = 0; i < table.size(); ++i)
        if (withoutAlsaAddress(table[i].name) == bare)
            return static_cast<int>(i);
    return -1;
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
