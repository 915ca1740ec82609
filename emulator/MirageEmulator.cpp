#include "MirageEmulator.h"

#include "Dumps.h"
#include "FactorySamples.h"

#include <algorithm>

namespace corvane::emu {

namespace {

constexpr std::uint8_t StatusReplyCommand = cmd::StatusHalfWavesampleAlt; // 0x0E
constexpr std::uint8_t HalfReplyCommand = cmd::StatusHalf;                // 0x07

int clampByte(int v) { return std::clamp(v, 0, 255); }

bool isDigitKey(std::uint8_t k) { return k <= 0x09; }

void putNibblePair(Message& m, int value)
{
    m.push_back(static_cast<std::uint8_t>(value & 0x0F));
    m.push_back(static_cast<std::uint8_t>((value >> 4) & 0x0F));
}

Message header(std::uint8_t command)
{
    return {sysex::Start, sysex::Ensoniq, sysex::Mirage, command};
}

} // namespace

// ---------------------------------------------------------------- fields

int Config::field(int position) const
{
    const int i = (position - 4) / 2;
    return position >= 4 && i < static_cast<int>(bytes.size()) ? bytes[static_cast<std::size_t>(i)] : 0;
}

void Config::setField(int position, int value)
{
    const int i = (position - 4) / 2;
    if (position >= 4 && i < static_cast<int>(bytes.size()))
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(clampByte(value));
}

// ---------------------------------------------------------------- factory

Half factoryHalf(int halfIndex, int variant)
{
    Half h;
    if (const std::uint8_t* baked = bakedFactoryMemory(halfIndex, variant))
        h.memory.assign(baked, baked + SampleMemorySize);
    else
        h.memory = computeFactoryMemory(halfIndex, variant);
    const int seed = halfIndex * 3 + variant;
    for (std::size_t i = 0; i < h.leading.size(); ++i)
        h.leading[i] = static_cast<std::uint8_t>((0x11 * (i + 1) + seed * 7) & 0xFF);
    for (std::size_t i = 0; i < h.further.size(); ++i)
        h.further[i] = static_cast<std::uint8_t>((i * 13 + seed * 29) & 0xFF);

    static constexpr int topKeys[8] = {7, 15, 22, 30, 37, 45, 52, 60};
    for (int w = 0; w < 8; ++w) {
        Wavesample& ws = h.wavesamples[static_cast<std::size_t>(w)];
        const int kind = factoryKind(halfIndex, variant, w);
        const int start = w * 32;
        const int end = start + 31;
        for (std::size_t i = 12; i < ws.bytes.size(); ++i)
            ws.bytes[i] = static_cast<std::uint8_t>((w * 5 + i + seed) & 0x0F);
        const bool decays = isDecaying(kind);
        ws.setField(wsf::LoopSwitch, decays ? 0 : 1);
        ws.setField(wsf::Octave, 2 + w / 3);
        ws.setField(wsf::Fine, (w * 17 + seed * 9) & 0x3F);
        ws.setField(wsf::RelAmplitude, 63 - 3 * w);
        ws.setField(wsf::RelFilter, 2 * (60 + 4 * w));
        ws.setField(wsf::MaxFilter, 2 * 99);
        ws.setField(wsf::TopKey, topKeys[w]);
        ws.setField(wsf::StartPage, start);
        ws.setField(wsf::EndPage, end);
        ws.setField(wsf::LoopStart, decays ? end - 1 : start + 8);
        ws.setField(wsf::LoopEnd, end - 1);
        ws.setField(wsf::LoopEndFine, 0xFF);
    }

    for (int p = 0; p < 4; ++p) {
        Program& pr = h.programs[static_cast<std::size_t>(p)];
        const int k = p + seed;
        pr.setField(pgf::MonoMode, p == 3 ? 1 : 0);
        pr.setField(pgf::LfoSpeed, 20 + 12 * p);
        pr.setField(pgf::LfoDepth, p == 2 ? 12 : 0);
        pr.setField(pgf::Detune, 3 + 4 * (k % 4));
        pr.setField(pgf::Mix, 4 * (20 + 10 * p));
        pr.setField(pgf::MixVelocity, 4 * (5 + 3 * p));
        pr.setField(pgf::FilterCutoff, 2 * (45 + 12 * (k % 4)));
        pr.setField(pgf::Resonance, 4 * (4 * (k % 5)));
        pr.setField(pgf::KeyboardTracking, k % 5);
        pr.setField(18, 0);
        pr.setField(pgf::InitialWavesample, p % 2);
        pr.setField(pgf::MixModeSwitch, p == 1 ? 1 : 0);
        // Four envelope characters: piano, pad, pluck, organ.
        static constexpr int env[4][5] = {
            {0, 31, 18, 12, 14}, {16, 28, 24, 26, 22}, {0, 31, 10, 0, 8}, {2, 31, 31, 31, 4}};
        const auto& e = env[k % 4];
        for (int i = 0; i < 5; ++i) {
            pr.setField(pgf::FilterEnvelope + 2 * i, std::max(0, e[i] - 2));
            pr.setField(pgf::AmpEnvelope + 2 * i, e[i]);
            pr.setField(pgf::FilterModulation + 2 * i, 4 * ((k * 3 + i * 5) % 20));
            pr.setField(pgf::AmpModulation + 2 * i, 4 * ((k * 7 + i * 3) % 16));
        }
        for (std::size_t i = 31; i < pr.bytes.size(); ++i)
            pr.bytes[i] = static_cast<std::uint8_t>((i + k) & 0x0F);
    }
    return h;
}

Config factoryConfig()
{
    Config c;
    for (std::size_t i = 15; i < c.bytes.size(); ++i)
        c.bytes[i] = static_cast<std::uint8_t>(i & 0x07);
    c.setField(cfg::MasterTune, 50);
    c.setField(cfg::BendRange, 2);
    c.setField(cfg::VelocitySensitivity, 24);
    c.setField(cfg::Balance, 64);
    c.setField(cfg::ProgramLink, 0);
    c.setField(cfg::SampleTime, 34);       // 29.4 kHz
    c.setField(cfg::InputFilter, 2 * 90);
    c.setField(cfg::LineInput, 1);
    c.setField(cfg::Threshold, 2 * 20);
    c.setField(cfg::Multisampling, 0);
    c.setField(cfg::Omni, 0);
    c.setField(cfg::MidiChannel, 0);
    c.setField(cfg::MidiThru, 0);
    c.setField(cfg::MidiModulation, 1);
    // Software version 3.2: the minor digit at position 58, the major digit
    // at 59, which together make one data byte.
    c.setField(58, 0x32);
    return c;
}

// ---------------------------------------------------------------- emulator

MirageEmulator::MirageEmulator() { reset(); }

void MirageEmulator::reset()
{
    config_ = factoryConfig();
    savedConfig_ = config_;
    // The factory sounds are computed once per process and copied from then on.
    static const std::array<DiskSound, 3> factoryDisk = [] {
        std::array<DiskSound, 3> d;
        for (int s = 0; s < 3; ++s) {
            d[static_cast<std::size_t>(s)].lower = factoryHalf(0, s);
            d[static_cast<std::size_t>(s)].upper = factoryHalf(1, s);
        }
        return d;
    }();
    disk_ = factoryDisk;
    startFromDisk();
    counters_ = {};
}

std::vector<Message> MirageEmulator::receive(const std::uint8_t* data, std::size_t len)
{
    std::vector<Message> out;
    if (data == nullptr || len < 4 || !isMirageMessage(data, len)) {
        ++counters_.ignored;
        return out;
    }
    // The message ends at the first status byte after F0: End of Exclusive,
    // or whatever interrupted it.
    std::size_t n = 1;
    while (n < len && data[n] < 0x80)
        ++n;
    if (n < 4) {
        ++counters_.ignored;
        return out;
    }
    const std::uint8_t command = data[3];
    const bool bareOrClosed = n == 4 || (n == 5 && data[4] == sysex::Close);

    switch (command) {
    case cmd::ConfigRequest:
        if (bareOrClosed)
            out.push_back(configDump());
        else
            ++counters_.ignored;
        break;
    case cmd::LowerRequest:
    case cmd::UpperRequest:
        if (bareOrClosed)
            out.push_back(programDump(command == cmd::UpperRequest ? 1 : 0));
        else
            ++counters_.ignored;
        break;
    case cmd::WavesampleRequest:
        if (bareOrClosed)
            out.push_back(wavesampleDump());
        else
            ++counters_.ignored;
        break;
    case cmd::KeyCodes: {
        std::vector<std::uint8_t> keys;
        for (std::size_t i = 4; i < n && data[i] != sysex::Close; ++i)
            keys.push_back(data[i]);
        handleKeys(keys, out);
        break;
    }
    case cmd::WavesampleDump:
        out.push_back(receiveWavesampleDump(data, n));
        break;
    case cmd::LowerDump:
    case cmd::UpperDump:
        if (!receiveProgramDump(command == cmd::UpperDump ? 1 : 0, data, n))
            ++counters_.ignored;
        break;
    default:
        ++counters_.ignored;
        break;
    }
    return out;
}

// ---------------------------------------------------------------- dumps

Message MirageEmulator::configDump() const
{
    Message m = header(cmd::ConfigDump);
    for (auto b : config_.bytes)
        putNibblePair(m, b);
    m.push_back(sysex::End);
    return m;
}

Message MirageEmulator::programDump(int h) const
{
    const Half& hf = halves_[static_cast<std::size_t>(h & 1)];
    std::vector<std::uint8_t> data(hf.leading.begin(), hf.leading.end());
    data.reserve((ProgramDumpSize - 5) / 2);
    for (const auto& ws : hf.wavesamples)
        data.insert(data.end(), ws.bytes.begin(), ws.bytes.end());
    data.insert(data.end(), hf.further.begin(), hf.further.end());
    for (const auto& pr : hf.programs)
        data.insert(data.end(), pr.bytes.begin(), pr.bytes.end());
    return makeProgramDump(h & 1, data);
}

// F0 0F 01 06, page count (low, high nibble), the pages from the current
// wavesample's start page to its end page as nibble pairs, a checksum, F7.
// The checksum is the sum of the page-count and sample nibbles modulo 128,
// the same rule the editor uses for the dumps it sends.
Message MirageEmulator::wavesampleDump() const
{
    const Half& hf = halves_[static_cast<std::size_t>(currentHalf_)];
    const Wavesample& ws = hf.wavesamples[static_cast<std::size_t>(currentWavesample_)];
    const int start = ws.field(wsf::StartPage);
    const int end = ws.field(wsf::EndPage);
    const int pages = end >= start ? end - start + 1 : 0;
    const std::size_t from = static_cast<std::size_t>(start) * PageSize;
    // 256 pages go as 00 10.
    return makeWavesampleDump(pages, std::span(hf.memory).subspan(from, static_cast<std::size_t>(pages) * PageSize));
}

// A wavesample dump from the editor: F0 0F 01 06, page count P (two nibbles),
// N sample bytes as nibble pairs (N at most P x 256), checksum, 7F. It goes to
// the current wavesample's pages and must fit between its start and end page.
Message MirageEmulator::receiveWavesampleDump(const std::uint8_t* data, std::size_t n)
{
    auto reply = [this](bool ok) {
        ++(ok ? counters_.wavesamplesAccepted : counters_.wavesamplesRefused);
        return Message{sysex::Start, sysex::Ensoniq, sysex::Mirage,
                       ok ? cmd::WavesampleAck : cmd::WavesampleNak, sysex::End};
    };
    // body: page count, sample nibbles, checksum, closing 7F (if present)
    std::size_t bodyEnd = n; // one past the checksum
    if ((n - 4) % 2 == 0) {
        if (n < 8 || data[n - 1] != sysex::Close)
            return reply(false);
        bodyEnd = n - 1;
    }
    if (bodyEnd < 7)
        return reply(false);
    const std::size_t checksumAt = bodyEnd - 1;
    unsigned sum = 0;
    for (std::size_t i = 4; i < checksumAt; ++i) {
        if (data[i] > 0x0F && i != 5)
            return reply(false);
        sum += data[i];
    }
    if (sum % 128 != data[checksumAt])
        return reply(false);
    const int pages = data[4] + 16 * data[5];
    const std::size_t count = (checksumAt - 6) / 2;
    if (count > static_cast<std::size_t>(pages) * PageSize)
        return reply(false);

    Half& hf = halves_[static_cast<std::size_t>(currentHalf_)];
    const Wavesample& ws = hf.wavesamples[static_cast<std::size_t>(currentWavesample_)];
    const int start = ws.field(wsf::StartPage);
    const int end = ws.field(wsf::EndPage);
    const int room = end >= start ? end - start + 1 : 0;
    if (pages > room)
        return reply(false);

    const std::size_t from = static_cast<std::size_t>(start) * PageSize;
    const std::size_t total = static_cast<std::size_t>(pages) * PageSize;
    for (std::size_t i = 0; i < total && from + i < hf.memory.size(); ++i)
        hf.memory[from + i] = i < count
            ? static_cast<std::uint8_t>(data[6 + 2 * i] + 16 * data[7 + 2 * i])
            : std::uint8_t{0x80};
    return reply(true);
}

// A program dump from the editor, as the instrument sends it: F0 0F 01 05 or
// 15, 625 data bytes as nibble pairs, closed by F7 (or 7F). It replaces the
// half's parameters whole; nothing is answered.
bool MirageEmulator::receiveProgramDump(int h, const std::uint8_t* data, std::size_t n)
{
    constexpr std::size_t dataEnd = ProgramDumpSize - 1; // positions 4..1253
    if (n == ProgramDumpSize && data[n - 1] == sysex::Close)
        --n;
    if (n != dataEnd)
        return false;
    for (std::size_t i = 4; i < dataEnd; ++i)
        if (data[i] > 0x0F)
            return false;
    std::size_t p = 4;
    auto take = [&](std::uint8_t& b) {
        b = static_cast<std::uint8_t>(data[p] + 16 * data[p + 1]);
        p += 2;
    };
    Half& hf = halves_[static_cast<std::size_t>(h & 1)];
    for (auto& b : hf.leading)
        take(b);
    for (auto& ws : hf.wavesamples)
        for (auto& b : ws.bytes)
            take(b);
    for (auto& b : hf.further)
        take(b);
    for (auto& pr : hf.programs)
        for (auto& b : pr.bytes)
            take(b);
    ++counters_.programsAccepted;
    return true;
}

Message MirageEmulator::statusReply(std::uint8_t command) const
{
    return {sysex::Start, sysex::Ensoniq, sysex::Mirage, command,
            static_cast<std::uint8_t>((currentHalf_ << 4) | (currentWavesample_ & 0x0F)), sysex::End};
}

// ---------------------------------------------------------------- keys

namespace {
bool keysAre(const std::vector<std::uint8_t>& k, std::initializer_list<std::uint8_t> pattern)
{
    return k.size() == pattern.size() && std::equal(pattern.begin(), pattern.end(), k.begin());
}
bool soundDigit(std::uint8_t d) { return d >= 1 && d <= 3; }
bool stepKey(std::uint8_t x) { return x == key::Inc || x == key::Dec; }
} // namespace

// In the order the instrument tries them; the first that matches acts.
const std::vector<MirageEmulator::KeySequence>& MirageEmulator::keySequences()
{
    using M = MirageEmulator;
    using Out = std::vector<Message>;
    static const std::vector<KeySequence> table{
        {[](const Keys& k) { return k.empty(); }, [](M&, const Keys&, Out&) { return false; }},
        {[](const Keys& k) { return k[0] == key::Param; },
         [](M& m, const Keys& k, Out& out) { return m.handleParameterKeys(k, 0, out); }},
        // Parameter digits typed straight before the value key (72, 27).
        {[](const Keys& k) { return k.size() >= 3 && isDigitKey(k[0]) && isDigitKey(k[1]) && k[2] == key::Value; },
         [](M& m, const Keys& k, Out& out) { return m.typeParameter(k, out), true; }},
        {[](const Keys& k) { return k.size() == 1; },
         [](M& m, const Keys& k, Out& out) { return m.pressSingleKey(k[0], out); }},
        // Program select: the instrument shows which half it is on.
        {[](const Keys& k) { return keysAre(k, {0x00, 0x00}); },
         [](M& m, const Keys&, Out& out) {
             m.rotateDirection_ = 0;
             out.push_back(m.statusReply(HalfReplyCommand));
             return true;
         }},
        {[](const Keys& k) { return keysAre(k, {0x01, 0x09}) || keysAre(k, {0x02, 0x00}); },
         [](M& m, const Keys& k, Out&) {
             m.rotateDirection_ = k[0] == 0x01 ? -1 : +1;
             m.rotateAmount_ = 0;
             return true;
         }},
        {[](const Keys& k) {
             return k.size() == 2 && (k[0] == key::LowerWavesample || k[0] == key::UpperWavesample) && k[1] >= 1 &&
                    k[1] <= 8;
         },
         [](M& m, const Keys& k, Out&) {
             m.rotateDirection_ = 0;
             m.currentHalf_ = k[0] == key::UpperWavesample ? 1 : 0;
             m.currentWavesample_ = k[1] - 1;
             return true;
         }},
        {[](const Keys& k) {
             return k.size() == 3 && (k[0] == key::LowerLoad || k[0] == key::UpperLoad) && soundDigit(k[1]) &&
                    k[2] == key::Enter;
         },
         [](M& m, const Keys& k, Out&) { return m.loadSound(k[1] - 1, k[0] == key::LowerLoad, k[0] == key::UpperLoad), true; }},
        {[](const Keys& k) { return keysAre(k, {0x01, 0x04, key::Enter}); },
         [](M& m, const Keys&, Out&) {
             m.savedConfig_ = m.config_;
             ++m.counters_.configSaves;
             return true;
         }},
        {[](const Keys& k) { return k.size() == 4 && k[0] == key::UpperLoad && k[1] == key::LowerLoad && k[3] == key::Enter; },
         [](M& m, const Keys& k, Out&) {
             if (k[2] == 0x00)
                 m.reboot();
             else if (soundDigit(k[2]))
                 m.loadSound(k[2] - 1, true, true);
             return k[2] == 0x00 || soundDigit(k[2]);
         }},
        {[](const Keys& k) { return k.size() == 4 && k[0] == 0x01 && k[3] == key::Enter; },
         [](M& m, const Keys& k, Out&) {
             if (k[1] >= 1 && k[1] <= 3 && soundDigit(k[2]))
                 return m.saveSound(k[2] - 1, k[1] != 2, k[1] != 1), true;
             if ((k[1] == 5 || k[1] == 6) && k[2] >= 1 && k[2] <= 4)
                 return m.copyProgram(k[1] == 6 ? 1 : 0, k[2] - 1), true;
             return false;
         }},
        {[](const Keys& k) { return std::all_of(k.begin(), k.end(), stepKey); },
         [](M& m, const Keys& k, Out&) {
             for (auto x : k)
                 m.rotateActive() ? m.stepRotate(x == key::Inc) : m.stepSelected(x == key::Inc);
             return true;
         }},
    };
    return table;
}

void MirageEmulator::handleKeys(const Keys& k, std::vector<Message>& out)
{
    for (const KeySequence& s : keySequences()) {
        if (s.matches(k)) {
            if (!s.run(*this, k, out))
                ++counters_.ignored;
            return;
        }
    }
    ++counters_.ignored;
}

void MirageEmulator::typeParameter(const Keys& k, std::vector<Message>& out)
{
    rotateDirection_ = 0;
    selectedParameter_ = 10 * k[0] + k[1];
    pressValueKey(out);
    for (std::size_t i = 3; i < k.size(); ++i) {
        if (stepKey(k[i]))
            stepSelected(k[i] == key::Inc);
        else if (k[i] == key::Value)
            pressValueKey(out);
        else
            break;
    }
}

bool MirageEmulator::pressSingleKey(std::uint8_t key0, std::vector<Message>& out)
{
    if (key0 == 0x00) {
        switchHalf();
        out.push_back(statusReply(HalfReplyCommand));
    } else if (key0 >= 1 && key0 <= 4) {
        selectProgram(key0 - 1);
    } else if (stepKey(key0)) {
        if (rotateActive())
            stepRotate(key0 == key::Inc);
        else
            stepSelected(key0 == key::Inc);
    } else if (key0 == key::Enter) {
        if (rotateActive())
            doRotate();
    } else if (key0 == key::Abort) {
        rotateDirection_ = 0;
    } else {
        return false;
    }
    return true;
}

// 0C d1 d2, then value key, steps, or (functions 17 and 18) a wavesample
// number and enter.
bool MirageEmulator::handleParameterKeys(const std::vector<std::uint8_t>& k, std::size_t i,
                                         std::vector<Message>& out)
{
    const std::size_t n = k.size();
    if (i + 2 >= n || !isDigitKey(k[i + 1]) || !isDigitKey(k[i + 2]))
        return false;
    rotateDirection_ = 0;
    selectedParameter_ = 10 * k[i + 1] + k[i + 2];
    std::size_t j = i + 3;
    if ((selectedParameter_ == 17 || selectedParameter_ == 18) && j + 1 < n && k[j] >= 1 &&
        k[j] <= 8 && k[j + 1] == key::Enter) {
        copyWavesample(selectedParameter_ == 18 ? 1 : 0, k[j] - 1);
        return true;
    }
    for (; j < n; ++j) {
        if (k[j] == key::Value)
            pressValueKey(out);
        else if (k[j] == key::Inc || k[j] == key::Dec)
            stepSelected(k[j] == key::Inc);
        else
            return false;
    }
    return true;
}

void MirageEmulator::pressValueKey(std::vector<Message>& out)
{
    // Parameter 26 shows the current wavesample; over MIDI the instrument
    // answers with its half and wavesample.
    if (selectedParameter_ == 26)
        out.push_back(statusReply(StatusReplyCommand));
}

int MirageEmulator::parameterValue(int number) const
{
    const ParameterInfo* p = findParameter(number);
    if (!p)
        return -1;
    const Half& hf = halves_[static_cast<std::size_t>(currentHalf_)];
    switch (p->area) {
    case Area::Config:
        return config_.field(p->position);
    case Area::Program:
        return hf.programs[static_cast<std::size_t>(currentProgram_[static_cast<std::size_t>(currentHalf_)])]
            .field(p->position);
    case Area::Wavesample:
        return hf.wavesamples[static_cast<std::size_t>(currentWavesample_)].field(p->position);
    }
    return -1;
}

namespace {

// Where a step moves a page pointer of wavesample `ws`, or -1 where the
// instrument refuses it: the pointers keep start <= loop start <= loop end
// <= end, and the end page stays after the start page.
int pageStep(StepKind kind, const Wavesample& ws, bool up)
{
    const int s = ws.field(wsf::StartPage);
    const int e = ws.field(wsf::EndPage);
    const int ls = ws.field(wsf::LoopStart);
    const int le = ws.field(wsf::LoopEnd);
    switch (kind) {
    case StepKind::StartPage:
        return up ? (s < e ? s + 1 : -1) : (s >= 1 ? s - 1 : -1);
    case StepKind::EndPage:
        return up ? (e <= 0xFE ? e + 1 : -1) : (s + 1 < e ? e - 1 : -1);
    case StepKind::LoopStart:
        return up ? (ls < le ? ls + 1 : -1) : (s < ls ? ls - 1 : -1);
    case StepKind::LoopEnd:
        return up ? (le < e ? le + 1 : -1) : (ls < le ? le - 1 : -1);
    default:
        return -1;
    }
}

// A start or end page move puts the loop back to its default: the last
// page, played to its end; never before the start page (start and end on
// one page).
void resetLoop(Wavesample& ws)
{
    const int page = std::max(ws.field(wsf::StartPage), ws.field(wsf::EndPage) - 1);
    ws.setField(wsf::LoopStart, page);
    ws.setField(wsf::LoopEnd, page);
    ws.setField(wsf::LoopEndFine, 0xFF);
}

} // namespace

void MirageEmulator::stepSelected(bool up)
{
    const ParameterInfo* p = findParameter(selectedParameter_);
    if (!p) {
        ++counters_.refusedSteps;
        return;
    }
    Wavesample& ws = currentWavesampleParams();
    auto get = [&]() {
        return p->area == Area::Config    ? config_.field(p->position)
               : p->area == Area::Program ? currentProgramParams().field(p->position)
                                          : ws.field(p->position);
    };
    auto set = [&](int v) {
        if (p->area == Area::Config)
            config_.setField(p->position, v);
        else if (p->area == Area::Program)
            currentProgramParams().setField(p->position, v);
        else
            ws.setField(p->position, v);
    };

    const int next = p->kind == StepKind::Switch  ? (up ? 1 : 0)
                     : p->kind == StepKind::Plain ? plainStep(*p, get(), up)
                                                  : pageStep(p->kind, ws, up);
    if (next < 0) {
        ++counters_.refusedSteps;
        return;
    }
    set(next);
    ++counters_.steps;
    if (p->kind == StepKind::StartPage || p->kind == StepKind::EndPage)
        resetLoop(ws);
    else if (p->kind == StepKind::LoopEnd)
        ws.setField(wsf::LoopEndFine, 0xFF);
}

void MirageEmulator::stepRotate(bool up)
{
    rotateAmount_ = std::clamp(rotateAmount_ + (up ? 1 : -1), 0, 0xFF);
}

// Rotates the current wavesample's data, start page to end page, by the
// chosen number of samples: left moves every sample towards the start.
void MirageEmulator::doRotate()
{
    Half& hf = halves_[static_cast<std::size_t>(currentHalf_)];
    const Wavesample& ws = hf.wavesamples[static_cast<std::size_t>(currentWavesample_)];
    const int start = ws.field(wsf::StartPage);
    const int end = ws.field(wsf::EndPage);
    if (end < start || rotateAmount_ == 0)
        return;
    const auto first = hf.memory.begin() + static_cast<std::ptrdiff_t>(start) * PageSize;
    const auto last = hf.memory.begin() + static_cast<std::ptrdiff_t>(end + 1) * PageSize;
    const std::ptrdiff_t size = last - first;
    const std::ptrdiff_t amount = rotateAmount_ % size;
    if (rotateDirection_ < 0)
        std::rotate(first, first + amount, last);
    else
        std::rotate(first, last - amount, last);
    ++counters_.rotations;
}

void MirageEmulator::selectProgram(int program)
{
    rotateDirection_ = 0;
    currentProgram_[static_cast<std::size_t>(currentHalf_)] = program & 3;
}

void MirageEmulator::switchHalf()
{
    rotateDirection_ = 0;
    currentHalf_ ^= 1;
}

// The halves of sound `slot` that the disk holds, fresh from a disk of its
// own when there is one.
std::array<bool, 2> MirageEmulator::readDisk(int slot)
{
    DiskSound& d = disk_[static_cast<std::size_t>(slot % 3)];
    return diskHooks_.load ? diskHooks_.load(slot % 3, d) : std::array<bool, 2>{true, true};
}

void MirageEmulator::loadSound(int slot, bool lower, bool upper)
{
    rotateDirection_ = 0;
    const std::array<bool, 2> held = readDisk(slot);
    const DiskSound& d = disk_[static_cast<std::size_t>(slot % 3)];
    if (lower && held[0])
        halves_[0] = d.lower;
    if (upper && held[1])
        halves_[1] = d.upper;
    ++counters_.loads;
    counters_.lastLoadedSlot = slot;
}

void MirageEmulator::saveSound(int slot, bool lower, bool upper)
{
    rotateDirection_ = 0;
    DiskSound& d = disk_[static_cast<std::size_t>(slot % 3)];
    if (lower)
        d.lower = halves_[0];
    if (upper)
        d.upper = halves_[1];
    ++counters_.saves;
    counters_.lastSavedSlot = slot;
    if (diskHooks_.saved)
        diskHooks_.saved(slot % 3, d, lower, upper);
}

// What starting up does: the first sound of the disk in both halves, the
// front panel at its first program and wavesample.
void MirageEmulator::startFromDisk()
{
    const std::array<bool, 2> held = readDisk(0);
    if (held[0])
        halves_[0] = disk_[0].lower;
    if (held[1])
        halves_[1] = disk_[0].upper;
    currentHalf_ = 0;
    currentProgram_ = {0, 0};
    currentWavesample_ = 0;
    selectedParameter_ = 0;
    rotateDirection_ = 0;
    rotateAmount_ = 0;
}

// Booting from the system disk brings back the saved configuration and the
// first sound of the disk in both halves.
void MirageEmulator::reboot()
{
    config_ = savedConfig_;
    startFromDisk();
    ++counters_.rebooted;
    counters_.lastLoadedSlot = 0;
}

// Copies the current program of the current half into a program slot.
void MirageEmulator::copyProgram(int toHalf, int toProgram)
{
    rotateDirection_ = 0;
    const Program source = currentProgramParams();
    halves_[static_cast<std::size_t>(toHalf & 1)].programs[static_cast<std::size_t>(toProgram & 3)] = source;
    ++counters_.programCopies;
}

// Copies the current wavesample's parameters into another wavesample slot.
// Into the other half the sample data goes along, to the same pages of that
// half's memory; within a half both wavesamples then play the same pages.
void MirageEmulator::copyWavesample(int toHalf, int toWavesample)
{
    rotateDirection_ = 0;
    const Wavesample source = currentWavesampleParams();
    Half& to = halves_[static_cast<std::size_t>(toHalf & 1)];
    to.wavesamples[static_cast<std::size_t>(toWavesample & 7)] = source;
    if ((toHalf & 1) != currentHalf_) {
        const Half& from = halves_[static_cast<std::size_t>(currentHalf_)];
        const int s = source.field(wsf::StartPage);
        const int e = source.field(wsf::EndPage);
        if (e >= s)
            std::copy(from.memory.begin() + s * PageSize, from.memory.begin() + (e + 1) * PageSize,
                      to.memory.begin() + s * PageSize);
    }
    ++counters_.wavesampleCopies;
}

} // namespace corvane::emu
