// Seams for the MIDI tests: every wait is recorded and runs the event loop
// once, so queued hand-overs are delivered at once. With `realTime` the wait
// really lasts its time (for sends over a real MIDI server).
#pragma once

#include "Seams.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <vector>

namespace corvane::test {

class RecordingSeams : public Seams {
public:
    explicit RecordingSeams(bool realTime = false) : realTime_(realTime) {}

    std::vector<int> waits;

    long long totalWaited() const
    {
        long long t = 0;
        for (int w : waits)
            t += w;
        return t;
    }

    void wait(int ms) override
    {
        waits.push_back(ms);
        if (realTime_ && ms > 0) {
            QEventLoop loop;
            QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        } else {
            QCoreApplication::processEvents();
        }
    }
    BoxAnswer messageBox(const std::string&, const std::string&, BoxButtons) override { return BoxAnswer::Ok; }
    void beep() override {}
    bool chooseColour(std::uint32_t, std::uint32_t&) override { return false; }
    std::string openFileName(const std::string&) override { return {}; }
    void mediaPlay(const std::string&) override {}
    void mediaStop() override {}

private:
    bool realTime_;
};

} // namespace corvane::test
