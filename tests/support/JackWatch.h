// Whether the JACK server kept its cycles while a message was on its way. A
// JACK client that misses a cycle loses the MIDI events of that cycle, and
// RtMidi's JACK output drops what does not fit the port buffer of a cycle
// that comes late; without realtime scheduling on a busy machine both happen.
// A client of its own notes the longest time between two of its cycles and
// the xruns the server reports, so that a test can tell such a loss from one
// of the port components, and send again what the server lost.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

namespace corvane::test {

// What a sender in these tests puts through a JACK port, in bytes a second.
// A JACK client's pieces wait in RtMidi's ring buffer for the next cycle and
// leave as many as the port buffer takes (4 KiB with a period of 1,024
// frames); the rest of a cycle that comes late is dropped. At this rate a
// cycle may come half a second late before anything is lost.
constexpr int JackSafeRate = 8192;

class JackWatch {
public:
    JackWatch()
    {
        client_ = jack_client_open("corvane-watch", JackNoStartServer, nullptr);
        if (!client_)
            return;
        periodUs_ = 1'000'000ULL * jack_get_buffer_size(client_) / jack_get_sample_rate(client_);
        jack_set_process_callback(client_, &JackWatch::process, this);
        jack_set_xrun_callback(client_, &JackWatch::xrun, this);
        jack_activate(client_);
    }
    ~JackWatch()
    {
        if (client_)
            jack_client_close(client_);
    }
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    void reset()
    {
        last_ = 0;
        longest_ = 0;
        xruns_ = 0;
    }

    // An xrun, or a cycle more than four periods after the one before.
    bool disturbed() const { return xruns_ > 0 || longest_ > 4 * periodUs_; }

    std::string describe() const
    {
        return std::to_string(xruns_.load()) + " xruns, longest gap between cycles " +
               std::to_string(longest_.load() / 1000) + " ms";
    }

    // Runs `attempt` (true when everything arrived as it was sent) and runs
    // it again, after `settle`, only when it failed while the server was
    // seen losing cycles: then the loss is the server's. At most three
    // attempts; returns the last one's result, which the caller checks as
    // strictly as ever. Without a watch client nothing is sent again.
    template <typename Attempt, typename Settle>
    bool resend(Attempt attempt, Settle settle)
    {
        for (int i = 1;; ++i) {
            reset();
            const bool arrived = attempt();
            if (arrived || !disturbed() || i == 3)
                return arrived;
            std::printf("the JACK server lost cycles (%s): sending again\n", describe().c_str());
            std::fflush(stdout);
            settle();
        }
    }

private:
    static int process(jack_nframes_t, void* self)
    {
        auto* w = static_cast<JackWatch*>(self);
        const jack_time_t now = jack_get_time();
        const jack_time_t last = w->last_.exchange(now);
        if (last != 0 && now > last && now - last > w->longest_)
            w->longest_ = now - last;
        return 0;
    }

    static int xrun(void* self)
    {
        ++static_cast<JackWatch*>(self)->xruns_;
        return 0;
    }

    jack_client_t* client_ = nullptr;
    std::uint64_t periodUs_ = 0;
    std::atomic<std::uint64_t> last_{0};
    std::atomic<std::uint64_t> longest_{0};
    std::atomic<int> xruns_{0};
};

} // namespace corvane::test
