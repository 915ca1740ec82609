#include "SoundTransfer.h"

#include "MirageProtocol.h"
#include "PollWait.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

namespace corvane::sound {

namespace {

constexpr int Poll = 50;                // ms between looks at what has arrived
constexpr int ProgramTimeoutMs = 3000;  // a program dump is on the wire for 402 ms
constexpr int AnswerTimeoutMs = 3000;   // after a wavesample dump's own wire time
constexpr int ProgramSettleMs = 100;    // after sending a program dump
constexpr int SelectWaitMs = 30;        // SelectWavesample's own wait
constexpr int SelectProgramMs = 100;    // SelectProgram: two waits of 50 ms at most
constexpr int RefreshMs = 500;          // RequestProgram's own wait

std::string wsName(int index) { return (index < 8 ? "L" : "U") + std::to_string(index % 8 + 1); }
const char* halfName(int half) { return half == 0 ? "lower" : "upper"; }

// Removes the listener when the job ends, however it ends.
struct Listening {
    MirageProtocol& mirage;
    int id;
    ~Listening() { mirage.RemoveArrivalListener(id); }
};

struct QuietAnswers {
    MirageProtocol& mirage;
    explicit QuietAnswers(MirageProtocol& m) : mirage(m) { mirage.SetQuietWavesampleAnswers(true); }
    ~QuietAnswers() { mirage.SetQuietWavesampleAnswers(false); }
};

} // namespace

long long programFetchMs() { return wireMs(5) + wireMs(ProgramMessageSize); }

long long wavesampleFetchMs(int pages) { return SelectWaitMs + wireMs(7) + wireMs(4) + wireMs(8 + 512 * static_cast<std::size_t>(pages)); }

long long fetchMs(std::span<const std::uint8_t> programDump)
{
    long long ms = 0;
    for (const WavesampleEntry& e : wavesampleEntries(programDump))
        if (e.first)
            ms += wavesampleFetchMs(e.range.pages());
    return ms;
}

long long sendMs(const Sound& sound)
{
    long long ms = 0;
    for (const Half& h : sound.halves) {
        ms += wireMs(ProgramMessageSize) + ProgramSettleMs + SelectProgramMs + RefreshMs;
        for (const Bytes& d : h.wavesampleDumps)
            if (!d.empty())
                ms += SelectWaitMs + wireMs(d.size()) + wireMs(5);
    }
    return ms;
}

const char* answerText(Answer a)
{
    switch (a) {
    case Answer::NotSent: return "not sent";
    case Answer::Accepted: return "accepted";
    case Answer::Refused: return "refused";
    case Answer::NoAnswer: return "no answer";
    }
    return "";
}

FetchResult fetchSound(MirageProtocol& mirage, const std::vector<int>& halves, const std::array<std::string, 16>& names,
                       const std::array<std::uint32_t, 16>& colours, const JobHooks& hooks)
{
    FetchResult r = fetchSound(mirage, halves, hooks);
    for (Half& half : r.sound.halves) {
        for (std::size_t w = 0; w < 8; ++w) {
            half.names[w] = names[static_cast<std::size_t>(half.half) * 8 + w];
            half.colours[w] = colours[static_cast<std::size_t>(half.half) * 8 + w];
        }
        half.hasNames = true;
    }
    return r;
}

namespace {

// What a job has done and expects, in ms, for the progress bar.
struct JobProgress {
    long long done = 0;
    long long total = 0;
};

PollWait pollWait(const JobHooks& hooks, long long limitMs, std::function<bool()> arrived)
{
    PollWait w;
    w.pollMs = Poll;
    w.limitMs = limitMs;
    w.pause = hooks.wait;
    w.arrived = std::move(arrived);
    return w;
}

// Requests the program dump of half `h` and waits for it; the text of what
// went wrong, if anything.
std::optional<std::pair<JobEnd, std::string>> fetchProgram(MirageProtocol& mirage, int h, const int& arrivals,
                                                            const JobHooks& hooks, const JobProgress& at)
{
    const std::string status = std::string("Requesting the ") + halfName(h) + " program dump";
    hooks.progress(status, at.done, at.total);
    const int seen = arrivals;
    mirage.SendSysEx(requestMessage(h == 0 ? cmd::LowerRequest : cmd::UpperRequest));
    PollWait wait = pollWait(hooks, ProgramTimeoutMs, [&arrivals, seen] { return arrivals != seen; });
    wait.stop = hooks.cancelled;
    wait.paused = [&](long long waited) {
        hooks.progress(status, at.done + std::min<long long>(waited, programFetchMs()), at.total);
    };
    switch (waitFor(wait)) {
    case WaitEnd::Arrived: return std::nullopt;
    case WaitEnd::Stopped: return std::pair{JobEnd::Cancelled, std::string("Cancelled.")};
    case WaitEnd::TimedOut: break;
    }
    return std::pair{JobEnd::Failed,
                     mirage.NoAnswerText(std::string("the ") + halfName(h) + " program dump request", ProgramTimeoutMs)};
}

// Selects wavesample `index` (of `pages` pages), requests its data and waits
// for it whole; the dump, or what went wrong.
std::variant<Bytes, std::pair<JobEnd, std::string>> fetchWavesample(MirageProtocol& mirage, int index, int pages,
                                                                    const JobHooks& hooks, const JobProgress& at)
{
    const long long expected = wavesampleFetchMs(pages);
    const std::string status = "Receiving wavesample " + wsName(index) + " (" + std::to_string(pages) + " pages)";
    hooks.progress(status, at.done, at.total);
    if (hooks.cancelled())
        return std::pair{JobEnd::Cancelled, std::string("Cancelled.")};
    mirage.SelectWavesample(index);
    const int serial = mirage.LastWavesample().serial;
    mirage.AwaitWavesample();
    mirage.SendSysEx(wavesampleRequestMessage());
    // After Cancel the dump under way is still let in whole: the instrument
    // is sending it, and it must not be taken later for the answer to
    // another request.
    PollWait wait = pollWait(hooks, 2 * expected + ProgramTimeoutMs, [&mirage] { return mirage.WavesampleArrived(); });
    wait.paused = [&](long long waited) {
        hooks.progress(hooks.cancelled() ? "Cancelling: wavesample " + wsName(index) + " is still arriving" : status,
                       at.done + std::min(waited, expected), at.total);
    };
    if (waitFor(wait) != WaitEnd::Arrived) {
        const MirageProtocol::WavesampleArrival& a = mirage.LastWavesample();
        if (a.serial != serial)
            return std::pair{JobEnd::Failed, "Error - the wavesample dump of " + wsName(index) +
                                                 " began but stopped after " + std::to_string(a.sampleBytes) + " of " +
                                                 std::to_string(256 * pages) + " sample bytes."};
        return std::pair{JobEnd::Failed,
                         mirage.NoAnswerText("the wavesample dump request for " + wsName(index), static_cast<int>(wait.limitMs),
                                             "It answered the program dump request, so the cables, ports and SysEx "
                                             "are right: an operating system on the Mirage without the wavesample "
                                             "dump is the likeliest cause.")};
    }
    if (hooks.cancelled())
        return std::pair{JobEnd::Cancelled, std::string("Cancelled.")};
    const MirageProtocol::WavesampleArrival& a = mirage.LastWavesample();
    if (!a.complete || a.pages != pages)
        return std::pair{JobEnd::Failed, "Error - Wavesample " + wsName(index) + " arrived with " +
                                             std::to_string(a.pages) + " pages" + (a.complete ? "" : ", not whole") +
                                             "; its page pointers give " + std::to_string(pages) + "."};
    const auto& buffer = mirage.ReceivedWavesample();
    const std::size_t bytes = 256 * static_cast<std::size_t>(pages);
    return wavesampleDumpMessage(pages, std::span<const std::uint8_t>(buffer.data() + 1, bytes), buffer[1 + bytes]);
}

Half receivedHalf(const MirageProtocol& mirage, int h)
{
    Half half;
    half.half = h;
    const std::uint8_t* dump = h == 0 ? mirage.LowerProgramDump : mirage.UpperProgramDump;
    half.programDump.assign(dump, dump + ProgramMessageSize);
    half.programDump.back() = sysex::End;
    return half;
}

// Selects wavesample `index` and sends it `message`, then waits for the
// answer, also after Cancel: it belongs to this dump. Nothing when the port
// went on the way (`lost` has said so).
std::optional<Answer> sendWavesample(MirageProtocol& mirage, int index, int pages, const Bytes& message,
                                     const JobHooks& hooks, const JobProgress& at,
                                     const std::function<bool(const MirageProtocol::LongSend&, const std::string&)>& lost)
{
    const long long expected = SelectWaitMs + wireMs(message.size()) + wireMs(5);
    const std::string status = "Sending wavesample " + wsName(index) + " (" + std::to_string(pages) + " pages)";
    hooks.progress(status, at.done, at.total);
    mirage.SelectWavesample(index);
    const int seen = mirage.WavesampleAnswers();
    // A whole wavesample is on the wire for up to 42 s: the bar moves with it.
    const auto sent = [&](std::size_t bytes, std::size_t) {
        hooks.progress(status, at.done + std::min(SelectWaitMs + wireMs(bytes), expected), at.total);
    };
    if (lost(mirage.SendLongSysEx(message.data(), static_cast<int>(message.size()), sent), "wavesample " + wsName(index)))
        return std::nullopt;
    // The last pause is the one that begins at the limit itself.
    PollWait wait = pollWait(hooks, wireMs(message.size()) + AnswerTimeoutMs + 1,
                             [&mirage, seen] { return mirage.WavesampleAnswers() != seen; });
    const long long out = SelectWaitMs + wireMs(message.size());
    wait.paused = [&](long long waited) {
        hooks.progress(status, at.done + std::min(out + waited, expected), at.total);
    };
    if (waitFor(wait) != WaitEnd::Arrived)
        return Answer::NoAnswer;
    return mirage.LastWavesampleAccepted() ? Answer::Accepted : Answer::Refused;
}

} // namespace

FetchResult fetchSound(MirageProtocol& mirage, const std::vector<int>& halves, const JobHooks& hooks)
{
    FetchResult r;
    std::array<int, 2> programArrivals{};
    const Listening listening{mirage, mirage.AddArrivalListener([&programArrivals](MirageProtocol::Arrival a) {
                                  if (a == MirageProtocol::Arrival::LowerProgram)
                                      ++programArrivals[0];
                                  else if (a == MirageProtocol::Arrival::UpperProgram)
                                      ++programArrivals[1];
                              })};
    const int selected = 8 * mirage.GetCurrentHalf() + mirage.CurrentWavesample;
    JobProgress at;
    for (int h : halves)
        at.total += programFetchMs() +
                    fetchMs(std::span<const std::uint8_t>(h == 0 ? mirage.LowerProgramDump : mirage.UpperProgramDump,
                                                          ProgramMessageSize));
    auto fail = [&r](const std::pair<JobEnd, std::string>& why) {
        r.end = why.first;
        r.text = why.second;
        r.sound = {};
        return r;
    };

    // The program dumps first: their page pointers say what follows.
    for (int h : halves) {
        if (const auto failed = fetchProgram(mirage, h, programArrivals[static_cast<std::size_t>(h)], hooks, at))
            return fail(*failed);
        r.sound.halves.push_back(receivedHalf(mirage, h));
        at.done += programFetchMs();
    }
    at.total = at.done;
    for (const Half& h : r.sound.halves)
        at.total += fetchMs(h.programDump);
    r.expectedMs = at.total;

    // Then each wavesample with pages of its own.
    for (Half& half : r.sound.halves) {
        const auto entries = wavesampleEntries(half.programDump);
        for (int w = 0; w < 8; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (!e.first)
                continue;
            auto dump = fetchWavesample(mirage, half.half * 8 + w, e.range.pages(), hooks, at);
            if (const auto* failed = std::get_if<std::pair<JobEnd, std::string>>(&dump))
                return fail(*failed);
            half.wavesampleDumps.push_back(std::move(std::get<Bytes>(dump)));
            at.done += wavesampleFetchMs(e.range.pages());
        }
    }
    // The instrument's wavesample selection as it was before.
    mirage.SelectWavesample(selected);
    hooks.progress("Received", at.total, at.total);
    return r;
}

SendResult sendSound(MirageProtocol& mirage, const Sound& sound, const JobHooks& hooks)
{
    SendResult r;
    const QuietAnswers quiet(mirage);
    const long long total = sendMs(sound);
    long long done = 0;
    auto stop = [&] {
        if (!hooks.cancelled())
            return false;
        r.end = JobEnd::Cancelled;
        return true;
    };
    // A port that goes away ends the job: what follows would not arrive.
    bool portLost = false;
    auto lost = [&r, &portLost](const MirageProtocol::LongSend& s, const std::string& what) {
        if (!s.cutShort)
            return false;
        portLost = true;
        r.end = JobEnd::Failed;
        r.text = "Error - MIDI output port lost - " + what + " was cut short after " + std::to_string(s.sent) +
                 " of " + std::to_string(s.total) + " bytes.";
        return true;
    };

    for (const Half& h : sound.halves) {
        if (stop())
            break;
        hooks.progress(std::string("Sending the ") + halfName(h.half) + " program dump", done, total);
        if (lost(mirage.SendLongSysEx(h.programDump.data(), static_cast<int>(h.programDump.size())),
                 std::string("the ") + halfName(h.half) + " program dump"))
            break;
        hooks.wait(ProgramSettleMs);
        done += wireMs(ProgramMessageSize) + ProgramSettleMs;
    }
    for (const Half& h : sound.halves) {
        const auto entries = wavesampleEntries(h.programDump);
        for (int w = 0; w < 8 && r.end == JobEnd::Done; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (!e.first || h.wavesampleDumps[static_cast<std::size_t>(e.dump)].empty() || stop())
                continue;
            const int index = h.half * 8 + w;
            const Bytes message = wavesampleSendMessage(h.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
            const auto answer = sendWavesample(mirage, index, e.range.pages(), message, hooks, {done, total}, lost);
            if (!answer)
                break;
            for (int v = 0; v < 8; ++v)
                if (entries[static_cast<std::size_t>(v)].dump == e.dump)
                    r.answers[static_cast<std::size_t>(h.half * 8 + v)] = *answer;
            done += SelectWaitMs + wireMs(message.size()) + wireMs(5);
        }
    }

    // The instrument plays what it now holds, and the program learns it;
    // through a port that has gone nothing would reach it.
    if (!portLost) {
        hooks.progress("Selecting the current programs", done, total);
        for (const Half& h : sound.halves)
            mirage.SelectProgram(h.half, mirage.GetCurrentProgram(h.half));
        for (const Half& h : sound.halves) {
            hooks.progress(std::string("Requesting the ") + halfName(h.half) + " program dump", done, total);
            mirage.RequestProgram(h.half);
        }
    }
    hooks.progress(r.end == JobEnd::Done ? "Sent" : r.end == JobEnd::Cancelled ? "Cancelled" : "Failed", total, total);
    return r;
}

WavesampleFetch fetchWavesampleData(MirageProtocol& mirage, int index, int pages, const JobHooks& hooks)
{
    WavesampleFetch r;
    auto dump = fetchWavesample(mirage, index, pages, hooks, {0, wavesampleFetchMs(pages)});
    if (auto* failed = std::get_if<std::pair<JobEnd, std::string>>(&dump)) {
        r.end = failed->first;
        r.text = std::move(failed->second);
        return r;
    }
    r.dump = std::move(std::get<Bytes>(dump));
    hooks.progress("Received", 1, 1);
    return r;
}

std::vector<std::string> describe(const Sound& sound)
{
    std::vector<std::string> lines;
    for (const Half& h : sound.halves) {
        lines.push_back(std::string(h.half == 0 ? "Lower" : "Upper") + " half: programs " + (h.half == 0 ? "L1-L4" : "U1-U4") +
                        ", " + std::to_string(h.wavesampleDumps.size()) + " wavesample dumps");
        const auto entries = wavesampleEntries(h.programDump);
        for (int w = 0; w < 8; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            std::string line = "  " + wsName(h.half * 8 + w) + "  ";
            if (e.range.pages() == 0) {
                line += "no pages";
            } else {
                line += "pages " + std::to_string(e.range.start) + "-" + std::to_string(e.range.end) + " (" +
                        std::to_string(e.range.pages()) + ")";
                if (!e.first)
                    for (int v = 0; v < w; ++v)
                        if (entries[static_cast<std::size_t>(v)].first && entries[static_cast<std::size_t>(v)].dump == e.dump) {
                            line += ", the data of " + wsName(h.half * 8 + v);
                            break;
                        }
            }
            if (h.hasNames)
                line += "  " + h.names[static_cast<std::size_t>(w)];
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace corvane::sound
