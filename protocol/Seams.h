// The seam between the program and everything a test cannot or should not
// do for real: waiting, message boxes, the beep, the colour chooser, the
// file-open dialog and the audio output. The program installs the real
// implementation at start; tests install a recording one.
#pragma once

#include "PlaySound.h"

#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

class Seams {
public:
    virtual ~Seams() = default;

    // Every fixed wait of the protocol goes through here. The real one runs
    // a local event loop that excludes user input, so windows repaint and
    // received messages are dispatched while clicks queue.
    virtual void wait(int ms) = 0;

    // The same wait with user input let through, for the long waits of a
    // transfer: its Cancel acts there, and clicks in other windows start
    // sequences that are kept until the running one has ended. Without a
    // window system it is the plain wait.
    virtual void waitAcceptingInput(int ms) { wait(ms); }

    // A one-shot timer on the same clock as wait(): `fn` runs on the
    // user-interface thread after `ms`. Returns an id for cancelTimer().
    // Seams without a clock of their own refuse timers (abort).
    virtual int startTimer(int ms, std::function<void()> fn);
    virtual void cancelTimer(int id);
    // Milliseconds on the same clock, from a fixed point: what a job has
    // taken so far is the difference of two readings.
    virtual long long clockMs() const;

    // Modal message box with an exclamation icon.
    virtual BoxAnswer messageBox(const std::string& text, const std::string& caption,
                                 BoxButtons buttons) = 0;

    // The standard system beep.
    virtual void beep() = 0;

    // Colour chooser, opened fully expanded and preset with `initial`
    // (Windows colour value 0x00BBGGRR). Returns false when cancelled.
    virtual bool chooseColour(std::uint32_t initial, std::uint32_t& chosen) = 0;

    // File-open dialog with a filter such as "Wave files|*.wav".
    // Returns an empty string when cancelled.
    virtual std::string openFileName(const std::string& filter) = 0;

    // Folder chooser. Returns an empty string when cancelled.
    virtual std::string chooseFolder(const std::string& caption) = 0;

    // File-save dialog with the same kind of filter, offering `suggested`;
    // asks before replacing a file. Returns an empty string when cancelled.
    virtual std::string saveFileName(const std::string& filter, const std::string& suggested) = 0;

    // The audio output, fed from memory. audioOutputProblem() is "" while
    // there is an output to play on, otherwise why there is none, as a
    // sentence. playSound() replaces whatever plays with `sound` from its
    // start and returns the same: "" when it plays, otherwise why not.
    // Nothing here raises a box.
    virtual std::string audioOutputProblem() = 0;
    virtual std::string playSound(const PlaySound& sound) = 0;
    virtual void stopSound() = 0;
};

// The installed seams. The program installs its real ones before any window
// is created; tests install theirs in their fixture.
Seams& seams();
void installSeams(Seams* s);

} // namespace corvane
