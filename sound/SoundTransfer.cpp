#include "SoundTransfer.h"

#include "MirageProtocol.h"
#include "PollWait.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <variant>

namespace corvane::sound {

namespace {

constexpr int Poll = 50;                // ms between looks at what has arrived
constexpr int ProgramTimeoutMs = 3000;  // a program dump is on the wire for 402 ms
constexpr int ProgramSettleMs = 100;    // after sending a program dump
constexpr int SelectWaitMs = 30;        // SelectWavesample's own wait
constexpr int SelectProgramMs = 100;    // SelectProgram: two waits of 50 ms at most
constexpr int RefreshMs = 500;          // RequestProgram's own wait

std::string wsName(int index) { return (index < 8 ? 'L' : 'U') + std::to_string(index % 8 + 1); }
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

// How one wavesample's dump went: its answer; whether the port went on the
// way (`lost` has said so) or the user stopped it part-way.
struct WavesampleSent {
    Answer answer = Answer::NotSent;
    bool portLost = false;
    bool stopped = false;
};

// Selects wavesample `index` and sends it `message`, then waits for the
// answer, also after Cancel: it belongs to this dump. The answer is waited
// for as long as a request's: the limit from when the dump has crossed the
// wire (a port that paces it has spent that time already).
WavesampleSent sendWavesample(MirageProtocol& mirage, int index, int pages, const Bytes& message, const JobHooks& hooks,
                              const JobProgress& at,
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
    const long long began = mirage.seamsRef().clockMs();
    const MirageProtocol::LongSend out = mirage.SendLongSysEx(message.data(), static_cast<int>(message.size()), sent);
    if (lost(out, "wavesample " + wsName(index)))
        return {Answer::NotSent, true, false};
    const long long stillOnWire = std::max(0LL, wireMs(out.sent) - (mirage.seamsRef().clockMs() - began));
    // The last pause is the one that begins at the limit itself.
    PollWait wait = pollWait(hooks, stillOnWire + mirage.AnswerLimit.programMs + 1,
                             [&mirage, seen] { return mirage.WavesampleAnswers() != seen; });
    const long long wired = SelectWaitMs + wireMs(out.sent);
    wait.paused = [&](long long waited) {
        hooks.progress(status, at.done + std::min(wired + waited, expected), at.total);
    };
    if (waitFor(wait) != WaitEnd::Arrived)
        return {Answer::NoAnswer, false, out.stopped};
    return {mirage.LastWavesampleAccepted() ? Answer::Accepted : Answer::Refused, false, out.stopped};
}

// "L1", "L1 and L2", "L1, L2 and L5", a run of three or more as "L3-L8".
std::string nameList(const std::vector<int>& indices)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < indices.size();) {
        std::size_t j = i;
        while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1 && indices[j + 1] / 8 == indices[i] / 8)
            ++j;
        if (j - i >= 2) {
            names.push_back(wsName(indices[i]) + "-" + wsName(indices[j]));
        } else {
            for (std::size_t k = i; k <= j; ++k)
                names.push_back(wsName(indices[k]));
        }
        i = j + 1;
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

bool several(const std::vector<int>& indices) { return indices.size() > 1; }

// What the wavesamples of the halves whose program dump went out hold after
// a send that stopped: "L1 and L2 replaced; L3-L8 still hold the old sound".
// Empty when no program dump went out: nothing of the instrument changed.
std::string heldText(const Sound& sound, const SendResult& r)
{
    std::vector<int> replaced, partly, unknown, old;
    for (const Half& h : sound.halves) {
        if (!r.programSent[static_cast<std::size_t>(h.half & 1)])
            continue;
        const auto entries = wavesampleEntries(h.programDump);
        const int cutDump = r.cutShort >= 0 && r.cutShort / 8 == h.half
                                ? entries[static_cast<std::size_t>(r.cutShort % 8)].dump
                                : -1;
        for (int w = 0; w < 8; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (e.dump < 0)
                continue; // no pages: nothing to hold
            const int index = h.half * 8 + w;
            const Answer a = r.answers[static_cast<std::size_t>(index)];
            if (a == Answer::Accepted)
                replaced.push_back(index);
            else if (e.dump == cutDump)
                partly.push_back(index);
            else if (a == Answer::NoAnswer)
                unknown.push_back(index);
            else
                old.push_back(index);
        }
    }
    std::vector<std::string> parts;
    if (!replaced.empty())
        parts.push_back(nameList(replaced) + " replaced");
    if (!partly.empty())
        parts.push_back(nameList(partly) + " may hold part of the new sound");
    if (!unknown.empty())
        parts.push_back(nameList(unknown) + " may hold the new sound");
    if (!old.empty())
        parts.push_back(nameList(old) + (several(old) ? " still hold" : " still holds") + " the old sound");
    if (parts.empty() && (r.programSent[0] || r.programSent[1]))
        parts.push_back("the new programs went out; no wavesample was replaced");
    std::string text;
    for (const std::string& p : parts)
        text += (text.empty() ? "" : "; ") + p;
    return text;
}

std::string halvesText(const Sound& sound)
{
    const bool lower = std::any_of(sound.halves.begin(), sound.halves.end(), [](const Half& h) { return h.half == 0; });
    const bool upper = std::any_of(sound.halves.begin(), sound.halves.end(), [](const Half& h) { return h.half == 1; });
    return lower && upper ? "both halves" : lower ? "the lower half" : "the upper half";
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

namespace {

// One send of a sound: its programs, then the wavesamples they name, then
// the programs selected and asked for again; `result` gathers how it went.
class SoundSend {
public:
    SoundSend(MirageProtocol& mirage, const Sound& sound, const JobHooks& hooks)
        : mirage_(mirage), sound_(sound), hooks_(hooks), total_(sendMs(sound))
    {
    }

    SendResult run()
    {
        const QuietAnswers quiet(mirage_);
        sendPrograms();
        for (const Half& h : sound_.halves)
            if (!sendWavesamples(h))
                break;
        if (result_.unanswered)
            sayUnanswered();
        // The instrument plays what it now holds, and the program learns
        // it; through a port that has gone, or to an instrument that does
        // not answer, nothing more is sent.
        if (!portLost_ && !result_.unanswered)
            selectAndRequest();
        const char* end = result_.end == JobEnd::Done ? "Sent" : result_.end == JobEnd::Cancelled ? "Cancelled" : "Stopped";
        hooks_.progress(end, total_, total_);
        return result_;
    }

private:
    bool cancelled()
    {
        if (!hooks_.cancelled())
            return false;
        result_.end = JobEnd::Cancelled;
        return true;
    }

    // A port that goes away ends the job: what follows would not arrive.
    bool lost(const MirageProtocol::LongSend& s, const std::string& what)
    {
        if (!s.cutShort)
            return false;
        portLost_ = true;
        result_.end = JobEnd::Failed;
        result_.text = "Error - MIDI output port lost - " + what + " was cut short after " + std::to_string(s.sent) +
                       " of " + std::to_string(s.total) + " bytes.";
        return true;
    }

    void sendPrograms()
    {
        for (const Half& h : sound_.halves) {
            if (cancelled())
                return;
            hooks_.progress(std::string("Sending the ") + halfName(h.half) + " program dump", done_, total_);
            const MirageProtocol::LongSend s =
                mirage_.SendLongSysEx(h.programDump.data(), static_cast<int>(h.programDump.size()));
            result_.programSent[static_cast<std::size_t>(h.half & 1)] = s.sent > 0;
            if (lost(s, std::string("the ") + halfName(h.half) + " program dump"))
                return;
            if (s.stopped) {
                result_.end = JobEnd::Cancelled;
                return;
            }
            hooks_.wait(ProgramSettleMs);
            done_ += wireMs(ProgramMessageSize) + ProgramSettleMs;
        }
    }

    // The wavesamples of a half whose pages come first in its program;
    // false when the send ends here.
    bool sendWavesamples(const Half& h)
    {
        const auto entries = wavesampleEntries(h.programDump);
        for (int w = 0; w < 8 && result_.end == JobEnd::Done; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (!e.first || h.wavesampleDumps[static_cast<std::size_t>(e.dump)].empty() || cancelled())
                continue;
            const int index = h.half * 8 + w;
            const Bytes message = wavesampleSendMessage(h.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
            const WavesampleSent sent =
                sendWavesample(mirage_, index, e.range.pages(), message, hooks_, {done_, total_},
                               [this](const MirageProtocol::LongSend& s, const std::string& what) { return lost(s, what); });
            for (int v = 0; v < 8; ++v)
                if (entries[static_cast<std::size_t>(v)].dump == e.dump)
                    result_.answers[static_cast<std::size_t>(h.half * 8 + v)] = sent.answer;
            if (sent.portLost || sent.stopped)
                result_.cutShort = index;
            if (sent.portLost)
                return false;
            if (sent.stopped) {
                result_.end = JobEnd::Cancelled;
                return false;
            }
            if (sent.answer == Answer::NoAnswer) {
                // The instrument is not answering: what follows would go
                // the same way, so nothing more is sent.
                result_.end = JobEnd::Failed;
                result_.unanswered = true;
                return false;
            }
            done_ += SelectWaitMs + wireMs(message.size()) + wireMs(5);
        }
        return result_.end == JobEnd::Done;
    }

    void sayUnanswered()
    {
        const auto first = std::find(result_.answers.begin(), result_.answers.end(), Answer::NoAnswer);
        const int index = static_cast<int>(first - result_.answers.begin());
        std::string held = heldText(sound_, result_);
        if (!held.empty())
            held[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(held[0])));
        result_.text = mirage_.NoAnswerText(
            "the wavesample dump of " + wsName(index), mirage_.AnswerLimit.programMs,
            "The send stopped there; nothing more was sent. The Mirage may hold the new programs of " +
                halvesText(sound_) + " now." + (held.empty() ? "" : " " + held + ".") +
                " Corvane asks for the program dumps again before it shows them.");
        mirage_.NoteUnanswered();
    }

    void selectAndRequest()
    {
        hooks_.progress("Selecting the current programs", done_, total_);
        for (const Half& h : sound_.halves)
            mirage_.SelectProgram(h.half, mirage_.GetCurrentProgram(h.half));
        for (const Half& h : sound_.halves) {
            hooks_.progress(std::string("Requesting the ") + halfName(h.half) + " program dump", done_, total_);
            mirage_.RequestProgram(h.half);
        }
    }

    MirageProtocol& mirage_;
    const Sound& sound_;
    const JobHooks& hooks_;
    const long long total_;
    long long done_ = 0;
    bool portLost_ = false;
    SendResult result_;
};

} // namespace

SendResult sendSound(MirageProtocol& mirage, const Sound& sound, const JobHooks& hooks)
{
    return SoundSend(mirage, sound, hooks).run();
}

std::string sendSummary(const Sound& sound, const SendResult& r, const std::string& what)
{
    if (r.end == JobEnd::Done) {
        int accepted = 0;
        int other = 0;
        for (const Half& h : sound.halves) {
            const auto entries = wavesampleEntries(h.programDump);
            for (int w = 0; w < 8; ++w)
                if (entries[static_cast<std::size_t>(w)].first)
                    (r.answers[static_cast<std::size_t>(h.half * 8 + w)] == Answer::Accepted ? accepted : other) += 1;
        }
        return "Sent" + (what.empty() ? "" : " " + what) + ": " + std::to_string(accepted) +
               (accepted == 1 ? " wavesample" : " wavesamples") + " accepted, " + std::to_string(other) + " not.";
    }
    const std::string held = heldText(sound, r);
    return std::string(r.end == JobEnd::Cancelled ? "Cancelled" : "Stopped") + (what.empty() ? "" : " sending " + what) +
           ": " + (held.empty() ? std::string("nothing was sent.") : held + ".");
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
                        ", " + wavesamplesText(h.programDump));
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
                            line += ", the pages of " + wsName(h.half * 8 + v);
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
