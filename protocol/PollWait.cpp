#include "PollWait.h"

namespace corvane {

WaitEnd waitFor(PollWait& wait)
{
    for (long long waited = 0;; waited += wait.pollMs) {
        if (wait.arrived())
            return WaitEnd::Arrived;
        if (wait.stop())
            return WaitEnd::Stopped;
        if (waited >= wait.limitMs)
            return WaitEnd::TimedOut;
        wait.pause(wait.pollMs);
        wait.paused(waited + wait.pollMs);
    }
}

} // namespace corvane
