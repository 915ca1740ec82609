#include "SoundFile.h"

#include "AtomicFile.h"
#include "Dumps.h"
#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <optional>
#include <variant>
#include <filesystem>
#include <fstream>

namespace corvane::sound {

namespace {

// The names message: F0 7D "CVNS" version, a mask of the halves it names
// (1 lower, 2 upper), then per half and wavesample the colour as six
// nibbles (low first), the name's length in bytes and its bytes as nibble
// pairs; F7.
constexpr std::uint8_t NonCommercial = 0x7D;
constexpr std::uint8_t Signature[] = {'C', 'V', 'N', 'S'};
constexpr std::uint8_t NamesVersion = 1;
constexpr std::size_t MaxNameBytes = 64;
constexpr std::size_t MaxFileSize = 4 * 1024 * 1024; // two halves of eight full wavesamples are 2.1 MB

constexpr std::size_t wavesampleDumpSize(int pages) { return 8 + 512 * static_cast<std::size_t>(pages); }

const char* halfName(int half) { return half == 0 ? "lower" : "upper"; }

std::string wsName(int half, int w) { return (half == 0 ? "L" : "U") + std::to_string(w + 1); }

void putNibbles(Bytes& m, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        m.push_back(static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F));
}

// A name cut to at most MaxNameBytes without splitting a UTF-8 sequence.
std::string boundedName(const std::string& name)
{
    if (name.size() <= MaxNameBytes)
        return name;
    std::size_t n = MaxNameBytes;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
        --n;
    return name.substr(0, n);
}

bool nibblesOnly(std::span<const std::uint8_t> m, std::size_t from, std::size_t to)
{
    return std::all_of(m.begin() + static_cast<std::ptrdiff_t>(from), m.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b <= 0x0F; });
}

// Reads the names message into `names` (one entry per half named); false
// when it is damaged.
struct HalfNames {
    int half = 0;
    std::array<std::string, 8> names{};
    std::array<std::uint32_t, 8> colours{};
};

bool parseNames(std::span<const std::uint8_t> m, std::vector<HalfNames>& out)
{
    // m: F0 7D C V N S version mask ... F7
    std::size_t p = 8;
    const std::size_t end = m.size() - 1;
    if (m.size() < 9 || m[6] != NamesVersion || m[7] == 0 || m[7] > 3)
        return false;
    auto nibble = [&](std::uint32_t& v, int count) {
        v = 0;
        for (int i = 0; i < count; ++i) {
            if (p >= end || m[p] > 0x0F)
                return false;
            v |= static_cast<std::uint32_t>(m[p++]) << (4 * i);
        }
        return true;
    };
    for (int half = 0; half < 2; ++half) {
        if (!(m[7] & (1 << half)))
            continue;
        HalfNames h;
        h.half = half;
        for (int w = 0; w < 8; ++w) {
            std::uint32_t colour = 0;
            if (!nibble(colour, 6) || p >= end || m[p] > MaxNameBytes)
                return false;
            const std::size_t length = m[p++];
            std::string name;
            for (std::size_t i = 0; i < length; ++i) {
                std::uint32_t c = 0;
                if (!nibble(c, 2))
                    return false;
                name.push_back(static_cast<char>(c));
            }
            h.names[static_cast<std::size_t>(w)] = name;
            h.colours[static_cast<std::size_t>(w)] = colour;
        }
        out.push_back(h);
    }
    return p == end;
}

ReadResult refuse(ReadError e, std::string text)
{
    ReadResult r;
    r.error = e;
    r.text = "Error - " + std::move(text);
    return r;
}

std::string messageAt(int n, std::size_t offset)
{
    return "message " + std::to_string(n) + " (at byte " + std::to_string(offset) + ")";
}

} // namespace

const Half* Sound::find(int half) const
{
    for (const Half& h : halves)
        if (h.half == half)
            return &h;
    return nullptr;
}

std::array<WavesampleEntry, 8> wavesampleEntries(std::span<const std::uint8_t> programDump)
{
    std::array<WavesampleEntry, 8> e{};
    int dumps = 0;
    for (int w = 0; w < 8; ++w) {
        auto& entry = e[static_cast<std::size_t>(w)];
        entry.range.start = getNibblePair(programDump.data(), programDump.size(), wavesampleFieldPos(w, wsf::StartPage));
        entry.range.end = getNibblePair(programDump.data(), programDump.size(), wavesampleFieldPos(w, wsf::EndPage));
        if (entry.range.pages() == 0)
            continue;
        for (int v = 0; v < w; ++v)
            if (e[static_cast<std::size_t>(v)].first && e[static_cast<std::size_t>(v)].range == entry.range)
                entry.dump = e[static_cast<std::size_t>(v)].dump;
        if (entry.dump < 0) {
            entry.dump = dumps++;
            entry.first = true;
        }
    }
    return e;
}

int dumpsNeeded(std::span<const std::uint8_t> programDump)
{
    int n = 0;
    for (const auto& e : wavesampleEntries(programDump))
        n += e.first ? 1 : 0;
    return n;
}

std::string sharedPagesText(std::span<const std::uint8_t> programDump)
{
    const auto entries = wavesampleEntries(programDump);
    std::string text;
    for (int k = 0; k < 8; ++k) {
        if (!entries[static_cast<std::size_t>(k)].first)
            continue;
        std::vector<int> sharing;
        for (int w = k + 1; w < 8; ++w)
            if (!entries[static_cast<std::size_t>(w)].first &&
                entries[static_cast<std::size_t>(w)].dump == entries[static_cast<std::size_t>(k)].dump)
                sharing.push_back(w + 1);
        if (sharing.empty())
            continue;
        // Runs of two or more as "6-8", the rest listed: "2, 4-5 and 7".
        std::vector<std::string> parts;
        for (std::size_t i = 0; i < sharing.size();) {
            std::size_t j = i;
            while (j + 1 < sharing.size() && sharing[j + 1] == sharing[j] + 1)
                ++j;
            parts.push_back(std::to_string(sharing[i]) + (j > i ? "-" + std::to_string(sharing[j]) : ""));
            i = j + 1;
        }
        std::string list;
        for (std::size_t i = 0; i < parts.size(); ++i)
            list += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
        const bool one = sharing.size() == 1;
        text += (text.empty() ? "" : "; ") + std::string(one ? "wavesample " : "wavesamples ") + list +
                (one ? " plays" : " play") + " wavesample " + std::to_string(k + 1) + "'s pages";
    }
    return text;
}

std::string wavesamplesText(std::span<const std::uint8_t> programDump)
{
    const int n = dumpsNeeded(programDump);
    const std::string shared = sharedPagesText(programDump);
    return std::to_string(n) + (n == 1 ? " wavesample" : " wavesamples") + (shared.empty() ? "" : " (" + shared + ")");
}

Bytes wavesampleDumpMessage(int pages, std::span<const std::uint8_t> samples, std::uint8_t checksum)
{
    Bytes m = makeWavesampleDump(pages, samples);
    m[m.size() - 2] = checksum & 0x7F;
    return m;
}

int wavesamplePages(std::span<const std::uint8_t> dump)
{
    return dump.size() >= 6 ? dump[4] + 16 * dump[5] : 0;
}

Bytes wavesampleSamples(std::span<const std::uint8_t> dump)
{
    Bytes s;
    if (dump.size() < 8)
        return s;
    s.reserve((dump.size() - 8) / 2);
    for (std::size_t i = 6; i + 3 < dump.size(); i += 2)
        s.push_back(static_cast<std::uint8_t>(dump[i] + 16 * dump[i + 1]));
    return s;
}

Bytes wavesampleSendMessage(std::span<const std::uint8_t> dump)
{
    if (dump.size() < 8)
        return {};
    Bytes m(dump.begin(), dump.end() - 2);
    m.push_back(dumpChecksum(m));
    m.push_back(sysex::Close);
    return m;
}

Bytes namesMessage(const Sound& sound)
{
    std::uint8_t mask = 0;
    for (const Half& h : sound.halves)
        if (h.hasNames)
            mask |= static_cast<std::uint8_t>(1 << h.half);
    if (!mask)
        return {};
    Bytes m{sysex::Start, NonCommercial};
    m.insert(m.end(), std::begin(Signature), std::end(Signature));
    m.push_back(NamesVersion);
    m.push_back(mask);
    for (int half = 0; half < 2; ++half) {
        const Half* h = sound.find(half);
        if (!h || !h->hasNames)
            continue;
        for (std::size_t w = 0; w < 8; ++w) {
            putNibbles(m, h->colours[w] & 0xFFFFFF, 6);
            const std::string name = boundedName(h->names[w]);
            m.push_back(static_cast<std::uint8_t>(name.size()));
            for (char c : name)
                putNibbles(m, static_cast<unsigned char>(c), 2);
        }
    }
    m.push_back(sysex::End);
    return m;
}

Bytes fileImage(const Sound& sound)
{
    Bytes out;
    for (int half = 0; half < 2; ++half) {
        const Half* h = sound.find(half);
        if (!h)
            continue;
        out.insert(out.end(), h->programDump.begin(), h->programDump.end());
        for (const Bytes& d : h->wavesampleDumps)
            out.insert(out.end(), d.begin(), d.end());
    }
    const Bytes names = namesMessage(sound);
    out.insert(out.end(), names.begin(), names.end());
    return out;
}

// ---- reading ------------------------------------------------------------------

std::string ReadResult::message() const
{
    switch (error) {
    case ReadError::None: return "";
    case ReadError::CannotOpen:
    case ReadError::Empty:
    case ReadError::TooBig: return text;
    default: return "This file is not a Mirage sound file, or it is damaged.\n" + text;
    }
}

namespace {

using Refusal = std::optional<ReadResult>;

// The message that begins at `pos` (the `n`th), up to and with its F7; or
// why none does.
std::variant<std::span<const std::uint8_t>, ReadResult> messageFrom(std::span<const std::uint8_t> image,
                                                                     std::size_t pos, int n)
{
    if (image[pos] != sysex::Start)
        return refuse(ReadError::OutsideMessage, "Byte " + std::to_string(pos) + " (" + hexByte(image[pos]) +
                                                     ") does not begin a SysEx message (F0).");
    std::size_t end = pos + 1;
    while (end < image.size() && image[end] < 0x80)
        ++end;
    if (end == image.size())
        return refuse(ReadError::Truncated, "The file ends in the middle of " + messageAt(n, pos) +
                                                ": its closing F7 is missing.");
    if (image[end] != sysex::End)
        return refuse(ReadError::CutShort, "Message " + std::to_string(n) + " (at byte " + std::to_string(pos) +
                                               ") is cut short by " + hexByte(image[end]) + " at byte " +
                                               std::to_string(end) + " before its closing F7.");
    return image.subspan(pos, end - pos + 1);
}

std::string countText(const Half& h)
{
    return "The " + std::string(halfName(h.half)) + " half holds " + std::to_string(h.wavesampleDumps.size()) +
           " wavesample dumps; its page pointers need " + std::to_string(dumpsNeeded(h.programDump)) + ".";
}

// Takes a file's messages one by one into a sound, refusing the first that
// does not belong.
class FileReader {
public:
    FileReader() { sound_.halves.reserve(2); } // `current_` points into it

    Refusal take(std::span<const std::uint8_t> m, const std::string& where)
    {
        if (m.size() >= 7 && m[1] == NonCommercial && std::equal(std::begin(Signature), std::end(Signature), m.begin() + 2))
            return takeNames(m, where);
        if (m.size() >= 2 && m[1] == NonCommercial)
            return refuse(ReadError::UnknownNames, "The file holds a message of another program (" + where +
                                                       ", non-commercial ID 7D).");
        if (m.size() < 5 || m[1] != sysex::Ensoniq || m[2] != sysex::Mirage) {
            if (m.size() >= 4 && m[1] == sysex::Ensoniq && m[2] == sysex::Mirage)
                return refuse(ReadError::UnexpectedCommand, "The Mirage message " + where + " is empty.");
            const std::string id = m.size() >= 3 ? hexByte(m[1]) : "none";
            return refuse(ReadError::Foreign, "The file holds a message that is not the Mirage's (" + where +
                                                  ", manufacturer ID " + id + ").");
        }
        if (m[3] == cmd::LowerDump || m[3] == cmd::UpperDump)
            return takeProgram(m, where);
        if (m[3] == cmd::WavesampleDump)
            return takeWavesample(m, where);
        return refuse(ReadError::UnexpectedCommand, "The Mirage message " + where + " (command " + hexByte(m[3]) +
                                                        ") does not belong in a sound file.");
    }

    ReadResult finish();

private:
    Refusal takeNames(std::span<const std::uint8_t> m, const std::string& where)
    {
        if (namesSeen_ || !parseNames(m, names_))
            return refuse(ReadError::NamesMismatch, "The wavesample names in " + where + " are damaged.");
        namesSeen_ = true;
        return std::nullopt;
    }
    Refusal takeProgram(std::span<const std::uint8_t> m, const std::string& where);
    Refusal takeWavesample(std::span<const std::uint8_t> m, const std::string& where);

    Sound sound_;
    std::vector<HalfNames> names_;
    bool namesSeen_ = false;
    Half* current_ = nullptr;
    std::array<WavesampleEntry, 8> entries_{};
};

Refusal FileReader::takeProgram(std::span<const std::uint8_t> m, const std::string& where)
{
    const int half = m[3] == cmd::UpperDump ? 1 : 0;
    if (m.size() != ProgramMessageSize)
        return refuse(ReadError::ProgramSize, "The " + std::string(halfName(half)) + " program dump (" + where +
                                                  ") is " + std::to_string(m.size()) +
                                                  " bytes long; a program dump is 1255 bytes.");
    if (!nibblesOnly(m, 4, m.size() - 1))
        return refuse(ReadError::BadNibble, "The " + std::string(halfName(half)) + " program dump (" + where +
                                                ") holds bytes that are not nibbles.");
    if (sound_.find(half))
        return refuse(ReadError::DuplicateHalf, "The file holds two " + std::string(halfName(half)) +
                                                    " program dumps (the second is " + where + ").");
    if (current_ && static_cast<int>(current_->wavesampleDumps.size()) != dumpsNeeded(current_->programDump))
        return refuse(ReadError::WavesampleCount, countText(*current_));
    sound_.halves.push_back(Half{});
    current_ = &sound_.halves.back();
    current_->half = half;
    current_->programDump.assign(m.begin(), m.end());
    entries_ = wavesampleEntries(current_->programDump);
    return std::nullopt;
}

Refusal FileReader::takeWavesample(std::span<const std::uint8_t> m, const std::string& where)
{
    if (!current_)
        return refuse(ReadError::Orphan, "The wavesample dump " + where +
                                             " comes before any program dump, so its wavesample is unknown.");
    if (m.size() < 8 || m[4] > 0x0F || wavesamplePages(m) > MaxPages)
        return refuse(ReadError::PageMismatch, "The wavesample dump " + where + " has no valid page count.");
    const int pages = wavesamplePages(m);
    if (m.size() != wavesampleDumpSize(pages))
        return refuse(ReadError::PageMismatch, "The wavesample dump " + where + " announces " + std::to_string(pages) +
                                                   " pages (" + std::to_string(wavesampleDumpSize(pages)) +
                                                   " bytes) but is " + std::to_string(m.size()) + " bytes long.");
    if (!nibblesOnly(m, 6, m.size() - 2))
        return refuse(ReadError::BadNibble, "The wavesample dump " + where + " holds bytes that are not nibbles.");
    const int k = static_cast<int>(current_->wavesampleDumps.size());
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [k](const WavesampleEntry& e) { return e.first && e.dump == k; });
    if (it == entries_.end())
        return refuse(ReadError::WavesampleCount, "The wavesample dump " + where + " is one more than the " +
                                                      halfName(current_->half) + " half's page pointers need (" +
                                                      std::to_string(k) + ").");
    const int w = static_cast<int>(it - entries_.begin());
    if (it->range.pages() != pages)
        return refuse(ReadError::WavesampleMismatch,
                      "The wavesample dump " + where + " holds " + std::to_string(pages) + " pages, but wavesample " +
                          wsName(current_->half, w) + " spans " + std::to_string(it->range.pages()) + " pages (" +
                          std::to_string(it->range.start) + " to " + std::to_string(it->range.end) + ").");
    current_->wavesampleDumps.emplace_back(m.begin(), m.end());
    return std::nullopt;
}

ReadResult FileReader::finish()
{
    if (sound_.halves.empty())
        return refuse(ReadError::NoProgram, "The file holds no program dump.");
    for (const Half& h : sound_.halves)
        if (static_cast<int>(h.wavesampleDumps.size()) != dumpsNeeded(h.programDump))
            return refuse(ReadError::WavesampleCount, countText(h));
    for (const HalfNames& hn : names_) {
        auto it = std::find_if(sound_.halves.begin(), sound_.halves.end(), [&](const Half& h) { return h.half == hn.half; });
        if (it == sound_.halves.end())
            return refuse(ReadError::NamesMismatch, "The file names the wavesamples of the " +
                                                        std::string(halfName(hn.half)) + " half but holds no " +
                                                        halfName(hn.half) + " program dump.");
        it->names = hn.names;
        it->colours = hn.colours;
        it->hasNames = true;
    }
    std::sort(sound_.halves.begin(), sound_.halves.end(), [](const Half& a, const Half& b) { return a.half < b.half; });
    ReadResult r;
    r.sound = std::move(sound_);
    return r;
}

} // namespace

ReadResult parseFile(std::span<const std::uint8_t> image)
{
    if (image.empty())
        return refuse(ReadError::Empty, "The file is empty.");
    if (image.size() > MaxFileSize)
        return refuse(ReadError::TooBig, "The file is too big to be a Mirage sound.");
    FileReader reader;
    int n = 0;
    for (std::size_t pos = 0; pos < image.size();) {
        ++n;
        auto found = messageFrom(image, pos, n);
        if (auto* refused = std::get_if<ReadResult>(&found))
            return std::move(*refused);
        const auto m = std::get<std::span<const std::uint8_t>>(found);
        if (Refusal refused = reader.take(m, messageAt(n, pos)))
            return std::move(*refused);
        pos += m.size();
    }
    return reader.finish();
}

ReadResult readFile(const std::string& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return refuse(ReadError::CannotOpen, "The file \"" + path + "\" cannot be opened.");
    Bytes image;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        image.insert(image.end(), buffer, buffer + in.gcount());
        if (image.size() > MaxFileSize)
            return refuse(ReadError::TooBig, "The file is too big to be a Mirage sound.");
    }
    if (in.bad())
        return refuse(ReadError::CannotOpen, "The file \"" + path + "\" cannot be read.");
    return parseFile(image);
}

// ---- writing ------------------------------------------------------------------

std::string writeAtomically(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const auto failure = writeFileAtomically(path, bytes);
    if (!failure)
        return {};
    switch (failure->step) {
    case WriteFailure::Step::Create: return "Error - The file \"" + path + "\" cannot be written.";
    case WriteFailure::Step::Write:
        return "Error - The file \"" + path + "\" could not be written whole (is the disk full?).";
    case WriteFailure::Step::Replace: break;
    }
    return "Error - The file \"" + path + "\" cannot be replaced: " + failure->code.message() + ".";
}

} // namespace corvane::sound
