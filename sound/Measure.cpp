#include "Measure.h"

#include "Dumps.h"
#include "Parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvane::measure {

namespace {

double db(double ratio) { return ratio > 1e-6 ? 20 * std::log10(ratio) : -120; }

// The minimum of a parabola through d[t-1], d[t], d[t+1].
double refine(const std::vector<double>& d, int t)
{
    const double a = d[static_cast<std::size_t>(t - 1)], b = d[static_cast<std::size_t>(t)],
                 c = d[static_cast<std::size_t>(t + 1)];
    const double den = a - 2 * b + c;
    if (den <= 0)
        return t;
    return t + std::clamp(0.5 * (a - c) / den, -0.5, 0.5);
}

// The average period over `count` samples from `from` (windows across it),
// or nothing when fewer than half the windows have a pitch.
std::optional<double> averagePeriod(std::span<const float> a, std::size_t from, std::size_t count, double maxPeriod,
                                    double expected)
{
    const std::size_t window = std::max<std::size_t>(1024, static_cast<std::size_t>(3 * maxPeriod));
    const std::size_t hop = std::max<std::size_t>(window / 2, count / 8);
    double frequency = 0;
    int pitched = 0, windows = 0;
    for (std::size_t at = from; windows == 0 || at + window / 2 < from + count; at += hop) {
        ++windows;
        if (const auto p = period(a, at, window, maxPeriod, expected)) {
            frequency += 1.0 / *p;
            ++pitched;
        }
    }
    if (pitched * 2 < windows || pitched == 0)
        return std::nullopt;
    return pitched / frequency;
}

} // namespace

std::optional<double> period(std::span<const float> a, std::size_t from, std::size_t count, double maxPeriod,
                             double expected)
{
    if (from >= a.size())
        return std::nullopt;
    count = std::min(count, a.size() - from);
    if (expected > 0)
        maxPeriod = std::min(maxPeriod, 1.5 * expected + 2);
    const int maxLag = std::min(static_cast<int>(std::ceil(maxPeriod)) + 2, static_cast<int>(count / 2));
    if (maxLag < 6)
        return std::nullopt;
    const int w = static_cast<int>(count) - maxLag;
    const float* x = a.data() + from;
    // The difference of the audio against itself `lag` samples later, and
    // the same normalised by its mean up to that lag: a clear dip under
    // 0.2 is a period.
    std::vector<double> d(static_cast<std::size_t>(maxLag) + 1, 0.0);
    for (int lag = 1; lag <= maxLag; ++lag) {
        double s = 0;
        for (int i = 0; i < w; ++i) {
            const float e = x[i] - x[i + lag];
            s += static_cast<double>(e * e);
        }
        d[static_cast<std::size_t>(lag)] = s;
    }
    std::vector<double> n(d.size(), 1.0);
    double run = 0;
    for (int lag = 1; lag <= maxLag; ++lag) {
        run += d[static_cast<std::size_t>(lag)];
        n[static_cast<std::size_t>(lag)] = run > 0 ? d[static_cast<std::size_t>(lag)] * lag / run : 1.0;
    }
    // The first clear dip; else the first dip nearly as deep as the
    // deepest. Near an expected period, the dip within half an octave of it
    // that is deepest for its distance from it.
    const int lowest = expected > 0 ? std::max(2, static_cast<int>(expected / 1.42)) : 2;
    const auto dip = [&n](int lag) {
        return n[static_cast<std::size_t>(lag)] <= n[static_cast<std::size_t>(lag - 1)] &&
               n[static_cast<std::size_t>(lag)] <= n[static_cast<std::size_t>(lag + 1)];
    };
    int best = -1;
    double deepest = 1e9;
    for (int lag = lowest; lag < maxLag; ++lag)
        deepest = std::min(deepest, n[static_cast<std::size_t>(lag)]);
    if (deepest > 0.35)
        return std::nullopt;
    if (expected > 0) {
        double score = 1e9;
        for (int lag = std::max(lowest, 2); lag < maxLag; ++lag)
            if (dip(lag)) {
                // The dip's depth between the lags, by a parabola.
                const double a = d[static_cast<std::size_t>(lag - 1)], b = d[static_cast<std::size_t>(lag)],
                             c = d[static_cast<std::size_t>(lag + 1)];
                const double curve = a - 2 * b + c;
                const double depth = curve > 0 ? std::max(0.0, b - (a - c) * (a - c) / (8 * curve)) : b;
                const double s = (depth + 1e-9 * d.back()) * (1 + 2 * std::abs(std::log2(lag / expected)));
                if (s < score) {
                    score = s;
                    best = lag;
                }
            }
    } else {
        const double enough = std::min(0.2, deepest + 0.1);
        for (int lag = lowest; lag < maxLag && best < 0; ++lag)
            if (n[static_cast<std::size_t>(lag)] < std::max(enough, deepest + 0.1) && dip(lag) &&
                (n[static_cast<std::size_t>(lag)] < 0.2 || n[static_cast<std::size_t>(lag)] <= deepest + 0.1))
                best = lag;
    }
    if (best < 0 || best >= maxLag - 1)
        return std::nullopt;
    double p = refine(d, best);
    // The dip at the furthest whole number of periods gives the period to a
    // fraction of the rounding of one.
    const int k = static_cast<int>((maxLag - 1) / p);
    if (k >= 2) {
        const int t = std::clamp(static_cast<int>(std::lround(k * p)), 2, maxLag - 1);
        int at = t;
        for (int j = std::max(2, t - 2); j <= std::min(maxLag - 1, t + 2); ++j)
            if (d[static_cast<std::size_t>(j)] < d[static_cast<std::size_t>(at)])
                at = j;
        if (at > 2 && at < maxLag - 1) {
            const double q = refine(d, at) / k;
            if (std::abs(q - p) < 0.5)
                p = q;
        }
    }
    return p;
}

double keyOfPeriod(double period, double rate) { return 69 + 12 * std::log2(rate / period / 440.0); }

double spliceDb(std::span<const float> a, int start, int length)
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

double levelRangeDb(std::span<const float> a, int start, int length, double loopPeriod)
{
    if (start < 0 || length < 16 || start + length > static_cast<int>(a.size()))
        return 0;
    const int block = std::min(levelStretch(loopPeriod), length);
    // What leads into the loop, then the loop three times or more.
    const long lead = std::min(start, block);
    const int repeats = std::max(3, (4 * block + length - 1) / length);
    const auto at = [&](long i) { return i < 0 ? a[static_cast<std::size_t>(start + i)] : a[static_cast<std::size_t>(start + i % length)]; };
    double loudest = -1e9, quietest = 1e9;
    const long total = static_cast<long>(repeats) * length;
    const long hop = std::max(1, block / 2);
    for (long b = -lead; b + block <= total; b += hop) {
        double s = 0;
        for (long i = b; i < b + block; ++i)
            s += static_cast<double>(at(i)) * at(i);
        const double level = db(std::sqrt(s / block));
        loudest = std::max(loudest, level);
        quietest = std::min(quietest, level);
    }
    return loudest >= quietest ? loudest - quietest : 0;
}

int levelStretch(double loopPeriod)
{
    return loopPeriod >= 2 ? static_cast<int>(std::lround(std::ceil(256 / loopPeriod) * loopPeriod)) : 512;
}

int spliceSpan(int start, int length, int stretch)
{
    return std::min({start, length / 2, std::max(stretch, static_cast<int>(0.02 * WavesampleRate))});
}

std::vector<double> spliceLevelSteps(std::span<const float> a, int start, int length, double loopPeriod)
{
    std::vector<double> steps;
    if (start < 0 || length < 16 || start + length > static_cast<int>(a.size()))
        return steps;
    const int block = levelStretch(loopPeriod);
    const auto level = [&a, block](int from) {
        double s = 0;
        for (int i = from; i < from + block; ++i)
            s += static_cast<double>(a[static_cast<std::size_t>(i)]) * a[static_cast<std::size_t>(i)];
        return s / block;
    };
    // Where both stretches are near silence, a difference is not heard.
    constexpr double Floor = 1e-7;
    for (int back = block; back <= spliceSpan(start, length, block); back += block)
        steps.push_back(10 * std::log10((level(start + length - back) + Floor) / (level(start - back) + Floor)));
    return steps;
}

double swellDb(std::span<const float> a, int start, int length, double loopPeriod)
{
    const std::vector<double> steps = spliceLevelSteps(a, start, length, loopPeriod);
    if (steps.empty())
        return levelRangeDb(a, start, length, loopPeriod);
    double most = 0;
    for (const double step : steps)
        most = std::max(most, std::abs(step));
    return most;
}

Figures measure(std::span<const float> a, int loopStart, int loopEnd, double lsb)
{
    Figures f;
    f.samples = static_cast<int>(a.size());
    if (a.empty())
        return f;
    double peak = 0, sum = 0;
    for (float x : a) {
        peak = std::max(peak, static_cast<double>(std::abs(x)));
        sum += static_cast<double>(x) * x;
    }
    f.peakDb = db(peak);
    f.rmsDb = db(std::sqrt(sum / static_cast<double>(a.size())));
    const double threshold = std::max(peak * 0.01, 1.5 * lsb);
    const auto onset = std::find_if(a.begin(), a.end(), [threshold](float x) { return std::abs(x) > threshold; });
    f.leadIn = static_cast<int>(onset - a.begin());
    if (onset == a.end())
        return f;

    // The attack's pitch: a first guess, then the average over short
    // windows across it (a vibrato counts by its middle).
    std::optional<double> attack = period(a, static_cast<std::size_t>(f.leadIn), 4096);
    if (attack)
        attack = averagePeriod(a, static_cast<std::size_t>(f.leadIn), 4096, std::min(1200.0, 2.5 * *attack + 8), *attack)
                     .value_or(*attack);
    if (attack)
        f.attackKey = keyOfPeriod(*attack);
    if (loopStart < 0 || loopEnd <= loopStart || loopEnd > f.samples)
        return f;
    f.loopStart = loopStart;
    f.loopEnd = loopEnd;
    const int length = loopEnd - loopStart;
    f.spliceDb = spliceDb(a, loopStart, length);

    // The loop as it plays, over and over, looked at in windows across it.
    const double maxPeriod = attack ? std::min(1200.0, 2.5 * *attack + 8) : 1200.0;
    const std::size_t window = std::max<std::size_t>(1024, static_cast<std::size_t>(3 * maxPeriod));
    std::vector<float> played;
    played.reserve(static_cast<std::size_t>(length) + window);
    while (played.size() < static_cast<std::size_t>(length) + window)
        played.insert(played.end(), a.begin() + loopStart, a.begin() + loopEnd);
    double loopPeriod = 0;
    if (const auto p = averagePeriod(played, 0, static_cast<std::size_t>(length), maxPeriod, attack.value_or(0))) {
        const double cycles = std::max(1.0, std::round(length / *p));
        loopPeriod = length / cycles;
        f.loopKey = keyOfPeriod(loopPeriod);
        if (f.attackKey)
            f.loopCents = 100 * (*f.loopKey - *f.attackKey);
        if (const auto once = averagePeriod(a, static_cast<std::size_t>(loopStart), static_cast<std::size_t>(length),
                                            maxPeriod, *p))
            f.cutCents = 1200 * std::log2(*once / loopPeriod);
    }
    f.swellDb = swellDb(a, loopStart, length, loopPeriod);
    f.levelRangeDb = levelRangeDb(a, loopStart, length, loopPeriod);
    return f;
}

std::vector<float> fromBytes(std::span<const std::uint8_t> bytes)
{
    std::vector<float> out(bytes.size());
    std::transform(bytes.begin(), bytes.end(), out.begin(), [](std::uint8_t b) { return (b - 128) / 128.0f; });
    return out;
}

Figures measureBytes(std::span<const std::uint8_t> bytes, int loopStart, int loopEnd)
{
    return measure(fromBytes(bytes), loopStart, loopEnd, 1.0 / 128);
}

std::vector<Wavesample> measureHalf(const sound::Half& half)
{
    const auto& dump = half.programDump;
    const auto field = [&dump](int ws, int parameter) {
        const ParameterInfo* p = findParameter(parameter);
        return p ? getNibblePair(dump.data(), dump.size(), wavesampleFieldPos(ws, p->position)) : 0;
    };
    enum { LoopStartPage = 62, LoopEndPage = 63, LoopEndFine = 64, LoopSwitch = 65 };
    const auto entries = sound::wavesampleEntries(dump);
    std::vector<Wavesample> out;
    for (int ws = 0; ws < 8; ++ws) {
        const sound::WavesampleEntry& e = entries[static_cast<std::size_t>(ws)];
        Wavesample w;
        w.number = ws + 1;
        w.range = e.range;
        if (e.dump >= 0 && !e.first)
            for (int k = 0; k < ws && !w.sameAs; ++k)
                if (entries[static_cast<std::size_t>(k)].dump == e.dump)
                    w.sameAs = k + 1;
        if (e.dump >= 0 && static_cast<std::size_t>(e.dump) < half.wavesampleDumps.size()) {
            const sound::Bytes bytes = sound::wavesampleSamples(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
            int loopStart = -1, loopEnd = -1;
            if (field(ws, LoopSwitch)) {
                loopStart = (field(ws, LoopStartPage) - e.range.start) * 256;
                loopEnd = (field(ws, LoopEndPage) - e.range.start) * 256 + field(ws, LoopEndFine) + 1;
            }
            w.figures = measureBytes(bytes, loopStart, loopEnd);
        }
        out.push_back(w);
    }
    return out;
}

std::string describe(const Figures& f)
{
    char text[256];
    std::string s;
    std::snprintf(text, sizeof text, "lead-in %d, RMS %.1f dBFS, peak %.1f dBFS, attack ", f.leadIn, f.rmsDb, f.peakDb);
    s = text;
    if (f.attackKey) {
        std::snprintf(text, sizeof text, "%.2f", *f.attackKey);
        s += text;
    } else {
        s += "-";
    }
    if (!f.looped())
        return s + ", loop off";
    s += ", loop ";
    if (f.loopKey) {
        std::snprintf(text, sizeof text, "%.2f ", *f.loopKey);
        s += text;
        if (f.loopCents) {
            std::snprintf(text, sizeof text, "(%+.1f cents", *f.loopCents);
            s += text;
            if (f.cutCents) {
                std::snprintf(text, sizeof text, ", cut %+.1f", *f.cutCents);
                s += text;
            }
            s += ") ";
        }
    }
    std::snprintf(text, sizeof text, "%.1f ms, swell %.1f dB, level range %.1f dB, splice %.0f dB", f.loopMs(),
                  f.swellDb.value_or(0), f.levelRangeDb.value_or(0), f.spliceDb.value_or(0));
    return s + text;
}

std::string line(const Wavesample& w, int half)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s ws%d ", half ? "U" : "L", w.number);
    std::string s = text;
    if (w.range.pages() == 0)
        return s + "no pages";
    std::snprintf(text, sizeof text, "%02X-%02X: ", w.range.start, w.range.end);
    s += text;
    if (w.sameAs)
        return s + "the pages of ws" + std::to_string(w.sameAs);
    return s + describe(w.figures);
}

} // namespace corvane::measure
