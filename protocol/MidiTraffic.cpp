#include "MidiTraffic.h"

#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace corvane {

MidiTraffic::MidiTraffic() : start_(std::chrono::steady_clock::now()) {}

int MidiTraffic::portIndex(const std::string& name)
{
    for (std::size_t i = 0; i < ports_.size(); ++i)
        if (ports_[i] == name)
            return static_cast<int>(i);
    ports_.push_back(name);
    return static_cast<int>(ports_.size() - 1);
}

void MidiTraffic::add(bool out, const std::string& port, const std::uint8_t* data, std::size_t size, bool closeSysEx)
{
    if (!data || size == 0)
        return;
    const std::size_t stored = size + (closeSysEx && data[0] == sysex::Start && data[size - 1] != sysex::End ? 1 : 0);
    // A full history drops its oldest as the new one comes: the new one
    // takes over its byte store when that fits without holding much more
    // than it needs, instead of a fresh one per message.
    std::vector<std::uint8_t> store;
    if (count_ >= maxMessages_ && count_ > 0) {
        TrafficEntry& old = ring_[head_];
        if (old.bytes.capacity() >= stored && old.bytes.capacity() <= 2 * stored + 64) {
            bytes_ -= old.bytes.size();
            old.bytes.clear();
            store.swap(old.bytes);
        }
        dropOldest();
        ++dropped_;
    }
    if (count_ == ring_.size()) {
        // No free slot: the ring grows, its oldest first again.
        std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(head_), ring_.end());
        head_ = 0;
        ring_.emplace_back();
    }
    const std::size_t slot = head_ + count_ < ring_.size() ? head_ + count_ : head_ + count_ - ring_.size();
    TrafficEntry& e = ring_[slot];
    ++count_;
    e.serial = next_++;
    e.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    e.out = out;
    e.port = portIndex(port);
    if (store.capacity() > e.bytes.capacity())
        e.bytes.swap(store);
    e.bytes.reserve(stored);
    e.bytes.assign(data, data + size);
    if (stored > size)
        e.bytes.push_back(sysex::End);
    e.meaning = describeMessage(e.bytes.data(), e.bytes.size());
    // The instrument sends no requests and no key codes: arriving, they are
    // the program's own, come back.
    if (!out && (e.meaning.kind == MessageKind::Request || e.meaning.kind == MessageKind::Keys))
        e.meaning.text += " (own message, come back)";
    bytes_ += e.bytes.size();
    trim();
    if (changed)
        changed();
}

void MidiTraffic::dropOldest()
{
    TrafficEntry& old = ring_[head_];
    bytes_ -= old.bytes.size();
    // A short message's store stays with its slot; a longer one is given
    // back, so that what the history holds stays within its byte bound.
    if (old.bytes.capacity() > KeptStore)
        std::vector<std::uint8_t>().swap(old.bytes);
    old.bytes.clear();
    old.meaning = {};
    head_ = head_ + 1 < ring_.size() ? head_ + 1 : 0;
    --count_;
}

void MidiTraffic::trim()
{
    // The newest message stays, however large.
    while (count_ > 1 && (count_ > maxMessages_ || bytes_ > maxBytes_)) {
        dropOldest();
        ++dropped_;
    }
}

void MidiTraffic::setLimits(std::size_t maxMessages, std::size_t maxBytes)
{
    maxMessages_ = maxMessages > 0 ? maxMessages : 1;
    maxBytes_ = maxBytes;
    trim();
    if (changed)
        changed();
}

void MidiTraffic::clear()
{
    // All the history's memory but its slots is given back: the entries',
    // and the short byte stores the free slots keep.
    while (count_ > 0)
        dropOldest();
    for (TrafficEntry& e : ring_)
        if (e.bytes.capacity() > 0)
            std::vector<std::uint8_t>().swap(e.bytes);
    head_ = 0;
    count_ = 0;
    bytes_ = 0;
    dropped_ = 0;
    if (changed)
        changed();
}

std::vector<std::uint8_t> syxBytes(const std::vector<const TrafficEntry*>& entries)
{
    std::vector<std::uint8_t> out;
    for (const TrafficEntry* e : entries)
        if (e && e->bytes.size() >= 2 && e->bytes.front() == sysex::Start && e->bytes.back() == sysex::End)
            out.insert(out.end(), e->bytes.begin(), e->bytes.end());
    return out;
}

std::string trafficTime(long long ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
    return text;
}

std::string trafficLog(const MidiTraffic& traffic, const std::vector<const TrafficEntry*>& entries)
{
    std::string log;
    for (const TrafficEntry* e : entries) {
        if (!e)
            continue;
        log += trafficTime(e->ms) + "\t" + (e->out ? "out" : "in") + "\t" + traffic.portName(e->port) + "\t" +
               std::to_string(e->bytes.size()) + "\t" + e->meaning.text + "\t" +
               hexBytes(e->bytes.data(), e->bytes.size(), e->bytes.size()) + "\n";
    }
    return log;
}

} // namespace corvane
