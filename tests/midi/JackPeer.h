// The far end of a JACK MIDI link, in-process: one RtMidi client with a
// virtual input that collects whole messages, one with a virtual output that
// sends long SysEx in pieces at a rate a JACK port buffer can take. And a
// peer that never runs its process cycle.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <algorithm>
#include <vector>

namespace corvane::test {

class JackPeer {
public:
    static constexpr const char* InClient = "corvane-peer-in";
    static constexpr const char* OutClient = "corvane-peer-out";

    JackPeer() : in_(RtMidi::UNIX_JACK, InClient), out_(RtMidi::UNIX_JACK, OutClient)
    {
        in_.ignoreTypes(false, true, true);
        in_.setCallback(&JackPeer::onMessage, this);
        in_.openVirtualPort("in");
        out_.openVirtualPort("out");
    }

    std::size_t receivedCount()
    {
        std::lock_guard lock(mutex_);
        return received_.size();
    }

    std::vector<std::vector<std::uint8_t>> takeReceived()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(received_, {});
    }

    // Sends on the calling thread, pausing after each piece.
    void send(const std::vector<std::uint8_t>& m, std::size_t piece = 256, int bytesPerSecond = 32768)
    {
        for (std::size_t at = 0; at < m.size(); at += piece) {
            const std::size_t n = std::min(piece, m.size() - at);
            out_.sendMessage(m.data() + at, n);
            std::this_thread::sleep_for(std::chrono::microseconds(1'000'000 * n / bytesPerSecond));
        }
    }

private:
    static void onMessage(double, std::vector<unsigned char>* m, void* self)
    {
        auto* peer = static_cast<JackPeer*>(self);
        std::lock_guard lock(peer->mutex_);
        peer->received_.emplace_back(m->begin(), m->end());
    }

    // Constructed before the clients whose callbacks use them.
    std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> received_;
    RtMidiIn in_;
    RtMidiOut out_;
};

// A client with a MIDI output "out1" and input "in1", activated without a
// process callback: it never clears its output buffer, and the server waits
// for its part of every cycle in vain. Such peers are programs of their own:
// jack_silent_peer runs one.
class SilentJackPeer {
public:
    explicit SilentJackPeer(const char* name = "interface")
        : client_(jack_client_open(name, JackNoStartServer, nullptr))
    {
        if (!client_)
            return;
        jack_port_register(client_, "out1", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_port_register(client_, "in1", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_activate(client_);
    }
    ~SilentJackPeer()
    {
        if (client_)
            jack_client_close(client_);
    }
    SilentJackPeer(const SilentJackPeer&) = delete;
    SilentJackPeer& operator=(const SilentJackPeer&) = delete;
    bool ready() const { return client_ != nullptr; }

private:
    jack_client_t* client_;
};

// Index of the first device whose name contains `part`, -1 if none.
template <typename Port>
int findDevice(const Port& port, const std::string& part)
{
    for (int i = 0; i < port.NumDevs(); ++i)
        if (port.DeviceName(i).find(part) != std::string::npos)
            return i;
    return -1;
}

// A SysEx of `size` bytes with the Mirage's header, varied data bytes and
// the given last byte.
inline std::vector<std::uint8_t> mirageMessage(std::size_t size, std::uint8_t command, std::uint8_t last)
{
    std::vector<std::uint8_t> m(size);
    m[0] = 0xF0;
    m[1] = 0x0F;
    m[2] = 0x01;
    m[3] = command;
    for (std::size_t i = 4; i + 1 < size; ++i)
        m[i] = static_cast<std::uint8_t>((i * 13 + i / 256) & 0x0F);
    m[size - 1] = last;
    return m;
}

} // namespace corvane::test
