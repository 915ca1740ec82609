// What the program asks the JACK server itself, beside RtMidi: whether one
// runs, whether a port is connected, when a sent message has left; and the
// one session all of the process's JACK clients belong to.
#include "MidiSystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#ifdef CORVANE_HAVE_JACK
#include <jack/jack.h>
#endif

namespace corvane::midisys {

namespace {

#ifdef CORVANE_HAVE_JACK
void quiet(const char*) {}

// Opens a client of our own without the messages libjack prints when no
// server runs; nullptr when none does.
jack_client_t* openQuietly(const char* name)
{
    static std::mutex printMutex;
    std::lock_guard lock(printMutex);
    auto* const error = jack_error_callback;
    auto* const info = jack_info_callback;
    jack_set_error_function(&quiet);
    jack_set_info_function(&quiet);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    jack_set_error_function(error);
    jack_set_info_function(info);
    return client;
}

// libjack (JACK2) frees every client the process still has open when the
// process opens a new client after the server has shut any of them down:
// the server stopped, or it dropped a client whose cycle did not finish in
// time, as it does to everyone behind a peer that never runs its process
// cycle and so holds the graph up. RtMidi goes on using the clients it was
// given and faults on its next call (closing a port, listing, destruction).
// So the JACK clients of the process form one session: the look below,
// opened first, and each RtMidi object on JACK. New ones join only while
// the session is live; once a client of it may have been shut down it has
// ended, and no client is opened again until every RtMidi object of it has
// been destroyed (their clients closed while still valid).
struct JackSession {
    std::mutex mutex;
    // Our own client: looks at the server's connections and cycles; closed
    // when the program ends (a client left open keeps the server waiting
    // when it stops).
    jack_client_t* look = nullptr;
    std::atomic<bool> ended{false};
    int held = 0; // RtMidi objects on JACK not yet destroyed
    ~JackSession()
    {
        if (look)
            jack_client_close(look);
    }
};

JackSession& jackSession()
{
    static JackSession session;
    return session;
}

void onServerGone(void* session) { static_cast<JackSession*>(session)->ended = true; }

// The session's look client while the session is live, else nullptr.
// Called with the session's mutex held.
jack_client_t* liveLook(JackSession& s) { return s.ended ? nullptr : s.look; }
#endif

} // namespace

bool jackJoin()
{
#ifdef CORVANE_HAVE_JACK
    if (!compiledApi(RtMidi::UNIX_JACK))
        return false;
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    if (s.ended) {
        if (s.held > 0)
            return false; // the old session's clients are still open
        if (s.look)
            jack_client_close(s.look);
        s.look = nullptr;
        s.ended = false;
    }
    if (!s.look) {
        // Also tells whether a server runs, quietly: RtMidi would report a
        // missing server for every component constructed.
        s.look = openQuietly("Corvane-look");
        if (!s.look)
            return false;
        jack_on_shutdown(s.look, &onServerGone, &s);
    }
    ++s.held;
    return true;
#else
    return compiledApi(RtMidi::UNIX_JACK); // let RtMidi find out
#endif
}

void jackLeave()
{
#ifdef CORVANE_HAVE_JACK
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    if (s.held > 0)
        --s.held;
#endif
}

bool jackSessionLive()
{
#ifdef CORVANE_HAVE_JACK
    return !jackSession().ended;
#else
    return true;
#endif
}

void jackEndSession()
{
#ifdef CORVANE_HAVE_JACK
    jackSession().ended = true;
#endif
}

bool jackPortConnected(const std::string& name)
{
#ifdef CORVANE_HAVE_JACK
    JackSession& s = jackSession();
    std::lock_guard lock(s.mutex);
    jack_client_t* const client = liveLook(s);
    if (!client)
        return true;
    jack_port_t* port = jack_port_by_name(client, name.c_str());
    if (!port)
        return false;
    const char** connections = jack_port_get_all_connections(client, port);
    const bool connected = connections && connections[0];
    if (connections)
        jack_free(connections);
    return connected;
#else
    (void)name;
    return true;
#endif
}

void jackLetOutputLeave(std::chrono::steady_clock::time_point lastSend, const std::function<void(int ms)>& wait)
{
#ifdef CORVANE_HAVE_JACK
    using namespace std::chrono;
    JackSession& s = jackSession();
    std::unique_lock lock(s.mutex);
    jack_client_t* client = liveLook(s);
    if (!client)
        return;
    const std::uint64_t period = jack_get_buffer_size(client);
    const std::uint64_t rate = jack_get_sample_rate(client);
    if (period == 0 || rate == 0)
        return;
    const auto since = static_cast<std::uint64_t>(duration_cast<microseconds>(steady_clock::now() - lastSend).count());
    const std::uint64_t framesSince = since * rate / 1'000'000;
    if (framesSince >= 3 * period)
        return; // long enough ago: that cycle has run through
    // The cycle that starts after the send moves the message into the port
    // buffer; once the cycle after it has started, every client's part of
    // the first one is done (or the server has reported an xrun). Frame
    // numbers wrap around; their difference does not.
    const jack_nframes_t target = jack_frame_time(client) - static_cast<jack_nframes_t>(framesSince) +
                                  static_cast<jack_nframes_t>(2 * period);
    const int limitMs = static_cast<int>(4 * period * 1000 / rate) + 250;
    const auto limit = steady_clock::now() + milliseconds(limitMs);
    // Waited in steps with the lock let go: the wait may run the event
    // loop, and whatever runs there may look at the server too.
    for (int waited = 0; waited < limitMs && steady_clock::now() < limit;) {
        const auto ahead = static_cast<std::int32_t>(target - jack_last_frame_time(client));
        if (ahead <= 0)
            return;
        const int ms = std::clamp(static_cast<int>(static_cast<std::uint64_t>(ahead) * 1000 / rate), 1, 20);
        lock.unlock();
        wait(ms);
        waited += ms;
        lock.lock();
        client = liveLook(s);
        if (!client)
            return;
    }
#else
    (void)lastSend;
    (void)wait;
#endif
}

} // namespace corvane::midisys
