// The built-in Mirage emulator as an in-process MIDI device: what an output
// port sends to it goes into the emulator, and the emulator's replies come
// back through every input port that has the device open.
#pragma once

#include "MirageEmulator.h"
#include "VirtualDevice.h"

#include <mutex>
#include <optional>

namespace corvane {

class VirtualMirage : public VirtualMidiDevice {
public:
    VirtualMirage();
    // Leaves the device tables before the emulator goes.
    ~VirtualMirage() override;

    void receive(const std::uint8_t* data, std::size_t len) override;

    // The emulator behind the device, made when it is first asked for (its
    // factory sounds take a moment to compute, and a program that never
    // talks to it need not wait for them). Use it only while no message is
    // being delivered (tests, between exchanges), or hold lock() meanwhile.
    emu::MirageEmulator& emulator();
    std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }

private:
    std::mutex mutex_;
    std::optional<emu::MirageEmulator> emulator_;
};

} // namespace corvane
