// The shared state every window reaches through the main window: the dump
// buffers, the decoded wavesample, the selection state, the send operation
// and the receive dispatcher. Plain C++: the main window derives from it and
// tests drive it directly.
#pragma once

#include "Dumps.h"
#include "Frames.h"
#include "History.h"
#include "MidiTraffic.h"
#include "Seams.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// A wavesample dump of N pages is 8 + 512 * N bytes; the instrument sends at
// most 256 pages. The buffer holds the page count, 256 * 256 sample bytes and
// the checksum slot 1 + 256 * N of any N up to 256.
constexpr std::size_t WavesampleBufferSize = 2 + 256 * 256;
constexpr std::size_t MaxWavesampleDumpSize = 8 + 512 * 256; // 131080
// The input port's receive buffers: a longer message arrives as pieces of
// this size, each after the first without its F0.
constexpr std::size_t ReceiveBufferSize = 65545;
constexpr int SendSysExMax = 20;

namespace text {
inline const char* const NotReceivedProgram =
    "Error - Not received Program Parameter dump correctly - please try again.";
inline const char* const NotReceivedProgramCaption = "MIDI Program Data Request";
inline const char* const BufferOverflow = "Error - Buffer currently set for 131080 bytes";
inline const char* const BufferOverflowCaption = "MIDI Receive Buffer Overflow";
inline const char* const AckGood = "Wavesample Receive - Ack = good";
inline const char* const AckGoodCaption = "MIDI Wavesample Receive";
inline const char* const NakBad = "Wavesample Receive - Nck = bad";
inline const char* const NakBadCaption =
    "MIDI Wavesample Receive. File larger then that specified by the wavesample memory pointers.";
inline const char* const NoAnswer = "The Mirage did not answer";
inline const char* const NoAnswerCaption = "MIDI No Answer";
inline const char* const EchoCaption = "MIDI Echo";
} // namespace text

class MirageProtocol {
public:
    using SysExOut = std::function<void(const std::uint8_t* data, int len)>;
    // How far a long send has got: bytes out of the whole message.
    using SendProgress = std::function<void(std::size_t sent, std::size_t total)>;
    // How a long send ended: bytes out of the whole (the port's F7
    // included); stopped by StopTransfer, or cut short because the port was
    // closed or its device went away.
    struct LongSend {
        std::size_t sent = 0;
        std::size_t total = 0;
        bool stopped = false;
        bool cutShort = false;
    };
    // The port's side: it hears after each piece whether to go on.
    using GoOn = std::function<bool(std::size_t sent, std::size_t total)>;
    using LongSysExOut = std::function<LongSend(const std::uint8_t* data, int len, const GoOn& goOn)>;

    explicit MirageProtocol(Seams& seams);
    virtual ~MirageProtocol();
    MirageProtocol(const MirageProtocol&) = delete;
    MirageProtocol& operator=(const MirageProtocol&) = delete;

    // Where SendSysEx hands its bytes (the output port's SysEx operation).
    void setSysExOut(SysExOut out) { sysExOut_ = std::move(out); }
    // Where SendLongSysEx hands its bytes when the port reports progress;
    // without it long sends go to the SysExOut too.
    void setLongSysExOut(LongSysExOut out) { longSysExOut_ = std::move(out); }

    // --- dump buffers -----------------------------------------------------
    std::uint8_t ConfigDump[ConfigDumpSize] = {};
    std::uint8_t LowerProgramDump[ProgramBufferSize] = {};
    std::uint8_t* UpperProgramDump; // allocated before the rest of the state

    // The setters refuse (return false, write nothing) a value outside 0..255.
    int GetConfigParam(int pos) const { return getNibblePair(ConfigDump, ConfigDumpSize, pos); }
    bool SetConfigParam(int pos, int value) { return setNibblePair(ConfigDump, ConfigDumpSize, pos, value); }
    int GetLowerParam(int pos) const { return getNibblePair(LowerProgramDump, ProgramBufferSize, pos); }
    bool SetLowerParam(int pos, int value) { return setNibblePair(LowerProgramDump, ProgramBufferSize, pos, value); }
    int GetUpperParam(int pos) const { return getNibblePair(UpperProgramDump, ProgramBufferSize, pos); }
    bool SetUpperParam(int pos, int value) { return setNibblePair(UpperProgramDump, ProgramBufferSize, pos, value); }
    // The accessors of one half: 0 lower, otherwise upper.
    int GetParam(int half, int pos) const { return half == 0 ? GetLowerParam(pos) : GetUpperParam(pos); }
    bool SetParam(int half, int pos, int value)
    {
        return half == 0 ? SetLowerParam(pos, value) : SetUpperParam(pos, value);
    }

    // --- received wavesample ----------------------------------------------
    // Written by the receive dispatcher only; windows read them through the
    // accessors below.
    std::array<std::uint8_t, WavesampleBufferSize> WavesampleBuffer{};
    bool WavesampleReady = false;
    const std::array<std::uint8_t, WavesampleBufferSize>& ReceivedWavesample() const { return WavesampleBuffer; }
    bool WavesampleArrived() const { return WavesampleReady; }
    // Before a request: the next dump that ends sets it again.
    void AwaitWavesample() { WavesampleReady = false; }

    // What the last wavesample dump brought: the page count it announced
    // (256 too, which buffer byte 0 cannot hold), the sample bytes that
    // arrived (buffer bytes 1 to sampleBytes) and whether all its pages and
    // its checksum arrived. Final once WavesampleReady is set; before that,
    // what has arrived of a dump still coming in pieces. A dump with a data
    // byte above 0x0F (but for the page count 256, 00 10) is malformed: the
    // buffer, this and WavesampleReady are then as they were before it.
    struct WavesampleArrival {
        int pages = 0;
        std::size_t sampleBytes = 0;
        bool complete = false;
        int serial = 0; // counts the dumps that have begun to arrive since start
    };
    const WavesampleArrival& LastWavesample() const { return wsArrival_; }

    // Answers to sent wavesample dumps (0x09 accepted, 0x0A refused): how
    // many have come since start, and whether the last one accepted.
    int WavesampleAnswers() const { return wsAnswers_; }
    bool LastWavesampleAccepted() const { return wsAccepted_; }
    // While set, an answer raises no message box: the sender reports it.
    void SetQuietWavesampleAnswers(bool quiet) { quietAnswers_ = quiet; }

    // --- selection state ----------------------------------------------------
    int CurrentHalf = 0;
    int CurrentWavesample = 0;
    int CurrentLowerProgram = 0;
    int CurrentUpperProgram = 0;

    // --- sending --------------------------------------------------------------
    // Sends a message of at most 20 bytes through the output port. Longer
    // messages are refused (nothing is sent) rather than overrunning the
    // private buffer.
    void SendSysEx(const std::uint8_t* bytes, int count);
    void SendSysEx(const Message& m) { SendSysEx(m.data(), static_cast<int>(m.size())); }

    // Sends one parameter-step message (0x0E up, 0x0F down).
    void SendParameterStep(int parameter, bool up) { SendSysEx(parameterStepMessage(parameter, up)); }

    // Sends a message of any length (a wavesample dump) through the output
    // port, which paces it at wire speed; returns when it has left, or when
    // the running transfer was stopped (at the next piece) or the port went.
    // `progress`, when given, hears after each piece how far it has got.
    // A program dump sent replaces the half as a disk load does: the copy
    // of it counts as not received, and the next dump of it is news.
    LongSend SendLongSysEx(const std::uint8_t* bytes, int count, const SendProgress& progress = {});

    // --- the one conversation with the instrument ------------------------------
    // Every fixed wait of a sequence goes through here. A wait lets window
    // events through (paint, activation, timers), so whatever they start must
    // not cut into the running sequence: see Converse.
    void Wait(int ms);

    // Runs `sequence` (sends with waits: a selection, a step, a refresh, a
    // recall, a transfer) as the one conversation with the instrument. When
    // another sequence holds it and is waiting, `sequence` is kept and runs,
    // in order of arrival, as soon as that one has ended; called from within
    // the running sequence itself, it runs at once as part of it. Returns
    // true when `sequence` ran now, false when it was kept (`ticket`, when
    // given, then receives the id that CancelKept takes).
    bool Converse(std::function<void()> sequence, int* ticket = nullptr);
    void CancelKept(int ticket);
    // A wait of a long job in which the user may press its Cancel: input
    // reaches the windows, and, as in Wait, whatever an event starts is kept
    // until the sequence has ended.
    void WaitAcceptingInput(int ms);
    // Runs `change` (ports closed and opened again) at once, as a wait of
    // the conversation: closing a JACK output runs the event loop while the
    // port drains, and whatever an event starts meanwhile is kept until the
    // change has ended.
    void ChangePorts(const std::function<void()>& change);
    // A sequence holds the conversation.
    bool Conversing() const { return conversing_; }

    // A long transfer inside the running sequence (a wavesample dump sent or
    // awaited) that the user may stop: its window's Cancel, or quitting the
    // program, calls StopTransfer; the transfer sees it at its next piece or
    // poll. Held for the transfer's duration.
    class Transfer {
    public:
        explicit Transfer(MirageProtocol& m) : m_(m)
        {
            m_.transferring_ = true;
            m_.transferStop_ = false;
        }
        ~Transfer()
        {
            m_.transferring_ = false;
            m_.transferStop_ = false;
        }
        Transfer(const Transfer&) = delete;
        Transfer& operator=(const Transfer&) = delete;
        bool Stopped() const { return m_.transferStop_; }

    private:
        MirageProtocol& m_;
    };
    bool Transferring() const { return transferring_; }
    void StopTransfer() { transferStop_ = transferring_; }
    // Drops every sequence kept behind the running one (the program is
    // about to end).
    void DropKept() { kept_.clear(); }
    // The running sequence is inside one of its waits or long sends.
    bool Waiting() const { return waitDepth_ > 0; }

    // --- what has arrived ------------------------------------------------------------
    enum class Arrival { Config, LowerProgram, UpperProgram, Wavesample, Status };
    using ArrivalFn = std::function<void(Arrival)>;
    // `fn` runs on the user-interface thread each time a message of that
    // kind has been taken into the buffers. Returns an id for RemoveArrivalListener.
    int AddArrivalListener(ArrivalFn fn);
    void RemoveArrivalListener(int id);
    // A dump of this kind has arrived since the ports were (re)opened.
    bool Received(Arrival a) const { return received_[static_cast<std::size_t>(a)]; }
    // The ports were (re)opened: what arrived before may not be what the
    // instrument now holds.
    void ForgetReceived()
    {
        received_.fill(false);
        heard_ = false;
        unanswered_ = false;
    }
    static Arrival ProgramArrival(int half) { return half == 0 ? Arrival::LowerProgram : Arrival::UpperProgram; }

    // How many dumps of this kind have been taken since start.
    int Arrivals(Arrival a) const { return arrivals_[static_cast<std::size_t>(a)]; }

    // How long an answer may take to arrive before the program says "The
    // Mirage did not answer": the request's and the dump's time on the wire
    // and the instrument's own delay (a busy instrument answers a few
    // hundred ms late). Settings; see the help.
    struct AnswerLimits {
        int configMs = 2000;
        int programMs = 3000;
    };
    AnswerLimits AnswerLimit;

    // The pause after each step of a long run of steps (a typed value's
    // walk, a preset recall, an undo or redo), for the instrument to take
    // it. A setting: a slow interface may want more; see the help.
    int StepWaitMs = 30;

    // The refresh requests of the editors: the request, then its fixed wait
    // (60 ms for the configuration, 500 ms for a program dump). An answer
    // that has not come by then is waited for up to its limit, in polls of
    // the same wait; when none comes, the no-answer report names `asked`
    // (the request's own name when empty).
    void RequestConfig(const std::string& asked = {});
    void RequestProgram(int half, const std::string& asked = {});
    // After a request already sent and `waitedMs` of waiting: polls until a
    // dump of kind `a` beyond `before` has arrived or `limitMs` in all has
    // passed. True when it arrived. Once a request went unanswered, the
    // next ones are not waited for beyond their fixed wait until something
    // comes from the instrument or the ports are opened again: it is not
    // there, and each window that asks says so at once.
    bool AwaitArrival(Arrival a, int before, int waitedMs, int limitMs);

    // The text of the no-answer report: what was asked, within how long, on
    // which ports, and the usual causes; `extra` is said before the causes.
    std::string NoAnswerText(const std::string& asked, int limitMs, const std::string& extra = {}) const;
    // Shows it, once in a sequence: the requests after the first that went
    // unanswered say nothing more.
    void ReportNoAnswer(const std::string& asked, int limitMs, const std::string& extra = {});
    // A message the instrument answers went unanswered, and its sender says
    // so in its own words: from here on, as after ReportNoAnswer, requests
    // are not waited for beyond their fixed wait and say nothing more in
    // this sequence.
    void NoteUnanswered();
    // Something has come from the instrument since the ports were opened.
    bool HeardFromMirage() const { return heard_; }
    // The program's own messages have come back on the input (a MIDI thru
    // loop, an interface that echoes): they are recognised and ignored.
    bool EchoNoticed() const { return echoNoticed_; }
    // Before an editor shows or steps a dump that has not arrived since the
    // ports were opened, it asks for it first, with the same request and wait.
    void EnsureConfig();
    void EnsureProgram(int half);

    // --- receiving ------------------------------------------------------------
    // The handler of the input port's OnSysEx: runs on the user-interface
    // thread, once per delivered buffer.
    void MidiIn1SysEx(const std::uint8_t* data, int size);

    // --- selection operations ---------------------------------------------------
    void SelectProgram(int half, int program);
    void SelectWavesample(int index);
    int QueryCurrentWavesample();
    int GetCurrentProgram(int half) const { return half == 0 ? CurrentLowerProgram : CurrentUpperProgram; }
    void SetCurrentProgram(int half, int program);
    int GetCurrentHalf() const { return CurrentHalf; }
    void SetCurrentHalf(int half);
    void ShowCurrentHalf(int half);
    void ShowCurrentPrograms();

    // The four status bar panels: the main window shows these texts.
    std::array<std::string, 4> StatusText{"Current Kbd Half: XXXXX", "Current Lower Program: X",
                                          "Current Upper Program: X", ""};

    // Zeroes the dumps and the selection state, as at start-up.
    void ResetState();

    Seams& seamsRef() { return seams_; }

    // The one history of the user's edits, and the differences found
    // between fresh dumps and the copy.
    EditHistory& History() { return *history_; }

    // The copy changed other than by a dump arriving (an undo or redo): the
    // windows that show it redisplay, as for an arrival, sending nothing.
    void AnnounceCopy(Arrival a);

    // Every message out and in, for the MIDI monitor; filled by the ports.
    MidiTraffic Traffic;

protected:
    // Called after a status panel text has changed.
    virtual void StatusTextChanged(int /*panel*/) {}
    // Called when the last sequence, kept ones included, has ended.
    virtual void ConversationEnded() {}
    void setStatusText(int panel, std::string text);
    // The ports as the no-answer report names them ("MIDI Out: ..., MIDI
    // In: ..."); empty when there is nothing to name.
    virtual std::string PortsText() const { return {}; }
    // The input port's device name; empty when none is open.
    virtual std::string InputName() const { return {}; }

private:
    void replaced(bool config, bool lower, bool upper);
    void dispatch(const std::uint8_t* data, std::size_t size);
    void arrived(Arrival a);
    void selectProgram(int half, int program);
    void selectWavesample(int index);
    void runKept();
    void startWavesample();
    void decodeWavesample(const std::uint8_t* data, std::size_t size);
    bool wavesampleMalformed() const;
    void restoreWavesample();
    void finishWavesample();
    void noteArrival(bool ended);
    void report(const char* text, const char* caption);
    bool isEcho(const std::uint8_t* data, std::size_t size);
    void sayEcho();

    Seams& seams_;
    SysExOut sysExOut_;
    LongSysExOut longSysExOut_;
    std::unique_ptr<std::uint8_t[]> upperStorage_;
    std::unique_ptr<EditHistory> history_;
    std::uint8_t sendBuffer_[SendSysExMax] = {};

    // The wavesample dump being received, piece by piece.
    bool wsJoining_ = false;          // its last piece filled a receive buffer: more follows
    std::size_t wsArrived_ = 0;       // message bytes so far, F0 included
    std::uint8_t wsLowNibble_ = 0;    // a pair's low nibble, when a piece ends between the two
    std::uint8_t wsPageNibbles_[2] = {};
    std::uint8_t wsTail_[2] = {};     // the last two bytes: checksum and closing byte
    std::size_t wsFirstBad_ = 0;      // position of its first byte above 0x0F, or SIZE_MAX
    bool wsRestored_ = false;         // found malformed before its end: the rest is not decoded
    WavesampleArrival wsArrival_;
    // The last whole dump, put back when the one arriving proves malformed.
    struct KeptWavesample {
        std::array<std::uint8_t, WavesampleBufferSize> buffer; // filled as a dump starts
        WavesampleArrival arrival;
        bool ready = false;
    };
    std::unique_ptr<KeptWavesample> wsKept_;
    int wsAnswers_ = 0;
    bool wsAccepted_ = false;
    bool quietAnswers_ = false;

    // A report is modal; messages arriving while it is open wait their turn.
    bool dispatching_ = false;
    std::deque<std::vector<std::uint8_t>> pending_;

    bool conversing_ = false;
    bool transferring_ = false;
    bool transferStop_ = false;
    int waitDepth_ = 0;
    struct Kept {
        int ticket;
        std::function<void()> sequence;
    };
    std::deque<Kept> kept_;
    int nextTicket_ = 1;

    std::array<bool, 5> received_{};
    std::array<int, 5> arrivals_{};
    bool heard_ = false;
    bool noAnswerSaid_ = false; // in the running sequence
    bool unanswered_ = false;   // since then nothing has come: requests get only their fixed wait
    bool echoNoticed_ = false;
    bool echoToSay_ = false;
    std::vector<std::uint8_t> lastLongSent_; // until its echo, its answer or the next send
    bool echoJoining_ = false;               // the rest of a long echo follows in pieces
    std::vector<std::pair<int, ArrivalFn>> listeners_;
    int nextListener_ = 1;
};

} // namespace corvane
