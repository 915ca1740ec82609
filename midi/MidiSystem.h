// Internals shared by the port components: the choice of the system MIDI API,
// the device tables and the registry of in-process devices with the inputs
// listening to them. Not part of the components' interface.
#pragma once

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class VirtualMidiDevice;

namespace midisys {

// Results stored as open and close results; 0 means ready, as the owner
// reads them.
constexpr unsigned ResultOk = 0;
constexpr unsigned ResultError = 1;       // the MIDI API failed or is absent
constexpr unsigned ResultBadDevice = 2;   // no such device (any more)

// Destroys an RtMidi object; one on JACK then leaves the JACK session.
struct ApiDeleter {
    void operator()(RtMidiIn* api) const;
    void operator()(RtMidiOut* api) const;

private:
    template <typename Api>
    static void destroy(Api* api);
};
using InputApi = std::unique_ptr<RtMidiIn, ApiDeleter>;
using OutputApi = std::unique_ptr<RtMidiOut, ApiDeleter>;

// Creates the RtMidi objects of the system API: ALSA when a sequencer
// client can be opened (decided once per process), otherwise JACK when a
// server runs and the JACK session can be joined (no server is ever
// started), otherwise none: null, and no system devices. Every RtMidiError
// is swallowed here and in the error callback installed on them.
InputApi makeInput();
OutputApi makeOutput();
// Has the next input and output objects made on a thread of their own;
// makeInput() and makeOutput() take them (prepareMidiSystem()).
void prepare();

// The API chosen for the program (UNSPECIFIED: the first that works), and
// whether an RtMidi object on `api` may stay as the choice is now.
void chooseApi(RtMidi::Api api);
std::string chosenApiKey();
bool isChosen(RtMidi::Api api);

// Whether RtMidi was built with this MIDI system.
bool compiledApi(RtMidi::Api api);

// The JACK session (VirtualDevice.cpp tells why there is one): an RtMidi
// object on JACK is made only after joining it, and leaves it when
// destroyed (ApiDeleter). Once the session has ended (the server shut a
// client of it down, or may have), the objects of it are destroyed before
// any other is made: joining fails until then.
bool jackJoin();
void jackLeave();
bool jackSessionLive();
void jackEndSession();

// Whether `api` is on JACK and its session has ended: it must be destroyed
// without being used further.
template <typename Api>
bool jackEnded(Api* api)
{
    return api && api->getCurrentApi() == RtMidi::UNIX_JACK && !jackSessionLive();
}

// Whether the component's RtMidi object must be made afresh at the next
// reading of the devices: another system is chosen now, or its JACK session
// has ended (see jackEnded).
template <typename Api>
bool stale(Api* api)
{
    return api && (!isChosen(api->getCurrentApi()) || jackEnded(api));
}

// One entry of a device table: a registered in-process device, or a system
// port remembered by name so that a port renumbered since construction is
// still found when it is opened.
struct DeviceEntry {
    std::string name;
    VirtualMidiDevice* device = nullptr;
};

// The registered devices first, then every system port.
std::vector<DeviceEntry> deviceTable(RtMidi* api);

// Index of the system port called `name` right now, -1 when it has gone.
int findPort(RtMidi* api, const std::string& name);

// Whether the JACK port called `name` is connected to any other port. A
// device started again between two looks is listed under its old name, but
// the connection to ours went with its old port. True when it cannot be told
// (no JACK here, or no server to ask).
bool jackPortConnected(const std::string& name);

// Waits, at most a few periods, until what a JACK output port was given at
// `lastSend` has reached the ports connected to it, through `wait` (which
// may run the event loop). RtMidi moves a message
// into the port buffer at the next cycle and unregisters a closing port as
// soon as its own part of that cycle is done; a receiver whose part comes
// later in the same cycle would find nothing. Returns at once without a
// server, or when the send was several periods ago.
void jackLetOutputLeave(std::chrono::steady_clock::time_point lastSend, const std::function<void(int ms)>& wait);

// A JACK port that is listed but cannot be opened: the server has most
// likely dropped our client, so the session ends.
template <typename Api>
void endJackSessionOnFailure(Api* api, unsigned openResult)
{
    if (openResult == ResultError && api && api->getCurrentApi() == RtMidi::UNIX_JACK)
        jackEndSession();
}

// Index in `table` of the device called `name`, -1 when none: the same name,
// or else one that differs only in the client and port numbers ALSA appends
// (a client started again gets new ones).
int findEntry(const std::vector<DeviceEntry>& table, const std::string& name);

bool isRegistered(VirtualMidiDevice* device);

// Hands a message to a registered device (false, and nothing happens, when
// it is not). Unregistering the device waits until the hand-over is done.
bool sendToDevice(VirtualMidiDevice* device, const std::uint8_t* data, std::size_t len);

// Inputs listening to an in-process device. `post` is called with every
// message the device transmits, on the transmitting thread; it must only
// copy and hand over.
using Listener = std::function<void(const std::uint8_t*, std::size_t)>;
// False when the device is not registered (nothing is added).
bool addListener(VirtualMidiDevice* device, const void* owner, Listener post);
void removeListener(const void* owner);

// Opens the system port called `name` on `api` (under our own port name
// `ourName`). Returns the open result; never throws.
unsigned openSystemPort(RtMidi* api, const std::string& name, const char* ourName);

// The rules both port components share for `Using` and `Port`, on their
// private parts (members usingPort, port, table; open() and close()).
template <typename Impl>
void setUsing(Impl& d, bool value)
{
    if (value && !d.usingPort)
        d.open();
    else if (!value && d.usingPort)
        d.close();
    d.usingPort = value;
}

template <typename Impl>
void setPort(Impl& d, int n)
{
    // Only the upper bound is checked: -1 is taken, and its open fails.
    if (n >= static_cast<int>(d.table.size()))
        return;
    if (!d.usingPort) {
        d.port = n;
        return;
    }
    d.close();
    d.port = n;
    d.open();
}

// Reads the device table afresh (private parts as above, and `opened`, the
// entry the port is open on). An open port stays open on its device, and
// `Port` follows that device to its number in the new table.
template <typename Impl>
void readDevices(Impl& d, RtMidi* api)
{
    std::vector<DeviceEntry> fresh = deviceTable(api);
    if (d.usingPort && (d.opened.device || !d.opened.name.empty())) {
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            if (fresh[i].device == d.opened.device && fresh[i].name == d.opened.name) {
                d.port = static_cast<int>(i);
                break;
            }
        }
    }
    d.table = std::move(fresh);
}

// Whether the device the port is open on is still there.
template <typename Impl, typename Api>
bool devicePresent(const Impl& d, Api* api)
{
    if (d.opened.device)
        return isRegistered(d.opened.device);
    if (d.opened.name.empty() || jackEnded(api) || findPort(api, d.opened.name) < 0)
        return false;
    return api->getCurrentApi() != RtMidi::UNIX_JACK || jackPortConnected(d.opened.name);
}

inline std::string deviceName(const std::vector<DeviceEntry>& table, int i)
{
    if (i < 0 || i >= static_cast<int>(table.size()))
        return {};
    return table[static_cast<std::size_t>(i)].name;
}

} // namespace midisys
} // namespace corvane
