// What the "MIDI Setup" dialog is given to work on: the device lists, the
// chosen ports and reopening them. The main window implements it; the dialog
// needs nothing else of it.
#pragma once

#include <string>
#include <vector>

namespace corvane {

class MidiPortSetup {
public:
    virtual ~MidiPortSetup() = default;

    // The MIDI systems offered (as shown) and the entry of the one the ports
    // are on (-1 when none is chosen and none works).
    virtual std::vector<std::string> MidiSystemNames() const = 0;
    virtual int ListedMidiSystem() const = 0;
    // Whether the system was chosen (by the user or the settings file)
    // rather than picked by the program.
    virtual bool MidiSystemChosen() const = 0;
    // Switches to entry `index` of that list (-1: the program picks): both
    // ports close, and the device lists are read afresh on it.
    virtual void SetMidiSystem(int index) = 0;
    // Reads both device lists afresh, so devices connected since are offered.
    virtual void ReadMidiDevices() = 0;
    // The names of the listed input and output devices, every one of them.
    virtual std::vector<std::string> MidiInputNames() const = 0;
    virtual std::vector<std::string> MidiOutputNames() const = 0;
    // The entries of those lists that are the chosen ports; -1 when the
    // chosen device is not among them.
    virtual int ListedMidiInPort() const = 0;
    virtual int ListedMidiOutPort() const = 0;
    // Stores a new choice, as entries of the lists last read (-1: none).
    virtual void SetMidiPorts(int in, int out) = 0;
    // Closes both ports and opens the chosen ones, reporting a port that is
    // not ready.
    virtual void ReopenMidiPorts() = 0;
    // What is not open, said in the dialog ("No MIDI device was found...");
    // empty when both ports are open.
    virtual std::string PortState() const { return {}; }
};

} // namespace corvane
