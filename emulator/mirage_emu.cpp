// mirage-emu: the Mirage emulator behind a pair of virtual MIDI ports.
//
// Whatever arrives on the input port is fed, in order, to the emulator on one
// worker thread (the main thread); its replies leave through the output port.
// Long replies go out in chunks with a gap between them, because a JACK MIDI
// port buffer holds only a few kilobytes per process cycle, RtMidi's JACK
// ring buffer holds 16 KiB and an ALSA client's output buffer about as much.
#include "CorvaneVersion.h"
#include "HexText.h"
#include "ImageDisk.h"
#include "MirageEmulator.h"
#include "SysExAssembler.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using corvane::Message;

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

struct Options {
    std::string api;                 // "", "alsa" or "jack"
    std::string inName = "Mirage emulator in";
    std::string outName = "Mirage emulator out";
    std::string clientName = "mirage-emu";
    double pace = 0;                 // bytes per second; 0 = no wire-speed pacing
    std::size_t chunk = 256;         // bytes per piece of a long reply
    int chunkGapMs = 4;              // pause between the pieces
    bool verbose = false;
    std::string disk;                // a disk image file as the emulator's disk
    bool silent = false;             // answers nothing
    bool echo = false;               // hands every message back, as a MIDI thru loop does
    int lateMs = 0;                  // busy this long before each answer
};

void printHelp()
{
    std::cout <<
        "Usage: mirage-emu [options]\n"
        "Runs an Ensoniq Mirage emulator behind two virtual MIDI ports.\n\n"
        "  --api jack|alsa        MIDI system (default: ALSA if it opens, else JACK)\n"
        "  --in-name NAME         input port name (default \"Mirage emulator in\")\n"
        "  --out-name NAME        output port name (default \"Mirage emulator out\")\n"
        "  --client-name NAME     MIDI client name (default \"mirage-emu\")\n"
        "  --pace BYTES_PER_SEC   send replies no faster than this; 3125 is MIDI wire\n"
        "                         speed. Default 0: no pacing beyond the chunk gap.\n"
        "  --chunk BYTES          long replies leave in pieces of this size (default 256)\n"
        "  --chunk-gap-ms MS      pause between the pieces (default 4)\n"
        "  --disk IMAGE           a Mirage floppy disk image (450560 bytes) as the disk:\n"
        "                         starts from its sound 1; \"Load Sound n\" reads sound n\n"
        "                         from it and \"Save Sound n\" writes into it\n"
        "  --silent               answer nothing (an instrument with SysEx off)\n"
        "  --echo                 send every message received straight back (a thru loop)\n"
        "  --late MS              wait MS before each answer (a busy instrument)\n"
        "  --verbose              print every message received and sent, in hex\n"
        "  --version              the version\n"
        "  --help                 this text\n\n"
        "Prints \"mirage-emu: ready\" once the ports are open; ends on SIGINT or SIGTERM.\n";
}

std::optional<Options> parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                std::cerr << "mirage-emu: " << a << " needs a value\n";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        auto number = [&](double& out) {
            auto v = value();
            if (!v)
                return false;
            char* end = nullptr;
            out = std::strtod(v->c_str(), &end);
            if (end == v->c_str() || *end != '\0' || out < 0) {
                std::cerr << "mirage-emu: bad number for " << a << ": " << *v << "\n";
                return false;
            }
            return true;
        };
        if (a == "--help" || a == "-h") {
            printHelp();
            std::exit(0);
        } else if (a == "--version") {
            std::cout << "mirage-emu " CORVANE_VERSION "\n";
            std::exit(0);
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--echo") {
            o.echo = true;
        } else if (a == "--late") {
            double d = 0;
            if (!number(d) || d > 60000)
                return std::nullopt;
            o.lateMs = static_cast<int>(d);
        } else if (a == "--api") {
            auto v = value();
            if (!v || (*v != "jack" && *v != "alsa")) {
                std::cerr << "mirage-emu: --api takes jack or alsa\n";
                return std::nullopt;
            }
            o.api = *v;
        } else if (a == "--disk") {
            auto v = value();
            if (!v)
                return std::nullopt;
            o.disk = *v;
        } else if (a == "--in-name" || a == "--out-name" || a == "--client-name") {
            auto v = value();
            if (!v)
                return std::nullopt;
            (a == "--in-name" ? o.inName : a == "--out-name" ? o.outName : o.clientName) = *v;
        } else if (a == "--pace") {
            if (!number(o.pace))
                return std::nullopt;
        } else if (a == "--chunk") {
            double d = 0;
            if (!number(d) || d < 16)
                return std::nullopt;
            o.chunk = static_cast<std::size_t>(d);
        } else if (a == "--chunk-gap-ms") {
            double d = 0;
            if (!number(d))
                return std::nullopt;
            o.chunkGapMs = static_cast<int>(d);
        } else {
            std::cerr << "mirage-emu: unknown option " << a << " (see --help)\n";
            return std::nullopt;
        }
    }
    return o;
}

std::string hex(const std::uint8_t* data, std::size_t len)
{
    return corvane::hexBytes(data, len, 24);
}

// Messages from RtMidi's thread to the worker, in arrival order.
struct Inbox {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Message> messages;
    std::atomic<bool> errorSeen{false};
    std::string lastError;
};

void onMidiIn(double, std::vector<unsigned char>* message, void* user)
{
    auto* inbox = static_cast<Inbox*>(user);
    if (!message || message->empty())
        return;
    {
        std::lock_guard<std::mutex> lock(inbox->mutex);
        inbox->messages.emplace_back(message->begin(), message->end());
    }
    inbox->ready.notify_one();
}

void onMidiError(RtMidiError::Type type, const std::string& text, void* user)
{
    auto* inbox = static_cast<Inbox*>(user);
    std::lock_guard<std::mutex> lock(inbox->mutex);
    inbox->lastError = text;
    if (type != RtMidiError::DEBUG_WARNING)
        inbox->errorSeen = true;
}

struct Ports {
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    RtMidi::Api api = RtMidi::UNSPECIFIED;
};

bool compiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (auto a : apis)
        if (a == api)
            return true;
    return false;
}

std::optional<Ports> openPorts(RtMidi::Api api, const Options& o, Inbox& inbox)
{
    if (!compiled(api))
        return std::nullopt;
    Ports p;
    p.api = api;
    try {
        p.in = std::make_unique<RtMidiIn>(api, o.clientName, 1000);
        p.out = std::make_unique<RtMidiOut>(api, o.clientName);
        inbox.errorSeen = false;
        p.in->setErrorCallback(&onMidiError, &inbox);
        p.out->setErrorCallback(&onMidiError, &inbox);
        // Counting the ports makes the client connect, so a missing server
        // shows up here rather than as a crash when the port is registered.
        p.in->getPortCount();
        p.out->getPortCount();
        if (inbox.errorSeen)
            return std::nullopt;
        p.in->ignoreTypes(false, true, true);
        p.in->setCallback(&onMidiIn, &inbox);
        p.in->openVirtualPort(o.inName);
        p.out->openVirtualPort(o.outName);
        if (inbox.errorSeen)
            return std::nullopt;
    } catch (const RtMidiError& e) {
        std::lock_guard<std::mutex> lock(inbox.mutex);
        inbox.lastError = e.getMessage();
        return std::nullopt;
    }
    return p;
}

void sleepMs(double ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000)));
}

// Long replies leave in pieces of `chunk` bytes, the first starting with F0
// and the last ending with F7, with a pause between them. On JACK this keeps
// each process cycle within the port buffer and RtMidi's ring buffer; on
// ALSA the sequencer's event encoder passes a SysEx on in pieces of its
// buffer size, which RtMidi sets to the largest message it has been given,
// so equal pieces keep the events small enough for the output buffer.
void send(Ports& ports, const Options& o, const Message& m)
{
    const std::size_t chunk = std::max<std::size_t>(o.chunk, 16);
    for (std::size_t at = 0; at < m.size(); at += chunk) {
        const std::size_t len = std::min(chunk, m.size() - at);
        try {
            ports.out->sendMessage(m.data() + at, len);
        } catch (const RtMidiError& e) {
            std::cerr << "mirage-emu: send failed: " << e.getMessage() << "\n";
            return;
        }
        double gapMs = o.pace > 0 ? 1000.0 * static_cast<double>(len) / o.pace : 0.0;
        if (at + len < m.size())
            gapMs = std::max(gapMs, static_cast<double>(o.chunkGapMs));
        sleepMs(gapMs);
    }
}

// The ports to the computer: ALSA or JACK as asked, or, left to choose,
// ALSA where a sequencer device exists (which spares the log the ALSA
// library's complaints on JACK-only machines), else JACK.
std::optional<Ports> openAnyPorts(const Options& o, Inbox& inbox)
{
    std::optional<Ports> ports;
    if (o.api == "alsa" || (o.api.empty() && std::filesystem::exists("/dev/snd/seq")))
        ports = openPorts(RtMidi::LINUX_ALSA, o, inbox);
    if (!ports && (o.api == "jack" || o.api.empty()))
        ports = openPorts(RtMidi::UNIX_JACK, o, inbox);
    if (!ports) {
        std::cerr << "mirage-emu: cannot open MIDI ports";
        if (!inbox.lastError.empty())
            std::cerr << ": " << inbox.lastError;
        std::cerr << "\n";
    }
    return ports;
}

// The whole messages that arrived within 50 ms, and those whose end never
// came within a second.
std::vector<Message> nextMessages(Inbox& inbox, corvane::emu::SysExAssembler& assembler)
{
    std::deque<Message> batch;
    {
        std::unique_lock<std::mutex> lock(inbox.mutex);
        inbox.ready.wait_for(lock, std::chrono::milliseconds(50), [&] { return !inbox.messages.empty(); });
        batch.swap(inbox.messages);
    }
    std::vector<Message> whole;
    for (const auto& piece : batch)
        for (auto& m : assembler.add(piece))
            whole.push_back(std::move(m));
    for (auto& m : assembler.expire(std::chrono::milliseconds(1000)))
        whole.push_back(std::move(m));
    return whole;
}

// One message to the emulator, and its replies back, as the options have
// the instrument behave.
void answer(Ports& ports, const Options& o, corvane::emu::MirageEmulator& emulator, const Message& m)
{
    if (o.verbose)
        std::cout << "in:  " << hex(m.data(), m.size()) << std::endl;
    if (o.echo)
        send(ports, o, m);
    auto replies = emulator.receive(m);
    if (o.silent)
        replies.clear();
    if (o.lateMs > 0 && !replies.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(o.lateMs));
    for (const auto& reply : replies) {
        if (o.verbose)
            std::cout << "out: " << hex(reply.data(), reply.size()) << std::endl;
        send(ports, o, reply);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parseOptions(argc, argv);
    if (!options)
        return 2;
    const Options& o = *options;
    corvane::emu::ImageDisk disk(o.disk, [](const std::string& text) { std::cerr << "mirage-emu: " << text << std::endl; });
    if (!o.disk.empty()) {
        if (const std::string error = disk.check(); !error.empty()) {
            std::cerr << "mirage-emu: " << error << "\n";
            return 1;
        }
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    Inbox inbox;
    std::optional<Ports> ports = openAnyPorts(o, inbox);
    if (!ports)
        return 1;

    corvane::emu::MirageEmulator emulator;
    if (!o.disk.empty()) {
        disk.attach(emulator);
        emulator.reset(); // starts from the image's sound 1
    }
    corvane::emu::SysExAssembler assembler;
    std::cout << "mirage-emu: ready (" << RtMidi::getApiName(ports->api) << ", in \"" << o.inName
              << "\", out \"" << o.outName << "\")" << std::endl;
    std::fflush(stdout);

    while (!stopRequested)
        for (const auto& m : nextMessages(inbox, assembler))
            answer(*ports, o, emulator, m);

    try {
        ports->in->cancelCallback();
        ports->in->closePort();
        ports->out->closePort();
    } catch (const RtMidiError&) {
    }
    std::cout << "mirage-emu: stopped" << std::endl;
    return 0;
}
