#include "MirageProtocol.h"

#include "Listeners.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace corvane {

namespace {
constexpr int WaitSelectWavesample = 30;
constexpr int WaitSelectProgram = 50;
constexpr int WaitQueryWavesample = 100;
constexpr int WaitConfigDump = 60;
constexpr int WaitProgramDump = 500;
constexpr int AnswerPoll = 50;

std::string seconds(int ms)
{
    const int tenths = (ms + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10)
        text += '.' + std::to_string(tenths % 10);
    return text + (tenths == 10 ? " second" : " seconds");
}
} // namespace

MirageProtocol::MirageProtocol(Seams& seams)
    : UpperProgramDump(nullptr), seams_(seams), upperStorage_(new std::uint8_t[ProgramBufferSize]),
      history_(std::make_unique<EditHistory>(*this))
{
    UpperProgramDump = upperStorage_.get();
    ResetState();
}

MirageProtocol::~MirageProtocol() = default;

void MirageProtocol::ResetState()
{
    std::memset(ConfigDump, 0, sizeof ConfigDump);
    std::memset(LowerProgramDump, 0, sizeof LowerProgramDump);
    std::memset(UpperProgramDump, 0, ProgramBufferSize);
    CurrentHalf = CurrentWavesample = CurrentLowerProgram = CurrentUpperProgram = 0;
}

void MirageProtocol::SendSysEx(const std::uint8_t* bytes, int count)
{
    if (count <= 0 || count > SendSysExMax || !bytes)
        return;
    if (conversing_ && waitDepth_ > 0) {
        // Sent by an event handled inside a sequence's wait (a timer, say):
        // it leaves after the sequence, never between two of its messages.
        std::vector<std::uint8_t> kept(bytes, bytes + count);
        Converse([this, kept] { SendSysEx(kept.data(), static_cast<int>(kept.size())); });
        return;
    }
    // A disk load (or a reboot, sound 0) replaces what the instrument holds:
    // its next dumps are news, not differences from the copy.
    if (count >= 6 && bytes[3] == cmd::KeyCodes && (bytes[4] == key::UpperLoad || bytes[4] == key::LowerLoad)) {
        const bool upper = bytes[4] == key::UpperLoad;
        const bool lower = !upper || bytes[5] == key::LowerLoad;
        const int at = upper && lower ? 6 : 5;
        const int sound = count > at ? bytes[at] : -1;
        replaced(sound == 0, lower || sound == 0, upper || sound == 0);
    }
    std::memcpy(sendBuffer_, bytes, static_cast<std::size_t>(count));
    // A dump sent earlier has come back by now if it ever will: a dump
    // arriving from here on is the instrument's, though it may hold the
    // same samples.
    lastLongSent_.clear();
    if (sysExOut_)
        sysExOut_(sendBuffer_, count);
}

MirageProtocol::LongSend MirageProtocol::SendLongSysEx(const std::uint8_t* bytes, int count,
                                                       const SendProgress& progress)
{
    if (count <= 0 || !bytes || (!sysExOut_ && !longSysExOut_))
        return {};
    const auto total = static_cast<std::size_t>(count);
    LongSend r{total, total, false, false};
    // A wavesample dump that comes straight back is its echo, not an answer.
    if (count > 3 && bytes[3] == cmd::WavesampleDump)
        lastLongSent_.assign(bytes, bytes + count);
    // New sample data (a wavesample, or a sound's program dump with its
    // samples to follow): a rotate made before cannot be taken back.
    history_->SampleDataReplaced();
    // The port paces a long message through the wait primitive.
    ++waitDepth_;
    if (longSysExOut_) {
        r = longSysExOut_(bytes, count, [this, &progress](std::size_t sent, std::size_t all) {
            if (progress)
                progress(sent, all);
            return !(transferring_ && transferStop_);
        });
    } else {
        sysExOut_(bytes, count);
        if (progress)
            progress(total, total);
    }
    --waitDepth_;
    // A program dump that went out, whole or in part, replaced the half's
    // parameters as the instrument holds them (or may have: a dump cut
    // short, or an instrument that takes without answering). Whatever the
    // copy holds of that half is not the instrument's until a fresh dump
    // has come.
    const bool programDump = count > 3 && bytes[0] == sysex::Start && bytes[1] == sysex::Ensoniq &&
                             bytes[2] == sysex::Mirage && (bytes[3] == cmd::LowerDump || bytes[3] == cmd::UpperDump);
    if (programDump && r.sent > 0)
        replaced(false, bytes[3] == cmd::LowerDump, bytes[3] == cmd::UpperDump);
    return r;
}

// What the instrument holds was replaced whole, not stepped (a disk load, a
// reboot, a program dump sent): the copy of it is unknown, so an editor asks
// for it before showing it; the next dump is news, not a difference; and
// the edits made to what was replaced leave the history.
void MirageProtocol::replaced(bool config, bool lower, bool upper)
{
    if (config)
        received_[static_cast<std::size_t>(Arrival::Config)] = false;
    if (lower)
        received_[static_cast<std::size_t>(Arrival::LowerProgram)] = false;
    if (upper)
        received_[static_cast<std::size_t>(Arrival::UpperProgram)] = false;
    history_->Forget(config, lower, upper);
    history_->SampleDataReplaced();
}

void MirageProtocol::NoteUnanswered()
{
    noAnswerSaid_ = noAnswerSaid_ || conversing_;
    unanswered_ = true;
}

void MirageProtocol::Wait(int ms)
{
    ++waitDepth_;
    seams_.wait(ms);
    --waitDepth_;
}

void MirageProtocol::WaitAcceptingInput(int ms)
{
    ++waitDepth_;
    seams_.waitAcceptingInput(ms);
    --waitDepth_;
}

bool MirageProtocol::Converse(std::function<void()> sequence, int* ticket)
{
    if (conversing_ && waitDepth_ > 0) {
        const int id = nextTicket_++;
        kept_.push_back({id, std::move(sequence)});
        if (ticket)
            *ticket = id;
        return false;
    }
    if (conversing_) {
        // Part of the running sequence.
        sequence();
        return true;
    }
    conversing_ = true;
    noAnswerSaid_ = false;
    struct Release {
        MirageProtocol& m;
        ~Release() { m.conversing_ = false; }
    } release{*this};
    sequence();
    conversing_ = false;
    sayEcho();
    runKept();
    if (!conversing_ && kept_.empty())
        ConversationEnded();
    return true;
}

void MirageProtocol::ChangePorts(const std::function<void()>& change)
{
    const bool own = !conversing_;
    {
        struct Restore {
            MirageProtocol& m;
            bool own;
            ~Restore()
            {
                --m.waitDepth_;
                if (own)
                    m.conversing_ = false;
            }
        } restore{*this, own};
        conversing_ = true;
        ++waitDepth_;
        change();
    }
    if (own)
        runKept();
}

void MirageProtocol::runKept()
{
    while (!conversing_ && !kept_.empty()) {
        Kept next = std::move(kept_.front());
        kept_.pop_front();
        Converse(std::move(next.sequence));
    }
}

void MirageProtocol::CancelKept(int ticket)
{
    for (auto it = kept_.begin(); it != kept_.end(); ++it)
        if (it->ticket == ticket) {
            kept_.erase(it);
            return;
        }
}

int MirageProtocol::AddArrivalListener(ArrivalFn fn)
{
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(fn));
    return id;
}

void MirageProtocol::RemoveArrivalListener(int id)
{
    for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
        if (it->first == id) {
            listeners_.erase(it);
            return;
        }
}

void MirageProtocol::arrived(Arrival a)
{
    received_[static_cast<std::size_t>(a)] = true;
    ++arrivals_[static_cast<std::size_t>(a)];
    AnnounceCopy(a);
}

void MirageProtocol::AnnounceCopy(Arrival a) { callListeners(listeners_, a); }

void MirageProtocol::RequestConfig(const std::string& asked)
{
    const int before = Arrivals(Arrival::Config);
    SendSysEx(requestMessage(cmd::ConfigRequest));
    Wait(WaitConfigDump);
    if (!AwaitArrival(Arrival::Config, before, WaitConfigDump, AnswerLimit.configMs))
        ReportNoAnswer(asked.empty() ? "the configuration dump request" : asked, AnswerLimit.configMs);
}

void MirageProtocol::RequestProgram(int half, const std::string& asked)
{
    const Arrival a = ProgramArrival(half);
    const int before = Arrivals(a);
    SendSysEx(requestMessage(half == 0 ? cmd::LowerRequest : cmd::UpperRequest));
    Wait(WaitProgramDump);
    if (!AwaitArrival(a, before, WaitProgramDump, AnswerLimit.programMs))
        ReportNoAnswer(asked.empty() ? std::string("the ") + (half == 0 ? "lower" : "upper") + " program dump request"
                                     : asked,
                       AnswerLimit.programMs);
}

bool MirageProtocol::AwaitArrival(Arrival a, int before, int waitedMs, int limitMs)
{
    if (unanswered_ || (noAnswerSaid_ && conversing_))
        return Arrivals(a) != before;
    for (int waited = waitedMs; Arrivals(a) == before; waited += AnswerPoll) {
        if (waited >= limitMs)
            return false;
        Wait(AnswerPoll);
    }
    return true;
}

std::string MirageProtocol::NoAnswerText(const std::string& asked, int limitMs, const std::string& extra) const
{
    std::string t = std::string(text::NoAnswer) + " " + asked + (limitMs > 0 ? " within " + seconds(limitMs) : "") + ".";
    const std::string ports = PortsText();
    if (!ports.empty())
        t += "\n\n" + ports;
    if (!extra.empty())
        t += "\n\n" + extra;
    t += "\n\nThe usual causes:\n"
         "- a MIDI cable in the wrong socket (the computer's MIDI Out goes to the Mirage's MIDI In, the Mirage's "
         "MIDI Out to the computer's MIDI In), or the wrong ports chosen under Setup > MIDI Ports;\n"
         "- System Exclusive turned off on the instrument (parameter 85);\n"
         "- the instrument on another MIDI channel or out of omni mode (parameters 81 and 82);\n"
         "- an operating system on the Mirage that lacks this dump: boot it from a disk that has it.";
    return t;
}

void MirageProtocol::ReportNoAnswer(const std::string& asked, int limitMs, const std::string& extra)
{
    if (noAnswerSaid_ && conversing_)
        return;
    noAnswerSaid_ = true;
    const bool before = unanswered_;
    unanswered_ = true;
    const std::string again = "Nothing has come from it since an earlier request went unanswered.";
    seams_.messageBox(before ? NoAnswerText(asked, 0, extra.empty() ? again : again + " " + extra)
                             : NoAnswerText(asked, limitMs, extra),
                      text::NoAnswerCaption, BoxButtons::Ok);
}

void MirageProtocol::EnsureConfig()
{
    if (!Received(Arrival::Config))
        RequestConfig();
}

void MirageProtocol::EnsureProgram(int half)
{
    if (!Received(ProgramArrival(half)))
        RequestProgram(half);
}

void MirageProtocol::report(const char* text, const char* caption)
{
    seams_.messageBox(text, caption, BoxButtons::Ok);
}

void MirageProtocol::MidiIn1SysEx(const std::uint8_t* data, int size)
{
    if (!data || size <= 0)
        return;
    if (dispatching_) {
        // A report of an earlier message is still open: keep this one until
        // it is closed, so the order of buffer updates and reports holds.
        pending_.emplace_back(data, data + size);
        return;
    }
    dispatching_ = true;
    dispatch(data, static_cast<std::size_t>(size));
    while (!pending_.empty()) {
        const std::vector<std::uint8_t> next = std::move(pending_.front());
        pending_.pop_front();
        dispatch(next.data(), next.size());
    }
    dispatching_ = false;
    if (!conversing_)
        sayEcho();
}

// The instrument never sends a request or a key-code message, nor a
// wavesample dump closed as the program closes its own: such a message is
// the program's own, come back.
bool MirageProtocol::isEcho(const std::uint8_t* data, std::size_t size)
{
    if (wsJoining_ || !isMirageMessage(data, size) || size < 4)
        return false;
    const std::uint8_t c = data[3];
    bool echo = c == cmd::ConfigRequest || c == cmd::KeyCodes || c == cmd::LowerRequest || c == cmd::UpperRequest ||
                c == cmd::WavesampleRequest;
    if (c == cmd::WavesampleDump && !lastLongSent_.empty()) {
        std::size_t n = size;
        if (n > lastLongSent_.size() && data[n - 1] == sysex::End)
            --n;
        // A long one comes in pieces: the first, a whole receive buffer,
        // is the start of what was sent.
        const bool first = size == ReceiveBufferSize && data[size - 1] != sysex::End && size < lastLongSent_.size();
        echo = (n == lastLongSent_.size() || first) && std::equal(data, data + n, lastLongSent_.begin());
        echoJoining_ = echo && first;
        if (echo)
            lastLongSent_.clear();
    }
    if (echo && !echoNoticed_) {
        echoNoticed_ = true;
        echoToSay_ = true;
    }
    return echo;
}

void MirageProtocol::sayEcho()
{
    if (!echoToSay_)
        return;
    echoToSay_ = false;
    const std::string in = InputName();
    std::string t = "Corvane's own messages come back on its MIDI input" + (in.empty() ? "" : " \"" + in + "\"") +
                    ": the interface, or a MIDI thru connection, hands back what is sent. Corvane recognises them "
                    "and goes on working; the traffic doubles, and a long transfer takes a little longer.";
    t += "\n\nIf this is not meant to be, turn MIDI thru off on the interface, or take the cable that loops "
         "back out.";
    seams_.messageBox(t, text::EchoCaption, BoxButtons::Ok);
}

// The rules run one after another on the same message; they are not
// exclusive branches.
void MirageProtocol::dispatch(const std::uint8_t* data, std::size_t size)
{
    if (echoJoining_) {
        if (data[0] != sysex::Start) {
            echoJoining_ = size == ReceiveBufferSize && data[size - 1] != sysex::End;
            return;
        }
        echoJoining_ = false;
    }
    if (wsJoining_) {
        // A long wavesample dump arrives in pieces, each after the first
        // without its F0; anything else means the rest will not come.
        if (data[0] != sysex::Start) {
            decodeWavesample(data, size);
            return;
        }
        finishWavesample();
    }
    if (!isMirageMessage(data, size))
        return;
    if (size < 4)
        return; // no command byte
    if (isEcho(data, size))
        return;
    heard_ = true;
    unanswered_ = false;
    const std::uint8_t command = data[3];

    // A dump of the right size whose data are not all nibbles is refused as
    // one of the wrong size is: the copy stays, only the lower one reports.
    if (size == ConfigDumpSize && command == cmd::ConfigDump && nibbleData(data, size)) {
        history_->DumpArriving(true, 0, data);
        std::memcpy(ConfigDump, data, ConfigDumpSize);
        arrived(Arrival::Config);
    }
    const bool program = size == ProgramDumpSize && nibbleData(data, size);
    if (program && command == cmd::LowerDump) {
        history_->DumpArriving(false, 0, data);
        std::memcpy(LowerProgramDump, data, ProgramDumpSize);
        arrived(Arrival::LowerProgram);
    }
    if (program && command == cmd::UpperDump) {
        history_->DumpArriving(false, 1, data);
        std::memcpy(UpperProgramDump, data, ProgramDumpSize);
        arrived(Arrival::UpperProgram);
    }
    if (command == cmd::LowerDump && !program)
        report(text::NotReceivedProgram, text::NotReceivedProgramCaption);
    if (size <= 9 && size >= 5) {
        const int status = data[4];
        if (command == cmd::StatusHalf || command == cmd::StatusHalfAlt) {
            CurrentHalf = status / 16;
            arrived(Arrival::Status);
        } else if (command == cmd::StatusHalfWavesample || command == cmd::StatusHalfWavesampleAlt) {
            CurrentHalf = status / 16;
            CurrentWavesample = status % 16;
            arrived(Arrival::Status);
        }
    }
    if (command == cmd::WavesampleDump) {
        startWavesample();
        // Counted after the copy kept aside: a dump refused as malformed
        // puts the old count back with the old data.
        ++wsArrival_.serial;
        decodeWavesample(data, size);
    }
    if (command == cmd::WavesampleAck || command == cmd::WavesampleNak) {
        lastLongSent_.clear(); // its echo, if any, came before the answer
        ++wsAnswers_;
        wsAccepted_ = command == cmd::WavesampleAck;
    }
    if (command == cmd::WavesampleAck && !quietAnswers_)
        report(text::AckGood, text::AckGoodCaption);
    if (command == cmd::WavesampleNak && !quietAnswers_)
        report(text::NakBad, text::NakBadCaption);
}

void MirageProtocol::startWavesample()
{
    // Made with the first dump (most sessions never need it), and filled
    // here rather than cleared first.
    if (!wsKept_)
        wsKept_ = std::make_unique_for_overwrite<KeptWavesample>();
    wsKept_->buffer = WavesampleBuffer;
    wsKept_->arrival = wsArrival_;
    wsKept_->ready = WavesampleReady;
    WavesampleReady = false;
    wsArrived_ = 0;
    wsFirstBad_ = SIZE_MAX;
    wsRestored_ = false;
}

// One piece of a wavesample dump, at message position wsArrived_. Nibble
// pairs, low nibble first, from byte 4: buffer byte 0 is the page count, each
// further pair one sample byte. A piece that fills a whole receive buffer
// without the closing F7 is followed by the rest of the message.
void MirageProtocol::decodeWavesample(const std::uint8_t* data, std::size_t size)
{
    // The head (F0 0F 01 04 and the page count) byte by byte; after it the
    // sample nibbles and the checksum, low nibble first, taken a pair at a
    // time: a dump is up to 131,078 bytes, and this runs for every piece.
    std::size_t k = 0;
    for (; k < size && wsArrived_ + k < 6; ++k) {
        const std::size_t pos = wsArrived_ + k;
        const std::uint8_t b = data[k];
        if (pos < 4)
            continue;
        wsPageNibbles_[pos - 4] = b;
        // 256 pages are counted 00 10, the one count above two nibbles.
        const bool bad = pos == 5 ? b > 0x10 || (b == 0x10 && wsPageNibbles_[0] != 0) : b > 0x0F;
        if (bad && wsFirstBad_ == SIZE_MAX)
            wsFirstBad_ = pos;
        if (pos == 4)
            wsLowNibble_ = b;
        else if (!wsRestored_)
            WavesampleBuffer[0] = static_cast<std::uint8_t>(wsLowNibble_ + 16 * b);
    }
    // The first byte above a nibble, looked for 32 bytes at a time, then
    // eight, then one by one.
    if (wsFirstBad_ == SIZE_MAX) {
        std::size_t at = k;
        for (; at + 32 <= size; at += 32) {
            std::uint64_t a, b, c, d;
            std::memcpy(&a, data + at, 8);
            std::memcpy(&b, data + at + 8, 8);
            std::memcpy(&c, data + at + 16, 8);
            std::memcpy(&d, data + at + 24, 8);
            if ((a | b | c | d) & 0xF0F0F0F0F0F0F0F0ull)
                break;
        }
        for (; at + 8 <= size; at += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, data + at, 8);
            if (eight & 0xF0F0F0F0F0F0F0F0ull)
                break;
        }
        for (; at < size; ++at)
            if (data[at] > 0x0F) {
                wsFirstBad_ = wsArrived_ + at;
                break;
            }
    }
    // Position pos (6 on) is a low nibble when even; an odd one completes
    // byte pos / 2 - 2 of the buffer.
    std::size_t j = k;
    if (j < size && (wsArrived_ + j) % 2 == 1) {
        const std::size_t index = (wsArrived_ + j) / 2 - 2;
        if (!wsRestored_ && index < WavesampleBuffer.size())
            WavesampleBuffer[index] = static_cast<std::uint8_t>(wsLowNibble_ + 16 * data[j]);
        ++j;
    }
    const std::size_t pairs = (size - j) / 2;
    if (!wsRestored_ && pairs > 0) {
        const std::size_t first = (wsArrived_ + j + 1) / 2 - 2;
        const std::size_t fit = first < WavesampleBuffer.size() ? std::min(pairs, WavesampleBuffer.size() - first) : 0;
        std::uint8_t* out = WavesampleBuffer.data() + first;
        const std::uint8_t* in = data + j;
        std::size_t n = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Eight pairs a step, in two words: each 16-bit lane becomes
            // low + 16 * high, whose low byte is the sample byte (as the
            // byte-wise sum below, modulo 256).
            constexpr std::uint64_t Low = 0x00FF00FF00FF00FFull;
            const auto pack = [](std::uint64_t x) {
                std::uint64_t y = ((x & Low) + (((x >> 8) & Low) << 4)) & Low;
                y = (y | (y >> 8)) & 0x0000FFFF0000FFFFull;
                return static_cast<std::uint32_t>(y | (y >> 16));
            };
            for (; n + 8 <= fit; n += 8) {
                std::uint64_t x0, x1;
                std::memcpy(&x0, in + 2 * n, 8);
                std::memcpy(&x1, in + 2 * n + 8, 8);
                const std::uint64_t both = pack(x0) | static_cast<std::uint64_t>(pack(x1)) << 32;
                std::memcpy(out + n, &both, 8);
            }
        }
        for (; n + 4 <= fit; n += 4) {
            out[n] = static_cast<std::uint8_t>(in[2 * n] + 16 * in[2 * n + 1]);
            out[n + 1] = static_cast<std::uint8_t>(in[2 * n + 2] + 16 * in[2 * n + 3]);
            out[n + 2] = static_cast<std::uint8_t>(in[2 * n + 4] + 16 * in[2 * n + 5]);
            out[n + 3] = static_cast<std::uint8_t>(in[2 * n + 6] + 16 * in[2 * n + 7]);
        }
        for (; n < fit; ++n)
            out[n] = static_cast<std::uint8_t>(in[2 * n] + 16 * in[2 * n + 1]);
    }
    j += 2 * pairs;
    if (pairs > 0)
        wsLowNibble_ = data[j - 2];
    if (j < size) // a low nibble whose high one comes in the next piece
        wsLowNibble_ = data[j];
    if (size >= 2) {
        wsTail_[0] = data[size - 2];
        wsTail_[1] = data[size - 1];
    } else if (size == 1) {
        wsTail_[0] = wsTail_[1];
        wsTail_[1] = data[0];
    }
    wsArrived_ += size;
    wsJoining_ = size == ReceiveBufferSize && data[size - 1] != sysex::End;
    if (!wsJoining_) {
        finishWavesample();
    } else if (wavesampleMalformed()) {
        restoreWavesample();
    } else {
        noteArrival(false); // what a time-out finds
    }
}

// Only the checksum and the closing byte, the last two, may be above 0x0F
// (and the page count of 256).
bool MirageProtocol::wavesampleMalformed() const
{
    return wsRestored_ || (wsFirstBad_ != SIZE_MAX && wsFirstBad_ + 2 < wsArrived_);
}

void MirageProtocol::restoreWavesample()
{
    if (!wsRestored_) {
        WavesampleBuffer = wsKept_->buffer;
        wsArrival_ = wsKept_->arrival;
    }
    wsRestored_ = true;
}

void MirageProtocol::finishWavesample()
{
    wsJoining_ = false;
    if (wavesampleMalformed()) {
        restoreWavesample();
        WavesampleReady = wsKept_->ready;
        return;
    }
    if (wsArrived_ > MaxWavesampleDumpSize)
        report(text::BufferOverflow, text::BufferOverflowCaption);
    const int pages = wsArrived_ >= 6 ? wsPageNibbles_[0] + 16 * wsPageNibbles_[1] : 0;
    // The checksum byte precedes the closing byte and is stored raw, after
    // the last page.
    const std::size_t checksumIndex = 1 + 256 * static_cast<std::size_t>(pages);
    if (wsArrived_ >= 6 && checksumIndex < WavesampleBuffer.size())
        WavesampleBuffer[checksumIndex] = wsTail_[0];
    noteArrival(true);
    WavesampleReady = true;
    arrived(Arrival::Wavesample);
}

// Sample pairs lie between the page count and, once the dump has ended, its
// checksum and closing byte. Before the end, only the pairs in front of a
// byte above 0x0F count: it may yet prove to be the checksum.
void MirageProtocol::noteArrival(bool ended)
{
    const int pages = wsArrived_ >= 6 ? wsPageNibbles_[0] + 16 * wsPageNibbles_[1] : 0;
    const std::size_t header = ended ? 8 : 6;
    const std::size_t upTo = ended ? wsArrived_ : std::min(wsArrived_, wsFirstBad_);
    const std::size_t pairs = upTo >= header ? (upTo - header) / 2 : 0;
    wsArrival_.pages = pages;
    wsArrival_.sampleBytes = std::min({pairs, 256 * static_cast<std::size_t>(pages), WavesampleBuffer.size() - 2});
    wsArrival_.complete = ended && pages <= 256 && wsArrived_ == 8 + 512 * static_cast<std::size_t>(pages);
}

void MirageProtocol::SelectProgram(int half, int program)
{
    Converse([this, half, program] { selectProgram(half, program); });
}

void MirageProtocol::selectProgram(int half, int program)
{
    SendSysEx(keyCodeMessage({0x00, 0x00}));
    Wait(WaitSelectProgram);
    // CurrentHalf holds whatever a status reply set during the wait.
    const int otherHalf = half == 0 ? 1 : 0;
    if (CurrentHalf == otherHalf) {
        SendSysEx(keyCodeMessage({0x00}));
        Wait(WaitSelectProgram);
    }
    if (program >= 0 && program <= 3)
        SendSysEx(keyCodeMessage({static_cast<std::uint8_t>(program + 1)}));
    if (half == 0)
        CurrentLowerProgram = program;
    else
        CurrentUpperProgram = program;
    ShowCurrentPrograms();
    ShowCurrentHalf(half);
}

void MirageProtocol::SelectWavesample(int index)
{
    Converse([this, index] { selectWavesample(index); });
}

void MirageProtocol::selectWavesample(int index)
{
    if (index >= 0 && index <= 7) {
        SendSysEx(keyCodeMessage({key::LowerWavesample, static_cast<std::uint8_t>(index + 1)}));
        CurrentWavesample = index;
        CurrentHalf = 0;
    } else if (index >= 8 && index <= 15) {
        SendSysEx(keyCodeMessage({key::UpperWavesample, static_cast<std::uint8_t>(index - 7)}));
        CurrentWavesample = index - 8;
        CurrentHalf = 1;
    }
    Wait(WaitSelectWavesample);
}

int MirageProtocol::QueryCurrentWavesample()
{
    Converse([this] {
        SendSysEx(keyCodeMessage({key::Param, 0x02, 0x06, key::Value}));
        Wait(WaitQueryWavesample);
    });
    return CurrentWavesample;
}

void MirageProtocol::SetCurrentProgram(int half, int program)
{
    if (half == 0)
        CurrentLowerProgram = program;
    else
        CurrentUpperProgram = program;
    ShowCurrentPrograms();
}

void MirageProtocol::SetCurrentHalf(int half)
{
    CurrentHalf = half;
    ShowCurrentHalf(half);
}

void MirageProtocol::ShowCurrentHalf(int half)
{
    setStatusText(0, half != 0 ? "Current Kbd Half: Upper" : "Current Kbd Half: Lower");
}

void MirageProtocol::ShowCurrentPrograms()
{
    setStatusText(1, "Current Lower Program: " + std::to_string(CurrentLowerProgram + 1));
    setStatusText(2, "Current Upper Program: " + std::to_string(CurrentUpperProgram + 1));
}

void MirageProtocol::setStatusText(int panel, std::string text)
{
    if (panel < 0 || panel >= static_cast<int>(StatusText.size()))
        return;
    StatusText[static_cast<std::size_t>(panel)] = std::move(text);
    StatusTextChanged(panel);
}

} // namespace corvane
