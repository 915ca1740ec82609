// An in-process MIDI device that appears in the device tables of TMidiIn and
// TMidiOut ahead of the system's devices. The built-in Mirage emulator is one;
// tests register others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class TMidiIn;

class VirtualMidiDevice {
public:
    explicit VirtualMidiDevice(std::string name);
    virtual ~VirtualMidiDevice();
    VirtualMidiDevice(const VirtualMidiDevice&) = delete;
    VirtualMidiDevice& operator=(const VirtualMidiDevice&) = delete;

    const std::string& name() const { return name_; }

    // A message sent to this device by an output port, exactly as it left
    // the port (End of Exclusive included). Called on the sender's thread.
    virtual void receive(const std::uint8_t* data, std::size_t len) = 0;

    // Sends a message from this device to every input port that has it open.
    // Safe from any thread: delivery happens on the input's thread through
    // the input's ordinary hand-over.
    void transmit(const std::uint8_t* data, std::size_t len);
    void transmit(const std::vector<std::uint8_t>& m) { transmit(m.data(), m.size()); }

private:
    std::string name_;
};

// Devices registered here are listed first, in order of registration, by
// every TMidiIn and TMidiOut constructed afterwards.
void registerVirtualDevice(VirtualMidiDevice* device);
void unregisterVirtualDevice(VirtualMidiDevice* device);
std::vector<VirtualMidiDevice*> virtualDevices();

// The MIDI systems the system devices can be reached through, by key:
// "alsa" and "jack", those this build has, in that order.
std::vector<std::string> midiSystems();
// The name shown for a system ("ALSA", "JACK"); "" for an unknown key.
std::string midiSystemName(const std::string& key);
// The system chosen for the program: "" lets it pick (ALSA where a sequencer
// client opens, otherwise JACK where a server runs); an unknown key counts
// as "". Ports made afterwards use it, and so do those whose devices are
// read afresh.
void chooseMidiSystem(const std::string& key);
std::string chosenMidiSystem();
// Starts making the system's MIDI objects for the next input and output
// port components on a thread of their own, under the system chosen now:
// ALSA reads its configuration and JACK asks its server (or finds there is
// none), several milliseconds the program's start spends building its
// window meanwhile. The components made next take them; made under another
// choice, they are dropped.
void prepareMidiSystem();

} // namespace corvane
