// The built-in Mirage emulator as an in-process MIDI device: what an output
// port sends to it goes into the emulator, and the emulator's replies come
// back through every input port that has the device open.
#pragma once

#include "MirageEmulator.h"
#include "VirtualDevice.h"

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

    // Ways a real instrument and interface misbehave, for trying the
    // program against them: an instrument that answers nothing (unplugged,
    // SysEx off), an interface that hands every message back (a MIDI thru
    // loop), and an instrument busy for a moment before each answer.
    struct Behaviour {
        bool silent = false;
        bool echo = false;
        int lateMs = 0;
    };
    void setBehaviour(const Behaviour& b);
    Behaviour behaviour() const;
    // Parses "silent", "echo", "late" or "late=MS", comma-separated; false
    // for a word it does not know.
    static bool parseBehaviour(const std::string& text, Behaviour& b);

protected:
    // The replies to `data`, the echo first, as the behaviour makes them.
    std::vector<std::vector<std::uint8_t>> replies(const std::uint8_t* data, std::size_t len);

private:
    mutable std::mutex mutex_;
    std::optional<emu::MirageEmulator> emulator_;
    Behaviour behaviour_;
    std::mutex lateMutex_;
    std::vector<std::thread> late_;
};

} // namespace corvane
