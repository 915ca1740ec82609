#include "MidiTraffic.h"

#include "Frames.h"
#include "HexText.h"

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
    if (entries_.size() >= maxMessages_ && !entries_.empty()) {
        // It leaves at the trim below, counted as dropped there; its bytes
        // are no longer counted from here.
        std::vector<std::uint8_t>& old = entries_.front().bytes;
        bytes_ -= old.size();
        if (old.capacity() >= stored && old.capacity() <= 2 * stored + 64)
            store = std::move(old);
        old.clear();
    }
    TrafficEntry& e = entries_.emplace_back();
    e.serial = next_++;
    e.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    e.out = out;
    e.port = portIndex(port);
    e.bytes = std::move(store);
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

void MidiTraffic::trim()
{
    // The newest message stays, however large.
    while (entries_.size() > 1 && (entries_.size() > maxMessages_ || bytes_ > maxBytes_)) {
        bytes_ -= entries_.front().bytes.size();
        entries_.pop_front();
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
    entries_.clear();
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
