#include "AudioConvert.h"

#include "AtomicFile.h"
#include "SendDump.h"
#include "WavFile.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace corvane::audio {

namespace {

constexpr int BlockFrames = 4096;
constexpr int LoopEndLimit = 0xFC00; // the calculator's limit: a loop ends at byte 64,512 at the latest
constexpr int LastPage = 0xFF;
constexpr std::uint8_t Silence = 0x80;

struct FileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using File = std::unique_ptr<SNDFILE, FileCloser>;

bool cancelled(const Work& work) { return work.cancel && work.cancel->load(); }

void report(const Work& work, double fraction)
{
    if (work.progress)
        work.progress(std::clamp(fraction, 0.0, 1.0));
}

// Best-quality rate conversion of one channel, fed block by block. At a
// ratio of 1 the samples pass unchanged: the filter would otherwise move
// audio that already lies on the 8-bit steps off them.
class Resampler {
public:
    explicit Resampler(double ratio) : ratio_(ratio)
    {
        if (ratio_ != 1.0) {
            int error = 0;
            state_ = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
        }
    }
    ~Resampler()
    {
        if (state_)
            src_delete(state_);
    }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool ready() const { return ratio_ == 1.0 || state_; }

    // Appends the output for `in` to `out`; `last` flushes the filter.
    bool process(std::span<const float> in, bool last, std::vector<float>& out)
    {
        if (ratio_ == 1.0) {
            out.insert(out.end(), in.begin(), in.end());
            return true;
        }
        std::vector<float> buffer(static_cast<std::size_t>(in.size() * ratio_) + 256);
        SRC_DATA d{};
        d.src_ratio = ratio_;
        d.end_of_input = last ? 1 : 0;
        std::size_t used = 0;
        for (;;) {
            d.data_in = in.data() + used;
            d.input_frames = static_cast<long>(in.size() - used);
            d.data_out = buffer.data();
            d.output_frames = static_cast<long>(buffer.size());
            if (src_process(state_, &d) != 0)
                return false;
            used += static_cast<std::size_t>(d.input_frames_used);
            out.insert(out.end(), buffer.begin(), buffer.begin() + d.output_frames_gen);
            if (used == in.size() && (!last || d.output_frames_gen == 0))
                return true;
        }
    }

private:
    double ratio_;
    SRC_STATE* state_ = nullptr;
};

AudioError openError(int sfError)
{
    switch (sfError) {
    case SF_ERR_UNRECOGNISED_FORMAT:
    case SF_ERR_UNSUPPORTED_ENCODING: return AudioError::Unsupported;
    case SF_ERR_SYSTEM: return AudioError::CannotOpen;
    default: return AudioError::Damaged; // a known format with a broken header
    }
}

std::string formatName(int format)
{
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
        return "unknown";
    return info.name;
}

// Rates a wavesample is made for or written at, and rates of source files.
bool validRate(int rate) { return rate >= 1000 && rate <= 192000; }
bool validSourceRate(int rate) { return rate >= 1000 && rate <= 768000; }

Conversion refuse(AudioError error, SourceFormat source = {})
{
    Conversion c;
    c.error = error;
    c.source = std::move(source);
    return c;
}

// The loop placed on whole pages of the converted data, or the reason it
// cannot be.
AudioError placeLoop(const LoopRequest& request, const SourceFormat& source, double ratio, int startPage,
                     LoopPlacement& placed)
{
    const double perUnit = request.unit == LoopUnit::Seconds ? source.rate : 1.0;
    const double start = request.start * perUnit;
    const double length = request.length * perUnit;
    if (!(start >= 0) || !(length > 0) || start + length > static_cast<double>(source.frames) + 0.5)
        return AudioError::LoopOutside;
    const auto pages = [](double bytes) { return static_cast<int>(std::lround(bytes / wav::PageBytes)); };
    placed.loopStart = pages(start * ratio) * wav::PageBytes;
    placed.loopSize = std::max(1, pages(length * ratio)) * wav::PageBytes;
    const wavprep::LoopFigures figures = wavprep::loopFigures(placed.loopStart, placed.loopSize);
    placed.markerByte = figures.markerByte;
    placed.dataSize = figures.wavSize;
    placed.pointers = wavprep::pointers(placed.loopStart, placed.loopSize, startPage);
    if (placed.markerByte > LoopEndLimit || placed.pointers.wsEnd > LastPage)
        return AudioError::TooLong;
    return AudioError::None;
}

// Reads frames, mixes them to mono and resamples until `limit` samples are
// out or the file ends; `whole` tells whether all of it fitted.
AudioError convertHead(SNDFILE* file, const SourceFormat& source, double ratio, std::size_t limit,
                       const Work& work, std::vector<float>& out, bool& whole)
{
    Resampler resampler(ratio);
    if (!resampler.ready())
        return AudioError::Unsupported;
    const auto channels = static_cast<std::size_t>(source.channels);
    // Enough source for the limit and the filter's delay.
    const double needed =
        std::min(static_cast<double>(source.frames), static_cast<double>(limit) / ratio + 2.0 * BlockFrames);
    std::vector<float> frames(BlockFrames * channels);
    std::vector<float> mono(BlockFrames);
    std::int64_t read = 0;
    for (;;) {
        if (cancelled(work))
            return AudioError::Cancelled;
        const sf_count_t n = sf_readf_float(file, frames.data(), BlockFrames);
        if (n < 0 || sf_error(file) != SF_ERR_NO_ERROR)
            return AudioError::Damaged;
        for (sf_count_t i = 0; i < n; ++i) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += frames[static_cast<std::size_t>(i) * channels + c];
            mono[static_cast<std::size_t>(i)] = sum / static_cast<float>(channels);
        }
        read += n;
        const bool last = n < BlockFrames || read >= source.frames;
        if (!resampler.process(std::span(mono).first(static_cast<std::size_t>(n)), last, out))
            return AudioError::Unsupported;
        report(work, static_cast<double>(read) / needed);
        if (last || out.size() >= limit) {
            whole = last && out.size() <= limit;
            break;
        }
    }
    if (out.size() > limit)
        out.resize(limit);
    return AudioError::None;
}

// True when every sample lies on one of the 8-bit steps: nothing to dither.
bool onEightBitSteps(std::span<const float> samples)
{
    return std::all_of(samples.begin(), samples.end(), [](float x) {
        const double step = static_cast<double>(x) * 128.0;
        return std::abs(step - std::round(step)) < 1e-6;
    });
}

std::vector<std::uint8_t> toEightBit(std::span<const float> samples, bool dither, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size());
    for (float x : samples) {
        double v = 128.0 + static_cast<double>(x) * 128.0;
        if (dither)
            v += uniform(random) + uniform(random); // triangular, ±1 step
        // 0 is the instrument's end-of-sample marker.
        bytes.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(v), 1L, 255L)));
    }
    return bytes;
}

int majorFormat(Container c)
{
    switch (c) {
    case Container::Aiff: return SF_FORMAT_AIFF;
    case Container::Flac: return SF_FORMAT_FLAC;
    case Container::Wav: break;
    }
    return SF_FORMAT_WAV;
}

} // namespace

int rateOfSampleTime(int microseconds) { return microseconds > 0 ? 1'000'000 / microseconds : 0; }

std::string audioMessage(AudioError error, const std::string& path)
{
    switch (error) {
    case AudioError::None: return "";
    case AudioError::CannotOpen: return wav::importMessage(wav::ImportError::CannotOpen);
    case AudioError::Unsupported: return "Error - Audio format detect fail - unsupported file type.";
    case AudioError::NoAudio: return "Error - Audio data detect fail - no sample data.";
    case AudioError::Damaged: return "Error - Audio data read fail - file damaged or cut short.";
    case AudioError::TooLong: return "Error - Loop ends past the wavesample memory - too long.";
    case AudioError::LoopOutside: return "Error - Loop outside the audio - check loop start and length.";
    case AudioError::WriteFail: return "Error - File write fail - cannot create " + path + ".";
    case AudioError::Cancelled: return "Conversion cancelled.";
    }
    return "";
}

std::string SourceFormat::text() const
{
    char figures[96];
    const double seconds = rate > 0 ? static_cast<double>(frames) / rate : 0.0;
    const std::string layout =
        channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
    std::snprintf(figures, sizeof figures, ", %d Hz, %.3f s", rate, seconds);
    return container + ", " + encoding + ", " + layout + figures;
}

std::string Conversion::cutNotice() const
{
    if (cutSamples <= 0)
        return "";
    char text[160];
    std::snprintf(text, sizeof text, "Note - %.3f s of audio (%lld samples) cut.", cutSeconds,
                  static_cast<long long>(cutSamples));
    return text;
}

Conversion importAudio(const std::string& path, const ImportOptions& options, const Work& work)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return refuse(AudioError::CannotOpen);
    if (std::filesystem::file_size(path, ec) == 0 && !ec)
        return refuse(AudioError::NoAudio);

    SF_INFO info{};
    const File file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        return refuse(openError(sf_error(nullptr)));
    SourceFormat source;
    // "WAV (Microsoft)" is shown as "WAV".
    source.container = formatName(info.format & SF_FORMAT_TYPEMASK);
    source.container = source.container.substr(0, source.container.find(" ("));
    source.encoding = formatName(info.format & SF_FORMAT_SUBMASK);
    source.channels = info.channels;
    source.rate = info.samplerate;
    source.frames = info.frames;
    if (source.channels <= 0 || !validSourceRate(source.rate) || !validRate(options.rate))
        return refuse(AudioError::Unsupported, source);
    if (source.frames <= 0)
        return refuse(AudioError::NoAudio, source);

    const double ratio = static_cast<double>(options.rate) / source.rate;
    std::size_t limit = wav::MaxDataSize;
    std::optional<LoopPlacement> loop;
    if (options.loop) {
        LoopPlacement placed;
        const AudioError e = placeLoop(*options.loop, source, ratio,
                                       std::clamp(options.startPage, 0, wavprep::MaxStartPage), placed);
        if (e != AudioError::None)
            return refuse(e, source);
        loop = placed;
        limit = static_cast<std::size_t>(placed.dataSize);
    }
    if (options.maxPages > 0) {
        const std::size_t room = static_cast<std::size_t>(options.maxPages) * wav::PageBytes;
        if (loop && limit > room)
            return refuse(AudioError::TooLong, source);
        limit = std::min(limit, room);
    }

    std::vector<float> out;
    bool whole = false;
    if (const AudioError e = convertHead(file.get(), source, ratio, limit, work, out, whole); e != AudioError::None)
        return refuse(e, source);
    if (out.empty())
        return refuse(AudioError::NoAudio, source);

    if (options.normalise) {
        float peak = 0;
        for (float x : out)
            peak = std::max(peak, std::abs(x));
        if (peak > 0)
            for (float& x : out)
                x *= (127.0f / 128.0f) / peak;
    }

    Conversion c;
    c.source = source;
    c.rate = options.rate;
    c.loop = loop;
    c.length = static_cast<int>(out.size());
    c.dithered = !onEightBitSteps(out);
    c.samples = toEightBit(out, c.dithered, options.ditherSeed);
    const std::size_t padded =
        loop ? limit
             : std::min<std::size_t>((c.samples.size() + wav::PageBytes - 1) / wav::PageBytes * wav::PageBytes,
                                     limit);
    c.samples.resize(std::max(padded, c.samples.size()), Silence);
    if (!whole)
        c.cutSamples = std::max<std::int64_t>(1, std::llround(static_cast<double>(source.frames) * ratio) - c.length);
    c.cutSeconds = static_cast<double>(c.cutSamples) / options.rate;
    report(work, 1.0);
    return c;
}

bool resampleMono(std::span<const float> in, double ratio, std::vector<float>& out)
{
    out.clear();
    if (!(ratio > 0.0) || !std::isfinite(ratio))
        return false;
    Resampler resampler(ratio);
    if (!resampler.ready())
        return false;
    out.reserve(static_cast<std::size_t>(static_cast<double>(in.size()) * ratio) + 16);
    for (std::size_t at = 0; at < in.size() || at == 0; at += BlockFrames) {
        const std::size_t n = std::min<std::size_t>(BlockFrames, in.size() - at);
        if (!resampler.process(in.subspan(at, n), at + n >= in.size(), out))
            return false;
        if (in.empty())
            break;
    }
    return true;
}

const char* extensionOf(Container container)
{
    switch (container) {
    case Container::Aiff: return "aiff";
    case Container::Flac: return "flac";
    case Container::Wav: break;
    }
    return "wav";
}

std::string exportReplacing(const std::string& path, std::span<const std::uint8_t> samples,
                            const ExportOptions& options)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path temp = temporaryBeside(target);
    const ExportResult r = exportAudio(temp.string(), samples, rateOfSampleTime(DefaultSampleTimeUs), options);
    std::error_code ec;
    if (!r.ok()) {
        fs::remove(temp, ec);
        return audioMessage(r.error, path);
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return "Error - The file \"" + path + "\" cannot be replaced.";
    }
    return {};
}

ExportResult exportAudio(const std::string& path, std::span<const std::uint8_t> samples, int playRate,
                         const ExportOptions& options, const Work& work)
{
    ExportResult r;
    r.path = path;
    r.rate = options.rate == 0 ? playRate : options.rate;
    const auto fail = [&r](AudioError e) {
        r.error = e;
        return r;
    };
    if (samples.empty())
        return fail(AudioError::NoAudio);
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = r.rate;
    info.format = majorFormat(options.container) |
                  (options.bits == 24 ? SF_FORMAT_PCM_24 : options.bits == 16 ? SF_FORMAT_PCM_16 : 0);
    if (!validRate(playRate) || !validRate(r.rate) || !sf_format_check(&info))
        return fail(AudioError::Unsupported);

    // The instrument's unsigned bytes around 0x80 as signed full scale.
    std::vector<float> in(samples.size());
    std::transform(samples.begin(), samples.end(), in.begin(),
                   [](std::uint8_t b) { return static_cast<float>(b - 128) / 128.0f; });
    Resampler resampler(static_cast<double>(r.rate) / playRate);
    if (!resampler.ready())
        return fail(AudioError::Unsupported);
    std::vector<float> out;
    for (std::size_t at = 0; at < in.size(); at += BlockFrames) {
        if (cancelled(work))
            return fail(AudioError::Cancelled);
        const std::size_t n = std::min<std::size_t>(BlockFrames, in.size() - at);
        if (!resampler.process(std::span(in).subspan(at, n), at + n == in.size(), out))
            return fail(AudioError::Unsupported);
        report(work, 0.9 * static_cast<double>(at + n) / in.size());
    }

    // Written as integers: 8-bit steps stay exact in 16 and 24 bits.
    std::vector<int> scaled(out.size());
    std::transform(out.begin(), out.end(), scaled.begin(), [](float x) {
        return static_cast<int>(std::clamp(std::llround(static_cast<double>(x) * 2147483648.0),
                                           -2147483648LL, 2147483647LL));
    });
    {
        const File file(sf_open(path.c_str(), SFM_WRITE, &info));
        if (!file)
            return fail(AudioError::WriteFail);
        r.frames = sf_writef_int(file.get(), scaled.data(), static_cast<sf_count_t>(scaled.size()));
    }
    if (r.frames != static_cast<std::int64_t>(scaled.size())) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return fail(AudioError::WriteFail);
    }
    report(work, 1.0);
    return r;
}

} // namespace corvane::audio
