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
             Octave = 67, FineTune = 68, RelativeAmplitude = 69, TopKey = 72 };

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

PitchSplit splitPitch(double semitones, int mostOctaves, int leastOctaves)
{
    PitchSplit s;
    s.octaves = std::clamp(static_cast<int>(std::floor((semitones + 6.0) / 12.0 + 1e-9)), leastOctaves, mostOctaves);
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

bool hasRoot(const Zone& z) { return z.pitch != NoKey && std::isfinite(z.pitch); }
// A kit's drums and spread files are given keys of their own, wherever
// their source put them.
bool placeable(const Zone& z, bool ownKeys = false) { return hasRoot(z) && (ownKeys || onTheKeyboard(z)); }

// The key a zone's source plays it on: the middle of its keys.
int sourceKey(const Zone& z) { return z.lo == NoKey ? z.root() : (z.lo + (z.hi == NoKey ? z.lo : z.hi)) / 2; }

// The key a kit plays a drum on: the key of its role when its keys hold
// one (a kick over 35-36 is the kick of 36), else the middle of its keys.
int drumKey(const Zone& z)
{
    const int hi = z.hi == NoKey ? z.lo : z.hi;
    for (const DrumRole& role : drumRoles())
        for (const int key : role.keys)
            if (z.lo != NoKey && z.lo <= key && key <= hi)
                return key;
    return sourceKey(z);
}

std::string plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The pages of a zone at the wavesample rate that are worth keeping: to
// the end of its own loop, else all of it; 0 when not known before reading.
double wantedPages(const Zone& z)
{
    if (z.rate <= 0 || z.frames <= 0)
        return 0;
    const std::int64_t frames = z.loop == LoopKind::Source ? std::min(z.frames, z.loopEnd) : z.frames;
    return std::min(static_cast<double>(MaxDataPages), static_cast<double>(frames) * WavesampleRate / z.rate / PageBytes);
}

// What `count` zones of `sorted` (at `ids`) would give: the farthest any
// key plays from its zone's root, and the pages each keeps when the half is
// shared among them (`whole` when every zone fits as it is).
struct Trial {
    std::vector<int> ids;
    int transposition = 0;
    double pagesEach = 0;
    bool whole = true;
};

Trial tryZones(const std::vector<Zone>& sorted, std::vector<int> ids)
{
    Trial t;
    t.ids = std::move(ids);
    std::vector<Zone> zones;
    for (int i : t.ids)
        zones.push_back(sorted[static_cast<std::size_t>(i)]);
    const std::vector<int> tops = topKeys(zones, false);
    std::vector<double> wanted;
    // Between the lowest and the highest root on the keyboard: the keys
    // beyond them are as far from a root whatever is chosen.
    int lowest = LastKey, highest = FirstKey;
    for (const Zone& z : sorted)
        if (placeable(z)) {
            lowest = std::min(lowest, std::max(z.root(), FirstKey));
            highest = std::max(highest, std::min(z.root(), LastKey));
        }
    for (std::size_t i = 0; i < zones.size(); ++i) {
        const int lo = std::max(i == 0 ? FirstKey : tops[i - 1] + 1, lowest);
        const int hi = std::min(tops[i], highest);
        const int root = zones[i].root();
        t.transposition = std::max({t.transposition, root - lo, hi - root});
        wanted.push_back(wantedPages(zones[i]));
    }
    // One length for the longest zones, as the fit cuts them.
    const auto total = [&](double cap) {
        double pages = 0;
        for (const double w : wanted)
            pages += std::ceil(w > 0 ? std::min(w, cap) : 1) + 1;
        return pages;
    };
    double cap = MaxDataPages;
    t.whole = total(cap) <= HalfPages;
    while (cap > 1 && total(cap) > HalfPages)
        cap -= 1;
    double least = MaxDataPages;
    for (const double w : wanted)
        if (w > 0)
            least = std::min(least, std::min(w, cap));
    t.pagesEach = least;
    return t;
}

std::string seconds(double pages)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", pages * PageBytes / WavesampleRate);
    return text;
}

} // namespace

std::vector<Zone> zonesByRoot(const Source& source)
{
    std::vector<Zone> sorted = source.zones;
    if (source.kit) {
        std::stable_sort(sorted.begin(), sorted.end(), [](const Zone& a, const Zone& b) { return sourceKey(a) < sourceKey(b); });
        return sorted;
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Zone& a, const Zone& b) {
        return a.pitch != b.pitch ? a.pitch < b.pitch : a.lo < b.lo;
    });
    return sorted;
}

const std::vector<DrumRole>& drumRoles()
{
    static const std::vector<DrumRole> roles = {
        {"kick", {36, 35}},          {"snare", {38, 40}},          {"closed hi-hat", {42, 44}},
        {"open hi-hat", {46, 44}},   {"low tom", {45, 41, 43}},    {"high tom", {48, 50, 47}},
        {"crash", {49, 57, 55, 52}}, {"hand clap or ride", {39, 51, 59, 53}},
    };
    return roles;
}

ZoneChoice chooseAutomatically(const std::vector<Zone>& sorted, int atMost, bool kit, bool spread)
{
    ZoneChoice choice;
    atMost = std::clamp(atMost, 1, MaxWavesamples);
    std::vector<int> on;
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (placeable(sorted[i], kit || spread))
            on.push_back(static_cast<int>(i));
    if (on.empty())
        return choice;
    if (kit) {
        // Each role takes the first of its keys the kit plays; the roles
        // missing are made up from the other drums, evenly spaced.
        std::string roles;
        for (const DrumRole& role : drumRoles()) {
            if (static_cast<int>(choice.zones.size()) >= atMost)
                break;
            for (const int key : role.keys) {
                const auto it = std::find_if(on.begin(), on.end(), [&](int i) {
                    const Zone& z = sorted[static_cast<std::size_t>(i)];
                    const int hi = z.hi == NoKey ? z.lo : z.hi;
                    return z.lo != NoKey && z.lo <= key && key <= hi &&
                           std::find(choice.zones.begin(), choice.zones.end(), i) == choice.zones.end();
                });
                if (it != on.end()) {
                    choice.zones.push_back(*it);
                    roles += (roles.empty() ? "" : ", ") + std::string(role.name) + " " + keyName(key);
                    break;
                }
            }
        }
        std::vector<int> rest;
        for (int i : on)
            if (std::find(choice.zones.begin(), choice.zones.end(), i) == choice.zones.end())
                rest.push_back(i);
        const int missing = std::min<int>(atMost - static_cast<int>(choice.zones.size()), static_cast<int>(rest.size()));
        for (int k : thinZones(static_cast<int>(rest.size()), missing))
            choice.zones.push_back(rest[static_cast<std::size_t>(k)]);
        std::sort(choice.zones.begin(), choice.zones.end());
        choice.why = "A kit: " + plural(choice.zones.size(), "drum", "drums") + " of " + std::to_string(on.size()) +
                     " by role (" + (roles.empty() ? std::string("none found") : roles) +
                     "), in key order, each at its own pitch over its keys.";
        return choice;
    }
    if (spread) {
        for (int k : thinZones(static_cast<int>(on.size()), atMost))
            choice.zones.push_back(on[static_cast<std::size_t>(k)]);
        return choice;
    }
    // One zone per root: a second zone on a root adds pages, not keys.
    std::vector<int> roots;
    for (int i : on)
        if (roots.empty() || sorted[static_cast<std::size_t>(roots.back())].root() != sorted[static_cast<std::size_t>(i)].root())
            roots.push_back(i);
    std::vector<Trial> trials;
    for (int n = 1; n <= std::min<int>(atMost, static_cast<int>(roots.size())); ++n) {
        std::vector<int> ids;
        for (int k : thinZones(static_cast<int>(roots.size()), n))
            ids.push_back(roots[static_cast<std::size_t>(k)]);
        trials.push_back(tryZones(sorted, ids));
    }
    const Trial* pick = nullptr;
    for (const Trial& t : trials) // the most zones kept whole within the bound
        if (t.whole && t.transposition <= MostTransposition)
            pick = &t;
    if (!pick)
        for (const Trial& t : trials) // else the fewest within the bound
            if (t.transposition <= MostTransposition) {
                pick = &t;
                break;
            }
    if (!pick) // else as many as there are
        pick = &trials.back();
    choice.zones = pick->ids;
    const std::size_t n = pick->ids.size();
    std::string why = plural(n, "zone", "zones") + " chosen of " + std::to_string(roots.size()) +
                      (roots.size() == 1 ? " root" : " roots") + ": each key plays at most " +
                      plural(static_cast<std::size_t>(pick->transposition), "semitone", "semitones") +
                      " from its zone's root";
    if (pick->transposition > MostTransposition)
        why += " (the source has no more roots to spread over the keyboard)";
    const int lowest = std::max(sorted[static_cast<std::size_t>(roots.front())].root(), FirstKey);
    const int highest = std::min(sorted[static_cast<std::size_t>(roots.back())].root(), LastKey);
    if (lowest - FirstKey > MostTransposition || LastKey - highest > MostTransposition)
        why += " between the source's lowest and highest roots (" + keyName(lowest) + ", " + keyName(highest) +
               "), farther beyond them";
    if (pick->whole) {
        why += n > 1 ? ", and all are kept whole" : ", kept whole";
        if (n < roots.size() && n == static_cast<std::size_t>(atMost))
            why += " (at most " + std::to_string(atMost) + ")";
        else if (n < roots.size())
            why += "; more would be cut";
    } else {
        why += ", with " + seconds(pick->pagesEach) + " of each kept";
        const auto next = static_cast<std::size_t>(n);
        if (next < trials.size())
            why += "; " + std::to_string(n + 1) + " would keep " + seconds(trials[next].pagesEach);
        if (n >= 2 && trials[n - 2].transposition > MostTransposition)
            why += "; " + std::to_string(n - 1) + " would play keys " +
                   plural(static_cast<std::size_t>(trials[n - 2].transposition), "semitone", "semitones") + " away";
    }
    choice.why = why + ".";
    return choice;
}

std::vector<int> chosenZones(const std::vector<Zone>& sorted, int keep, bool kit, bool spread)
{
    return chooseAutomatically(sorted, keep, kit, spread).zones;
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
    std::snprintf(text, sizeof text, "zone %d: root %s (%d), keys %d-%d, %d %s, ", index, keyName(root).c_str(), root,
                  lo, hi, pages(), pages() == 1 ? "page" : "pages");
    return text + loop + splice;
}

std::vector<std::string> reportLines(const BuildResult& r)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < r.zones.size(); ++i) {
        lines.push_back(r.zones[i].line(static_cast<int>(i) + 1) + "  [" + r.zones[i].name + "]");
        for (const std::string& cut : r.zones[i].cuts)
            lines.push_back("  cut: " + cut);
    }
    for (const std::string& n : r.notes)
        lines.push_back("note: " + n);
    char gain[64];
    std::snprintf(gain, sizeof gain, "gain %+.1f dB for the half", r.gainDb);
    lines.push_back(gain);
    return lines;
}

std::string builtSummary(const BuildResult& r)
{
    int pages = 0;
    for (const BuiltZone& z : r.zones)
        pages += z.pages();
    const std::size_t n = r.zones.size();
    std::string text = "Built: " + std::to_string(n) + (n == 1 ? " wavesample" : " wavesamples") + " in " +
                       std::to_string(pages) + " of 256 pages";
    if (n + 1 == MaxWavesamples)
        text += " (wavesample 8 plays wavesample 7's pages)";
    else if (n > 0 && n < MaxWavesamples)
        text += " (wavesamples " + std::to_string(n + 1) + "-8 play wavesample " + std::to_string(n) + "'s pages)";
    return text + ".";
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

// The zones the half is made of: those chosen (`o.keep`), or those the
// builder chooses (at most `o.zones`), with notes on what was left out and
// why; `useRanges` when their own key ranges are kept. The account is the
// same whoever chose: the window ticks the builder's choice to begin with.
// A refusal when none can be used.
std::optional<BuildResult> chooseZones(const Source& source, const BuildOptions& o, std::vector<std::string>& notes,
                                       std::vector<Zone>& zones, bool& useRanges)
{
    const std::vector<Zone> sorted = zonesByRoot(source);
    const bool ownKeys = source.kit || source.spread;
    const ZoneChoice automatic = chooseAutomatically(sorted, o.zones, source.kit, source.spread);
    std::vector<int> keep = o.keep;
    if (!keep.empty()) {
        std::sort(keep.begin(), keep.end());
        keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
        if (static_cast<int>(keep.size()) > MaxWavesamples || keep.front() < 0 ||
            keep.back() >= static_cast<int>(sorted.size()))
            return refuse(BuildError::NoZones, "Choose from 1 to 8 of the source's zones.");
    } else {
        if (automatic.zones.empty())
            return refuse(BuildError::NoZones, "No zone of the source has a root note and lies on the keyboard (" +
                                                   keyName(FirstKey) + "-" + keyName(LastKey) + ").");
        keep = automatic.zones;
    }
    for (int i : keep)
        if (!hasRoot(sorted[static_cast<std::size_t>(i)]))
            return refuse(BuildError::NoRoot, "\"" + sorted[static_cast<std::size_t>(i)].name + "\" has no root note: give it one.");
    // What was left out: off the keyboard, without a root, or thinned.
    const auto kept = [&keep](std::size_t i) { return std::find(keep.begin(), keep.end(), static_cast<int>(i)) != keep.end(); };
    std::size_t off = 0, rootless = 0, candidates = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Zone& z = sorted[i];
        if (!hasRoot(z))
            rootless += kept(i) ? 0 : 1;
        else if (!placeable(z, ownKeys) && !kept(i))
            ++off;
        else
            ++candidates;
    }
    if (off > 0)
        notes.push_back(plural(off, "zone", "zones") + " off the keyboard (" + keyName(FirstKey) + "-" + keyName(LastKey) +
                        ") left out.");
    if (rootless > 0)
        notes.push_back(plural(rootless, "zone", "zones") + " without a root note left out.");
    const bool thinned = keep.size() < candidates;
    if (thinned) {
        std::string roots;
        for (int i : keep)
            roots += (roots.empty() ? "" : ", ") + keyName(source.kit ? drumKey(sorted[static_cast<std::size_t>(i)])
                                                                      : sorted[static_cast<std::size_t>(i)].root());
        notes.push_back(std::to_string(candidates) + " zones thinned to " + std::to_string(keep.size()) +
                        (source.kit ? ": keys " : ": roots ") + roots + ".");
    }
    if (keep == automatic.zones && !automatic.why.empty())
        notes.push_back(automatic.why);
    else if (!o.keep.empty() && thinned)
        notes.push_back("The zones were chosen by hand.");
    for (int i : keep) {
        const Zone& z = sorted[static_cast<std::size_t>(i)];
        // Two zones on one root would share its keys: the second could
        // never sound. The first is kept.
        if (!ownKeys && !zones.empty() && zones.back().root() == z.root()) {
            notes.push_back("\"" + z.name + "\" has the same root as \"" + zones.back().name + "\" (" + keyName(z.root()) +
                            "): left out.");
            continue;
        }
        zones.push_back(z);
        // A loop no half can hold is given up before anything is read.
        if (Zone& k = zones.back(); k.loop == LoopKind::Source && !loopCanFit(k.loopStart, k.loopEnd, k.rate)) {
            k.loop = LoopKind::Find;
            notes.push_back("\"" + k.name + "\": its own loop lies past what a half holds; a loop is looked for instead.");
        }
    }
    // A kit's drums and spread files share the keyboard equally, in their
    // order, each sounding in the middle of its keys as it sounded on its
    // own key.
    if (ownKeys) {
        const int count = static_cast<int>(zones.size());
        for (int i = 0; i < count; ++i) {
            Zone& z = zones[static_cast<std::size_t>(i)];
            const int from = source.kit ? drumKey(z) : sourceKey(z);
            z.lo = FirstKey + i * 61 / count;
            z.hi = FirstKey + (i + 1) * 61 / count - 1;
            z.pitch += (z.lo + z.hi) / 2 - from;
            if (z.loop == LoopKind::Find)
                z.loop = LoopKind::Off;
        }
    }
    useRanges = (!thinned || ownKeys) &&
                std::all_of(zones.begin(), zones.end(), [](const Zone& z) { return z.hi != NoKey; });
    return std::nullopt;
}

// One zone read into `w`: resampled to the wavesample rate and moved by the
// remainder of its transposition from `unity`; a source loop placed on a
// page. A refusal when it cannot be read or holds nothing.
std::optional<BuildResult> readZone(const Zone& z, int top, int unity, PitchSplit room, Work& w,
                                    std::vector<std::string>& notes)
{
    w.zone = &z;
    w.top = top;
    w.split = splitPitch(z.pitch - unity, room.octaves, static_cast<int>(room.remainder));
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
    // The source's own level for the zone, before the half's one gain.
    if (const auto level = static_cast<float>(std::pow(10.0, z.gainDb / 20.0)); level != 1.0f)
        for (float& x : audio.samples)
            x *= level;
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
//
// The half is tuned and levelled as one: every wavesample takes one fine
// tune (`fineTune`, or the template's first wavesample's), the relative
// amplitude of the template's first wavesample, and an octave field of the
// first one's less the octaves its zone was moved by. The rest of each
// wavesample and the programs are the template's.
void writeHalf(const std::vector<Work>& work, const sound::Bytes& templateDump, int half, int octaveStep, int fineTune,
               double gain, BuildResult& result)
{
    sound::Bytes dump = templateDump;
    const int baseOctave = getNibblePair(dump.data(), dump.size(), fieldPos(0, Octave));
    const int fine = fineTune >= 0 ? std::min(fineTune, 255) : getNibblePair(dump.data(), dump.size(), fieldPos(0, FineTune));
    const int amplitude = getNibblePair(dump.data(), dump.size(), fieldPos(0, RelativeAmplitude));
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
        const int octave = baseOctave - w.split.octaves * octaveStep;
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
        set(ws, FineTune, fine);
        set(ws, RelativeAmplitude, amplitude);
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
    result.fineTune = fine;
    result.notes.push_back("Set by the builder in each wavesample: start, end and loop pages, loop end fine, loop "
                           "switch, octave (" + std::to_string(baseOctave) + " less the octaves each zone was moved), "
                           "fine tune " + std::to_string(fine) + ", relative amplitude " + std::to_string(amplitude) +
                           ", top key; the rest and the programs are the template's.");
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
    if (!source.preset.empty())
        result.notes.insert(result.notes.begin(), "Preset " + source.preset + ".");
    if (!source.unknownOpcodes.empty()) {
        std::string list;
        for (const std::string& op : source.unknownOpcodes)
            list += (list.empty() ? "" : ", ") + op;
        result.notes.push_back("SFZ opcodes not taken into account: " + list + ".");
    }
    const int half = o.half & 1;
    const int unity = o.unityKey == NoKey ? DefaultUnityKey[half] : o.unityKey;

    std::vector<Zone> zones;
    bool useRanges = false;
    if (auto refused = chooseZones(source, o, result.notes, zones, useRanges))
        return std::move(*refused);
    const std::vector<int> tops = topKeys(zones, useRanges);

    // The octaves the octave field can move a zone by from the template's
    // first wavesample's; those beyond are resampled.
    const int base = getNibblePair(t.data(), t.size(), fieldPos(0, Octave));
    const int step = std::max(1, o.octaveStep);
    const PitchSplit room{std::max(0, base) / step, -static_cast<double>(std::max(0, 7 - base) / step)};
    std::vector<Work> work(zones.size());
    const double total = static_cast<double>(zones.size()) + 1;
    for (std::size_t i = 0; i < zones.size(); ++i) {
        if (cancelled(o))
            return refuse(BuildError::Cancelled, "Build cancelled.");
        if (auto refused = readZone(zones[i], tops[i], unity, room, work[i], result.notes))
            return std::move(*refused);
        if (o.progress)
            o.progress((static_cast<double>(i) + 1) / total);
    }

    if (auto refused = fitIntoHalf(work, o))
        return std::move(*refused);
    placeLoops(work, o);

    const double gain = halfGain(work);
    result.gainDb = 20 * std::log10(gain);
    writeHalf(work, t, half, o.octaveStep, o.fineTune, gain, result);
    if (o.progress)
        o.progress(1.0);
    return result;
}

} // namespace corvane::build
