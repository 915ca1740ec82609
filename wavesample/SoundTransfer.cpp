#include "SoundTransfer.h"

#include "MirageProtocol.h"

#include <algorithm>

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
    long long done = 0;
    long long total = 0;
    for (int h : halves)
        total += programFetchMs() +
                 fetchMs(std::span<const std::uint8_t>(h == 0 ? mirage.LowerProgramDump : mirage.UpperProgramDump,
                                                       ProgramMessageSize));
    auto fail = [&r](JobEnd end, std::string text) {
        r.end = end;
        r.text = std::move(text);
        r.sound = {};
        return r;
    };

    // The program dumps first: their page pointers say what follows.
    for (int h : halves) {
        const std::string status = std::string("Requesting the ") + halfName(h) + " program dump";
        hooks.progress(status, done, total);
        const int seen = programArrivals[static_cast<std::size_t>(h)];
        mirage.SendSysEx(requestMessage(h == 0 ? cmd::LowerRequest : cmd::UpperRequest));
        for (int waited = 0; programArrivals[static_cast<std::size_t>(h)] == seen; waited += Poll) {
            if (hooks.cancelled())
                return fail(JobEnd::Cancelled, "Cancelled.");
            if (waited >= ProgramTimeoutMs)
                return fail(JobEnd::Failed, std::string("Error - The Mirage did not send its ") + halfName(h) +
                                                " program dump.");
            hooks.wait(Poll);
            hooks.progress(status, done + std::min<long long>(waited + Poll, programFetchMs()), total);
        }
        Half half;
        half.half = h;
        const std::uint8_t* dump = h == 0 ? mirage.LowerProgramDump : mirage.UpperProgramDump;
        half.programDump.assign(dump, dump + ProgramMessageSize);
        half.programDump.back() = sysex::End;
        r.sound.halves.push_back(std::move(half));
        done += programFetchMs();
    }
    total = done;
    for (const Half& h : r.sound.halves)
        total += fetchMs(h.programDump);
    r.expectedMs = total;

    // Then each wavesample with pages of its own.
    for (Half& half : r.sound.halves) {
        const auto entries = wavesampleEntries(half.programDump);
        for (int w = 0; w < 8; ++w) {
            const WavesampleEntry& e = entries[static_cast<std::size_t>(w)];
            if (!e.first)
                continue;
            const int index = half.half * 8 + w;
            const int pages = e.range.pages();
            const long long expected = wavesampleFetchMs(pages);
            const std::string status = "Receiving wavesample " + wsName(index) + " (" + std::to_string(pages) + " pages)";
            hooks.progress(status, done, total);
            if (hooks.cancelled())
                return fail(JobEnd::Cancelled, "Cancelled.");
            mirage.SelectWavesample(index);
            mirage.WavesampleReady = false;
            mirage.SendSysEx(wavesampleRequestMessage());
            // After Cancel the dump under way is still let in whole: the
            // instrument is sending it, and it must not be taken later for
            // the answer to another request.
            for (long long waited = 0; !mirage.WavesampleReady; waited += Poll) {
                if (waited >= 2 * expected + ProgramTimeoutMs)
                    return fail(JobEnd::Failed, "Error - Wavesample " + wsName(index) + " did not arrive.");
                hooks.wait(Poll);
                hooks.progress(hooks.cancelled() ? "Cancelling: wavesample " + wsName(index) + " is still arriving"
                                                 : status,
                               done + std::min(waited + Poll, expected), total);
            }
            if (hooks.cancelled())
                return fail(JobEnd::Cancelled, "Cancelled.");
            const MirageProtocol::WavesampleArrival& a = mirage.LastWavesample();
            if (!a.complete || a.pages != pages)
                return fail(JobEnd::Failed, "Error - Wavesample " + wsName(index) + " arrived with " +
                                                std::to_string(a.pages) + " pages" + (a.complete ? "" : ", not whole") +
                                                "; its page pointers give " + std::to_string(pages) + ".");
            const std::size_t bytes = 256 * static_cast<std::size_t>(pages);
            half.wavesampleDumps.push_back(wavesampleDumpMessage(
                pages, std::span<const std::uint8_t>(mirage.WavesampleBuffer.data() + 1, bytes),
                mirage.WavesampleBuffer[1 + bytes]));
            done += expected;
        }
    }
    // The instrument's wavesample selection as it was before.
    mirage.SelectWavesample(selected);
    hooks.progress("Received", total, total);
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
    auto lost = [&r](const MirageProtocol::LongSend& s, const std::string& what) {
        if (!s.cutShort)
            return false;
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
            if (!e.first || stop())
                continue;
            const int index = h.half * 8 + w;
            const Bytes message = wavesampleSendMessage(h.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
            const long long expected = SelectWaitMs + wireMs(message.size()) + wireMs(5);
            const std::string status = "Sending wavesample " + wsName(index) + " (" + std::to_string(e.range.pages()) + " pages)";
            hooks.progress(status, done, total);
            mirage.SelectWavesample(index);
            const int seen = mirage.WavesampleAnswers();
            if (lost(mirage.SendLongSysEx(message.data(), static_cast<int>(message.size())),
                     "wavesample " + wsName(index)))
                break;
            // The answer is awaited even after Cancel: it belongs to this dump.
            Answer answer = Answer::NoAnswer;
            for (long long waited = 0; waited <= wireMs(message.size()) + AnswerTimeoutMs; waited += Poll) {
                if (mirage.WavesampleAnswers() != seen) {
                    answer = mirage.LastWavesampleAccepted() ? Answer::Accepted : Answer::Refused;
                    break;
                }
                hooks.wait(Poll);
                hooks.progress(status, done + std::min(waited + Poll, expected), total);
            }
            for (int v = 0; v < 8; ++v)
                if (entries[static_cast<std::size_t>(v)].dump == e.dump)
                    r.answers[static_cast<std::size_t>(h.half * 8 + v)] = answer;
            done += expected;
        }
    }

    // The instrument plays what it now holds, and the program learns it.
    hooks.progress("Selecting the current programs", done, total);
    for (const Half& h : sound.halves)
        mirage.SelectProgram(h.half, mirage.GetCurrentProgram(h.half));
    for (const Half& h : sound.halves) {
        hooks.progress(std::string("Requesting the ") + halfName(h.half) + " program dump", done, total);
        mirage.RequestProgram(h.half);
    }
    hooks.progress(r.end == JobEnd::Done ? "Sent" : r.end == JobEnd::Cancelled ? "Cancelled" : "Failed", total, total);
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
