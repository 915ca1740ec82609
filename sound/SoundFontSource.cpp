// SoundFont 2 presets as zones, read through libgig. libgig reports a file
// it cannot read by throwing RIFF::Exception; every call into it stays
// inside a try block here.
#include "BuildSources.h"

#include <SF.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
#else
#include <unistd.h>
#endif
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace corvane::build {

namespace {

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trimmed(std::string s)
{
    s.erase(s.find_last_not_of(" \t\r\n") + 1);
    s.erase(0, s.find_first_not_of(" \t\r\n"));
    return s;
}

// libgig writes a line to the standard error for every generator value out
// of its range, which SoundFonts in the wild have by the hundred; they say
// nothing the user can act on, so they are held back while a file is read.
class QuietErrors {
public:
    QuietErrors()
    {
        std::fflush(stderr);
        saved_ = dup(fileno(stderr));
        if (std::FILE* null = std::fopen(
#ifdef _WIN32
                "NUL",
#else
                "/dev/null",
#endif
                "w")) {
            dup2(fileno(null), fileno(stderr));
            std::fclose(null);
        }
    }
    ~QuietErrors()
    {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, fileno(stderr));
            close(saved_);
        }
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    int saved_ = -1;
};

struct Chunks;

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// RIFF numbers are little-endian.
std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint32_t le16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | p[1] << 8); }

// What the walk through a SoundFont's chunks finds: whether the INFO list
// and the sample data are there, the sample data's size, and the chunks of
// the preset data by their ids.
struct Chunks {
    bool info = false, smpl = false;
    std::uint64_t smplBytes = 0;
    std::map<std::string, std::vector<std::uint8_t>> pdta;
};

// The chunks of the LIST at `at`, of `size` bytes; "" or what is wrong.
std::string readList(std::ifstream& in, std::uint64_t at, std::uint64_t size, const std::string& type, Chunks& found)
{
    for (std::uint64_t sub = at + 12; sub + 8 <= at + 8 + size;) {
        std::uint8_t sh[8];
        in.seekg(static_cast<std::streamoff>(sub));
        if (!in.read(reinterpret_cast<char*>(sh), 8))
            return "it is cut short";
        const std::uint64_t subSize = le32(sh + 4);
        if (sub + 8 + subSize > at + 8 + size)
            return "a chunk runs past the end of its list";
        const std::string id(reinterpret_cast<const char*>(sh), 4);
        if (type == "sdta" && id == "smpl") {
            found.smpl = true;
            found.smplBytes = subSize;
        } else if (type == "pdta") {
            if (subSize > (64u << 20))
                return "its preset data is too large";
            std::vector<std::uint8_t> data(static_cast<std::size_t>(subSize));
            if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(subSize)))
                return "it is cut short";
            found.pdta[id] = std::move(data);
        }
        sub += 8 + subSize + (subSize & 1);
    }
    return {};
}

// The RIFF chunks from the sfbk header up to `riffEnd`, each within it, and
// the lists among them; "" or what is wrong.
std::string readChunks(std::ifstream& in, std::uint64_t riffEnd, Chunks& found)
{
    for (std::uint64_t at = 12; at + 8 <= riffEnd;) {
        std::uint8_t ck[12];
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(ck), 12))
            return "it is cut short";
        const std::uint64_t size = le32(ck + 4);
        if (at + 8 + size > riffEnd)
            return "a chunk runs past the end of the file";
        if (std::memcmp(ck, "LIST", 4) == 0 && size >= 4) {
            const std::string type(reinterpret_cast<const char*>(ck + 8), 4);
            found.info = found.info || type == "INFO";
            if (std::string why = readList(in, at, size, type, found); !why.empty())
                return why;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// The nine lists of the preset data, each of whole records and at least
// one (the last record closes the list), counted; "" or what is wrong.
std::string countRecords(const Chunks& found, std::map<std::string, std::size_t>& count)
{
    struct List { const char* id; std::size_t record; };
    static constexpr List lists[] = {{"phdr", 38}, {"pbag", 4}, {"pmod", 10}, {"pgen", 4}, {"inst", 22},
                                     {"ibag", 4},  {"imod", 10}, {"igen", 4}, {"shdr", 46}};
    for (const List& l : lists) {
        const auto it = found.pdta.find(l.id);
        if (it == found.pdta.end() || it->second.size() % l.record != 0 || it->second.size() < l.record)
            return std::string("its ") + l.id + " list is missing or damaged";
        count[l.id] = it->second.size() / l.record;
    }
    return {};
}

// The index at `offset` in each record of `headers` rises and stays within
// the list `into`.
bool indicesRise(const Chunks& found, const std::map<std::string, std::size_t>& count, const char* headers,
                 std::size_t record, std::size_t offset, const char* into)
{
    const std::uint8_t* data = found.pdta.at(headers).data();
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < count.at(headers); ++i) {
        const std::uint32_t v = le16(data + i * record + offset);
        if (v < last || v >= count.at(into))
            return false;
        last = v;
    }
    return true;
}

// Every generator `oper` in `gens` (instrument or sample ID) names a
// record of `into` other than the closing one.
bool generatorsRefer(const Chunks& found, const std::map<std::string, std::size_t>& count, const char* gens,
                     std::uint32_t oper, const char* into)
{
    const std::uint8_t* data = found.pdta.at(gens).data();
    for (std::size_t i = 0; i < count.at(gens); ++i) {
        const std::uint8_t* g = data + i * 4;
        if (le16(g) == oper && le16(g + 2) + 1 >= count.at(into))
            return false;
    }
    return true;
}

// Each sample but the closing record lies within the sample data, and a
// stereo sample's partner is in the list; "" or what is wrong.
std::string checkSampleHeaders(const Chunks& found, std::size_t headers)
{
    const std::uint64_t frames = found.smplBytes / 2;
    const std::uint8_t* data = found.pdta.at("shdr").data();
    for (std::size_t i = 0; i + 1 < headers; ++i) {
        const std::uint8_t* h = data + i * 46;
        const std::uint32_t start = le32(h + 20), end = le32(h + 24);
        const std::uint32_t type = le16(h + 44), link = le16(h + 42);
        if ((type & 0x8000) != 0)
            continue; // ROM samples are left out anyway
        if (start > end || end > frames || ((type & 6) != 0 && link + 1 >= headers))
            return "the sample \"" + std::string(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 20)) +
                   "\" lies outside the sample data";
    }
    return {};
}

// The lists of the preset data, their indices and the samples; "" or what
// is wrong.
std::string checkPresetData(const Chunks& found)
{
    std::map<std::string, std::size_t> count;
    if (std::string why = countRecords(found, count); !why.empty())
        return why;
    // Each header's first bag, then each bag's first generator and
    // modulator, rising and within their lists (the last record closes).
    const auto rises = [&](const char* headers, std::size_t record, std::size_t offset, const char* into) {
        return indicesRise(found, count, headers, record, offset, into);
    };
    if (!rises("phdr", 38, 24, "pbag") || !rises("pbag", 4, 0, "pgen") || !rises("pbag", 4, 2, "pmod") ||
        !rises("inst", 22, 20, "ibag") || !rises("ibag", 4, 0, "igen") || !rises("ibag", 4, 2, "imod"))
        return "its preset data points outside its own lists";
    if (!generatorsRefer(found, count, "pgen", 41, "inst") || !generatorsRefer(found, count, "igen", 53, "shdr"))
        return "a zone names an instrument or sample that is not there";
    return checkSampleHeaders(found, count.at("shdr"));
}

// libgig trusts a SoundFont's chunk sizes and its indices from one list
// into the next, and reads through a bad one. Before it is given a file, the
// file's outline is checked here: the RIFF chunks lie within the file, the
// nine lists of the preset data are there with whole records, every index
// points into the list it names, and every sample lies within the sample
// data. What libgig makes of the values is its own business.
std::string checkOutline(const std::string& path, Chunks& found)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "it cannot be opened";
    in.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());
    in.seekg(0);
    std::uint8_t head[12];
    if (!in.read(reinterpret_cast<char*>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "sfbk", 4) != 0)
        return "it is not a SoundFont 2 file (no RIFF sfbk header)";
    // libgig walks the RIFF list as far as its header says, and past the
    // end of the file it takes every 8 bytes for one more empty chunk: a
    // file cut short would cost it gigabytes. Eight bytes over are let by
    // (a writer that counted the header in the size).
    const std::uint64_t riffSays = 8 + static_cast<std::uint64_t>(le32(head + 4));
    if (riffSays > fileSize + 8)
        return "it is cut short (the file holds " + std::to_string(fileSize) + " of the " + std::to_string(riffSays) +
               " bytes its header counts)";
    const std::uint64_t riffEnd = std::min(riffSays, fileSize);
    if (std::string why = readChunks(in, riffEnd, found); !why.empty())
        return why;
    if (!found.info || !found.smpl)
        return std::string("it has no ") + (found.info ? "sample data" : "INFO list");
    return checkPresetData(found);
}

// The levels the file's generators give its zones, which libgig does not
// read: the initial attenuation (centibels) of each instrument zone and
// preset zone, by what names the zone (instrument or sample, key and
// velocity ranges), with the global zone's value for those that give none.
struct Levels {
    struct RawZone {
        int target = -1; // the instrument (preset zones) or the sample (instrument zones)
        int loKey = 0, hiKey = 127, loVel = 0, hiVel = 127;
        int attenuation = 0;
    };
    std::vector<std::vector<RawZone>> presets, instruments; // by index in the file

    // The zones of each header of `hdr` (records of `record` bytes, the
    // bag index at `bagAt`), their generators in `bags` and `gens`;
    // `targetOper` names the instrument or sample generator.
    static std::vector<std::vector<RawZone>> read(const Chunks& c, const char* hdr, std::size_t record, std::size_t bagAt,
                                                  const char* bags, const char* gens, std::uint32_t targetOper);
};

// The RIFF file and the SoundFont on it, kept open while zones read samples.
struct Open {
    std::unique_ptr<RIFF::File> riff;
    std::unique_ptr<sf2::File> sf;
    Levels levels;
};

std::vector<std::vector<Levels::RawZone>> Levels::read(const Chunks& c, const char* hdr, std::size_t record,
                                                       std::size_t bagAt, const char* bags, const char* gens,
                                                       std::uint32_t targetOper)
{
    std::vector<std::vector<RawZone>> out;
    const auto& h = c.pdta.at(hdr);
    const auto& b = c.pdta.at(bags);
    const auto& g = c.pdta.at(gens);
    const std::size_t headers = h.size() / record, bagCount = b.size() / 4, genCount = g.size() / 4;
    for (std::size_t i = 0; i + 1 < headers; ++i) {
        std::vector<RawZone> zones;
        std::optional<int> global;
        const std::size_t from = le16(h.data() + i * record + bagAt), to = le16(h.data() + (i + 1) * record + bagAt);
        for (std::size_t bag = from; bag < to && bag + 1 < bagCount; ++bag) {
            RawZone z;
            std::optional<int> attenuation;
            const std::size_t g0 = le16(b.data() + bag * 4), g1 = le16(b.data() + (bag + 1) * 4);
            for (std::size_t k = g0; k < g1 && k < genCount; ++k) {
                const std::uint8_t* gen = g.data() + k * 4;
                const std::uint32_t oper = le16(gen);
                if (oper == 43) {
                    z.loKey = gen[2];
                    z.hiKey = gen[3];
                } else if (oper == 44) {
                    z.loVel = gen[2];
                    z.hiVel = gen[3];
                } else if (oper == 48) {
                    attenuation = static_cast<std::int16_t>(le16(gen + 2));
                } else if (oper == targetOper) {
                    z.target = static_cast<int>(le16(gen + 2));
                }
            }
            if (z.target < 0) {
                if (bag == from && attenuation) // the global zone
                    global = attenuation;
                continue;
            }
            z.attenuation = attenuation ? *attenuation : global.value_or(0);
            zones.push_back(z);
        }
        out.push_back(std::move(zones));
    }
    return out;
}

// The attenuation in centibels of the zone among `zones` that names
// `target` over the keys and velocities of `r`; 0 when none does.
int attenuationOf(const std::vector<Levels::RawZone>& zones, int target, const sf2::Region* r)
{
    const auto norm = [](int v, int unset) { return v < 0 || v > 127 ? unset : v; };
    for (const Levels::RawZone& z : zones)
        if (z.target == target && z.loKey == norm(r->loKey, 0) && z.hiKey == norm(r->hiKey, 127) &&
            z.loVel == norm(r->minVel, 0) && z.hiVel == norm(r->maxVel, 127))
            return z.attenuation;
    return 0;
}

std::shared_ptr<Open> open(const std::string& path, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "The SoundFont \"" + path + "\" cannot be opened.";
        return nullptr;
    }
    Chunks chunks;
    if (const std::string why = checkOutline(path, chunks); !why.empty()) {
        error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + why + ".";
        return nullptr;
    }
    auto o = std::make_shared<Open>();
    o->levels.presets = Levels::read(chunks, "phdr", 38, 24, "pbag", "pgen", 41);
    o->levels.instruments = Levels::read(chunks, "inst", 22, 20, "ibag", "igen", 53);
    const QuietErrors quiet;
    try {
        o->riff = std::make_unique<RIFF::File>(path);
        o->sf = std::make_unique<sf2::File>(o->riff.get());
    } catch (RIFF::Exception& e) {
        error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.Message;
        return nullptr;
    } catch (std::exception& e) {
        error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.what();
        return nullptr;
    }
    return o;
}

// libgig gives an unset key or velocity range as a large number.
int low(int v) { return v < 0 || v > 127 ? 0 : v; }
int high(int v) { return v < 0 || v > 127 ? 127 : v; }

bool usable(sf2::Sample* s)
{
    if (!s || s->SampleRate < 1000 || s->SampleRate > 768000)
        return false;
    const int link = s->SampleType & 0x7FFF;
    return link != sf2::Sample::RIGHT_SAMPLE && (s->SampleType & 0x8000) == 0; // the left of a pair; no ROM samples
}

// The frames of a sample as floats, at most `maxFrames`.
ZoneAudio readSample(const std::shared_ptr<Open>& o, sf2::Sample* sample, std::int64_t maxFrames)
{
    ZoneAudio a;
    a.rate = static_cast<int>(sample->SampleRate);
    try {
        const long total = sample->GetTotalFrameCount();
        const int frameSize = sample->GetFrameSize();
        const int channels = std::max(1, sample->GetChannelCount());
        const int width = frameSize / channels; // bytes of one channel's sample
        if (total <= 0 || (width != 2 && width != 3) || width * channels != frameSize) {
            a.error = "The sample \"" + sample->Name + "\" holds no audio that can be used.";
            return a;
        }
        // libgig reads one half of a stereo pair into its own channel and
        // leaves the other silent.
        const int channel = channels > 1 && (sample->SampleType & 0x7FFF) == sf2::Sample::RIGHT_SAMPLE ? 1 : 0;
        if (width == 3)
            a.notes.push_back("\"" + sample->Name + "\": 24-bit data reduced to 8.");
        const auto n = static_cast<unsigned long>(std::min<std::int64_t>(total, maxFrames));
        std::vector<std::uint8_t> raw(n * static_cast<unsigned long>(frameSize));
        sample->SetPos(0);
        const unsigned long got = sample->Read(raw.data(), n);
        a.samples.resize(std::min(got, n));
        const float scale = width == 2 ? 32768.0f : 8388608.0f;
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            const std::uint8_t* p = raw.data() + i * static_cast<std::size_t>(frameSize) + static_cast<std::size_t>(channel * width);
            const std::int32_t v = width == 2 ? static_cast<std::int16_t>(p[0] | p[1] << 8)
                                              : static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8;
            a.samples[i] = static_cast<float>(v) / scale;
        }
        if (a.samples.empty())
            a.error = "The sample \"" + sample->Name + "\" cannot be read.";
    } catch (RIFF::Exception& e) {
        a.error = "The sample \"" + sample->Name + "\" cannot be read: " + e.Message;
    }
    (void)o;
    return a;
}

} // namespace

namespace {

// The presets of an open file, in the file's order.
std::vector<PresetInfo> presetsOf(sf2::File& sf)
{
    std::vector<PresetInfo> presets;
    for (int i = 0; i < sf.GetPresetCount(); ++i) {
        sf2::Preset* p = sf.GetPreset(i);
        if (!p)
            continue;
        PresetInfo info;
        info.index = i;
        info.bank = p->Bank;
        info.program = p->PresetNum;
        info.name = trimmed(p->Name);
        std::set<sf2::Region*> regions; // an instrument's regions count once
        for (int r = 0; r < p->GetRegionCount(); ++r)
            if (sf2::Region* pr = p->GetRegion(r); pr && pr->pInstrument)
                for (int k = 0; k < pr->pInstrument->GetRegionCount(); ++k)
                    regions.insert(pr->pInstrument->GetRegion(k));
        info.zones = static_cast<int>(regions.size());
        presets.push_back(info);
    }
    return presets;
}

} // namespace

PresetList soundFontPresets(const std::string& path)
{
    PresetList list;
    const auto o = open(path, list.error);
    if (!o)
        return list;
    try {
        list.presets = presetsOf(*o->sf);
    } catch (RIFF::Exception& e) {
        list.error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.Message;
    }
    if (list.error.empty() && list.presets.empty())
        list.error = "The SoundFont \"" + fileName(path) + "\" holds no presets.";
    return list;
}

namespace {

// What became of one instrument zone of a preset.
enum class ZoneFate { Taken, RightOrRom, OtherLayer, LeftOut, BadLoop };

// Where a preset's zones find their levels: the preset's index, and the
// indices of the file's instruments and samples by libgig's objects.
struct Indices {
    int preset = -1;
    std::map<const sf2::Instrument*, int> instruments;
    std::map<const sf2::Sample*, int> samples;
};

// The zone an instrument zone `ir` plays within the preset zone `pr`, into
// `z`; `BadLoop` when its loop lies outside its sample.
ZoneFate readZone(const std::shared_ptr<Open>& o, const std::string& path, const Indices& at, sf2::Region* pr,
                  sf2::Region* ir, Zone& z)
{
    sf2::Sample* sample = ir->pSample;
    if (!usable(sample))
        return ZoneFate::RightOrRom;
    const int minVel = std::max(low(ir->minVel), low(pr->minVel));
    const int maxVel = std::min(high(ir->maxVel), high(pr->maxVel));
    if (!(minVel <= 100 && 100 <= maxVel))
        return ZoneFate::OtherLayer;
    z.lo = std::max(low(ir->loKey), low(pr->loKey));
    z.hi = std::min(high(ir->hiKey), high(pr->hiKey));
    z.frames = sample->GetTotalFrameCount();
    if (z.lo > z.hi || z.frames <= 0)
        return ZoneFate::LeftOut;
    z.name = trimmed(sample->Name);
    z.file = path;
    const int root = ir->overridingRootKey >= 0 && ir->overridingRootKey <= 127 ? ir->overridingRootKey
                     : sample->OriginalPitch <= 127                               ? sample->OriginalPitch
                                                                                  : 60;
    const double cents =
        static_cast<std::int8_t>(sample->PitchCorrection) + ir->GetFineTune(pr) + 100.0 * ir->GetCoarseTune(pr);
    z.pitch = root - cents / 100.0;
    z.rate = static_cast<int>(sample->SampleRate);
    // The instrument zone's attenuation and the preset zone's add up.
    const auto instrument = at.instruments.find(pr->pInstrument);
    const auto sampleIndex = at.samples.find(sample);
    int centibels = 0;
    if (instrument != at.instruments.end() && sampleIndex != at.samples.end() &&
        instrument->second < static_cast<int>(o->levels.instruments.size()))
        centibels += attenuationOf(o->levels.instruments[static_cast<std::size_t>(instrument->second)], sampleIndex->second, ir);
    if (instrument != at.instruments.end() && at.preset >= 0 && at.preset < static_cast<int>(o->levels.presets.size()))
        centibels += attenuationOf(o->levels.presets[static_cast<std::size_t>(at.preset)], instrument->second, pr);
    z.gainDb = -std::clamp(centibels, 0, 1440) / 10.0;
    z.loop = LoopKind::Off;
    if (ir->HasLoop) {
        z.loopStart = ir->LoopStart;
        z.loopEnd = ir->LoopEnd;
        if (ir->LoopEnd <= ir->LoopStart || static_cast<std::int64_t>(ir->LoopEnd) > z.frames)
            return ZoneFate::BadLoop;
        z.loop = loopCanFit(z.loopStart, z.loopEnd, z.rate) ? LoopKind::Source : LoopKind::Find;
    }
    z.read = [o, sample](std::int64_t maxFrames) { return readSample(o, sample, maxFrames); };
    return ZoneFate::Taken;
}

// The zones of `preset` into `s`: those that play at velocity 100, with
// notes of what was left out.
void readZones(const std::shared_ptr<Open>& o, const std::string& path, int presetIndex, Source& s)
{
    sf2::Preset* preset = o->sf->GetPreset(presetIndex);
    Indices at;
    at.preset = presetIndex;
    for (int i = 0; i < o->sf->GetInstrumentCount(); ++i)
        at.instruments[o->sf->GetInstrument(i)] = i;
    for (int i = 0; i < o->sf->GetSampleCount(); ++i)
        at.samples[o->sf->GetSample(i)] = i;
    int stereo = 0, layers = 0;
    for (int r = 0; r < preset->GetRegionCount(); ++r) {
        sf2::Region* pr = preset->GetRegion(r);
        if (!pr || !pr->pInstrument)
            continue;
        for (int k = 0; k < pr->pInstrument->GetRegionCount(); ++k) {
            sf2::Region* ir = pr->pInstrument->GetRegion(k);
            if (!ir || !ir->pSample)
                continue;
            Zone z;
            switch (readZone(o, path, at, pr, ir, z)) {
            case ZoneFate::Taken: s.zones.push_back(std::move(z)); break;
            case ZoneFate::RightOrRom: ++stereo; break;
            case ZoneFate::OtherLayer: ++layers; break;
            case ZoneFate::LeftOut: break;
            case ZoneFate::BadLoop:
                s.error = "The SoundFont \"" + fileName(path) + "\": the loop of \"" + z.name + "\" (" +
                          std::to_string(z.loopStart) + "-" + std::to_string(z.loopEnd) + ") lies outside its sample.";
                return;
            }
        }
    }
    if (stereo > 0)
        s.notes.push_back(std::to_string(stereo) + (stereo == 1 ? " right-hand sample (read with its left) or ROM sample"
                                                                 : " right-hand samples (read with their left) or ROM samples") +
                          " left out.");
    if (layers > 0)
        s.notes.push_back(std::to_string(layers) + (layers == 1 ? " velocity layer" : " velocity layers") +
                          " left out (those that play at velocity 100 are taken).");
    if (s.zones.empty())
        s.error = "The preset \"" + trimmed(preset->Name) + "\" of \"" + fileName(path) + "\" has no samples that can be used.";
}

// The zones of the preset `choose` picks from the open file's presets.
Source readPreset(const std::string& path,
                  const std::function<const PresetInfo*(const std::vector<PresetInfo>&, std::string&)>& choose)
{
    Source s;
    const auto o = open(path, s.error);
    if (!o)
        return s;
    s.keep = o;
    try {
        s.presets = presetsOf(*o->sf);
        const PresetInfo* chosen = choose(s.presets, s.error);
        if (!chosen) {
            if (s.error.empty())
                s.error = "The SoundFont \"" + fileName(path) + "\" has no such preset.";
            return s;
        }
        s.preset = presetLabel(*chosen);
        s.kit = isKitBank(chosen->bank);
        readZones(o, path, chosen->index, s);
    } catch (RIFF::Exception& e) {
        s.error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.Message;
    }
    return s;
}

std::string listed(const std::vector<const PresetInfo*>& presets)
{
    std::string text;
    for (const PresetInfo* p : presets)
        text += "\n  " + presetLabel(*p);
    return text;
}

} // namespace

std::string presetLabel(const PresetInfo& p)
{
    char number[16];
    std::snprintf(number, sizeof number, "%03d:%03d", std::clamp(p.bank, 0, 999), std::clamp(p.program, 0, 999));
    return std::string(number) + " " + p.name;
}

const PresetInfo* choosePreset(const std::vector<PresetInfo>& presets, const std::string& wanted, std::string& error)
{
    const auto lower = [](const PresetInfo* a, const PresetInfo* b) {
        return a->bank != b->bank ? a->bank < b->bank : a->program < b->program;
    };
    std::vector<const PresetInfo*> matches;
    const std::string w = lowered(trimmed(wanted));
    const auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 3 && std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); });
    };
    if (w.empty()) {
        for (const PresetInfo& p : presets)
            matches.push_back(&p);
    } else if (const auto colon = w.find(':'); colon != std::string::npos && digits(w.substr(0, colon)) &&
                                               digits(w.substr(colon + 1))) {
        const int bank = std::stoi(w.substr(0, colon)), program = std::stoi(w.substr(colon + 1));
        for (const PresetInfo& p : presets)
            if (p.bank == bank && p.program == program)
                matches.push_back(&p);
    } else if (digits(w)) {
        // A program number: of the lowest bank that has it.
        for (const PresetInfo& p : presets)
            if (p.program == std::stoi(w))
                matches.push_back(&p);
    } else {
        for (const PresetInfo& p : presets)
            if (lowered(p.name) == w)
                matches.push_back(&p);
        if (matches.empty())
            for (const PresetInfo& p : presets)
                if (lowered(p.name).rfind(w, 0) == 0)
                    matches.push_back(&p);
        std::sort(matches.begin(), matches.end(), lower);
        if (matches.size() > 1) {
            error = "\"" + wanted + "\" starts the names of " + std::to_string(matches.size()) +
                    " presets; give more of the name, or BANK:PROGRAM:" + listed(matches);
            return nullptr;
        }
    }
    if (matches.empty()) {
        std::vector<const PresetInfo*> near;
        for (const PresetInfo& p : presets)
            if (!w.empty() && lowered(p.name).find(w) != std::string::npos)
                near.push_back(&p);
        std::sort(near.begin(), near.end(), lower);
        error = "There is no preset \"" + wanted + "\"" +
                (near.empty() ? std::string("; corvane-disk presets FILE.sf2 lists them (BANK:PROGRAM, a program "
                                            "number, or the start of a name).")
                              : "; presets whose names hold it:" + listed(near));
        return nullptr;
    }
    return *std::min_element(matches.begin(), matches.end(), lower);
}

Source readSoundFont(const std::string& path, const std::string& preset)
{
    return readPreset(path, [&](const std::vector<PresetInfo>& presets, std::string& error) -> const PresetInfo* {
        const PresetInfo* p = choosePreset(presets, preset, error);
        if (!p)
            error = "The SoundFont \"" + fileName(path) + "\": " + error;
        return p;
    });
}

Source readSoundFont(const std::string& path, int index)
{
    return readPreset(path, [&](const std::vector<PresetInfo>& presets, std::string& error) -> const PresetInfo* {
        for (const PresetInfo& p : presets)
            if (p.index == index)
                return &p;
        error = "The SoundFont \"" + fileName(path) + "\" has no preset " + std::to_string(index) + ".";
        return nullptr;
    });
}

} // namespace corvane::build
