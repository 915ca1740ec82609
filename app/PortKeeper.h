// One direction of the connection to the instrument: the chosen port, kept
// as the number the settings file has always held and the device's name
// beside it, opened by that name wherever the device is listed now, and
// watched: a device that goes away is closed, and opened again when it comes
// back under the same name.
#pragma once

#include <string>

namespace corvane {

// `Port` is TMidiIn or TMidiOut.
template <typename Port>
class PortKeeper {
public:
    enum class State {
        Closed,  // not open, and nothing to wait for
        Open,
        Missing, // the named device is not listed: waited for
    };

    // `number` and `name` are the owner's chosen port, kept up to date here.
    // A number changed by the owner alone makes the name void: the number
    // then chooses.
    PortKeeper(Port& port, int& number, std::string& name, const char* label)
        : port_(port), number_(number), name_(name), label_(label), namedNumber_(number)
    {
    }

    // A new choice: entry `number` of the device table, or -1 for none.
    void choose(int number)
    {
        number_ = number;
        name_ = port_.DeviceName(number);
        namedNumber_ = number;
    }

    // The name that goes with the number ("" when the number was changed
    // since, or no name is known).
    std::string name() const { return number_ == namedNumber_ ? name_ : std::string(); }

    // The entry of the port's device table that is the chosen device: by
    // name when one is known, otherwise by number; -1 when not listed.
    int listed() const
    {
        if (!name().empty())
            return port_.FindDevice(name_);
        return number_ >= 0 && number_ < port_.NumDevs() ? number_ : -1;
    }

    // Opens the chosen port (the port is closed). False when it could not
    // be opened: the device is not listed (a port number beyond the list
    // included; it is never taken as another device), or the open failed.
    // A named device that is not listed is waited for.
    bool open()
    {
        note_.clear();
        if (name().empty())
            name_.clear();
        const int index = listed();
        if (index < 0) {
            state_ = name_.empty() ? State::Closed : State::Missing;
            if (state_ == State::Missing)
                note_ = label_ + " missing: " + name_;
            return false;
        }
        port_.SetPort(index);
        port_.SetUsing(true);
        if (port_.OpenResult() != 0) {
            state_ = State::Closed;
            return false;
        }
        number_ = namedNumber_ = index;
        name_ = port_.DeviceName(index);
        state_ = State::Open;
        return true;
    }

    // Reads the devices afresh, and the chosen port's number follows its
    // device's name.
    void readDevices()
    {
        port_.ReadDevices();
        if (!name().empty())
            if (const int index = port_.FindDevice(name_); index >= 0)
                number_ = namedNumber_ = index;
    }

    // Closes the port; nothing is waited for until it is opened again.
    void close()
    {
        port_.SetUsing(false);
        state_ = State::Closed;
        note_.clear();
    }

    // One look at the devices. True when the port was closed or reopened.
    bool poll()
    {
        if (state_ == State::Open) {
            if (port_.DevicePresent())
                return false;
            port_.SetUsing(false);
            state_ = State::Missing;
            note_ = label_ + " missing: " + name_;
            return true;
        }
        if (state_ != State::Missing)
            return false;
        readDevices();
        if (listed() < 0)
            return false;
        if (!open()) {
            // Listed but not ready yet: try again at the next look.
            port_.SetUsing(false);
            state_ = State::Missing;
            note_ = label_ + " missing: " + name_;
            return false;
        }
        note_ = label_ + " back: " + name_;
        return true;
    }

    State state() const { return state_; }
    // What the status bar says about this port ("" when nothing).
    const std::string& note() const { return note_; }

private:
    Port& port_;
    int& number_;
    std::string& name_;
    std::string label_;
    int namedNumber_; // the number `name_` was last found under
    State state_ = State::Closed;
    std::string note_;
};

} // namespace corvane
