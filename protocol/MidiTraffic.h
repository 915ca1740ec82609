// The MIDI monitor's history: every message that left an output port or
// arrived at an input port, in order, with its time, direction and port.
// Bounded by a count and a byte total; the oldest go first and are counted.
// Filled on the user-interface thread where messages pass anyway (the
// output port's send, the input port's hand-over). Plain C++.
#pragma once

#include "MessageText.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

struct TrafficEntry {
    std::uint64_t serial = 0; // counts every message since start, dropped ones too
    long long ms = 0;         // since the history began
    bool out = false;
    int port = 0;             // index into MidiTraffic::portNames()
    std::vector<std::uint8_t> bytes;
    MessageMeaning meaning;
};

class MidiTraffic {
public:
    static constexpr std::size_t DefaultMaxMessages = 10000;
    static constexpr std::size_t DefaultMaxBytes = 16u * 1024 * 1024;

    MidiTraffic();

    // One whole message as it crossed the wire; `closeSysEx` adds the End
    // of Exclusive the output port adds to a SysEx that lacks it.
    void add(bool out, const std::string& port, const std::uint8_t* data, std::size_t size, bool closeSysEx = false);

    std::size_t size() const { return count_; }
    const TrafficEntry& at(std::size_t i) const
    {
        const std::size_t at = head_ + i;
        return ring_[at < ring_.size() ? at : at - ring_.size()];
    }
    // Serial of the next message to arrive; the oldest kept is
    // nextSerial() - size().
    std::uint64_t nextSerial() const { return next_; }
    // Messages dropped to keep within the bounds since the last clear().
    std::uint64_t dropped() const { return dropped_; }
    std::size_t bytes() const { return bytes_; }
    const std::string& portName(int i) const { return ports_[static_cast<std::size_t>(i)]; }
    int portCount() const { return static_cast<int>(ports_.size()); }

    void setLimits(std::size_t maxMessages, std::size_t maxBytes);
    std::size_t maxMessages() const { return maxMessages_; }
    std::size_t maxBytes() const { return maxBytes_; }
    void clear();

    // Told after each message added (and after drops and clears): the
    // monitor window appends what is new.
    std::function<void()> changed;

private:
    int portIndex(const std::string& name);
    void trim();
    // The oldest goes; its slot is left free for a new one.
    void dropOldest();

    // The entries in a ring of slots, oldest at head_: a slot and a short
    // byte store outlive the message in them, so that a steady stream
    // through a full history allocates little more than its texts.
    std::vector<TrafficEntry> ring_;
    static constexpr std::size_t KeptStore = 64;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::vector<std::string> ports_;
    std::uint64_t next_ = 0;
    std::uint64_t dropped_ = 0;
    std::size_t bytes_ = 0;
    std::size_t maxMessages_ = DefaultMaxMessages;
    std::size_t maxBytes_ = DefaultMaxBytes;
    std::chrono::steady_clock::time_point start_;
};

// The bytes of the messages as a .syx file: SysEx messages back to back,
// each from F0 to F7. Other messages have no place in it and are left out.
std::vector<std::uint8_t> syxBytes(const std::vector<const TrafficEntry*>& entries);
// One line per message: time, direction, port, length, meaning, all bytes.
std::string trafficLog(const MidiTraffic& traffic, const std::vector<const TrafficEntry*>& entries);
// "12.345" seconds, as the monitor shows a time.
std::string trafficTime(long long ms);

} // namespace corvane
