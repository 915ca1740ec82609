#include "BuildSources.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace corvane::build {

namespace fs = std::filesystem;

namespace {

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The semitone of a note letter within its octave.
int letterSemitone(char c)
{
    switch (std::tolower(static_cast<unsigned char>(c))) {
    case 'c': return 0;
    case 'd': return 2;
    case 'e': return 4;
    case 'f': return 5;
    case 'g': return 7;
    case 'a': return 9;
    case 'b': return 11;
    default: return -1;
    }
}

// A note name at text[i]: letter, optional accidental, octave -1..9. The
// length taken, or 0.
std::size_t noteAt(const std::string& text, std::size_t i, int& key)
{
    const int semitone = i < text.size() ? letterSemitone(text[i]) : -1;
    if (semitone < 0)
        return 0;
    std::size_t j = i + 1;
    int accidental = 0;
    if (j < text.size() && text[j] == '#') {
        accidental = 1;
        ++j;
    } else if (j + 1 < text.size() && (text[j] == 'b' || text[j] == 's') && (isDigit(text[j + 1]) || text[j + 1] == '-')) {
        accidental = text[j] == 'b' ? -1 : 1;
        ++j;
    }
    bool negative = false;
    if (j < text.size() && text[j] == '-') {
        negative = true;
        ++j;
    }
    if (j >= text.size() || !isDigit(text[j]))
        return 0;
    const int octave = (text[j] - '0') * (negative ? -1 : 1);
    ++j;
    if (j < text.size() && isDigit(text[j]))
        return 0; // "C10" and the like are not notes
    const int k = (octave + 1) * 12 + semitone + accidental;
    if (k < 0 || k > 127 || (negative && octave != -1))
        return 0;
    key = k;
    return j - i;
}

// Reads a file whole, at most `limit` bytes; false when it cannot be read.
// Only a regular file is opened: a pipe or a device would wait for ever.
bool readText(const std::string& path, std::string& text, std::size_t limit = 4u << 20)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFile = std::unique_ptr<SNDFILE, SndCloser>;

std::string fileName(const std::string& path) { return fs::path(path).filename().string(); }

// Why an audio file cannot be opened before libsndfile is asked: it is
// missing, or it is not a regular file (a pipe or a device would wait for
// ever); "" when it may be opened.
std::string notOpenable(const std::string& path)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st))
        return "The sample file \"" + path + "\" is missing.";
    if (!fs::is_regular_file(st))
        return "\"" + fileName(path) + "\" is not a regular file.";
    return {};
}

// An audio file's frames from `offset`, mixed to mono.
ZoneAudio readAudio(const std::string& path, std::int64_t offset, std::int64_t frames)
{
    ZoneAudio a;
    if (a.error = notOpenable(path); !a.error.empty())
        return a;
    SF_INFO info{};
    const SndFile f(sf_open(path.c_str(), SFM_READ, &info));
    if (!f) {
        a.error = "\"" + fileName(path) + "\" cannot be read as audio: " + sf_strerror(nullptr) + ".";
        return a;
    }
    if (info.channels <= 0 || info.samplerate < 1000 || info.samplerate > 768000 || info.frames <= 0) {
        a.error = "\"" + fileName(path) + "\" holds no audio that can be used.";
        return a;
    }
    a.rate = info.samplerate;
    if (info.channels > 1)
        a.notes.push_back("\"" + fileName(path) + "\": " + std::to_string(info.channels) + " channels mixed to mono.");
    const int sub = info.format & SF_FORMAT_SUBMASK;
    if (sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32 || sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE)
        a.notes.push_back("\"" + fileName(path) + "\": data wider than 16 bits reduced to 8.");
    offset = std::clamp<std::int64_t>(offset, 0, info.frames);
    if (offset > 0 && sf_seek(f.get(), offset, SEEK_SET) < 0) {
        a.error = "\"" + fileName(path) + "\" cannot be read from frame " + std::to_string(offset) + ".";
        return a;
    }
    const std::int64_t want = std::min<std::int64_t>(frames, info.frames - offset);
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> block(4096 * channels);
    a.samples.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, want)));
    std::int64_t got = 0;
    while (got < want) {
        const auto n = sf_readf_float(f.get(), block.data(), std::min<std::int64_t>(4096, want - got));
        if (n <= 0)
            break;
        for (sf_count_t i = 0; i < n; ++i) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += block[static_cast<std::size_t>(i) * channels + c];
            a.samples.push_back(std::isfinite(sum) ? std::clamp(sum / static_cast<float>(channels), -1.0f, 1.0f) : 0.0f);
        }
        got += n;
    }
    if (a.samples.empty())
        a.error = "\"" + fileName(path) + "\" holds no audio from frame " + std::to_string(offset) + ".";
    return a;
}

struct FileFacts {
    bool ok = false;
    std::string error;
    std::int64_t frames = 0;
    int rate = 0;
    int root = NoKey;
    double cents = 0;
    bool loop = false;
    std::int64_t loopStart = 0, loopEnd = 0;
};

// What a file's header and instrument data say.
FileFacts audioFacts(const std::string& path)
{
    FileFacts facts;
    if (facts.error = notOpenable(path); !facts.error.empty())
        return facts;
    SF_INFO info{};
    const SndFile f(sf_open(path.c_str(), SFM_READ, &info));
    if (!f) {
        facts.error = "\"" + fileName(path) + "\" cannot be read as audio: " + sf_strerror(nullptr) + ".";
        return facts;
    }
    if (info.frames <= 0 || info.channels <= 0) {
        facts.error = "\"" + fileName(path) + "\" holds no audio.";
        return facts;
    }
    facts.ok = true;
    facts.frames = info.frames;
    facts.rate = info.samplerate;
    SF_INSTRUMENT inst{};
    if (sf_command(f.get(), SFC_GET_INSTRUMENT, &inst, sizeof inst) == SF_TRUE) {
        if (const int note = inst.basenote; note > 0 && note < 128)
            facts.root = inst.basenote;
        facts.cents = std::clamp(static_cast<int>(inst.detune), -50, 50);
        if (inst.loop_count > 0 && inst.loops[0].mode != SF_LOOP_NONE && inst.loops[0].end > inst.loops[0].start &&
            inst.loops[0].end <= static_cast<unsigned>(info.frames)) {
            facts.loop = true;
            facts.loopStart = inst.loops[0].start;
            facts.loopEnd = inst.loops[0].end;
        }
    }
    return facts;
}

bool isAudioName(const fs::path& p)
{
    static const std::set<std::string> known = {".wav", ".wave", ".aif", ".aiff", ".aifc", ".flac", ".ogg", ".oga", ".opus", ".mp3", ".caf", ".w64", ".au", ".snd"};
    return known.count(lowered(p.extension().string())) > 0;
}

std::string ext(const std::string& path) { return lowered(fs::path(path).extension().string()); }

} // namespace

int Zone::root() const { return pitch == NoKey ? NoKey : static_cast<int>(std::lround(pitch)); }

bool loopCanFit(std::int64_t start, std::int64_t end, int rate)
{
    if (rate <= 0)
        return true;
    // At the lowest ratio a zone is resampled by: half an octave down.
    const double ratio = 29411.0 / rate / std::sqrt(2.0);
    const double last = (static_cast<double>(start) + static_cast<double>(end - start)) * ratio;
    return end > start && last + 255 <= 255.0 * 256;
}

int parseKey(const std::string& text)
{
    if (text.empty())
        return NoKey;
    if (isDigit(text[0]) || (text[0] == '-' && text.size() > 1)) {
        std::size_t used = 0;
        try {
            const int v = std::stoi(text, &used);
            return used == text.size() && v >= 0 && v <= 127 ? v : NoKey;
        } catch (...) {
            return NoKey;
        }
    }
    int key = NoKey;
    return noteAt(text, 0, key) == text.size() ? key : NoKey;
}

std::string keyName(int key)
{
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (key < 0 || key > 127)
        return "?";
    return std::string(names[key % 12]) + std::to_string(key / 12 - 1);
}

int keyFromFileName(const std::string& path)
{
    const std::string stem = fs::path(path).stem().string();
    int found = NoKey;
    // The last note name standing apart from letters and digits.
    for (std::size_t i = 0; i < stem.size(); ++i) {
        if (i > 0 && isAlnum(stem[i - 1]))
            continue;
        int key = NoKey;
        const std::size_t n = noteAt(stem, i, key);
        if (n > 0 && (i + n == stem.size() || !isAlnum(stem[i + n])))
            found = key;
    }
    if (found != NoKey)
        return found;
    // Else the last number 0..127 standing apart from letters and digits.
    for (std::size_t i = 0; i < stem.size(); ++i) {
        if (!isDigit(stem[i]) || (i > 0 && isAlnum(stem[i - 1])))
            continue;
        std::size_t j = i;
        while (j < stem.size() && isDigit(stem[j]))
            ++j;
        if ((j == stem.size() || !isAlnum(stem[j])) && j - i <= 3) {
            const int v = std::stoi(stem.substr(i, j - i));
            if (v <= 127)
                found = v;
        }
        i = j;
    }
    return found;
}

// ---- SFZ --------------------------------------------------------------------

namespace {

using Opcodes = std::map<std::string, std::string>;

// The opcodes a region is made of; any other is listed as not known.
bool isKnownOpcode(const std::string& name)
{
    static const std::set<std::string> known = {"sample", "lokey", "hikey", "key", "pitch_keycenter", "loop_mode",
                                                "loopmode", "loop_start", "loopstart", "loop_end", "loopend", "offset",
                                                "end", "default_path", "transpose", "tune", "volume"};
    return known.count(name) > 0;
}

// The text with its comments out; the lines they stood on are kept for the
// error messages, and carriage returns become spaces.
std::string withoutComments(const std::string& input)
{
    std::string text;
    text.reserve(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '/' && i + 1 < input.size() && input[i + 1] == '/') {
            while (i < input.size() && input[i] != '\n')
                ++i;
            if (i < input.size())
                text += '\n';
        } else if (input[i] == '/' && i + 1 < input.size() && input[i + 1] == '*') {
            i += 2;
            while (i + 1 < input.size() && !(input[i] == '*' && input[i + 1] == '/')) {
                if (input[i] == '\n')
                    text += '\n';
                ++i;
            }
            ++i;
        } else {
            text += input[i] == '\r' ? ' ' : input[i];
        }
    }
    return text;
}

// Where an opcode's name starting at `i` ends: letters, digits and '_'.
std::size_t nameEnd(const std::string& line, std::size_t i)
{
    while (i < line.size() && (isAlnum(line[i]) || line[i] == '_'))
        ++i;
    return i;
}

// Where the value starting at `from` ends: at the next opcode or header, not
// at a space, since a sample's name may hold spaces.
std::size_t valueEnd(const std::string& line, std::size_t from)
{
    for (std::size_t j = from; j < line.size(); ++j) {
        if (line[j] == '<')
            return j;
        if (std::isspace(static_cast<unsigned char>(line[j]))) {
            std::size_t k = j;
            while (k < line.size() && std::isspace(static_cast<unsigned char>(line[k])))
                ++k;
            const std::size_t m = nameEnd(line, k);
            if ((m < line.size() && line[m] == '=' && m > k) || (k < line.size() && line[k] == '<'))
                return k;
        }
    }
    return line.size();
}

bool toInt(const std::string& v, std::int64_t& n)
{
    try {
        std::size_t used = 0;
        n = std::stoll(v, &used);
        return used == v.size();
    } catch (...) {
        return false;
    }
}

// The opcodes in force in a region, each level over the ones above it.
// key= stands for lokey, hikey and pitch_keycenter at its own level.
Opcodes opcodesInForce(std::initializer_list<const Opcodes*> levels)
{
    Opcodes all;
    for (const Opcodes* m : levels) {
        if (auto k = m->find("key"); k != m->end())
            for (const char* n : {"lokey", "hikey", "pitch_keycenter"})
                all[n] = k->second;
        for (const auto& [k, v] : *m)
            if (k != "key")
                all[k] = v;
    }
    return all;
}

// The value of the first of `names` given, or "".
std::string valueOf(const Opcodes& all, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (auto it = all.find(n); it != all.end())
            return it->second;
    return {};
}

// A sample's path: the <control> header's default path in front, and
// backslashes made forward.
std::string samplePath(const Opcodes& control, std::string path)
{
    if (auto it = control.find("default_path"); it != control.end())
        path = it->second + path;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The keys, tuning and frames of a region; values out of range are left
// at their defaults.
void readRegionValues(const Opcodes& all, SfzRegion& r)
{
    const auto key = [&](const char* name) { return parseKey(lowered(valueOf(all, {name}))); };
    if (const int k = key("lokey"); k != NoKey)
        r.lo = k;
    if (const int k = key("hikey"); k != NoKey)
        r.hi = k;
    if (const int k = key("pitch_keycenter"); k != NoKey)
        r.keycenter = k;
    std::int64_t n = 0;
    if (toInt(valueOf(all, {"transpose"}), n) && n >= -127 && n <= 127)
        r.transpose = static_cast<int>(n);
    if (toInt(valueOf(all, {"tune"}), n) && n >= -100 && n <= 100)
        r.tune = static_cast<double>(n);
    try {
        std::size_t used = 0;
        const std::string v = valueOf(all, {"volume"});
        if (const double dB = v.empty() ? 0.0 : std::stod(v, &used); used == v.size() && dB >= -144 && dB <= 6)
            r.volume = dB;
    } catch (...) {
    }
    r.loopMode = lowered(valueOf(all, {"loop_mode", "loopmode"}));
    if (toInt(valueOf(all, {"loop_start", "loopstart"}), n) && n >= 0)
        r.loopStart = n;
    if (toInt(valueOf(all, {"loop_end", "loopend"}), n) && n >= 0)
        r.loopEnd = n;
    if (toInt(valueOf(all, {"offset"}), n) && n >= 0)
        r.offset = n;
    if (toInt(valueOf(all, {"end"}), n) && n >= -1)
        r.end = n;
}

// The SFZ text line by line: the opcodes of each header level as they
// stand, and a region made of them when the next header or the end comes.
class SfzReader {
public:
    SfzText read(const std::string& input)
    {
        std::istringstream lines(withoutComments(input));
        std::string line;
        while (std::getline(lines, line)) {
            ++lineNo_;
            if (!readLine(line))
                return out_;
        }
        finishRegion();
        return out_;
    }

private:
    enum class Level { None, Control, Global, Master, Group, Region };

    bool fail(const std::string& what)
    {
        out_.error = "line " + std::to_string(lineNo_) + ": " + what;
        return false;
    }

    void noteUnknown(const std::string& name)
    {
        if (unknownSeen_.insert(name).second)
            out_.unknownOpcodes.push_back(name);
    }

    // A line of headers and opcodes, or a directive.
    bool readLine(std::string line)
    {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '#')
            return readDirective(line, first);
        putInDefines(line);
        std::size_t i = 0;
        while (i < line.size()) {
            if (std::isspace(static_cast<unsigned char>(line[i])))
                ++i;
            else if (!(line[i] == '<' ? readHeader(line, i) : readOpcode(line, i)))
                return false;
        }
        return true;
    }

    // #define $NAME value; any other directive is listed as not known.
    bool readDirective(const std::string& line, std::size_t first)
    {
        if (line.compare(first, 7, "#define") != 0) {
            noteUnknown(line.substr(first, line.find_first_of(" \t", first) - first));
            return true;
        }
        std::istringstream d(line.substr(first + 7));
        std::string name, value;
        d >> name;
        std::getline(d, value);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        if (name.size() < 2 || name[0] != '$')
            return fail("#define needs a $NAME and a value.");
        defines_[name] = value;
        return true;
    }

    // Defined names, longest first so that $AB is not taken for $A.
    void putInDefines(std::string& line) const
    {
        if (line.find('$') == std::string::npos)
            return;
        std::vector<std::pair<std::string, std::string>> byLength(defines_.begin(), defines_.end());
        std::sort(byLength.begin(), byLength.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        for (const auto& [name, value] : byLength)
            for (std::size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + value.size()))
                line.replace(at, name.size(), value);
    }

    // <name> at line[i]; it ends the region before it.
    bool readHeader(const std::string& line, std::size_t& i)
    {
        const std::size_t close = line.find('>', i);
        if (close == std::string::npos)
            return fail("a header is not closed by \">\".");
        const std::string header = lowered(line.substr(i + 1, close - i - 1));
        finishRegion();
        enterLevel(header);
        i = close + 1;
        return true;
    }

    // A header starts its level afresh, and the levels below it.
    void enterLevel(const std::string& header)
    {
        if (header == "control") {
            level_ = Level::Control;
            control_.clear();
        } else if (header == "global") {
            level_ = Level::Global;
            global_.clear();
            master_.clear();
            group_.clear();
        } else if (header == "master") {
            level_ = Level::Master;
            master_.clear();
            group_.clear();
        } else if (header == "group") {
            level_ = Level::Group;
            group_.clear();
        } else if (header == "region") {
            level_ = Level::Region;
            region_.clear();
            inRegion_ = true;
        } else {
            level_ = Level::None; // <curve>, <effect>, <midi>: not ours
            noteUnknown("<" + header + ">");
        }
    }

    // opcode=value at line[i], kept at the level of the last header.
    bool readOpcode(const std::string& line, std::size_t& i)
    {
        const std::size_t eq = line.find('=', i);
        const std::size_t end = nameEnd(line, i);
        if (eq == std::string::npos || end != eq || end == i)
            return fail("\"" + line.substr(i, 40) + "\" is not an opcode=value.");
        const std::string name = lowered(line.substr(i, eq - i));
        i = valueEnd(line, eq + 1);
        std::string value = line.substr(eq + 1, i - eq - 1);
        value.erase(value.find_last_not_of(" \t") + 1);
        if (name != "sample" && name != "default_path")
            value.erase(std::remove_if(value.begin(), value.end(), [](unsigned char c) { return std::isspace(c); }),
                        value.end());
        if (!isKnownOpcode(name))
            noteUnknown(name);
        if (Opcodes* at = levelOpcodes())
            (*at)[name] = value;
        return true;
    }

    Opcodes* levelOpcodes()
    {
        switch (level_) {
        case Level::Control: return &control_;
        case Level::Global: return &global_;
        case Level::Master: return &master_;
        case Level::Group: return &group_;
        case Level::Region: return &region_;
        case Level::None: break;
        }
        return nullptr;
    }

    // The region read so far, if it names a sample: one without plays nothing.
    void finishRegion()
    {
        if (!inRegion_)
            return;
        inRegion_ = false;
        const Opcodes all = opcodesInForce({&global_, &master_, &group_, &region_});
        const std::string sample = valueOf(all, {"sample"});
        if (sample.empty())
            return;
        SfzRegion r;
        r.sample = samplePath(control_, sample);
        readRegionValues(all, r);
        out_.regions.push_back(r);
    }

    SfzText out_;
    int lineNo_ = 0;
    std::map<std::string, std::string> defines_;
    Opcodes control_, global_, master_, group_, region_;
    Level level_ = Level::None;
    bool inRegion_ = false;
    std::set<std::string> unknownSeen_;
};

} // namespace

SfzText parseSfz(const std::string& input) { return SfzReader().read(input); }

Source readSfz(const std::string& path)
{
    Source s;
    std::string text;
    if (!readText(path, text)) {
        s.error = "The SFZ file \"" + path + "\" cannot be read.";
        return s;
    }
    const SfzText sfz = parseSfz(text);
    if (!sfz.error.empty()) {
        s.error = "The SFZ file \"" + fileName(path) + "\" cannot be read: " + sfz.error;
        return s;
    }
    s.unknownOpcodes = sfz.unknownOpcodes;
    const fs::path dir = fs::path(path).parent_path();
    for (const SfzRegion& r : sfz.regions) {
        Zone z;
        z.file = (dir / r.sample).lexically_normal().string();
        z.name = fs::path(r.sample).filename().string();
        const FileFacts facts = audioFacts(z.file);
        if (!facts.ok) {
            s.error = "The SFZ file \"" + fileName(path) + "\": " + facts.error;
            return s;
        }
        const std::int64_t offset = std::min(r.offset, facts.frames);
        const std::int64_t last = r.end >= 0 ? std::min(r.end, facts.frames - 1) : facts.frames - 1;
        if (r.end == 0 || last < offset) {
            s.notes.push_back("\"" + z.name + "\": the region plays nothing (end=" + std::to_string(r.end) + "); left out.");
            continue;
        }
        z.frames = last - offset + 1;
        int root = r.keycenter;
        double cents = 0;
        if (root == NoKey && facts.root != NoKey) {
            root = facts.root;
            cents = facts.cents;
        }
        if (root == NoKey)
            root = keyFromFileName(z.file);
        if (root == NoKey)
            root = 60; // the format's own default
        z.pitch = root - r.transpose - (r.tune + cents) / 100.0;
        z.gainDb = r.volume;
        z.rate = facts.rate;
        z.lo = r.lo;
        z.hi = r.hi;
        if (z.lo != NoKey && z.hi != NoKey && z.lo > z.hi) {
            s.notes.push_back("\"" + z.name + "\": lokey=" + std::to_string(z.lo) + " lies above hikey=" +
                              std::to_string(z.hi) + "; taken as keys " + std::to_string(z.hi) + "-" +
                              std::to_string(z.lo) + ".");
            std::swap(z.lo, z.hi);
        }
        if (r.loopMode == "no_loop" || r.loopMode == "one_shot") {
            z.loop = LoopKind::Off;
        } else if (r.loopStart >= 0 || r.loopEnd >= 0) {
            const std::int64_t ls = std::max<std::int64_t>(r.loopStart, 0);
            const std::int64_t le = r.loopEnd >= 0 ? r.loopEnd + 1 : facts.frames;
            if (ls - offset < 0 || le - offset > z.frames || le <= ls) {
                s.error = "The SFZ file \"" + fileName(path) + "\": the loop " + std::to_string(ls) + "-" +
                          std::to_string(le - 1) + " of \"" + z.name + "\" lies outside its sample.";
                return s;
            }
            z.loop = LoopKind::Source;
            z.loopStart = ls - offset;
            z.loopEnd = le - offset;
            if (!loopCanFit(z.loopStart, z.loopEnd, z.rate)) {
                s.notes.push_back("\"" + z.name + "\": the loop " + std::to_string(ls) + "-" + std::to_string(le - 1) +
                                  " lies past what a half holds; a loop is looked for instead.");
                z.loop = LoopKind::Find;
            }
        } else if (facts.loop && facts.loopStart >= offset && facts.loopEnd - offset <= z.frames &&
                   loopCanFit(facts.loopStart - offset, facts.loopEnd - offset, z.rate)) {
            z.loop = LoopKind::Source;
            z.loopStart = facts.loopStart - offset;
            z.loopEnd = facts.loopEnd - offset;
        } else if (!r.loopMode.empty() && r.loopMode != "loop_continuous" && r.loopMode != "loop_sustain") {
            s.notes.push_back("\"" + z.name + "\": loop_mode=" + r.loopMode + " not known; a loop is looked for.");
        }
        const std::string file = z.file;
        const std::int64_t frames = z.frames;
        z.read = [file, offset, frames](std::int64_t maxFrames) { return readAudio(file, offset, std::min(frames, maxFrames)); };
        s.zones.push_back(std::move(z));
    }
    if (s.zones.empty())
        s.error = "The SFZ file \"" + fileName(path) + "\" holds no region with a sample.";
    return s;
}

// ---- audio files ------------------------------------------------------------

Source readAudioFiles(const std::vector<std::string>& paths, bool spread, bool askRoots)
{
    Source s;
    std::vector<std::string> files;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<std::string> inFolder;
            for (const auto& e : fs::directory_iterator(p, ec))
                if (e.is_regular_file(ec) && isAudioName(e.path()))
                    inFolder.push_back(e.path().string());
            std::sort(inFolder.begin(), inFolder.end());
            if (inFolder.empty()) {
                s.error = "The folder \"" + p + "\" holds no audio files.";
                return s;
            }
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            files.push_back(p);
        }
    }
    if (spread)
        std::sort(files.begin(), files.end(),
                  [](const std::string& a, const std::string& b) { return fs::path(a).filename() < fs::path(b).filename(); });
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
        const std::string& file = files[static_cast<std::size_t>(i)];
        const FileFacts facts = audioFacts(file);
        if (!facts.ok) {
            s.error = facts.error;
            return s;
        }
        Zone z;
        z.file = file;
        z.name = fileName(file);
        z.frames = facts.frames;
        z.rate = facts.rate;
        if (spread) {
            // An equal share of the 61 keys, playing at its own pitch in the middle.
            z.lo = FirstKey + i * 61 / count;
            z.hi = FirstKey + (i + 1) * 61 / count - 1;
            z.pitch = (z.lo + z.hi) / 2;
            z.loop = LoopKind::Off;
        } else {
            int root = facts.root;
            double cents = facts.cents;
            if (root == NoKey) {
                root = keyFromFileName(file);
                cents = 0;
            }
            if (root == NoKey && askRoots) {
                z.pitch = NoKey; // for the user to give; the builder counts those left without

            } else if (root == NoKey) {
                s.error = "\"" + z.name +
                          "\" gives no root note: name it with its note (\"Piano C4.wav\", \"str-60.wav\") or spread "
                          "the files over the keyboard.";
                return s;
            } else {
                z.pitch = root - cents / 100.0;
            }
            if (facts.loop && !loopCanFit(facts.loopStart, facts.loopEnd, facts.rate)) {
                s.notes.push_back("\"" + z.name + "\": its loop lies past what a half holds; a loop is looked for instead.");
            } else if (facts.loop) {
                z.loop = LoopKind::Source;
                z.loopStart = facts.loopStart;
                z.loopEnd = facts.loopEnd;
            }
        }
        z.read = [file](std::int64_t maxFrames) { return readAudio(file, 0, maxFrames); };
        s.zones.push_back(std::move(z));
    }
    if (s.zones.empty())
        s.error = "No audio files were given.";
    s.spread = spread;
    return s;
}

Source readSources(const std::vector<std::string>& paths, const std::string& preset, bool spread, bool askRoots)
{
    if (paths.empty()) {
        Source s;
        s.error = "No source was given.";
        return s;
    }
    const std::string e = ext(paths[0]);
    if (paths.size() == 1 && e == ".sf2") {
        Source s = readSoundFont(paths[0], preset);
        if (spread && s.ok())
            s.spread = true;
        return s;
    }
    if (paths.size() == 1 && e == ".sfz")
        return readSfz(paths[0]);
    for (const std::string& p : paths)
        if (ext(p) == ".sf2" || ext(p) == ".sfz") {
            Source s;
            s.error = "\"" + p + "\" must be the only source: a sound is built from one SoundFont, one SFZ file, or audio files.";
            return s;
        }
    return readAudioFiles(paths, spread, askRoots);
}

} // namespace corvane::build
