#include "VirtualMirage.h"

#include <chrono>
#include <sstream>

namespace corvane {

VirtualMirage::VirtualMirage() : VirtualMidiDevice("Mirage (built-in emulator)") {}

VirtualMirage::~VirtualMirage()
{
    unregisterVirtualDevice(this);
    std::vector<std::thread> late;
    {
        std::lock_guard<std::mutex> guard(lateMutex_);
        late.swap(late_);
    }
    for (auto& t : late)
        t.join();
}

emu::MirageEmulator& VirtualMirage::emulator()
{
    if (!emulator_)
        emulator_.emplace();
    return *emulator_;
}

void VirtualMirage::setBehaviour(const Behaviour& b)
{
    std::lock_guard<std::mutex> guard(mutex_);
    behaviour_ = b;
}

VirtualMirage::Behaviour VirtualMirage::behaviour() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return behaviour_;
}

bool VirtualMirage::parseBehaviour(const std::string& text, Behaviour& b)
{
    std::istringstream words(text);
    std::string word;
    while (std::getline(words, word, ',')) {
        if (word == "silent")
            b.silent = true;
        else if (word == "echo")
            b.echo = true;
        else if (word == "late")
            b.lateMs = 150;
        else if (word.rfind("late=", 0) == 0 && word.size() > 5 && word.size() < 10 &&
                 word.find_first_not_of("0123456789", 5) == std::string::npos)
            b.lateMs = std::stoi(word.substr(5));
        else if (!word.empty())
            return false;
    }
    return true;
}

std::vector<std::vector<std::uint8_t>> VirtualMirage::replies(const std::uint8_t* data, std::size_t len)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::vector<std::uint8_t>> out;
    if (behaviour_.echo)
        out.emplace_back(data, data + len);
    // A silent instrument still takes what it is sent; it only answers nothing.
    auto answers = emulator().receive(data, len);
    if (!behaviour_.silent)
        for (auto& a : answers)
            out.push_back(std::move(a));
    return out;
}

void VirtualMirage::receive(const std::uint8_t* data, std::size_t len)
{
    auto out = replies(data, len);
    const Behaviour b = behaviour();
    const int late = b.lateMs;
    if (late > 0 && b.echo && !out.empty()) {
        // The interface hands the message back at once; only the answers
        // wait for the busy instrument.
        transmit(out.front());
        out.erase(out.begin());
    }
    if (late <= 0 || out.empty()) {
        // Sent outside the lock: delivery may come straight back to us.
        for (const auto& reply : out)
            transmit(reply);
        return;
    }
    std::lock_guard<std::mutex> guard(lateMutex_);
    if (late_.size() >= 64) {
        // Each ends after its delay: gather those of long ago.
        for (auto& t : late_)
            t.join();
        late_.clear();
    }
    late_.emplace_back([this, late, out = std::move(out)] {
        std::this_thread::sleep_for(std::chrono::milliseconds(late));
        for (const auto& reply : out)
            transmit(reply);
    });
}

} // namespace corvane
