// Which MIDI system the ports are reached through (ALSA, JACK), the RtMidi
// objects made on it, and the system ports it lists and opens.
#include "VirtualDevice.h"

#include "MidiSystem.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <optional>
#include <string_view>

#include <unistd.h>

namespace corvane {

namespace {

constexpr std::pair<RtMidi::Api, const char*> SystemNames[] = {
    {RtMidi::LINUX_ALSA, "ALSA"},
    {RtMidi::UNIX_JACK, "JACK"},
};

} // namespace

std::vector<std::string> midiSystems()
{
    std::vector<std::string> keys;
    for (const auto& [api, name] : SystemNames)
        if (midisys::compiledApi(api))
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
        if (key == RtMidi::getApiName(each) && midisys::compiledApi(each))
            api = each;
    midisys::chooseApi(api);
}

std::string chosenMidiSystem() { return midisys::chosenApiKey(); }

void prepareMidiSystem() { midisys::prepare(); }

namespace midisys {

bool compiledApi(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

namespace {

void ignoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

bool alsaUsable()
{
    // Without the sequencer device no client can be opened; asking RtMidi
    // anyway would only print the failure.
    if (!compiledApi(RtMidi::LINUX_ALSA) || ::access("/dev/snd/seq", R_OK | W_OK) != 0)
        return false;
    try {
        RtMidiIn probe(RtMidi::LINUX_ALSA, "Corvane");
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}

} // namespace

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

namespace {

InputApi makeInputNow()
{
    InputApi in = makeApi<RtMidiIn>();
    // Time-code and active-sensing stay filtered; SysEx is wanted.
    if (in)
        in->ignoreTypes(false, true, true);
    return in;
}

// The objects prepareMidiSystem() has made, or is making, for the next
// components; each taken once.
struct Prepared {
    std::mutex mutex;
    std::future<void> making;
    RtMidi::Api choice = RtMidi::UNSPECIFIED;
    bool haveIn = false, haveOut = false;
    InputApi in;
    OutputApi out;

    // What `have` marks as prepared under the choice of now, once made; an
    // empty optional when nothing is (and the caller makes its own).
    template <typename Api>
    std::optional<std::unique_ptr<Api, ApiDeleter>> take(bool& have, std::unique_ptr<Api, ApiDeleter>& made)
    {
        std::lock_guard lock(mutex);
        if (!have)
            return std::nullopt;
        have = false;
        making.wait();
        if (choice != chosenApi) {
            made.reset(); // the choice changed meanwhile
            return std::nullopt;
        }
        return std::move(made);
    }
};

Prepared& prepared()
{
    // Statics end in the reverse order of their making: the JACK session
    // must outlive objects prepared but never taken, which leave it.
    (void)jackSessionLive();
    static Prepared p;
    return p;
}

} // namespace

InputApi makeInput()
{
    Prepared& p = prepared();
    if (auto in = p.take(p.haveIn, p.in))
        return std::move(*in);
    return makeInputNow();
}

OutputApi makeOutput()
{
    Prepared& p = prepared();
    if (auto out = p.take(p.haveOut, p.out))
        return std::move(*out);
    return makeApi<RtMidiOut>();
}

void prepare()
{
    Prepared& p = prepared();
    std::lock_guard lock(p.mutex);
    if (p.haveIn || p.haveOut)
        return;
    p.in.reset();
    p.out.reset();
    p.choice = chosenApi;
    p.haveIn = p.haveOut = true;
    p.making = std::async(std::launch::async, [&p] {
        p.in = makeInputNow();
        p.out = makeApi<RtMidiOut>();
    });
}

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

} // namespace midisys
} // namespace corvane
