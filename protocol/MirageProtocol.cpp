#include "MirageProtocol.h"

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {
constexpr int WaitSelectWavesample = 30;
constexpr int WaitSelectProgram = 50;
constexpr int WaitQueryWavesample = 100;
constexpr int WaitConfigDump = 60;
constexpr int WaitProgramDump = 500;
} // namespace

MirageProtocol::MirageProtocol(Seams& seams)
    : UpperProgramDump(nullptr), seams_(seams), upperStorage_(new std::uint8_t[ProgramBufferSize])
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
    std::memcpy(sendBuffer_, bytes, static_cast<std::size_t>(count));
    if (sysExOut_)
        sysExOut_(sendBuffer_, count);
}

void MirageProtocol::SendLongSysEx(const std::uint8_t* bytes, int count)
{
    if (count <= 0 || !bytes || !sysExOut_)
        return;
    // The port paces a long message through the wait primitive.
    ++waitDepth_;
    sysExOut_(bytes, count);
    --waitDepth_;
}

void MirageProtocol::Wait(int ms)
{
    ++waitDepth_;
    seams_.wait(ms);
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
    struct Release {
        MirageProtocol& m;
        ~Release() { m.conversing_ = false; }
    } release{*this};
    sequence();
    conversing_ = false;
    runKept();
    return true;
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
    // A listener may remove itself or others: call by id.
    std::vector<int> ids;
    for (const auto& l : listeners_)
        ids.push_back(l.first);
    for (int id : ids)
        for (const auto& l : listeners_)
            if (l.first == id) {
                const ArrivalFn fn = l.second;
                fn(a);
                break;
            }
}

void MirageProtocol::RequestConfig()
{
    SendSysEx(requestMessage(cmd::ConfigRequest));
    Wait(WaitConfigDump);
}

void MirageProtocol::RequestProgram(int half)
{
    SendSysEx(requestMessage(half == 0 ? cmd::LowerRequest : cmd::UpperRequest));
    Wait(WaitProgramDump);
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
}

// The rules run one after another on the same message; they are not
// exclusive branches.
void MirageProtocol::dispatch(const std::uint8_t* data, std::size_t size)
{
    if (!isMirageMessage(data, size))
        return;
    if (size < 4)
        return; // no command byte
    const std::uint8_t command = data[3];

    if (size == ConfigDumpSize && command == cmd::ConfigDump) {
        std::memcpy(ConfigDump, data, ConfigDumpSize);
        arrived(Arrival::Config);
    }
    if (size == ProgramDumpSize && command == cmd::LowerDump) {
        std::memcpy(LowerProgramDump, data, ProgramDumpSize);
        arrived(Arrival::LowerProgram);
    }
    if (size == ProgramDumpSize && command == cmd::UpperDump) {
        std::memcpy(UpperProgramDump, data, ProgramDumpSize);
        arrived(Arrival::UpperProgram);
    }
    if (command == cmd::LowerDump && size != ProgramDumpSize)
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
        decodeWavesample(data, size);
        arrived(Arrival::Wavesample);
    }
    if (command == cmd::WavesampleAck)
        report(text::AckGood, text::AckGoodCaption);
    if (command == cmd::WavesampleNak)
        report(text::NakBad, text::NakBadCaption);
}

void MirageProtocol::decodeWavesample(const std::uint8_t* data, std::size_t size)
{
    if (size > MaxWavesampleDumpSize)
        report(text::BufferOverflow, text::BufferOverflowCaption);
    WavesampleReady = false;
    // Nibble pairs, low nibble first, from byte 4: buffer byte 0 is the page
    // count, each further pair one sample byte.
    for (std::size_t i = 4; i + 1 < size; i += 2) {
        const std::size_t index = i / 2 - 2;
        if (index >= WavesampleBuffer.size())
            break;
        WavesampleBuffer[index] = static_cast<std::uint8_t>(data[i] + 16 * data[i + 1]);
    }
    // The checksum byte precedes the closing byte and is stored raw, after
    // the last page.
    if (size >= 6) {
        const std::size_t checksumIndex = 1 + 256 * static_cast<std::size_t>(WavesampleBuffer[0]);
        if (checksumIndex < WavesampleBuffer.size())
            WavesampleBuffer[checksumIndex] = data[size - 2];
    }
    WavesampleReady = true;
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
