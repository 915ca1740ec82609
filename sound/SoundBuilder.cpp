#include "SoundBuilder.h"

#include "AudioConvert.h"
#include "DiskImage.h"
#include "Dumps.h"
#include "HexText.h"
#include "Parameters.h"

#include <algorithm>
#include <array>
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
    std::vector<float> whole; // the audio as read, before the fit cut it and the loop was made
    double period = 0;        // samples of one cycle at the root pitch
    LoopKind loop = LoopKind::Find;
    int loopStart = 0, loopEnd = 0; // samples; loopEnd exclusive
    int fullPages = 0;              // pages of the whole zone
    int budget = 0;                 // pages the fit gives it
    float step = 0;                 // one step of the 8-bit data at the half's gain, as estimated
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

// A source loop moved forward onto the next page boundary (where the
// instrument's loop start must lie) without changing what plays: the
// samples it now reaches past its old end are its own first ones, so a held
// note runs through the same samples as before, and no silence is put in
// front of the attack. A loop shorter than the move is repeated.
void loopOnAPage(std::vector<float>& a, int& loopStart, int& loopEnd)
{
    const int move = (PageBytes - loopStart % PageBytes) % PageBytes;
    if (move == 0)
        return;
    if (static_cast<int>(a.size()) < loopEnd + move)
        a.resize(static_cast<std::size_t>(loopEnd + move), 0.0f);
    for (int k = 0; k < move; ++k)
        a[static_cast<std::size_t>(loopEnd + k)] = a[static_cast<std::size_t>(loopStart + k)];
    loopStart += move;
    loopEnd += move;
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

namespace {

// A kit: each role takes the first of its keys the kit plays; the roles
// missing are made up from the other drums, evenly spaced.
ZoneChoice chooseDrums(const std::vector<Zone>& sorted, const std::vector<int>& on, int atMost)
{
    ZoneChoice choice;
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

// Why the trial `pick` (of `trials`, one for each count of zones) was
// chosen, against the trials either side of it.
std::string whyZones(const std::vector<Zone>& sorted, const std::vector<int>& roots, const std::vector<Trial>& trials,
                     const Trial& pick, int atMost)
{
    const std::size_t n = pick.ids.size();
    std::string why = plural(n, "zone", "zones") + " chosen of " + std::to_string(roots.size()) +
                      (roots.size() == 1 ? " root" : " roots") + ": each key plays at most " +
                      plural(static_cast<std::size_t>(pick.transposition), "semitone", "semitones") +
                      " from its zone's root";
    if (pick.transposition > MostTransposition)
        why += " (the source has no more roots to spread over the keyboard)";
    const int lowest = std::max(sorted[static_cast<std::size_t>(roots.front())].root(), FirstKey);
    const int highest = std::min(sorted[static_cast<std::size_t>(roots.back())].root(), LastKey);
    if (lowest - FirstKey > MostTransposition || LastKey - highest > MostTransposition)
        why += " between the source's lowest and highest roots (" + keyName(lowest) + ", " + keyName(highest) +
               "), farther beyond them";
    if (pick.whole) {
        why += n > 1 ? ", and all are kept whole" : ", kept whole";
        if (n < roots.size() && n == static_cast<std::size_t>(atMost))
            why += " (at most " + std::to_string(atMost) + ")";
        else if (n < roots.size())
            why += "; more would be cut";
    } else {
        why += ", with " + seconds(pick.pagesEach) + " of each kept";
        const auto next = static_cast<std::size_t>(n);
        if (next < trials.size())
            why += "; " + std::to_string(n + 1) + " would keep " + seconds(trials[next].pagesEach);
        if (n >= 2 && trials[n - 2].transposition > MostTransposition)
            why += "; " + std::to_string(n - 1) + " would play keys " +
                   plural(static_cast<std::size_t>(trials[n - 2].transposition), "semitone", "semitones") + " away";
    }
    return why + ".";
}

// One zone per root (a second zone on a root adds pages, not keys), as
// many as keep every key within MostTransposition of its zone's root,
// preferring zones kept whole.
ZoneChoice chooseByRoots(const std::vector<Zone>& sorted, const std::vector<int>& on, int atMost)
{
    ZoneChoice choice;
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
    choice.why = whyZones(sorted, roots, trials, *pick, atMost);
    return choice;
}

} // namespace

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
    if (kit)
        return chooseDrums(sorted, on, atMost);
    if (spread) {
        for (int k : thinZones(static_cast<int>(on.size()), atMost))
            choice.zones.push_back(on[static_cast<std::size_t>(k)]);
        return choice;
    }
    return chooseByRoots(sorted, on, atMost);
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

double spliceDb(const std::vector<float>& a, int start, int length) { return measure::spliceDb(a, start, length); }

namespace {

// Where the k-th stretch back from the loop's end lies on a ramp across
// the loop (1 at the end).
double rampAt(std::size_t k, int block, int length)
{
    return 1 - (static_cast<double>(k) + 0.5) * block / length;
}

// The change a ramp across the loop must undo so that the steps in level
// across the splice average nothing.
double rampedChange(std::span<const double> steps, int block, int length)
{
    double sum = 0, weight = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        sum += steps[k];
        weight += rampAt(k, block, length);
    }
    return weight > 0 ? sum / weight : 0;
}

// The period measured in windows across the audio, for the loop search.
struct PeriodTrack {
    int window = 0, hop = 0, first = 0;
    std::vector<double> frequency; // cycles a sample of each window, 0 where it has no pitch
    std::vector<double> sum;       // running sums of frequency and of pitched windows
    std::vector<int> pitched;

    PeriodTrack() = default;
    PeriodTrack(const std::vector<float>& a, int from, int end, double period)
    {
        window = std::max(1024, static_cast<int>(std::ceil(4.5 * period)));
        hop = window / 2;
        first = std::max(0, from - hop);
        sum.push_back(0);
        pitched.push_back(0);
        for (int at = first; at + window <= end || (frequency.empty() && at < end); at += hop) {
            const auto p = measure::period(a, static_cast<std::size_t>(at), static_cast<std::size_t>(window), 1200, period);
            frequency.push_back(p ? 1.0 / *p : 0.0);
            sum.push_back(sum.back() + frequency.back());
            pitched.push_back(pitched.back() + (p ? 1 : 0));
        }
    }
    // The average period of the windows centred within [from, to), or of
    // the nearest one; 0 when they have no pitch.
    double over(int from, int to) const
    {
        if (frequency.empty())
            return 0;
        const int last = static_cast<int>(frequency.size()) - 1;
        int i = std::clamp((from - first - window / 2 + hop - 1) / hop, 0, last);
        int j = std::clamp((to - first - window / 2 + hop - 1) / hop, i + 1, last + 1);
        const int n = pitched[static_cast<std::size_t>(j)] - pitched[static_cast<std::size_t>(i)];
        if (n * 2 < j - i || n == 0)
            return 0;
        return n / (sum[static_cast<std::size_t>(j)] - sum[static_cast<std::size_t>(i)]);
    }
};

// The levels a loop search weighs: of each page (for the fall or rise
// levelLoop will even out and how steady a stretch is once it has) and,
// through sums of squares, of any stretch.
class Levels {
public:
    Levels(const std::vector<float>& a, int end)
        : pageDb_(static_cast<std::size_t>(end / PageBytes)), energy_(static_cast<std::size_t>(end) + 1, 0.0)
    {
        for (std::size_t i = 0; i < static_cast<std::size_t>(end); ++i)
            energy_[i + 1] = energy_[i] + static_cast<double>(a[i]) * a[i];
        for (std::size_t p = 0; p < pageDb_.size(); ++p)
            pageDb_[p] = levelDb(static_cast<int>(p) * PageBytes, PageBytes);
    }

    double levelDb(int from, int n) const
    {
        const double e = energy_[static_cast<std::size_t>(from + n)] - energy_[static_cast<std::size_t>(from)];
        return 10 * std::log10(e / n + 1e-7);
    }

    // The line through the levels of the pages in [from, to) and how far
    // they stray from it.
    struct Steadiness {
        double slope = 0; // dB a sample
        double range = 0; // dB about the line
    };
    Steadiness steadiness(int from, int to) const
    {
        const int first = from / PageBytes, last = std::min<int>(to / PageBytes, static_cast<int>(pageDb_.size()));
        const int n = last - first;
        if (n < 3)
            return {};
        double st = 0, sl = 0, stt = 0, stl = 0;
        for (int i = first; i < last; ++i) {
            const double t = i - first, l = pageDb_[static_cast<std::size_t>(i)];
            st += t;
            sl += l;
            stt += t * t;
            stl += t * l;
        }
        const double slope = (n * stl - st * sl) / (n * stt - st * st), mean = sl / n - slope * st / n;
        double lo = 0, hi = 0;
        for (int i = first; i < last; ++i) {
            const double r = pageDb_[static_cast<std::size_t>(i)] - (mean + slope * (i - first));
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        return {slope / PageBytes, hi - lo};
    }

    // The steps in level across the splice of a loop [s, s + L) (as
    // measure::spliceLevelSteps finds them), the change levelLoop will
    // even out and the swell left once it has.
    struct Splice {
        double change = 0, swell = 0;
    };
    Splice splice(int s, int L, double period) const
    {
        const int block = measure::levelStretch(period);
        const int span = measure::spliceSpan(s, L, block);
        std::array<double, 64> steps{};
        std::size_t n = 0;
        for (int back = block; back <= span && n < steps.size(); back += block)
            steps[n++] = levelDb(s + L - back, block) - levelDb(s - back, block);
        Splice result;
        result.change = rampedChange(std::span(steps.data(), n), block, L);
        const double evened = std::abs(result.change) < 0.2 || std::abs(result.change) > 24 ? 0 : result.change;
        for (std::size_t k = 0; k < n; ++k)
            result.swell = std::max(result.swell, std::abs(steps[k] - evened * rampAt(k, block, L)));
        return result;
    }

private:
    std::vector<double> pageDb_;
    std::vector<double> energy_;
};

// How unlike the waveform leading into the loop's end is to the one leading
// into its start, against the level there (0 alike, 1 unrelated, 2
// opposite). The end is compared at the start's level, as levelLoop leaves
// it.
double waveformMismatch(const std::vector<float>& a, int s, int L)
{
    const int w = std::min(96, s);
    double xx = 1e-12, yy = 1e-12, xy = 0;
    for (int k = 1; k <= w; ++k) {
        const double x = a[static_cast<std::size_t>(s + L - k)], y = a[static_cast<std::size_t>(s - k)];
        xx += x * x;
        yy += y * y;
        xy += x * y;
    }
    const double g = std::sqrt(yy / xx);
    return std::max(0.0, g * g * xx + yy - 2 * g * xy) / (2 * yy);
}

struct LoopLength {
    int length;
    double period; // measured over the loop; 0 when cut without cycles
    int cycles;
};

// The lengths a loop from `s` may have: whole cycles of the period measured
// over the stretch it would hold, or for audio without a pitch every 16
// samples; at least `minLength`, at most `room`, ending within `endWithin`
// of `end` when that is given.
void loopLengths(std::vector<LoopLength>& lengths, const PeriodTrack* track, double period, int s, int room,
                 int minLength, int end, int endWithin)
{
    lengths.clear();
    const auto endsInTime = [&](int L) { return endWithin <= 0 || s + L >= end - endWithin; };
    if (!track) {
        for (int L = room; L >= minLength && lengths.size() < 64; L -= 16)
            if (endsInTime(L))
                lengths.push_back({L, 0, 0});
        return;
    }
    double p = track->over(s, s + room);
    if (p <= 0)
        p = period;
    for (int n = static_cast<int>(std::floor(room / p)); n >= 1; --n) {
        int L = static_cast<int>(std::lround(n * p));
        double q = track->over(s, s + L);
        if (q <= 0)
            q = p;
        L = static_cast<int>(std::lround(n * q));
        if (L < minLength || !endsInTime(L))
            break;
        if (L <= room)
            lengths.push_back({L, q, n});
    }
}

} // namespace

std::optional<LoopSearch> findLoop(const std::vector<float>& a, int end, double period, int minLength, int maxLength,
                                   int endWithin)
{
    end = std::min<int>(end, static_cast<int>(a.size()));
    minLength = std::max(minLength, 16);
    if (end < minLength + PageBytes)
        return std::nullopt;
    if (maxLength <= 0 || maxLength > end)
        maxLength = end;
    minLength = std::min(minLength, maxLength);
    // Starts on page boundaries from a quarter of the way in (the attack
    // stays out of the loop), leaving room for at least one loop.
    int firstStart = std::max(PageBytes, (end / 4) / PageBytes * PageBytes);
    if (endWithin > 0)
        firstStart = std::max(firstStart, (end - endWithin - maxLength) / PageBytes * PageBytes);
    const bool cycles = period >= 2 && period * 2 <= end;
    const PeriodTrack track = cycles ? PeriodTrack(a, firstStart, end, period) : PeriodTrack();
    // The pitch of the start (the attack), which the loop should keep.
    const std::optional<double> attack =
        cycles ? measure::period(a, 0, std::min<std::size_t>(4096, static_cast<std::size_t>(end)), 1200, period) : std::nullopt;
    const Levels levels(a, end);
    // The fall of the sound over all the stretch the loops are sought in: a
    // loop that falls or rises much faster has cut a tremolo or a beat out
    // of step, which levelLoop would flatten out of shape.
    const double trend = levels.steadiness(firstStart, end).slope;
    std::optional<LoopSearch> best;
    double bestCost = 0;
    std::vector<LoopLength> lengths;
    for (int s = firstStart; s + minLength <= end; s += PageBytes) {
        loopLengths(lengths, cycles ? &track : nullptr, period, s, std::min(maxLength, end - s), minLength, end, endWithin);
        for (const LoopLength& c : lengths) {
            // The waveform leading into each side of the splice first; a
            // swell past 1 dB counts for more; a steadier stretch, and a
            // pitch nearer the attack's, a little (a sound that glides into
            // its pitch is looped where it has settled, not nearer its
            // attack); a shorter or earlier loop only when clearly better.
            const int L = c.length;
            const Levels::Steadiness steady = levels.steadiness(s, s + L);
            const Levels::Splice splice = levels.splice(s, L, c.period);
            const double cents = attack && c.period > 0 ? 1200 * std::log2(*attack / c.period) : 0;
            const double offTrend = (splice.change - trend * L) / 3;
            const double cost = (waveformMismatch(a, s, L) + 1e-4) * (1 + std::pow(splice.swell, 4)) *
                                (1 + cents * cents / 25) * (1 + steady.range * steady.range / 36) *
                                (1 + offTrend * offTrend) * (1.0 + 0.25 * (1.0 - static_cast<double>(s + L) / end)) *
                                (1.0 + 0.25 * (1.0 - static_cast<double>(L) / maxLength));
            if (!best || cost < bestCost) {
                best = LoopSearch{s, L, 0, c.period, c.cycles};
                bestCost = cost;
            }
        }
    }
    if (best)
        best->spliceDb = spliceDb(a, best->start, best->length);
    return best;
}

double spliceCorrelation(const std::vector<float>& a, int start, int loopLength, int length)
{
    const int end = start + loopLength;
    length = std::min({length, start, loopLength});
    if (length <= 0 || end > static_cast<int>(a.size()))
        return 0;
    double xy = 0, xx = 0, yy = 0;
    for (int i = 0; i < length; ++i) {
        const double x = a[static_cast<std::size_t>(end - length + i)], y = a[static_cast<std::size_t>(start - length + i)];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

std::pair<double, double> crossfadeGains(double t, double rho)
{
    // Linear gains scaled so that (1-t)^2 + t^2 + 2 rho t (1-t) = 1: the
    // power of the mix of two signals of one level correlated by rho.
    rho = std::clamp(rho, 0.0, 1.0);
    const double out = 1 - t, in = t;
    const double k = 1 / std::sqrt(out * out + in * in + 2 * rho * out * in);
    return {out * k, in * k};
}

void crossfade(std::vector<float>& a, int start, int loopLength, int length)
{
    const int end = start + loopLength;
    length = std::min({length, start, loopLength / 2});
    if (length <= 0 || end > static_cast<int>(a.size()))
        return;
    const double rho = spliceCorrelation(a, start, loopLength, length);
    const auto from = static_cast<std::size_t>(end - length), lead = static_cast<std::size_t>(start - length);
    const auto n = static_cast<std::size_t>(length);
    const std::vector<float> out(a.begin() + static_cast<std::ptrdiff_t>(from), a.begin() + end);
    std::vector<float> mixed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto [g, h] = crossfadeGains((static_cast<double>(i) + 0.5) / length, rho);
        mixed[i] = static_cast<float>(out[i] * g + a[lead + i] * h);
    }
    // The law holds on average over the fade; where the two stretches drift
    // in and out of phase (an ensemble, a chorus) the mix still dips or
    // bulges. Each sample's level is brought to the level of the two
    // stretches at that point, weighed as the fade goes, over a window of a
    // sixth of the fade (within 6 dB), and not at all at either end of the
    // fade, which must join what comes before it and the loop's start.
    const auto window = static_cast<std::size_t>(std::max(16, length / 6));
    std::vector<double> sumOut(n + 1, 0.0), sumIn(n + 1, 0.0), sumMixed(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        sumOut[i + 1] = sumOut[i] + static_cast<double>(out[i]) * out[i];
        sumIn[i + 1] = sumIn[i] + static_cast<double>(a[lead + i]) * a[lead + i];
        sumMixed[i + 1] = sumMixed[i] + static_cast<double>(mixed[i]) * mixed[i];
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t lo = i > window / 2 ? i - window / 2 : 0, hi = std::min(n, lo + window);
        const auto rms = [lo, hi](const std::vector<double>& sum) { return std::sqrt((sum[hi] - sum[lo]) / static_cast<double>(hi - lo)); };
        const double t = (static_cast<double>(i) + 0.5) / length;
        const double want = (1 - t) * rms(sumOut) + t * rms(sumIn), have = rms(sumMixed);
        const double gain = have > 1e-9 ? std::clamp(want / have, 0.5, 2.0) : 1.0;
        a[from + i] = static_cast<float>(mixed[i] * (1 + (gain - 1) * std::sin(3.14159265358979 * t)));
    }
}

double levelLoop(std::vector<float>& a, int start, int length, double period)
{
    if (start < 0 || start + length > static_cast<int>(a.size()) || length < 4 * PageBytes)
        return 0;
    // How much louder or quieter the loop's end runs than its start, on
    // average over the stretches either side of the splice, each evened out
    // by the ramp where it lies.
    const std::vector<double> steps = measure::spliceLevelSteps(a, start, length, period);
    if (steps.empty())
        return 0;
    const double change = rampedChange(steps, measure::levelStretch(period), length);
    if (std::abs(change) < 0.2 || std::abs(change) > 24)
        return 0;
    for (int i = 0; i < length; ++i)
        a[static_cast<std::size_t>(start + i)] *= static_cast<float>(std::pow(10.0, -change * i / length / 20));
    return change;
}

std::vector<std::uint8_t> toBytes(const std::vector<float>& samples, double gain, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    // The loudest of each 32 samples: dither only where the sound around
    // reaches a step.
    constexpr std::size_t Block = 32;
    std::vector<double> loudest((samples.size() + Block - 1) / Block, 0.0);
    for (std::size_t i = 0; i < samples.size(); ++i)
        loudest[i / Block] = std::max(loudest[i / Block], std::abs(samples[i] * gain * 128.0));
    std::vector<std::uint8_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t b = i / Block;
        const double around = std::max({loudest[b], b > 0 ? loudest[b - 1] : 0.0, b + 1 < loudest.size() ? loudest[b + 1] : 0.0});
        const double dither = uniform(random) + uniform(random);
        const double v = 128.0 + samples[i] * gain * 128.0 + (around >= 1.0 ? dither : 0.0);
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
    if (looped) {
        char s[96];
        std::snprintf(s, sizeof s, ", %.0f ms", figures.loopMs());
        splice += s;
        if (figures.loopCents) {
            // Against the attack, and the cut's own share: a sound that
            // glides or settles after its attack differs by more.
            std::snprintf(s, sizeof s, ", %+.1f cents", *figures.loopCents);
            splice += s;
            if (figures.cutCents) {
                std::snprintf(s, sizeof s, " (cut %+.1f)", *figures.cutCents);
                splice += s;
            }
        }
        if (figures.swellDb) {
            std::snprintf(s, sizeof s, ", swell %.1f dB", *figures.swellDb);
            splice += s;
        }
    }
    if (figures.leadIn > measure::WavesampleRate / 1000)
        splice += ", lead-in " + std::to_string(figures.leadIn);
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
    // The wavesamples left over are named as a file of the half names them.
    const std::string shared = sound::sharedPagesText(r.half.programDump);
    return "Built: " + std::to_string(n) + (n == 1 ? " wavesample" : " wavesamples") + " in " + std::to_string(pages) +
           " of 256 pages" + (shared.empty() ? "" : " (" + shared + ")") + ".";
}

namespace {

// Samples of lead-in kept in front of the attack.
constexpr int LeadIn = 8;

// Leading silence off the front of the zone's audio, down to the attack
// (the first sample above 40 dB under the zone's peak and above 1.5 steps
// of the 8-bit data); a source loop is moved onto a page again.
void trimLeadIn(Work& w)
{
    float peak = 0;
    for (float x : w.whole)
        peak = std::max(peak, std::abs(x));
    if (peak <= 0)
        return;
    const float threshold = std::max(peak * 0.01f, 1.5f * w.step);
    const auto onset = std::find_if(w.whole.begin(), w.whole.end(), [threshold](float x) { return std::abs(x) > threshold; });
    int cut = std::max(0, static_cast<int>(onset - w.whole.begin()) - LeadIn);
    if (w.loop == LoopKind::Source)
        cut = std::min(cut, w.loopStart);
    if (cut <= 0)
        return;
    w.whole.erase(w.whole.begin(), w.whole.begin() + cut);
    w.fullPages = std::max(pagesOf(w.whole.size()), w.fullPages - cut / PageBytes);
    if (w.loop == LoopKind::Source) {
        w.loopStart -= cut;
        w.loopEnd -= cut;
        loopOnAPage(w.whole, w.loopStart, w.loopEnd);
    }
}

// A tail that is only dither at the half's gain (under one step of 8 bits)
// ends where the sound does.
void trimTail(Work& w, double gain)
{
    w.step = static_cast<float>(1.0 / (128.0 * gain));
    if (w.loop == LoopKind::Source || w.whole.empty())
        return;
    std::size_t end = w.whole.size();
    while (end > 0 && std::abs(w.whole[end - 1]) < w.step)
        --end;
    end = std::min(w.whole.size(), end + LeadIn);
    if (end == w.whole.size() || end == 0)
        return;
    w.whole.resize(end);
    w.fullPages = pagesOf(end);
}

// A source loop given up for a found one.
void dropSourceLoop(Work& w, const char* why)
{
    w.loop = LoopKind::Find;
    w.cuts.push_back(why);
    trimLeadIn(w);
}

// Shares the half's 256 pages among the zones (each its data pages and an
// end page) as budgets: first what comes after each source loop goes, then
// the longest zones are cut to one length; the refusal when even their
// least does not fit.
std::optional<BuildResult> fitIntoHalf(std::vector<Work>& work, const BuildOptions& o)
{
    for (Work& w : work)
        w.budget = pagesOf(w.whole.size());
    const auto need = [&work]() {
        int pages = 0;
        for (const Work& w : work)
            pages += w.budget + 1;
        return pages;
    };
    // First what comes after each source loop, longest first.
    for (int over = need() - HalfPages; over > 0; over = need() - HalfPages) {
        Work* longest = nullptr;
        int longestTail = 0;
        for (Work& w : work) {
            const int tail = w.loop == LoopKind::Source ? w.budget - pagesOf(static_cast<std::size_t>(w.loopEnd)) : 0;
            if (tail > longestTail) {
                longest = &w;
                longestTail = tail;
            }
        }
        if (!longest)
            break;
        longest->budget -= std::min(over, longestTail);
    }
    // Then the longest zones down to their heads, all to one length: source
    // loops kept where the loops alone fit, else given up for a loop found
    // in what is kept.
    if (need() > HalfPages) {
        const auto floorOf = [&o](const Work& w, bool keepLoops) {
            const int least = keepLoops && w.loop == LoopKind::Source ? pagesOf(static_cast<std::size_t>(w.loopEnd))
                                                                      : o.minimumPages;
            return std::min(w.budget, std::max(least, 1));
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
                pages += std::max(floorOf(w, keepLoops), std::min(w.budget, c)) + 1;
            return pages;
        };
        int cap = MaxDataPages;
        while (cap > 1 && atCap(cap) > HalfPages)
            --cap;
        for (Work& w : work) {
            w.budget = std::max(floorOf(w, keepLoops), std::min(w.budget, cap));
            if (w.loop == LoopKind::Source && w.loopEnd > w.budget * PageBytes)
                dropSourceLoop(w, "its own loop lay past what fits; a loop was found instead");
        }
    }
    return std::nullopt;
}

// The zone's audio as its budget allows, with its loop: found where the
// source gives none (whole cycles, as long as memory allows, ending in the
// budget's last page), its level evened out and crossfaded; one-shots fade
// out where cut.
void placeLoop(Work& w, const BuildOptions& o)
{
    w.audio.assign(w.whole.begin(),
                   w.whole.begin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(w.whole.size()),
                                                              static_cast<std::ptrdiff_t>(w.budget) * PageBytes));
    const int size = static_cast<int>(w.audio.size());
    w.splice.reset();
    if (w.loop == LoopKind::Off) {
        if (size < static_cast<int>(w.whole.size()) || w.fullPages > pagesOf(w.whole.size()))
            fadeOut(w.audio, PageBytes);
    } else if (w.loop == LoopKind::Find) {
        const int shortest = static_cast<int>(o.shortestLoopMs * WavesampleRate / 1000);
        const int longest = std::max(shortest, static_cast<int>(o.longestLoopMs * WavesampleRate / 1000));
        const int room = size - std::max(PageBytes, (size / 4) / PageBytes * PageBytes);
        const int minLength = std::max({PageBytes, static_cast<int>(std::ceil(w.period)), std::min(shortest, room)});
        const int endWithin = std::max(PageBytes, static_cast<int>(std::ceil(w.period)) + 1);
        if (const auto found = findLoop(w.audio, size, w.period, minLength, longest, endWithin)) {
            w.loopStart = found->start;
            w.loopEnd = found->start + found->length;
            levelLoop(w.audio, w.loopStart, found->length, found->period);
            crossfade(w.audio, w.loopStart, found->length, static_cast<int>(o.crossfadeMs * WavesampleRate / 1000.0));
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

// The loops placed, then the pages they leave free given to the zones that
// were cut, until at most two are left or no zone is cut; what each zone
// lost is then said.
void placeLoops(std::vector<Work>& work, const BuildOptions& o)
{
    for (Work& w : work)
        placeLoop(w, o);
    const auto used = [&work]() {
        int pages = 0;
        for (const Work& w : work)
            pages += pagesOf(w.audio.size()) + 1;
        return pages;
    };
    for (int round = 0; round < 6; ++round) {
        int free = HalfPages - used();
        std::vector<Work*> cut;
        for (Work& w : work)
            if (w.budget < pagesOf(w.whole.size()))
                cut.push_back(&w);
        if (free <= 2 || cut.empty())
            break;
        // Each cut zone its share, the first ones a page more.
        for (std::size_t i = 0; i < cut.size() && free > 0; ++i) {
            Work& w = *cut[i];
            const int share = (free + static_cast<int>(cut.size() - i) - 1) / static_cast<int>(cut.size() - i);
            const int before = pagesOf(w.audio.size());
            w.budget = std::min(pagesOf(w.whole.size()), w.budget + share);
            placeLoop(w, o);
            free -= pagesOf(w.audio.size()) - before;
        }
    }
    for (Work& w : work) {
        const int whole = pagesOf(w.whole.size());
        if (w.budget < whole) {
            const bool tail = w.loop == LoopKind::Source && w.budget >= pagesOf(static_cast<std::size_t>(w.loopEnd));
            const int lost = w.fullPages - w.budget;
            w.cuts.push_back(std::to_string(lost) + (lost == 1 ? " page " : " pages ") +
                             (tail ? "after the loop cut" : "cut from the end to fit"));
        } else if (w.fullPages > whole && w.loop == LoopKind::Off) {
            const int lost = w.fullPages - whole;
            w.cuts.push_back(std::to_string(lost) + (lost == 1 ? " page" : " pages") + " cut from the end: a wavesample holds 255");
        }
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
        const int move = (PageBytes - ls % PageBytes) % PageBytes;
        if (ls + move + len > MaxDataPages * PageBytes) {
            w.loop = LoopKind::Find;
            w.cuts.push_back("its loop ends past what a half holds; a loop was looked for instead");
        } else {
            w.loopStart = ls;
            w.loopEnd = ls + len;
            if (static_cast<int>(w.audio.size()) < w.loopEnd)
                w.audio.resize(static_cast<std::size_t>(w.loopEnd), 0.0f);
            loopOnAPage(w.audio, w.loopStart, w.loopEnd);
        }
    }
    // What a wavesample can hold at most; a cut is counted from the
    // whole zone.
    w.fullPages = pagesOf(static_cast<std::size_t>(static_cast<double>(std::max<std::int64_t>(z.frames, 0)) * ratio));
    if (static_cast<int>(w.audio.size()) > MaxDataPages * PageBytes)
        w.audio.resize(MaxDataPages * PageBytes);
    if (w.audio.empty())
        return refuse(BuildError::Audio, "\"" + z.name + "\" holds no audio.");
    return std::nullopt;
}

// One gain for the half, so that the zones keep their levels (of the audio
// as read, for an estimate before the fit, or as it is written).
double halfGain(const std::vector<Work>& work, bool asRead = false)
{
    float peak = 0;
    for (const Work& w : work)
        for (float x : asRead ? w.whole : w.audio)
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
        work[i].whole = std::move(work[i].audio);
        if (o.progress)
            o.progress((static_cast<double>(i) + 1) / total);
    }

    const double estimate = halfGain(work, true);
    for (Work& w : work) {
        trimTail(w, estimate);
        trimLeadIn(w);
    }
    if (auto refused = fitIntoHalf(work, o))
        return std::move(*refused);
    placeLoops(work, o);

    const double gain = halfGain(work);
    result.gainDb = 20 * std::log10(gain);
    writeHalf(work, t, half, o.octaveStep, o.fineTune, gain, result);
    // Each wavesample measured as written, for the report.
    for (BuiltZone& z : result.zones) {
        const std::span<const std::uint8_t> data(z.bytes.data(), z.bytes.size() - std::min<std::size_t>(z.bytes.size(), PageBytes));
        const int start = z.looped ? (z.loopStartPage - z.startPage) * PageBytes : -1;
        z.figures = measure::measureBytes(data, start, z.looped ? start + z.loopLength : -1);
    }
    if (o.progress)
        o.progress(1.0);
    return result;
}

} // namespace corvane::build
