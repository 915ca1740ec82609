#include "WaveEdit.h"

#include "AudioConvert.h"
#include "SoundBuilder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane::waveedit {

namespace {

constexpr float FullScale = 127.0f / 128.0f; // byte 255, the highest the instrument has
constexpr double Pi = std::numbers::pi;

// One second-order section (direct form I), coefficients normalised by a0.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static Biquad make(double b0, double b1, double b2, double a0, double a1, double a2)
    {
        return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
    }
    void run(float* x, int n) const
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (int i = 0; i < n; ++i) {
            const double in = x[i];
            const double out = b0 * in + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = in;
            y2 = y1;
            y1 = out;
            x[i] = static_cast<float>(out);
        }
    }
};

struct Angle {
    double cosw, sinw;
    Angle(double hz, int rate)
    {
        const double w = 2 * Pi * std::clamp(hz, 1.0, rate * 0.49) / rate;
        cosw = std::cos(w);
        sinw = std::sin(w);
    }
};

Biquad lowPassSection(double hz, int rate)
{
    const Angle a(hz, rate);
    const double alpha = a.sinw / std::numbers::sqrt2; // Q = 1/sqrt(2)
    return Biquad::make((1 - a.cosw) / 2, 1 - a.cosw, (1 - a.cosw) / 2, 1 + alpha, -2 * a.cosw, 1 - alpha);
}

Biquad highPassSection(double hz, int rate)
{
    const Angle a(hz, rate);
    const double alpha = a.sinw / std::numbers::sqrt2;
    return Biquad::make((1 + a.cosw) / 2, -(1 + a.cosw), (1 + a.cosw) / 2, 1 + alpha, -2 * a.cosw, 1 - alpha);
}

Biquad shelf(double hz, int rate, double db, bool high)
{
    const Angle a(hz, rate);
    const double A = std::pow(10.0, db / 40);
    const double alpha = a.sinw / 2 * std::numbers::sqrt2; // slope 1
    const double s = 2 * std::sqrt(A) * alpha;
    const double sign = high ? -1 : 1;
    const double p = A + 1, m = A - 1;
    return Biquad::make(A * (p - sign * m * a.cosw + s), sign * 2 * A * (m - sign * p * a.cosw),
                        A * (p - sign * m * a.cosw - s), p + sign * m * a.cosw + s, -sign * 2 * (m + sign * p * a.cosw),
                        p + sign * m * a.cosw - s);
}

Biquad peak(double hz, int rate, double db)
{
    const Angle a(hz, rate);
    const double A = std::pow(10.0, db / 40);
    const double alpha = a.sinw / (2 * 0.7);
    return Biquad::make(1 + alpha * A, -2 * a.cosw, 1 - alpha * A, 1 + alpha / A, -2 * a.cosw, 1 - alpha / A);
}

} // namespace

LoopPointers pointersOf(const Loop& loop)
{
    return {loop.start / PageBytes, loop.end / PageBytes, loop.end % PageBytes};
}

Loop loopOf(const LoopPointers& p, bool on)
{
    return {on, p.startPage * PageBytes, p.endPage * PageBytes + p.fine};
}

Loop snapLoop(const Loop& asked, int length)
{
    if (length < 2)
        return {};
    const int lastStart = (length - 2) / PageBytes * PageBytes;
    const int page = static_cast<int>(std::lround(static_cast<double>(asked.start) / PageBytes));
    Loop l;
    l.on = asked.on;
    l.start = std::clamp(page * PageBytes, 0, lastStart);
    l.end = std::clamp(asked.end, l.start + 1, length - 1);
    return l;
}

std::string loopProblem(const Loop& loop, int length)
{
    if (!loop.on)
        return {};
    if (loop.start % PageBytes != 0)
        return "The loop starts at sample " + std::to_string(loop.start) +
               ", which is not on a page boundary: the Mirage starts a loop at the start of a page.";
    if (loop.start < 0 || loop.end >= length)
        return "The loop ends at sample " + std::to_string(loop.end) + ", past the last sample of the wavesample (" +
               std::to_string(length - 1) + ").";
    if (loop.end <= loop.start)
        return "The loop ends before it starts.";
    return {};
}

int pagesFor(int samples) { return (std::max(samples, 0) + PageBytes - 1) / PageBytes; }

float fromByte(std::uint8_t b) { return (static_cast<float>(b) - 128.0f) / 128.0f; }

std::vector<std::uint8_t> toBytes(const Samples& samples, bool* dithered)
{
    // Samples on an 8-bit step (moved, not changed) are taken as they are;
    // the others get the builder's triangular dither.
    std::vector<std::uint8_t> out(samples.size());
    Samples off;
    std::vector<std::size_t> where;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double v = samples[i] * 128.0;
        if (std::abs(v - std::round(v)) < 1e-4) {
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(128.0 + v), 1L, 255L));
        } else {
            off.push_back(samples[i]);
            where.push_back(i);
        }
    }
    if (dithered)
        *dithered = !off.empty();
    const std::vector<std::uint8_t> d = build::toBytes(off, 1.0, 0x5EEDu);
    for (std::size_t k = 0; k < where.size(); ++k)
        out[where[k]] = d[k];
    return out;
}

std::optional<double> measurePeriod(const Samples& a, int at)
{
    constexpr int Window = 1024, MinLag = 16, MaxLag = 1024;
    const int n = static_cast<int>(a.size());
    const int begin = std::clamp(at - Window, 0, std::max(0, n - Window - MaxLag));
    const int span = std::min(Window, n - begin - MinLag);
    if (span < 2 * MinLag)
        return std::nullopt;
    const int maxLag = std::min(MaxLag, n - begin - span);
    std::vector<double> r(static_cast<std::size_t>(maxLag + 1), 0.0);
    double e0 = 0;
    for (int i = 0; i < span; ++i)
        e0 += static_cast<double>(a[begin + i]) * a[begin + i];
    if (e0 < 1e-9)
        return std::nullopt;
    for (int lag = MinLag; lag <= maxLag; ++lag) {
        double c = 0, e1 = 0;
        for (int i = 0; i < span; ++i) {
            const double x = a[static_cast<std::size_t>(begin + i)], y = a[static_cast<std::size_t>(begin + i + lag)];
            c += x * y;
            e1 += y * y;
        }
        r[static_cast<std::size_t>(lag)] = e1 > 0 ? c / std::sqrt(e0 * e1) : 0;
    }
    const double best = *std::max_element(r.begin() + MinLag, r.end());
    if (best < 0.5)
        return std::nullopt;
    // The first peak close to the best: the fundamental, not a multiple.
    for (int lag = MinLag + 1; lag < maxLag; ++lag) {
        const double c = r[static_cast<std::size_t>(lag)];
        if (c >= 0.9 * best && c >= r[static_cast<std::size_t>(lag - 1)] && c >= r[static_cast<std::size_t>(lag + 1)]) {
            const double l = r[static_cast<std::size_t>(lag - 1)], h = r[static_cast<std::size_t>(lag + 1)];
            const double d = l - 2 * c + h;
            return lag + (d < 0 ? 0.5 * (l - h) / d : 0.0);
        }
    }
    return std::nullopt;
}

Rendered renderAtPitch(std::span<const std::uint8_t> bytes, const Loop& loop, double semitones)
{
    Rendered r;
    const double step = std::pow(2.0, semitones / 12);
    const auto n = static_cast<double>(bytes.size());
    if (bytes.empty() || step <= 0)
        return r;
    const bool looped = loop.on && loopProblem(loop, static_cast<int>(bytes.size())).empty();
    const double stop = looped ? loop.end + 1 : n;
    const long last = looped ? loop.end : static_cast<long>(bytes.size()) - 1;
    double p = 0;
    for (; p < stop; p += step)
        r.samples.push_back(bytes[static_cast<std::size_t>(std::min(std::lround(p), last))]);
    if (!looped)
        return r;
    // Once round the loop: as many steps as take the position round it; a
    // position nearer the loop's end than its last sample is its start.
    const double length = loop.length();
    r.looped = true;
    r.loopBegin = r.samples.size();
    const auto steps = std::max<long>(1, std::lround(length / step));
    for (long i = 0; i < steps; ++i, p += step) {
        long q = std::lround(loop.start + std::fmod(p - loop.start, length));
        if (q > loop.end)
            q = loop.start;
        r.samples.push_back(bytes[static_cast<std::size_t>(q)]);
    }
    r.loopEnd = r.samples.size();
    return r;
}

namespace {
void put16(std::vector<std::uint8_t>& v, unsigned x)
{
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
    v.push_back(static_cast<std::uint8_t>(x >> 8 & 0xFF));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
void putId(std::vector<std::uint8_t>& v, const char* id) { v.insert(v.end(), id, id + 4); }
} // namespace

std::vector<std::uint8_t> wavImage16(std::span<const std::uint8_t> bytes, int rate, const Loop& loop)
{
    const bool looped = loop.on && loopProblem(loop, static_cast<int>(bytes.size())).empty();
    const auto dataSize = static_cast<std::uint32_t>(2 * bytes.size());
    const std::uint32_t smplSize = looped ? 36 + 24 : 0;
    std::vector<std::uint8_t> v;
    putId(v, "RIFF");
    put32(v, 4 + (8 + 16) + (8 + dataSize) + (looped ? 8 + smplSize : 0));
    putId(v, "WAVE");
    putId(v, "fmt ");
    put32(v, 16);
    put16(v, 1); // PCM
    put16(v, 1); // mono
    put32(v, static_cast<std::uint32_t>(rate));
    put32(v, static_cast<std::uint32_t>(rate) * 2);
    put16(v, 2);
    put16(v, 16);
    putId(v, "data");
    put32(v, dataSize);
    for (const std::uint8_t b : bytes)
        put16(v, static_cast<unsigned>(static_cast<std::int16_t>((b - 128) * 256)) & 0xFFFF);
    if (looped) {
        putId(v, "smpl");
        put32(v, smplSize);
        put32(v, 0); // manufacturer
        put32(v, 0); // product
        put32(v, static_cast<std::uint32_t>(1'000'000'000.0 / rate)); // sample period, ns
        put32(v, 60); // unity note
        put32(v, 0);  // pitch fraction
        put32(v, 0);  // SMPTE format
        put32(v, 0);  // SMPTE offset
        put32(v, 1);  // one loop
        put32(v, 0);  // no sampler data
        put32(v, 0);  // cue point id
        put32(v, 0);  // forward
        put32(v, static_cast<std::uint32_t>(loop.start));
        put32(v, static_cast<std::uint32_t>(loop.end)); // the last sample played
        put32(v, 0);  // fraction
        put32(v, 0);  // endless
    }
    return v;
}

// ---- the buffer ----------------------------------------------------------------

WaveBuffer WaveBuffer::fromBytes(std::span<const std::uint8_t> bytes, const Loop& loop, int rate)
{
    WaveBuffer w;
    w.original_.assign(bytes.begin(), bytes.end());
    w.samples_.reserve(bytes.size());
    for (const std::uint8_t b : bytes)
        w.samples_.push_back(fromByte(b));
    w.rate_ = rate;
    w.loop_ = loop.on ? snapLoop(loop, w.size()) : loop;
    return w;
}

WaveBuffer WaveBuffer::fromSamples(Samples samples, const Loop& loop, int rate)
{
    WaveBuffer w;
    w.samples_ = std::move(samples);
    w.rate_ = rate;
    w.loop_ = loop.on ? snapLoop(loop, w.size()) : loop;
    w.edited_ = true;
    return w;
}

std::vector<std::uint8_t> WaveBuffer::bytes(bool* dithered) const
{
    if (!edited_) {
        if (dithered)
            *dithered = false;
        return original_;
    }
    return toBytes(samples_, dithered);
}

Range WaveBuffer::clampRange(Range r) const
{
    if (r.empty())
        return whole();
    r.begin = std::clamp(r.begin, 0, size());
    r.end = std::clamp(r.end, r.begin, size());
    return r;
}

void WaveBuffer::begin(const std::string& name)
{
    undo_.push_back({name, samples_, loop_, edited_});
    redo_.clear();
    edited_ = true;
    trimHistory();
}

std::size_t WaveBuffer::historyBytes() const
{
    std::size_t n = 0;
    for (const auto* d : {&undo_, &redo_})
        for (const State& s : *d)
            n += s.samples.size() * sizeof(float) + sizeof(State);
    return n;
}

void WaveBuffer::trimHistory()
{
    while (!undo_.empty() && historyBytes() > limit_)
        undo_.pop_front();
}

void WaveBuffer::setHistoryLimit(std::size_t bytes)
{
    limit_ = bytes;
    while (!redo_.empty() && historyBytes() > limit_)
        redo_.pop_front();
    trimHistory();
}

void WaveBuffer::undo()
{
    if (undo_.empty())
        return;
    State s = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back({s.name, std::move(samples_), loop_, edited_});
    samples_ = std::move(s.samples);
    loop_ = s.loop;
    edited_ = s.edited;
}

void WaveBuffer::redo()
{
    if (redo_.empty())
        return;
    State s = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back({s.name, std::move(samples_), loop_, edited_});
    samples_ = std::move(s.samples);
    loop_ = s.loop;
    edited_ = s.edited;
}

// Samples from `at` on moved by `delta` (inserted when positive; removed,
// [at, at - delta), when negative): the loop moves with them and is snapped
// again; it goes off when nothing of it can be held.
void WaveBuffer::shiftLoop(int at, int delta)
{
    if (!loop_.on)
        return;
    const auto move = [at, delta](int p) {
        if (delta >= 0)
            return p >= at ? p + delta : p;
        if (p >= at - delta)
            return p + delta;
        return std::min(p, at);
    };
    Loop moved{true, move(loop_.start), move(loop_.end)};
    if (moved.end <= moved.start || size() < 2) {
        loop_.on = false;
        return;
    }
    loop_ = snapLoop(moved, size());
}

Samples WaveBuffer::copy(Range r) const
{
    r = clampRange(r);
    return Samples(samples_.begin() + r.begin, samples_.begin() + r.end);
}

Samples WaveBuffer::cut(Range r)
{
    Samples clip = copy(r);
    begin("Cut");
    r = clampRange(r);
    samples_.erase(samples_.begin() + r.begin, samples_.begin() + r.end);
    shiftLoop(r.begin, -r.size());
    return clip;
}

void WaveBuffer::erase(Range r)
{
    begin("Delete");
    r = clampRange(r);
    samples_.erase(samples_.begin() + r.begin, samples_.begin() + r.end);
    shiftLoop(r.begin, -r.size());
}

void WaveBuffer::paste(int at, const Samples& clip, Range replace)
{
    begin("Paste");
    if (!replace.empty()) {
        replace = clampRange(replace);
        samples_.erase(samples_.begin() + replace.begin, samples_.begin() + replace.end);
        shiftLoop(replace.begin, -replace.size());
        at = replace.begin;
    }
    at = std::clamp(at, 0, size());
    samples_.insert(samples_.begin() + at, clip.begin(), clip.end());
    shiftLoop(at, static_cast<int>(clip.size()));
}

void WaveBuffer::pasteMix(int at, const Samples& clip, double level)
{
    begin("Paste Mix");
    at = std::clamp(at, 0, size());
    if (at + clip.size() > samples_.size())
        samples_.resize(at + clip.size(), 0.0f);
    for (std::size_t i = 0; i < clip.size(); ++i)
        samples_[at + i] += static_cast<float>(clip[i] * level);
}

void WaveBuffer::trim(Range r)
{
    begin("Trim to Selection");
    r = clampRange(r);
    samples_.erase(samples_.begin() + r.end, samples_.end());
    samples_.erase(samples_.begin(), samples_.begin() + r.begin);
    if (loop_.on) {
        Loop moved{true, loop_.start - r.begin, std::min(loop_.end - r.begin, size() - 1)};
        if (moved.start < 0 || moved.end <= moved.start)
            loop_.on = false;
        else
            loop_ = snapLoop(moved, size());
    }
}

void WaveBuffer::insertSilence(int at, int count)
{
    begin("Insert Silence");
    at = std::clamp(at, 0, size());
    count = std::clamp(count, 0, MaxSamples);
    samples_.insert(samples_.begin() + at, static_cast<std::size_t>(count), 0.0f);
    shiftLoop(at, count);
}

void WaveBuffer::gain(Range r, double db)
{
    begin("Gain");
    r = clampRange(r);
    const double g = std::pow(10.0, db / 20);
    for (int i = r.begin; i < r.end; ++i)
        samples_[i] = static_cast<float>(samples_[i] * g);
}

void WaveBuffer::normalise(Range r)
{
    r = clampRange(r);
    float peakLevel = 0;
    for (int i = r.begin; i < r.end; ++i)
        peakLevel = std::max(peakLevel, std::abs(samples_[i]));
    begin("Normalise");
    if (peakLevel <= 0)
        return;
    const double g = FullScale / peakLevel;
    for (int i = r.begin; i < r.end; ++i)
        samples_[i] = static_cast<float>(samples_[i] * g);
}

namespace {
double fadeGain(double t, FadeShape shape)
{
    return shape == FadeShape::Linear ? t : std::sin(t * Pi / 2);
}
} // namespace

void WaveBuffer::fadeIn(Range r, FadeShape shape)
{
    begin("Fade In");
    r = clampRange(r);
    const int n = r.size();
    for (int i = 0; i < n; ++i)
        samples_[r.begin + i] *= static_cast<float>(fadeGain(n > 1 ? static_cast<double>(i) / (n - 1) : 1.0, shape));
}

void WaveBuffer::fadeOut(Range r, FadeShape shape)
{
    begin("Fade Out");
    r = clampRange(r);
    const int n = r.size();
    for (int i = 0; i < n; ++i)
        samples_[r.begin + i] *=
            static_cast<float>(fadeGain(n > 1 ? static_cast<double>(n - 1 - i) / (n - 1) : 0.0, shape));
}

void WaveBuffer::reverse(Range r)
{
    begin("Reverse");
    r = clampRange(r);
    std::reverse(samples_.begin() + r.begin, samples_.begin() + r.end);
}

void WaveBuffer::invert(Range r)
{
    begin("Invert");
    r = clampRange(r);
    // Around the 8-bit centre, so that inverting twice gives the bytes back
    // and byte 0x80 stays silent.
    for (int i = r.begin; i < r.end; ++i)
        samples_[i] = -samples_[i];
}

void WaveBuffer::removeDc(Range r)
{
    begin("Remove DC");
    r = clampRange(r);
    if (r.empty())
        return;
    double sum = 0;
    for (int i = r.begin; i < r.end; ++i)
        sum += samples_[i];
    const auto mean = static_cast<float>(sum / r.size());
    for (int i = r.begin; i < r.end; ++i)
        samples_[i] -= mean;
}

void WaveBuffer::lowPass(Range r, double hz)
{
    begin("Low-Pass");
    r = clampRange(r);
    lowPassSection(hz, rate_).run(samples_.data() + r.begin, r.size());
}

void WaveBuffer::highPass(Range r, double hz)
{
    begin("High-Pass");
    r = clampRange(r);
    highPassSection(hz, rate_).run(samples_.data() + r.begin, r.size());
}

void WaveBuffer::equalise(Range r, const Equaliser& eq)
{
    begin("Equaliser");
    r = clampRange(r);
    shelf(Equaliser::LowHz, rate_, eq.lowDb, false).run(samples_.data() + r.begin, r.size());
    peak(Equaliser::MidHz, rate_, eq.midDb).run(samples_.data() + r.begin, r.size());
    shelf(Equaliser::HighHz, rate_, eq.highDb, true).run(samples_.data() + r.begin, r.size());
}

bool WaveBuffer::resample(Range r, double semitones)
{
    r = clampRange(r);
    const double ratio = std::pow(2.0, -semitones / 12);
    Samples out;
    if (!audio::resampleMono(std::span<const float>(samples_.data() + r.begin, static_cast<std::size_t>(r.size())),
                             ratio, out))
        return false;
    if (size() - r.size() + static_cast<long long>(out.size()) > MaxSamples)
        return false;
    const bool whole = r == this->whole();
    begin("Resample");
    samples_.erase(samples_.begin() + r.begin, samples_.begin() + r.end);
    samples_.insert(samples_.begin() + r.begin, out.begin(), out.end());
    if (whole && loop_.on) {
        const Loop scaled{true, static_cast<int>(std::lround(loop_.start * ratio)),
                          static_cast<int>(std::lround((loop_.end + 1) * ratio)) - 1};
        loop_ = scaled.end > scaled.start ? snapLoop(scaled, size()) : Loop{};
    } else {
        shiftLoop(r.end, static_cast<int>(out.size()) - r.size());
    }
    return true;
}

void WaveBuffer::pencil(int at, const Samples& values)
{
    begin("Pencil");
    for (std::size_t i = 0; i < values.size(); ++i) {
        const long long p = at + static_cast<long long>(i);
        if (p >= 0 && p < size())
            samples_[static_cast<std::size_t>(p)] = std::round(std::clamp(values[i], -1.0f, 1.0f) * 128.0f) / 128.0f;
    }
}

void WaveBuffer::setLoop(const Loop& loop)
{
    const Loop snapped = loop.on || loop_.on ? snapLoop(loop, size()) : loop;
    if (snapped == loop_)
        return;
    // Pointers only: the samples and whether they were edited stay.
    undo_.push_back({loop.on == loop_.on ? "Move Loop" : "Loop Switch", samples_, loop_, edited_});
    redo_.clear();
    trimHistory();
    loop_ = snapped;
}

bool WaveBuffer::findLoopNear(int at)
{
    at = std::clamp(at, 0, size());
    const std::optional<double> period = measurePeriod(samples_, at);
    const int minLength = std::max(PageBytes, period ? static_cast<int>(std::ceil(*period)) : 0);
    const auto found = build::findLoop(samples_, at, period.value_or(0), minLength);
    if (!found)
        return false;
    setLoop({true, found->start, found->start + found->length - 1});
    return true;
}

bool WaveBuffer::crossfadeLoop(int length)
{
    if (!loop_.on || loopProblem(loop_, size()) != "" || length <= 0 || loop_.start <= 0)
        return false;
    begin("Crossfade Loop");
    build::crossfade(samples_, loop_.start, loop_.length(), length);
    return true;
}

} // namespace corvane::waveedit
