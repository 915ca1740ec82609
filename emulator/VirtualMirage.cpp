#include "VirtualMirage.h"

namespace corvane {

VirtualMirage::VirtualMirage() : VirtualMidiDevice("Mirage (built-in emulator)") {}

VirtualMirage::~VirtualMirage() { unregisterVirtualDevice(this); }

emu::MirageEmulator& VirtualMirage::emulator()
{
    if (!emulator_)
        emulator_.emplace();
    return *emulator_;
}

void VirtualMirage::receive(const std::uint8_t* data, std::size_t len)
{
    std::vector<Message> replies;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        replies = emulator().receive(data, len);
    }
    // Sent outside the lock: delivery may come straight back to us.
    for (const auto& reply : replies)
        transmit(reply);
}

} // namespace corvane
