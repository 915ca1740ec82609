#include "RecordingSeams.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace corvane::test {

std::string hex(const Message& m)
{
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < m.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", m[i]);
        if (i)
            s += ' ';
        s += buf;
    }
    return s;
}

std::string TraceEvent::describe() const
{
    switch (kind) {
    case Kind::Sent: return "sent " + hex(bytes);
    case Kind::Wait: return "wait " + std::to_string(ms);
    case Kind::Box: return "box \"" + text + "\" \"" + caption + "\"" + (buttons == BoxButtons::YesNo ? " yes/no" : "");
    case Kind::Beep: return "beep";
    }
    return {};
}

void RecordingSeams::deliver()
{
    // Queued hand-overs can queue further events; a few rounds settle them.
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RecordingSeams::waitAcceptingInput(int ms)
{
    if (realTime_ || input_.empty()) {
        wait(ms);
        return;
    }
    const long long end = now + ms;
    const std::size_t recorded = trace.size();
    wait(0); // what runs inside it may add to the trace
    trace[recorded].ms = ms;
    while (!input_.empty() && input_.begin()->first <= end) {
        const long long at = input_.begin()->first;
        const auto fn = std::move(input_.begin()->second);
        input_.erase(input_.begin());
        advance(static_cast<int>(std::max(0LL, at - now)));
        fn();
    }
    advance(static_cast<int>(end - now));
}

void RecordingSeams::inputAt(long long at, std::function<void()> fn) { input_.emplace(at, std::move(fn)); }

void RecordingSeams::wait(int ms)
{
    TraceEvent e{TraceEvent::Kind::Wait, {}};
    e.ms = ms;
    trace.push_back(e);
    if (duringNextWait) {
        const auto fn = std::move(duringNextWait);
        duringNextWait = nullptr;
        fn();
    }
    if (realTime_ && ms > 0) {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    deliver();
    advance(ms);
}

void RecordingSeams::advance(int ms)
{
    now += ms;
    fireDue();
    deliver();
}

void RecordingSeams::fireDue()
{
    for (;;) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.due <= now && (next == timers_.end() || it->second.due < next->second.due))
                next = it;
        if (next == timers_.end())
            return;
        auto fn = std::move(next->second.fn);
        timers_.erase(next);
        fn();
    }
}

int RecordingSeams::startTimer(int ms, std::function<void()> fn)
{
    const int id = nextTimer_++;
    timers_[id] = Timer{now + ms, std::move(fn)};
    return id;
}

void RecordingSeams::cancelTimer(int id) { timers_.erase(id); }

BoxAnswer RecordingSeams::messageBox(const std::string& text, const std::string& caption, BoxButtons buttons)
{
    TraceEvent e{TraceEvent::Kind::Box, {}};
    e.text = text;
    e.caption = caption;
    e.buttons = buttons;
    trace.push_back(e);
    if (buttons == BoxButtons::Ok)
        return BoxAnswer::Ok;
    if (answers.empty())
        return defaultAnswer;
    const BoxAnswer a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingSeams::beep() { trace.push_back(TraceEvent{TraceEvent::Kind::Beep, {}}); }

bool RecordingSeams::chooseColour(std::uint32_t initial, std::uint32_t& chosen)
{
    colourPresets.push_back(initial);
    if (colourAnswers.empty())
        return false;
    const auto a = colourAnswers.front();
    colourAnswers.pop_front();
    if (!a)
        return false;
    chosen = *a;
    return true;
}

std::string RecordingSeams::openFileName(const std::string& filter)
{
    filters.push_back(filter);
    if (fileAnswers.empty())
        return {};
    std::string f = fileAnswers.front();
    fileAnswers.pop_front();
    return f;
}

std::string RecordingSeams::saveFileName(const std::string& filter, const std::string& suggested)
{
    filters.push_back(filter);
    saveSuggestions.push_back(suggested);
    if (saveAnswers.empty())
        return {};
    std::string f = saveAnswers.front();
    saveAnswers.pop_front();
    return f;
}

std::string RecordingSeams::chooseFolder(const std::string&)
{
    if (folderAnswers.empty())
        return {};
    std::string f = folderAnswers.front();
    folderAnswers.pop_front();
    return f;
}

std::string RecordingSeams::audioOutputProblem()
{
    return realAudio ? realAudio->audioOutputProblem() : audioProblem;
}

std::string RecordingSeams::playSound(const PlaySound& sound)
{
    played.push_back(sound);
    return realAudio ? realAudio->playSound(sound) : audioProblem;
}

void RecordingSeams::stopSound()
{
    ++stops;
    if (realAudio)
        realAudio->stopSound();
}

void RecordingSeams::recordSent(const std::uint8_t* data, std::size_t len)
{
    TraceEvent e{TraceEvent::Kind::Sent, Message(data, data + len)};
    trace.push_back(e);
}

std::vector<Message> RecordingSeams::sent() const
{
    std::vector<Message> out;
    for (const auto& e : trace)
        if (e.kind == TraceEvent::Kind::Sent)
            out.push_back(e.bytes);
    return out;
}

std::vector<int> RecordingSeams::waits() const
{
    std::vector<int> out;
    for (const auto& e : trace)
        if (e.kind == TraceEvent::Kind::Wait)
            out.push_back(e.ms);
    return out;
}

std::vector<TraceEvent> RecordingSeams::boxes() const
{
    std::vector<TraceEvent> out;
    for (const auto& e : trace)
        if (e.kind == TraceEvent::Kind::Box)
            out.push_back(e);
    return out;
}

long long RecordingSeams::totalWaited() const
{
    long long t = 0;
    for (int w : waits())
        t += w;
    return t;
}

int RecordingSeams::beeps() const
{
    int n = 0;
    for (const auto& e : trace)
        n += e.kind == TraceEvent::Kind::Beep;
    return n;
}

std::vector<std::string> RecordingSeams::lines() const
{
    std::vector<std::string> out;
    for (const auto& e : trace)
        out.push_back(e.describe());
    return out;
}

} // namespace corvane::test
