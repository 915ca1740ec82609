#include "Midiin.h"

#include "MidiSystem.h"
#include "Seams.h"
#include "VirtualDevice.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace corvane {

struct TMidiIn::Impl {
    explicit Impl(TMidiIn* owner) : q(owner), area(new std::uint8_t[2 * static_cast<std::size_t>(BufferSize)]) {}

    TMidiIn* q;
    bool usingPort = false;
    int port = 0;
    bool useShort = true;
    bool useSysEx = true;
    std::vector<midisys::DeviceEntry> table;
    midisys::InputApi rt;

    bool systemOpen = false;
    bool deviceOpen = false;
    midisys::DeviceEntry opened; // the entry the port is open on
    unsigned openResult = midisys::ResultOk;
    unsigned closeResult = midisys::ResultOk;

    // Raised at every close, once the driver can no longer call back: a
    // hand-over posted under an older generation is dropped when it arrives,
    // so nothing is delivered once closed, not even after a quick reopen.
    std::atomic<unsigned> generation{0};

    // Messages back to back in one byte store, each with the generation it
    // was posted under: a message costs no allocation of its own, and the
    // store keeps its capacity from one hand-over to the next.
    struct Batch {
        struct Message {
            unsigned generation;
            std::size_t size;
        };
        std::vector<std::uint8_t> bytes;
        std::vector<Message> messages;

        bool empty() const { return messages.empty(); }
        void add(unsigned gen, const std::uint8_t* data, std::size_t n)
        {
            bytes.insert(bytes.end(), data, data + n);
            messages.push_back({gen, n});
        }
        void append(const Batch& more)
        {
            bytes.insert(bytes.end(), more.bytes.begin(), more.bytes.end());
            messages.insert(messages.end(), more.messages.begin(), more.messages.end());
        }
        // Emptied; a store grown by a burst of long dumps is given back.
        void clear()
        {
            if (bytes.capacity() > KeptCapacity)
                std::vector<std::uint8_t>().swap(bytes);
            bytes.clear();
            messages.clear();
        }
        static constexpr std::size_t KeptCapacity = 4 * static_cast<std::size_t>(BufferSize);
    };

    // Messages copied on the driver's or a transmitting thread, waiting for
    // the component's thread; one queued call takes all that are there.
    std::mutex inboxMutex;
    Batch inbox;
    bool takeQueued = false;

    // A handler may run an event loop (a modal report): deliveries arriving
    // meanwhile wait in `held` until it returns, so the bytes it is reading
    // (in `taking`) are never overwritten under it.
    bool delivering = false;
    Batch held;
    Batch taking;

    // Messages handed over and not yet raised (posted or held), bounded:
    // a message beyond the limits is dropped and the loss reported once,
    // then again only after the queue has emptied.
    std::atomic<std::size_t> queuedMessages{0};
    std::atomic<std::size_t> queuedBytes{0};
    std::atomic<bool> overflowed{false};
    bool reportArmed = true;

    // The two receive buffers, back to back, used alternately.
    std::unique_ptr<std::uint8_t[]> area;
    int nextBuffer = 0;

    // Driver or transmitting thread: copy the message into the inbox and,
    // unless a call is already on its way, ask the component's thread to
    // take it. The call is queued while the inbox is locked, so the message
    // is handed over through the inbox's lock alone, whatever the event
    // queue does inside.
    void post(const std::uint8_t* data, std::size_t n)
    {
        const std::lock_guard lock(inboxMutex);
        if (queuedMessages.load() >= TMidiIn::MaxQueuedMessages || queuedBytes.load() + n > TMidiIn::MaxQueuedBytes) {
            overflowed = true;
            return;
        }
        queuedMessages.fetch_add(1);
        queuedBytes.fetch_add(n);
        inbox.add(generation.load(), data, n);
        if (!takeQueued) {
            takeQueued = true;
            QMetaObject::invokeMethod(q, "takeInbox", Qt::QueuedConnection);
        }
    }

    static void rtCallback(double, std::vector<unsigned char>* message, void* user)
    {
        if (message && !message->empty())
            static_cast<Impl*>(user)->post(message->data(), message->size());
    }

    bool current(unsigned gen) const { return usingPort && gen == generation.load(); }

    // Component's thread: deliver what has arrived, in order, behind any
    // delivery still running further up the stack.
    void takeInbox()
    {
        {
            const std::lock_guard lock(inboxMutex);
            if (held.empty()) {
                held.bytes.swap(inbox.bytes);
                held.messages.swap(inbox.messages);
            } else {
                held.append(inbox);
            }
            inbox.clear();
            takeQueued = false;
        }
        if (delivering)
            return;
        delivering = true;
        // What arrives during a report of overflow waits its turn too.
        do {
            while (!held.empty()) {
                taking.bytes.swap(held.bytes);
                taking.messages.swap(held.messages);
                held.clear();
                const std::uint8_t* at = taking.bytes.data();
                for (const Batch::Message& m : taking.messages) {
                    dequeued(m.size);
                    deliverOne(m.generation, at, m.size);
                    at += m.size;
                }
                taking.clear();
            }
            reportOverflow();
        } while (!held.empty());
        delivering = false;
    }

    void dequeued(std::size_t n)
    {
        queuedBytes.fetch_sub(n);
        if (queuedMessages.fetch_sub(1) == 1)
            reportArmed = true;
    }

    void reportOverflow()
    {
        if (!overflowed.exchange(false) || !reportArmed)
            return;
        reportArmed = false;
        seams().messageBox(TMidiIn::OverrunText, TMidiIn::OverrunCaption, BoxButtons::Ok);
    }

    void deliverOne(unsigned gen, const std::uint8_t* bytes, std::size_t size)
    {
        if (!current(gen) || size == 0)
            return;
        if (q->OnTraffic)
            q->OnTraffic(bytes, size);
        if (bytes[0] != 0xF0 && size <= 3) {
            if (useShort && q->OnShort)
                q->OnShort(q, bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
            return;
        }
        // A message longer than a buffer fills it, is delivered, and its
        // remainder goes into the other buffer as the next event.
        std::size_t offset = 0;
        while (offset < size) {
            const std::size_t n = std::min<std::size_t>(BufferSize, size - offset);
            std::uint8_t* buffer = area.get() + static_cast<std::size_t>(BufferSize) * nextBuffer;
            nextBuffer ^= 1;
            std::memcpy(buffer, bytes + offset, n);
            offset += n;
            if (useSysEx && q->OnSysEx)
                q->OnSysEx(q, buffer, static_cast<int>(n));
            // The handler may have closed the port.
            if (!current(gen))
                return;
        }
    }

    void open()
    {
        systemOpen = false;
        deviceOpen = false;
        opened = {};
        if (port < 0 || port >= static_cast<int>(table.size())) {
            openResult = midisys::ResultBadDevice;
            return;
        }
        const midisys::DeviceEntry& e = table[static_cast<std::size_t>(port)];
        if (e.device) {
            deviceOpen = midisys::addListener(e.device, this,
                                              [this](const std::uint8_t* data, std::size_t n) { post(data, n); });
            openResult = deviceOpen ? midisys::ResultOk : midisys::ResultBadDevice;
            if (deviceOpen)
                opened = e;
            return;
        }
        openResult = midisys::openSystemPort(rt.get(), e.name, "Corvane In");
        midisys::endJackSessionOnFailure(rt.get(), openResult);
        systemOpen = openResult == midisys::ResultOk;
        if (systemOpen)
            opened = e;
    }

    void close()
    {
        closeResult = midisys::ResultOk;
        if (deviceOpen)
            midisys::removeListener(this);
        if (systemOpen && rt) {
            try {
                rt->closePort();
            } catch (const RtMidiError&) {
                closeResult = midisys::ResultError;
            }
        }
        deviceOpen = false;
        systemOpen = false;
        opened = {};
        // Only now: a callback still running while the driver was being
        // stopped has posted under the old generation.
        ++generation;
        for (const auto& m : held.messages)
            dequeued(m.size);
        held.clear();
        const std::lock_guard lock(inboxMutex);
        for (const auto& m : inbox.messages)
            dequeued(m.size);
        inbox.clear();
    }

    void makeApi()
    {
        rt = midisys::makeInput();
        if (rt) {
            try {
                rt->setCallback(&Impl::rtCallback, this);
            } catch (const RtMidiError&) {
                rt.reset();
            }
        }
    }
};

TMidiIn::TMidiIn(QObject* owner) : QObject(owner), d(std::make_unique<Impl>(this))
{
    d->makeApi();
    d->table = midisys::deviceTable(d->rt.get());
}

TMidiIn::~TMidiIn()
{
    if (d->usingPort)
        d->close();
    midisys::removeListener(d.get());
    // No driver callback may run once the component is gone.
    d->rt.reset();
}

void TMidiIn::takeInbox() { d->takeInbox(); }

bool TMidiIn::Using() const { return d->usingPort; }

void TMidiIn::SetUsing(bool value) { midisys::setUsing(*d, value); }

int TMidiIn::Port() const { return d->port; }

void TMidiIn::SetPort(int n) { midisys::setPort(*d, n); }

int TMidiIn::NumDevs() const { return static_cast<int>(d->table.size()); }

std::string TMidiIn::DeviceName(int i) const { return midisys::deviceName(d->table, i); }

void TMidiIn::ReadDevices()
{
    if (midisys::stale(d->rt.get())) {
        if (d->systemOpen)
            d->close();
        d->rt.reset();
    }
    if (!d->rt)
        d->makeApi(); // no MIDI system at construction; perhaps there is now
    midisys::readDevices(*d, d->rt.get());
}

int TMidiIn::FindDevice(const std::string& name) const { return midisys::findEntry(d->table, name); }

bool TMidiIn::DevicePresent() const { return d->usingPort && midisys::devicePresent(*d, d->rt.get()); }

std::string TMidiIn::SystemName() const { return d->rt ? RtMidi::getApiName(d->rt->getCurrentApi()) : std::string(); }

unsigned TMidiIn::OpenResult() const { return d->openResult; }
unsigned TMidiIn::CloseResult() const { return d->closeResult; }

bool TMidiIn::UseShort() const { return d->useShort; }
void TMidiIn::SetUseShort(bool value) { d->useShort = value; }
bool TMidiIn::UseSysEx() const { return d->useSysEx; }
void TMidiIn::SetUseSysEx(bool value) { d->useSysEx = value; }

} // namespace corvane
