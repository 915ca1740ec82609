// The benchmarks' meter of how long the user-interface thread goes without
// processing events. A 1 ms timer notes each time it gets through: the wall
// time between two ticks is how long a user would wait for an answer. On a
// loaded machine that gap includes time the thread was not scheduled at all,
// so the processor time the thread itself used between the two ticks is kept
// too: that is the program's own stall.
//
// With a TimedApplication as the application, the meter also names the
// slowest single event handled meanwhile (its longest stretch of the
// thread's processor time), which is where a stall comes from.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaEnum>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace corvane::test {

inline qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

inline qint64 wallNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Times every event the user-interface thread handles and keeps the one
// that held the thread longest without a break. A break is the meter's tick
// getting through inside the event's handler (a local event loop there, as
// every wait of the program runs): a step that waits for seconds between
// short pieces of work is timed by its longest piece, not by their sum,
// while the events it sends directly (the paint of each child inside a
// window's) count to it.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        // Only the user-interface thread's events: workers' go by untimed.
        if (!timing_ || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const char* className = receiver->metaObject()->className();
        const QString objectName = receiver->objectName();
        const int type = event->type();
        frames_.push_back({{threadCpuNs(), wallNs()}});
        const bool r = QApplication::notify(receiver, event);
        Frame f = frames_.back();
        frames_.pop_back();
        f.close({threadCpuNs(), wallNs()});
        if (timing_ && traceOverNs > 0 && f.longest.cpu > traceOverNs)
            std::fprintf(stderr, "%.6f  %*s%.2f ms  %s %s (%s)\n", wallNs() / 1e9, 2 * static_cast<int>(frames_.size()),
                         "", f.longest.cpu / 1e6, className, qPrintable(objectName), eventName(type).constData());
        if (timing_ && f.longest.cpu > slowestCpuNs) {
            slowestCpuNs = f.longest.cpu;
            slowestWallNs = f.longest.wall;
            slowest = QString::fromLatin1(className) + (objectName.isEmpty() ? "" : " " + objectName) + " (" +
                      QString::fromLatin1(eventName(type)) + ")";
        }
        return r;
    }

    // The event loop got through (the meter's tick, inside whatever local
    // event loop runs): the stretch of every event under way ends here.
    void breakStretch()
    {
        const Mark now{threadCpuNs(), wallNs()};
        for (std::size_t i = 0; i + 1 < frames_.size(); ++i) { // not the tick's own
            frames_[i].close(now);
            frames_[i].since = now;
        }
    }

    // From the next event on (events already under way are not timed).
    void startTiming()
    {
        slowestCpuNs = slowestWallNs = 0;
        slowest.clear();
        timing_ = true;
    }
    void stopTiming() { timing_ = false; }

    static TimedApplication* timed() { return dynamic_cast<TimedApplication*>(QCoreApplication::instance()); }

    // When set, every event whose longest stretch is over this is written to
    // standard error as it ends, on the steady clock and indented by depth.
    static inline qint64 traceOverNs = 0;

    qint64 slowestCpuNs = 0;  // the thread's processor time in that stretch
    qint64 slowestWallNs = 0; // its wall time
    QString slowest;          // the receiver's class and name, and the event's type

private:
    static QByteArray eventName(int type)
    {
        const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
        return name ? QByteArray(name) : QByteArray::number(type);
    }

    struct Mark {
        qint64 cpu = 0, wall = 0;
    };
    // An event under way: when its current stretch began, and its longest.
    struct Frame {
        Mark since;
        Mark longest{};
        void close(const Mark& now)
        {
            if (now.cpu - since.cpu > longest.cpu)
                longest = {now.cpu - since.cpu, now.wall - since.wall};
        }
    };
    std::vector<Frame> frames_;
    bool timing_ = false;
};

class EventLoopMeter {
public:
    struct Figures {
        qint64 startedNs = 0;      // the steady clock at the start (wallNs())
        qint64 elapsedNs = 0;
        qint64 ticks = 0;
        qint64 longestGapNs = 0;   // wall time between two ticks
        qint64 longestCpuNs = 0;   // the thread's processor time between two ticks
        qint64 gapEndNs = 0;       // when the longest gap ended, from the start
        qint64 cpuEndNs = 0;       // when the longest processor stretch ended
        std::vector<qint64> gaps;  // every wall gap over 2 ms
        std::vector<qint64> cpus;  // every processor stretch over 2 ms
        qint64 slowestEventCpuNs = 0;
        qint64 slowestEventWallNs = 0;
        QString slowestEvent;      // empty without a TimedApplication

        int gapsOver(double ms) const { return countOver(gaps, ms); }
        int cpusOver(double ms) const { return countOver(cpus, ms); }

    private:
        static int countOver(const std::vector<qint64>& v, double ms)
        {
            return static_cast<int>(std::count_if(v.begin(), v.end(), [ms](qint64 ns) { return ns > ms * 1e6; }));
        }
    };

    EventLoopMeter()
    {
        tick_.setTimerType(Qt::PreciseTimer);
        tick_.setInterval(1);
        QObject::connect(&tick_, &QTimer::timeout, [this] { note(); });
    }

    void start()
    {
        f_ = Figures{};
        f_.startedNs = wallNs();
        clock_.start();
        last_ = 0;
        lastCpu_ = threadCpuNs();
        if (TimedApplication* app = TimedApplication::timed())
            app->startTiming();
        tick_.start();
    }

    // The stretch from the last tick to the stop counts as a gap too.
    const Figures& stop()
    {
        note();
        --f_.ticks;
        tick_.stop();
        f_.elapsedNs = clock_.nsecsElapsed();
        if (TimedApplication* app = TimedApplication::timed()) {
            app->stopTiming();
            f_.slowestEventCpuNs = app->slowestCpuNs;
            f_.slowestEventWallNs = app->slowestWallNs;
            f_.slowestEvent = app->slowest;
        }
        return f_;
    }

    const Figures& figures() const { return f_; }

private:
    void note()
    {
        if (TimedApplication* app = TimedApplication::timed())
            app->breakStretch();
        const qint64 now = clock_.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        const qint64 gap = now - last_, spent = cpu - lastCpu_;
        if (gap > f_.longestGapNs) {
            f_.longestGapNs = gap;
            f_.gapEndNs = now;
        }
        if (spent > f_.longestCpuNs) {
            f_.longestCpuNs = spent;
            f_.cpuEndNs = now;
        }
        if (gap > 2000000)
            f_.gaps.push_back(gap);
        if (spent > 2000000)
            f_.cpus.push_back(spent);
        if (TimedApplication::traceOverNs > 0 && spent > TimedApplication::traceOverNs)
            std::fprintf(stderr, "%.6f  stretch between ticks %.2f ms\n", wallNs() / 1e9, spent / 1e6);
        last_ = now;
        lastCpu_ = cpu;
        ++f_.ticks;
    }

    QTimer tick_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 lastCpu_ = 0;
    Figures f_;
};

} // namespace corvane::test
