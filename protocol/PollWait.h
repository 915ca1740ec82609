// Waiting for an answer from the instrument: a look at what has arrived,
// then a short pause in which input is taken in, until it is there or the
// time its wire time allows has passed. Plain C++; the pause is the caller's.
#pragma once

#include <functional>

namespace corvane {

enum class WaitEnd { Arrived, Stopped, TimedOut };

struct PollWait {
    int pollMs = 50;
    long long limitMs = 0; // `paused` may raise it as the answer announces its length
    std::function<void(int ms)> pause;
    std::function<bool()> arrived;
    std::function<bool()> stop = [] { return false; }; // looked at after `arrived`
    std::function<void(long long waitedMs)> paused = [](long long) {};
};

// Looks (arrived, then stop, then the limit) before every pause: an answer
// that comes in the last pause is still taken.
WaitEnd waitFor(PollWait& wait);

} // namespace corvane
