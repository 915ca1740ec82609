#include "SoundBuilder.h"

#include "AudioConvert.h"
#include "DiskImage.h"
#include "Dumps.h"
#include "HexText.h"
#include "Parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>

namespace corvane::build {

namespace {

constexpr int PageBytes = 256;
constexpr int MaxDataPages = HalfPages - 1; // one wavesample alone, with its end page
constexpr double Pi = 3.14159265358979323846;

// The dump position of a wavesample field, by its parameter number.
int fieldPos(int wavesample, int parameter)
{
    const ParameterInfo* p = findParameter(parameter);
    return p ? wavesampleFieldPos(wavesample, p->position) : -1;
}

enum Param { StartPage = 60, EndPage = 61, LoopStartPage = 62, LoopEndPage = 63, LoopEndFine = 64, LoopSwitch = 65,
             Octave = 67, TopKey = 72 };

double frequency(double key) { return 440.0 * std::pow(2.0, (key - 69.0) / 12.0); }

int pagesOf(std::size_t samples) { return static_cast<int>((samples + PageBytes - 1) / PageBytes); }

// A zone on its way to a wavesample.
struct Work {
    const Zone* zone = nullptr;
    int top = 0;
    PitchSplit split;
    std::vector<float> audio; // at the wavesample rate, moved to the unity key's pitch class
    double period = 0;        // samples of one cycle at the root pitch
    LoopKind loop = LoopKind::Find;
    int loopStart = 0, loopEnd = 0; // samples; loopEnd exclusive
    int shift = 0;                  // samples of silence put in front
    int fullPages = 0;              // pages of the whole zone, until a cut is reported
    std::vector<std::string> cuts;
    std::optional<double> splice;
};

bool cancelled(const BuildOptions& o) { return o.cancel && o.cancel->load(); }

BuildResult refuse(BuildError e, std::string text)
{
    BuildResult r;
    r.error = e;
    r.text = std::move(text);
    return r;
}

void fadeOut(std::vector<float>& a, int length)
{
    const int n = std::min<int>(length, static_cast<int>(a.size()));
    for (int i = 0; i < n; ++i)
        a[a.size() - 1 - static_cast<std::size_t>(i)] *= static_cast<float>(i) / static_cast<float>(n);
}

} // namespace

PitchSplit splitPitch(double semitones)
{
    PitchSplit s;
    s.octaves = static_cast<int>(std::floor((semitones + 6.0) / 12.0 + 1e-9));
    s.remainder = semitones - 12.0 * s.octaves;
    return s;
}

std::vector<int> thinZones(int count, int keep)
{
    std::vector<int> out;
    if (count <= 0 || keep <= 0)
        return out;
    if (count <= keep) {
        out.resize(static_cast<std::size_t>(count));
        std::iota(out.begin(), out.end(), 0);
        return out;
    }
    if (keep == 1)
        return {count / 2};
    for (int i = 0; i < keep; ++i)
        out.push_back(static_cast<int>(std::lround(static_cast<double>(i) * (count - 1) / (keep - 1))));
    return out;
}

bool onTheKeyboard(const Zone& z)
{
    return !((z.hi != NoKey && z.hi < FirstKey) || (z.lo != NoKey && z.lo > LastKey));
}

namespace {
bool placeable(const Zone& z) { return z.pitch != NoKey && std::isfinite(z.pitch) && onTheKeyboard(z); }
} // namespace

std::vector<Zone> zonesByRoot(const Source& source)
{
    std::vector<Zone> sorted = source.zones;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Zone& a, const Zone& b) {
        return a.pitch != b.pitch ? a.pitch < b.pitch : a.lo < b.lo;
    });
    return sorted;
}

std::vector<int> chosenZones(const std::vector<Zone>& sorted, int keep)
{
    std::vector<int> on;
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (placeable(sorted[i]))
            on.push_back(static_cast<int>(i));
    std::vector<int> chosen;
    for (int k : thinZones(static_cast<int>(on.size()), keep))
        chosen.push_back(on[static_cast<std::size_t>(k)]);
    return chosen;
}

std::vector<int> topKeys(const std::vector<Zone>& zones, bool useRanges)
{
    std::vector<int> tops(zones.size());
    for (std::size_t i = 0; i < zones.size(); ++i) {
        int t = LastKey;
        if (i + 1 < zones.size())
            t = useRanges && zones[i].hi != NoKey ? zones[i].hi : (zones[i].root() + zones[i + 1].root()) / 2;
        t = std::clamp(t, FirstKey, LastKey);
        if (i > 0)
            t = std::max(t, tops[i - 1]);
        tops[i] = t;
    }
    if (!tops.empty())
        tops.back() = LastKey;
    return tops;
}

double spliceDb(const std::vector<float>& a, int start, int length)
{
    const int size = static_cast<int>(a.size());
    const int end = start + length;
    if (start < 0 || length <= 0 || end > size)
        return 0;
    double level = 0;
    for (int i = start; i < end; ++i)
        level += static_cast<double>(a[static_cast<std::size_t>(i)]) * a[static_cast<std::size_t>(i)];
    level = std::sqrt(level / length);
    if (level < 1e-6)
        return -120;
    // The step at the jump: the loop's last samples against those that led
    // into its start, over the few samples either side of the splice that
    // the ear hears as a click; at the very start, the samples after the
    // jump against those after the loop's end.
    constexpr int Near = 4;
    int w = std::min({Near, start, length});
    double diff = 0;
    if (w >= Near) {
        for (int k = 1; k <= w; ++k) {
            const double d = a[static_cast<std::size_t>(end - k)] - a[static_cast<std::size_t>(start - k)];
            diff += d * d;
        }
    } else if ((w = std::min({Near, size - end, length})) >= Near) {
        for (int k = 0; k < w; ++k) {
            const double d = a[static_cast<std::size_t>(start + k)] - a[static_cast<std::size_t>(end + k)];
            diff += d * d;
        }
    } else {
        // Too little either side: the step against the slope before it.
        const double last = a[static_cast<std::size_t>(end - 1)];
        const double before = length > 1 ? a[static_cast<std::size_t>(end - 2)] : last;
        const double d = a[static_cast<std::size_t>(start)] - (2 * last - before);
        diff = d * d;
        w = 1;
    }
    const double rms = std::sqrt(diff / w);
    return rms < 1e-9 ? -120 : std::max(-120.0, 20 * std::log10(rms / level));
}

std::optional<LoopSearch> findLoop(const std::vector<float>& a, int end, double period, int minLength)
{
    end = std::min<int>(end, static_cast<int>(a.size()));
    minLength = std::max(minLength, 16);
    if (end < minLength + PageBytes)
        return std::nullopt;
    const bool cycles = period >= 2 && period * 2 <= end;
    std::optional<LoopSearch> best;
    double bestCost = 0;
    // Starts on page boundaries from a quarter of the way in (the attack
    // stays out of the loop), leaving room for at least one loop.
    const int firstStart = std::max(PageBytes, (end / 4) / PageBytes * PageBytes);
    for (int s = firstStart; s + minLength <= end; s += PageBytes) {
        std::vector<int> lengths;
        if (cycles) {
            for (int n = static_cast<int>(std::floor((end - s) / period)); n >= 1; --n) {
                const int L = static_cast<int>(std::lround(n * period));
                if (L < minLength)
                    break;
                for (int d = -2; d <= 2; ++d)
                    if (s + L + d <= end)
                        lengths.push_back(L + d);
            }
        }
        if (lengths.empty())
            for (int L = end - s; L >= minLength && lengths.size() < 64; L -= 16)
                lengths.push_back(L);
        for (int L : lengths) {
            // The jump, by what precedes each side of the splice; the
            // shorter loop is taken only when clearly smoother.
            const int w = std::min(64, s);
            double diff = 0;
            for (int k = 1; k <= w; ++k) {
                const double d = a[static_cast<std::size_t>(s + L - k)] - a[static_cast<std::size_t>(s - k)];
                diff += d * d;
            }
            const double cost = diff / w * (1.0 + 0.25 * (1.0 - static_cast<double>(s + L) / end));
            if (!best || cost < bestCost) {
                best = LoopSearch{s, L, 0};
                bestCost = cost;
            }
        }
    }
    if (best)
        best->spliceDb = spliceDb(a, best->start, best->length);
    return best;
}

void crossfade(std::vector<float>& a, int start, int loopLength, int length)
{
    const int end = start + loopLength;
    length = std::min({length, start, loopLength / 2});
    if (length <= 0 || end > static_cast<int>(a.size()))
        return;
    for (int i = 0; i < length; ++i) {
        const double t = (i + 0.5) / length * Pi / 2;
        const auto j = static_cast<std::size_t>(end - length + i);
        const auto k = static_cast<std::size_t>(start - length + i);
        a[j] = static_cast<float>(a[j] * std::cos(t) + a[k] * std::sin(t));
    }
}

std::vector<std::uint8_t> toBytes(const std::vector<float>& samples, double gain, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<std::uint8_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double v = 128.0 + samples[i] * gain * 128.0 + uniform(random) + uniform(random);
        out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(v), 1L, 255L));
    }
    return out;
}

std::string BuiltZone::line(int index) const
{
    char text[200];
    std::string loop = "loop off";
    if (looped)
        loop = "loop " + hexByte(static_cast<std::uint8_t>(loopStartPage)) + "-" +
               hexByte(static_cast<std::uint8_t>(loopEndPage)) + " fine " + hexByte(static_cast<std::uint8_t>(loopEndFine)) +
               (foundLoop ? " (found)" : "");
    std::string splice;
    if (spliceDb) {
        char s[32];
        std::snprintf(s, sizeof s, ", splice %.0f dB", *spliceDb);
        splice = s;
    }
    std::snprintf(text, sizeof text, "zone %d: root %s (%d), keys %d-%d, %d pages, ", index, keyName(root).c_str(), root,
                  lo, hi, pages());
    return text + loop + splice;
}

namespace {

// Fits each wavesample's data pages and one end page within the half's 256
// pages: first what comes after each source loop, then the longest zones;
// the refusal when even their least does not fit.
std::optional<BuildResult> fitIntoHalf(std::vector<Work>& work, const BuildOptions& o)
{
    const auto need = [&work]() {
        int pages = 0;
        for (const Work& w : work)
            pages += pagesOf(w.audio.size()) + 1;
        return pages;
    };
    const auto cutTo = [](Work& w, int pages, const char* what) {
        int before = pagesOf(w.audio.size());
        if (pages >= before)
            return;
        before = std::max(before, w.fullPages);
        w.fullPages = 0;
        w.audio.resize(static_cast<std::size_t>(pages) * PageBytes);
        w.cuts.push_back(std::to_string(before - pages) + (before - pages == 1 ? " page " : " pages ") + what);
    };
    // First what comes after each source loop, longest first.
    for (int over = need() - HalfPages; over > 0; over = need() - HalfPages) {
        Work* longest = nullptr;
        int longestTail = 0;
        for (Work& w : work) {
            const int tail = w.loop == LoopKind::Source ? pagesOf(w.audio.size()) - pagesOf(static_cast<std::size_t>(w.loopEnd)) : 0;
            if (tail > longestTail) {
                longest = &w;
                longestTail = tail;
            }
        }
        if (!longest)
            break;
        cutTo(*longest, pagesOf(longest->audio.size()) - std::min(over, longestTail), "after the loop cut");
    }
    // Then the longest zones down to their heads, all to one length: source
    // loops kept where the loops alone fit, else given up for a loop found
    // in what is kept.
    if (need() > HalfPages) {
        const auto floorOf = [&o](const Work& w, bool keepLoops) {
            const int own = pagesOf(w.audio.size());
            const int least = keepLoops && w.loop == LoopKind::Source ? pagesOf(static_cast<std::size_t>(w.loopEnd))
                                                                      : o.minimumPages;
            return std::min(own, std::max(least, 1));
        };
        const auto floors = [&](bool keepLoops) {
            int pages = 0;
            for (const Work& w : work)
                pages += floorOf(w, keepLoops) + 1;
            return pages;
        };
        const bool keepLoops = floors(true) <= HalfPages;
        if (floors(false) > HalfPages)
            return refuse(BuildError::DoesNotFit,
                          std::to_string(work.size()) + " zones need at least " + std::to_string(floors(false)) +
                              " pages, and a half holds 256: keep fewer zones.");
        const auto atCap = [&](int c) {
            int pages = 0;
            for (const Work& w : work)
                pages += std::max(floorOf(w, keepLoops), std::min(pagesOf(w.audio.size()), c)) + 1;
            return pages;
        };
        int cap = MaxDataPages;
        while (cap > 1 && atCap(cap) > HalfPages)
            --cap;
        for (Work& w : work) {
            cutTo(w, std::max(floorOf(w, keepLoops), std::min(pagesOf(w.audio.size()), cap)), "cut from the end to fit");
            if (w.loop == LoopKind::Source && w.loopEnd > static_cast<int>(w.audio.size())) {
                w.loop = LoopKind::Find;
                w.cuts.push_back("its own loop lay past what fits; a loop was found instead");
            }
        }
    }
    return std::nullopt;
}

// Loops found where the source gives none, and each loop's splice measured;
// one-shots fade out where cut.
void placeLoops(std::vector<Work>& work, const BuildOptions& o)
{
    for (Work& w : work) {
        const int size = static_cast<int>(w.audio.size());
        if (w.loop == LoopKind::Off) {
            if (w.fullPages > pagesOf(w.audio.size()))
                w.cuts.push_back(std::to_string(w.fullPages - pagesOf(w.audio.size())) +
                                 " pages cut from the end: a wavesample holds 255");
            if (!w.cuts.empty())
                fadeOut(w.audio, PageBytes);
        } else if (w.loop == LoopKind::Find) {
            const int minLength = std::max(PageBytes, static_cast<int>(std::ceil(w.period)));
            if (const auto found = findLoop(w.audio, size, w.period, minLength)) {
                w.loopStart = found->start;
                w.loopEnd = found->start + found->length;
                crossfade(w.audio, w.loopStart, found->length,
                          static_cast<int>(o.crossfadeMs * WavesampleRate / 1000.0));
                w.audio.resize(static_cast<std::size_t>(w.loopEnd));
            } else {
                // Too short to look in: the last page loops.
                w.loopEnd = size;
                w.loopStart = (size - 1) / PageBytes * PageBytes;
                if (w.loopEnd - w.loopStart < 16 && w.loopStart >= PageBytes)
                    w.loopStart -= PageBytes;
            }
        }
        if (w.loop != LoopKind::Off)
            w.splice = spliceDb(w.audio, w.loopStart, w.loopEnd - w.loopStart);
    }
}

// The zones the half is made of: those chosen (`o.keep`), or up to
// `o.zones` of those on the keyboard, with notes on what was left out;
// `useRanges` when their own key ranges are kept. A refusal when none can
// be used.
std::optional<BuildResult> chooseZones(const Source& source, const BuildOptions& o, std::vector<std::string>& notes,
                                       std::vector<Zone>& zones, bool& useRanges)
{
    const std::vector<Zone> sorted = zonesByRoot(source);
    const int onKeyboard = static_cast<int>(std::count_if(sorted.begin(), sorted.end(), placeable));
    std::vector<int> keep = o.keep;
    if (!keep.empty()) {
        std::sort(keep.begin(), keep.end());
        keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
        if (static_cast<int>(keep.size()) > MaxWavesamples || keep.front() < 0 ||
            keep.back() >= static_cast<int>(sorted.size()))
            return refuse(BuildError::NoZones, "Choose from 1 to 8 of the source's zones.");
    } else {
        if (onKeyboard == 0)
            return refuse(BuildError::NoZones, "No zone of the source has a root note and lies on the keyboard (" +
                                                   keyName(FirstKey) + "-" + keyName(LastKey) + ").");
        const auto rootless = std::count_if(sorted.begin(), sorted.end(), [](const Zone& z) { return z.pitch == NoKey; });
        if (const int n = static_cast<int>(sorted.size() - rootless) - onKeyboard; n > 0)
            notes.push_back(std::to_string(n) + (n == 1 ? " zone" : " zones") + " off the keyboard (" +
                            keyName(FirstKey) + "-" + keyName(LastKey) + ") left out.");
        if (rootless > 0)
            notes.push_back(std::to_string(rootless) + (rootless == 1 ? " zone" : " zones") +
                            " without a root note left out.");
        keep = chosenZones(sorted, std::clamp(o.zones, 1, MaxWavesamples));
    }
    for (int i : keep)
        if (const Zone& z = sorted[static_cast<std::size_t>(i)]; z.pitch == NoKey || !std::isfinite(z.pitch))
            return refuse(BuildError::NoRoot, "\"" + z.name + "\" has no root note: give it one.");
    const bool thinned = static_cast<int>(keep.size()) < (o.keep.empty() ? onKeyboard : static_cast<int>(sorted.size()));
    if (thinned) {
        std::string kept;
        for (int i : keep)
            kept += (kept.empty() ? "" : ", ") + keyName(sorted[static_cast<std::size_t>(i)].root());
        notes.push_back(std::to_string(o.keep.empty() ? onKeyboard : sorted.size()) + " zones thinned to " +
                        std::to_string(keep.size()) + ": roots " + kept + ".");
    }
    for (int i : keep)
        zones.push_back(sorted[static_cast<std::size_t>(i)]);
    // Files spread over the keyboard share it again among those kept.
    if (source.spread && thinned) {
        const int count = static_cast<int>(zones.size());
        for (int i = 0; i < count; ++i) {
            Zone& z = zones[static_cast<std::size_t>(i)];
            z.lo = FirstKey + i * 61 / count;
            z.hi = FirstKey + (i + 1) * 61 / count - 1;
            z.pitch = (z.lo + z.hi) / 2;
        }
    }
    useRanges = (!thinned || source.spread) &&
                std::all_of(zones.begin(), zones.end(), [](const Zone& z) { return z.hi != NoKey; });
    return std::nullopt;
}

// One zone read into `w`: resampled to the wavesample rate and moved by the
// remainder of its transposition from `unity`; a source loop placed on a
// page. A refusal when it cannot be read or holds nothing.
std::optional<BuildResult> readZone(const Zone& z, int top, int unity, Work& w, std::vector<std::string>& notes)
{
    w.zone = &z;
    w.top = top;
    w.split = splitPitch(z.pitch - unity);
    w.loop = z.loop;
    if (!z.read)
        return refuse(BuildError::Audio, "\"" + z.name + "\" cannot be read.");
    // Enough source for a whole half at any rate up to 192 kHz, or for
    // the source loop.
    std::int64_t want = std::int64_t{1} << 20;
    if (z.loop == LoopKind::Source)
        want = std::max<std::int64_t>(want, z.loopEnd + 64);
    ZoneAudio audio = z.read(want);
    if (!audio.error.empty())
        return refuse(BuildError::Audio, audio.error);
    for (std::string& n : audio.notes)
        notes.push_back(std::move(n));
    const double ratio = static_cast<double>(WavesampleRate) / audio.rate * std::pow(2.0, w.split.remainder / 12.0);
    // No more source than fills a half (or reaches the source loop's end).
    std::size_t needed = static_cast<std::size_t>(MaxDataPages * PageBytes / ratio) + 64;
    if (z.loop == LoopKind::Source)
        needed = std::max<std::size_t>(needed, static_cast<std::size_t>(z.loopEnd) + 64);
    if (audio.samples.size() > needed)
        audio.samples.resize(needed);
    if (!audio::resampleMono(audio.samples, ratio, w.audio))
        return refuse(BuildError::Audio, "The audio library libsamplerate is not available to resample \"" + z.name + "\".");
    w.period = WavesampleRate / frequency(z.pitch - w.split.remainder);
    if (z.loop == LoopKind::Source) {
        const int ls = static_cast<int>(std::lround(static_cast<double>(z.loopStart) * ratio));
        const int len = std::max(1, static_cast<int>(std::lround(static_cast<double>(z.loopEnd - z.loopStart) * ratio)));
        w.shift = (PageBytes - ls % PageBytes) % PageBytes;
        if (ls + w.shift + len > MaxDataPages * PageBytes) {
            w.loop = LoopKind::Find;
            w.cuts.push_back("its loop ends past what a half holds; a loop was looked for instead");
        } else {
            w.audio.insert(w.audio.begin(), static_cast<std::size_t>(w.shift), 0.0f);
            w.loopStart = ls + w.shift;
            w.loopEnd = w.loopStart + len;
            if (static_cast<int>(w.audio.size()) < w.loopEnd)
                w.audio.resize(static_cast<std::size_t>(w.loopEnd), 0.0f);
        }
    }
    // What a wavesample can hold at most; a cut is counted from the
    // whole zone.
    w.fullPages = pagesOf(static_cast<std::size_t>(static_cast<double>(std::max<std::int64_t>(z.frames, 0)) * ratio) + w.shift);
    if (static_cast<int>(w.audio.size()) > MaxDataPages * PageBytes)
        w.audio.resize(MaxDataPages * PageBytes);
    if (w.audio.empty())
        return refuse(BuildError::Audio, "\"" + z.name + "\" holds no audio.");
    return std::nullopt;
}

// One gain for the half, so that the zones keep their levels.
double halfGain(const std::vector<Work>& work)
{
    float peak = 0;
    for (const Work& w : work)
        for (float x : w.audio)
            peak = std::max(peak, std::abs(x));
    return peak > 0 ? (126.0 / 128.0) / peak : 1.0;
}

// The program dump and the sample memory of the half built from `work`,
// into `result`: each wavesample's pages one after the other, its loop, its
// octave and its top key.
void writeHalf(const std::vector<Work>& work, const sound::Bytes& templateDump, int half, int octaveStep, double gain,
               BuildResult& result)
{
    sound::Bytes dump = templateDump;
    dump[3] = half ? 0x15 : 0x05;
    disk::SlotData data;
    int cursor = 0;
    const auto set = [&dump](int w, int parameter, int value) {
        setNibblePair(dump.data(), dump.size(), fieldPos(w, parameter), std::clamp(value, 0, 255));
    };
    for (std::size_t i = 0; i < work.size(); ++i) {
        const Work& w = work[i];
        const int ws = static_cast<int>(i);
        BuiltZone b;
        b.name = w.zone->name;
        b.root = w.zone->root();
        b.lo = i == 0 ? FirstKey : work[i - 1].top + 1;
        b.hi = w.top;
        std::vector<std::uint8_t> bytes = toBytes(w.audio, gain, 0x2B5Du + static_cast<std::uint32_t>(i));
        const int dataPages = pagesOf(bytes.size());
        bytes.resize(static_cast<std::size_t>(dataPages + 1) * PageBytes, 0x80); // and the end page
        b.startPage = cursor;
        b.endPage = cursor + dataPages;
        std::copy(bytes.begin(), bytes.end(), data.memory.begin() + static_cast<std::ptrdiff_t>(cursor) * PageBytes);
        cursor = b.endPage + 1;
        b.bytes = std::move(bytes);
        b.looped = w.loop != LoopKind::Off;
        b.foundLoop = w.loop == LoopKind::Find;
        if (b.looped) {
            b.loopStartPage = b.startPage + w.loopStart / PageBytes;
            b.loopEndPage = b.startPage + (w.loopEnd - 1) / PageBytes;
            b.loopEndFine = (w.loopEnd - 1) % PageBytes;
            b.loopLength = w.loopEnd - w.loopStart;
            b.spliceDb = w.splice;
        } else {
            b.loopStartPage = b.loopEndPage = b.endPage - 1;
            b.loopEndFine = 0xFF;
        }
        const int templateOctave = getNibblePair(dump.data(), dump.size(), fieldPos(ws, Octave));
        const int octave = templateOctave - w.split.octaves * octaveStep;
        b.octave = std::clamp(octave, 0, 7);
        if (b.octave != octave)
            result.notes.push_back("\"" + b.name + "\" lies " + std::to_string(std::abs(w.split.octaves)) +
                                   " octaves from the unity key: its octave field stops at " + std::to_string(b.octave) + ".");
        b.resample = w.split.remainder;
        b.cuts = w.cuts;
        set(ws, StartPage, b.startPage);
        set(ws, EndPage, b.endPage);
        set(ws, LoopStartPage, b.loopStartPage);
        set(ws, LoopEndPage, b.loopEndPage);
        set(ws, LoopEndFine, b.loopEndFine);
        set(ws, LoopSwitch, b.looped ? 1 : 0);
        set(ws, Octave, b.octave);
        set(ws, TopKey, b.hi - FirstKey);
        result.zones.push_back(std::move(b));
    }
    // Wavesamples left over play what the last one plays, over no keys of
    // their own, and take no memory of their own.
    const int last = static_cast<int>(work.size()) - 1;
    for (int ws = last + 1; ws < MaxWavesamples; ++ws)
        std::copy_n(dump.begin() + wavesampleFieldPos(last, 0), 48, dump.begin() + wavesampleFieldPos(ws, 0));

    data.program = disk::programDataOf(dump);
    result.half = disk::halfOf(data, half);
}

} // namespace

BuildResult buildHalf(const Source& source, const BuildOptions& o)
{
    if (!source.ok())
        return refuse(BuildError::Source, source.error);
    const sound::Bytes& t = o.templateDump;
    if (t.size() != ProgramDumpSize || t[0] != 0xF0 || t[1] != 0x0F || t[2] != 0x01 ||
        (t[3] != 0x05 && t[3] != 0x15) || !nibbleData(t.data(), t.size()))
        return refuse(BuildError::Template, "The template is not a program dump of a keyboard half (1,255 bytes, F0 0F 01 05 or 15).");
    if (source.zones.empty())
        return refuse(BuildError::NoZones, "The source holds no zones.");

    BuildResult result;
    result.notes = source.notes;
    const int half = o.half & 1;
    const int unity = o.unityKey == NoKey ? DefaultUnityKey[half] : o.unityKey;

    std::vector<Zone> zones;
    bool useRanges = false;
    if (auto refused = chooseZones(source, o, result.notes, zones, useRanges))
        return std::move(*refused);
    const std::vector<int> tops = topKeys(zones, useRanges);

    std::vector<Work> work(zones.size());
    const double total = static_cast<double>(zones.size()) + 1;
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (cancelled(o))
            return refuse(BuildError::Cancelled, "Build cancelled.");
        if (auto refused = readZone(zones[i], tops[i], unity, work[i], result.notes))
            return std::move(*refused);
        if (o.progress)
            o.progress((static_cast<double>(i) + 1) / total);
    }

    if (auto refused = fitIntoHalf(work, o))
        return std::move(*refused);
    placeLoops(work, o);

    const double gain = halfGain(work);
    result.gainDb = 20 * std::log10(gain);
    writeHalf(work, t, half, o.octaveStep, gain, result);
    if (o.progress)
        o.progress(1.0);
    return result;
}

} // namespace corvane::build
