// Seams for tests: a virtual clock that records every wait and delivers
// pending replies at once, recorded message boxes with scripted answers,
// beeps, colour choices, file names and the sounds played. Together with the
// messages the instrument receives they form one ordered trace.
#pragma once

#include "Frames.h"
#include "Seams.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane::test {

struct TraceEvent {
    enum class Kind { Sent, Wait, Box, Beep };
    Kind kind = Kind::Sent;
    Message bytes = {};      // Sent: as built by the program, without the F7 the port adds
    int ms = 0;              // Wait
    std::string text;        // Box
    std::string caption;     // Box
    BoxButtons buttons = BoxButtons::Ok;

    std::string describe() const;
};

std::string hex(const Message& m);

class RecordingSeams : public Seams {
public:
    // With `realTime` every wait really lasts its time (for exchanges over a
    // real MIDI system); otherwise only the virtual clock moves.
    explicit RecordingSeams(bool realTime = false) : realTime_(realTime) {}

    std::vector<TraceEvent> trace;
    long long now = 0; // the virtual clock, in ms
    long long clockMs() const override { return now; }

    // Answers for Yes/No boxes, taken in order; `defaultAnswer` when none.
    std::deque<BoxAnswer> answers;
    BoxAnswer defaultAnswer = BoxAnswer::Yes;
    // Colour chooser answers in order: a value is "chosen", nullopt "cancelled".
    std::deque<std::optional<std::uint32_t>> colourAnswers;
    std::vector<std::uint32_t> colourPresets; // what the chooser was preset with
    std::deque<std::string> fileAnswers;
    std::vector<std::string> filters;
    std::deque<std::string> saveAnswers; // "" cancels
    std::vector<std::string> saveSuggestions;
    std::deque<std::string> folderAnswers; // "" cancels
    // The audio output answers `audioProblem` ("" while there is one) and
    // records the sounds played and the stops. With `realAudio` set every
    // call also goes to that output, and its answers count.
    std::string audioProblem;
    Seams* realAudio = nullptr;
    std::vector<PlaySound> played;
    int stops = 0;
    // Runs once inside the next wait, before the clock moves: what the
    // window system might do while a sequence waits.
    std::function<void()> duringNextWait;

    void wait(int ms) override;
    // Records a wait as wait() does; user input due meanwhile (inputAt) is
    // handled at its time.
    void waitAcceptingInput(int ms) override;
    // User input (a click) at virtual time `at`: handled inside the first
    // wait that accepts input and reaches that time; plain waits leave it
    // queued, as the program's short waits do.
    void inputAt(long long at, std::function<void()> fn);
    int startTimer(int ms, std::function<void()> fn) override;
    void cancelTimer(int id) override;
    BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxButtons buttons) override;
    void beep() override;
    bool chooseColour(std::uint32_t initial, std::uint32_t& chosen) override;
    std::string openFileName(const std::string& filter) override;
    std::string saveFileName(const std::string& filter, const std::string& suggested) override;
    std::string chooseFolder(const std::string& caption) override;
    std::string audioOutputProblem() override;
    std::string playSound(const PlaySound& sound) override;
    void stopSound() override;

    // Moves the clock on, firing due timers, without recording a wait.
    void advance(int ms);
    // Delivers whatever the event loop holds (queued replies).
    static void deliver();
    void recordSent(const std::uint8_t* data, std::size_t len);
    void clear() { trace.clear(); }

    std::vector<Message> sent() const;
    std::vector<int> waits() const;
    long long totalWaited() const;
    std::vector<TraceEvent> boxes() const;
    int beeps() const;
    // The trace as text, one event per line, for readable assertions.
    std::vector<std::string> lines() const;

private:
    struct Timer {
        long long due;
        std::function<void()> fn;
    };
    void fireDue();
    bool realTime_;
    std::map<int, Timer> timers_;
    std::multimap<long long, std::function<void()>> input_;
    int nextTimer_ = 1;
};

} // namespace corvane::test
