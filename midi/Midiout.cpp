#include "Midiout.h"

#include "MidiSystem.h"
#include "Seams.h"
#include "VirtualDevice.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <optional>
#include <thread>

namespace corvane {

namespace {
// How often a paced send looks whether its device is still there, in ms of
// wire time.
constexpr double LookMs = 250.0;
} // namespace

struct TMidiOut::Impl {
    explicit Impl(TMidiOut* owner) : q(owner) {}
    TMidiOut* q;
    bool usingPort = false;
    int port = 0;
    std::vector<midisys::DeviceEntry> table;
    midisys::OutputApi rt;
    bool isJack = false;
    // When the last message was handed to the system port; a JACK port is
    // not closed before it has left.
    std::optional<std::chrono::steady_clock::time_point> lastSystemSend;
    bool draining = false; // a close waits for the JACK port to drain

    // What the last open reached: a registered device, a system port, or
    // nothing (failed open; every send is then dropped).
    VirtualMidiDevice* openDevice = nullptr;
    bool systemOpen = false;
    midisys::DeviceEntry opened; // the entry the port is open on
    unsigned openResult = midisys::ResultOk;
    unsigned closeResult = midisys::ResultOk;
    int pacing = TMidiOut::WireSpeed;

    // Raised at every open and close: a paced send stops when its port is
    // closed or switched during one of its waits.
    unsigned session = 0;
    bool sending = false;
    bool midSysEx = false; // some but not all pieces of a SysEx are out
    struct Pending {
        std::vector<std::uint8_t> bytes;
        bool sysEx;
    };
    std::deque<Pending> pending;
    std::size_t pendingBytes = 0;
    bool overflowReported = false; // once per send that overflows

    std::array<std::uint8_t, TMidiOut::ChunkSize> chunk{};
    std::vector<std::uint8_t> whole; // a virtual device gets the message in one piece

    void open()
    {
        ++session;
        openDevice = nullptr;
        systemOpen = false;
        opened = {};
        if (port < 0 || port >= static_cast<int>(table.size())) {
            openResult = midisys::ResultBadDevice;
            return;
        }
        const midisys::DeviceEntry& e = table[static_cast<std::size_t>(port)];
        if (draining && !e.device) {
            // Asked from an event handled while the port drains: the port
            // is still the old one's until the close ends.
            openResult = midisys::ResultError;
            return;
        }
        if (e.device) {
            if (!midisys::isRegistered(e.device)) {
                openResult = midisys::ResultBadDevice;
                return;
            }
            openDevice = e.device;
            opened = e;
            openResult = midisys::ResultOk;
            return;
        }
        openResult = midisys::openSystemPort(rt.get(), e.name, "Corvane Out");
        midisys::endJackSessionOnFailure(rt.get(), openResult);
        systemOpen = openResult == midisys::ResultOk;
        if (systemOpen)
            opened = e;
    }

    // `eventsMayRun`: the wait for a JACK output to drain runs the event
    // loop (not while the component is being destroyed).
    void close(bool eventsMayRun = true)
    {
        ++session;
        pending.clear();
        pendingBytes = 0;
        closeResult = midisys::ResultOk;
        closeSysEx(); // a paced send cut short
        const bool wasOpen = systemOpen && rt;
        // Closed from here on: nothing more goes out, and a close asked for
        // while the port drains below finds nothing left to do.
        systemOpen = false;
        openDevice = nullptr;
        opened = {};
        if (!wasOpen)
            return;
        if (isJack && lastSystemSend && !midisys::jackEnded(rt.get())) {
            draining = true;
            midisys::jackLetOutputLeave(*lastSystemSend, [eventsMayRun](int ms) {
                if (eventsMayRun)
                    seams().wait(ms);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            });
            draining = false;
        }
        lastSystemSend.reset();
        try {
            rt->closePort();
        } catch (const RtMidiError&) {
            closeResult = midisys::ResultError;
        }
    }

    // A message sent while a send is going on waits for it, in a queue of
    // bounded size; what would overflow it is dropped and reported.
    void queue(const std::uint8_t* bytes, std::size_t n, bool sysEx)
    {
        if (pending.size() >= TMidiOut::MaxPendingMessages || pendingBytes + n > TMidiOut::MaxPendingBytes) {
            if (!overflowReported) {
                overflowReported = true;
                seams().messageBox(TMidiOut::QueueFullText, TMidiOut::QueueFullCaption, BoxButtons::Ok);
            }
            return;
        }
        pending.push_back({std::vector<std::uint8_t>(bytes, bytes + n), sysEx});
        pendingBytes += n;
    }

    // Everything queued meanwhile, in order. What a close cleared away was
    // meant for the port as it was; what was queued after a reopen goes out
    // on the new one, also when the send it waited for was cut short.
    void sendPending()
    {
        while (!pending.empty()) {
            const Pending next = std::move(pending.front());
            pending.pop_front();
            pendingBytes -= next.bytes.size();
            if (next.sysEx) {
                sendSysEx(next.bytes.data(), next.bytes.size());
            } else {
                if (q->OnTraffic)
                    q->OnTraffic(next.bytes.data(), next.bytes.size());
                send(next.bytes.data(), next.bytes.size());
            }
        }
        overflowReported = false;
    }

    TMidiOut::SendResult sendSysEx(const std::uint8_t* data, std::size_t size, const TMidiOut::Progress& progress = {});

    // Whether the device the port is open on is still there: a registered
    // device still registered, a system port still listed (under JACK, also
    // still connected).
    bool present() const
    {
        if (openDevice)
            return midisys::isRegistered(openDevice);
        return systemOpen && midisys::devicePresent(*this, rt.get());
    }

    // A registered device takes a message whole: `n` bytes of `data`, closed
    // with F7. False when the device has gone.
    bool deliver(const std::uint8_t* data, std::size_t n)
    {
        whole.assign(data, data + n);
        if (whole.empty() || whole.back() != 0xF7)
            whole.push_back(0xF7);
        return midisys::sendToDevice(openDevice, whole.data(), whole.size());
    }

    // Ends a SysEx whose last pieces will not follow, so that the receiver
    // does not take the next message as its continuation.
    void closeSysEx()
    {
        if (systemOpen && midSysEx) {
            const std::uint8_t end = 0xF7;
            send(&end, 1);
        }
        midSysEx = false;
    }

    // A short message sent during a paced SysEx would end it on the wire:
    // it waits for the SysEx to finish.
    void sendShort(const std::uint8_t* bytes, std::size_t n)
    {
        if (q->OnTraffic && !sending)
            q->OnTraffic(bytes, n);
        if (sending)
            queue(bytes, n, false);
        else
            send(bytes, n);
    }

    void send(const std::uint8_t* bytes, std::size_t n)
    {
        if (openDevice) {
            midisys::sendToDevice(openDevice, bytes, n);
        } else if (systemOpen) {
            try {
                rt->sendMessage(bytes, n);
            } catch (const RtMidiError&) {
            }
            lastSystemSend = std::chrono::steady_clock::now();
        }
    }
};

// Pieces of ChunkSize bytes, the first opening with F0 and the last closing
// with F7, each followed by the time it takes on the wire, the last one too,
// so that a long message is out when the call returns. The fraction of a
// millisecond is carried so that the waits add up to the message's wire
// time. A message of one piece goes out without a wait. A registered device
// gets no pieces: it takes what went out whole after the last wait.
TMidiOut::SendResult TMidiOut::Impl::sendSysEx(const std::uint8_t* data, std::size_t size,
                                               const TMidiOut::Progress& progress)
{
    SendResult r;
    r.total = size + (data[size - 1] != 0xF7 ? 1 : 0);
    if (q->OnTraffic)
        q->OnTraffic(data, size);
    const int rate = q->EffectiveRate();
    const bool paced = rate > 0 && r.total > ChunkSize;
    if (openDevice && !paced) {
        r.cutShort = !deliver(data, size);
        r.sent = r.cutShort ? 0 : r.total;
        if (progress && !r.cutShort)
            progress(r.sent, r.total);
        return r;
    }
    const unsigned mySession = session;
    double owedMs = 0.0;
    double sinceLook = 0.0;
    while (r.sent < r.total) {
        const std::size_t n = std::min<std::size_t>(ChunkSize, r.total - r.sent);
        if (systemOpen) {
            for (std::size_t i = 0; i < n; ++i)
                chunk[i] = r.sent + i < size ? data[r.sent + i] : 0xF7;
            send(chunk.data(), n);
        }
        r.sent += n;
        midSysEx = systemOpen && r.sent < r.total;
        if (paced) {
            owedMs += static_cast<double>(n) * 1000.0 / rate;
            sinceLook += static_cast<double>(n) * 1000.0 / rate;
            const int ms = static_cast<int>(owedMs);
            if (ms > 0) {
                owedMs -= ms;
                seams().waitAcceptingInput(ms);
            }
            // The wait runs the event loop: the port may have been closed
            // or switched meanwhile, or its device unplugged.
            if (sinceLook >= LookMs || r.sent == r.total || session != mySession) {
                sinceLook = 0.0;
                if (session != mySession || !present()) {
                    if (session == mySession)
                        closeSysEx();
                    r.cutShort = true;
                    return r;
                }
            }
        }
        if (progress && !progress(r.sent, r.total) && r.sent < r.total) {
            r.stopped = true;
            closeSysEx();
            break;
        }
    }
    if (openDevice && !deliver(data, std::min(r.sent, size)))
        r.cutShort = true;
    return r;
}

TMidiOut::TMidiOut(QObject* owner) : QObject(owner), d(std::make_unique<Impl>(this))
{
    d->rt = midisys::makeOutput();
    d->isJack = d->rt && d->rt->getCurrentApi() == RtMidi::UNIX_JACK;
    d->table = midisys::deviceTable(d->rt.get());
}

TMidiOut::~TMidiOut()
{
    if (d->usingPort)
        d->close(false);
}

bool TMidiOut::Using() const { return d->usingPort; }

void TMidiOut::SetUsing(bool value) { midisys::setUsing(*d, value); }

int TMidiOut::Port() const { return d->port; }

void TMidiOut::SetPort(int n) { midisys::setPort(*d, n); }

int TMidiOut::NumDevs() const { return static_cast<int>(d->table.size()); }

std::string TMidiOut::DeviceName(int i) const { return midisys::deviceName(d->table, i); }

void TMidiOut::ReadDevices()
{
    if (midisys::stale(d->rt.get())) {
        if (d->systemOpen)
            d->close();
        d->rt.reset();
    }
    if (!d->rt) {
        // No MIDI system was there at construction; perhaps there is now.
        d->rt = midisys::makeOutput();
        d->isJack = d->rt && d->rt->getCurrentApi() == RtMidi::UNIX_JACK;
    }
    midisys::readDevices(*d, d->rt.get());
}

int TMidiOut::FindDevice(const std::string& name) const { return midisys::findEntry(d->table, name); }

bool TMidiOut::DevicePresent() const { return d->usingPort && midisys::devicePresent(*d, d->rt.get()); }

unsigned TMidiOut::OpenResult() const { return d->openResult; }
unsigned TMidiOut::CloseResult() const { return d->closeResult; }

void TMidiOut::SetPacing(int bytesPerSecond) { d->pacing = std::max(0, bytesPerSecond); }
int TMidiOut::Pacing() const { return d->pacing; }

int TMidiOut::EffectiveRate() const
{
    if (!d->isJack)
        return d->pacing;
    return d->pacing == 0 ? JackMaxRate : std::min(d->pacing, JackMaxRate);
}

TMidiOut::SendResult TMidiOut::SysEx(const std::uint8_t* data, int len, const Progress& progress)
{
    if (!data || len < 3)
        return {};
    const std::size_t size = static_cast<std::size_t>(len);
    const std::size_t total = size + (data[size - 1] != 0xF7 ? 1 : 0);
    if (!d->usingPort || (!d->openDevice && !d->systemOpen))
        return {0, total, false, true}; // closed, or the open failed: nothing goes out
    if (d->sending) {
        // Called from within a paced send (an event handled during its
        // wait): the message goes out after the current one, not into it.
        d->queue(data, size, true);
        return {total, total, false, false};
    }
    d->sending = true;
    const SendResult r = d->sendSysEx(data, size, progress);
    d->sendPending();
    d->sending = false;
    return r;
}

void TMidiOut::Put(std::uint8_t status, std::uint8_t first, std::uint8_t second)
{
    if (!d->usingPort)
        return;
    // As many bytes as the status calls for.
    std::size_t n = 3;
    const std::uint8_t kind = status & 0xF0;
    if (kind == 0xC0 || kind == 0xD0 || status == 0xF1 || status == 0xF3)
        n = 2;
    else if (status == 0xF6 || status >= 0xF8)
        n = 1;
    const std::uint8_t bytes[3] = {status, first, second};
    d->sendShort(bytes, n);
}

void TMidiOut::Reset()
{
    if (!d->usingPort)
        return;
    // Sustain off and all notes off on every channel.
    for (std::uint8_t ch = 0; ch < 16; ++ch) {
        const std::uint8_t status = static_cast<std::uint8_t>(0xB0 | ch);
        const std::uint8_t sustainOff[3] = {status, 64, 0};
        const std::uint8_t allNotesOff[3] = {status, 123, 0};
        d->sendShort(sustainOff, 3);
        d->sendShort(allNotesOff, 3);
    }
}

} // namespace corvane
