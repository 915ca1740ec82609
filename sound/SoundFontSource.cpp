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
#include <filesystem>
#include <memory>

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

// The RIFF file and the SoundFont on it, kept open while zones read samples.
struct Open {
    std::unique_ptr<RIFF::File> riff;
    std::unique_ptr<sf2::File> sf;
};

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::shared_ptr<Open> open(const std::string& path, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "The SoundFont \"" + path + "\" cannot be opened.";
        return nullptr;
    }
    auto o = std::make_shared<Open>();
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
        if (channels > 1)
            a.notes.push_back("\"" + sample->Name + "\": stereo mixed to mono.");
        if (width == 3)
            a.notes.push_back("\"" + sample->Name + "\": 24-bit data reduced to 8.");
        const auto n = static_cast<unsigned long>(std::min<std::int64_t>(total, maxFrames));
        std::vector<std::uint8_t> raw(n * static_cast<unsigned long>(frameSize));
        sample->SetPos(0);
        const unsigned long got = sample->Read(raw.data(), n);
        a.samples.resize(std::min(got, n));
        const float scale = (width == 2 ? 32768.0f : 8388608.0f) * static_cast<float>(channels);
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c) {
                const std::uint8_t* p = raw.data() + i * static_cast<std::size_t>(frameSize) + static_cast<std::size_t>(c * width);
                const std::int32_t v = width == 2 ? static_cast<std::int16_t>(p[0] | p[1] << 8)
                                                  : static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8;
                sum += static_cast<float>(v);
            }
            a.samples[i] = sum / scale;
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

PresetList soundFontPresets(const std::string& path)
{
    PresetList list;
    const auto o = open(path, list.error);
    if (!o)
        return list;
    try {
        for (int i = 0; i < o->sf->GetPresetCount(); ++i) {
            sf2::Preset* p = o->sf->GetPreset(i);
            if (!p)
                continue;
            PresetInfo info;
            info.index = i;
            info.bank = p->Bank;
            info.program = p->PresetNum;
            info.name = trimmed(p->Name);
            for (int r = 0; r < p->GetRegionCount(); ++r)
                if (sf2::Region* pr = p->GetRegion(r); pr && pr->pInstrument)
                    info.zones += pr->pInstrument->GetRegionCount();
            list.presets.push_back(info);
        }
    } catch (RIFF::Exception& e) {
        list.error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.Message;
    }
    if (list.error.empty() && list.presets.empty())
        list.error = "The SoundFont \"" + fileName(path) + "\" holds no presets.";
    return list;
}

Source readSoundFont(const std::string& path, const std::string& presetName)
{
    Source s;
    const auto o = open(path, s.error);
    if (!o)
        return s;
    s.keep = o;
    try {
        sf2::Preset* preset = nullptr;
        const int count = o->sf->GetPresetCount();
        if (presetName.empty()) {
            preset = count > 0 ? o->sf->GetPreset(0) : nullptr;
        } else {
            bool number = !presetName.empty() && std::all_of(presetName.begin(), presetName.end(),
                                                              [](unsigned char c) { return std::isdigit(c); });
            // A number is the preset's program number, bank 0 first.
            if (number && presetName.size() <= 3) {
                const int program = std::stoi(presetName);
                for (int i = 0; i < count; ++i)
                    if (sf2::Preset* p = o->sf->GetPreset(i);
                        p && p->PresetNum == program && (!preset || p->Bank < preset->Bank))
                        preset = p;
            }
            for (int i = 0; !preset && i < count; ++i)
                if (sf2::Preset* p = o->sf->GetPreset(i); p && lowered(trimmed(p->Name)) == lowered(trimmed(presetName)))
                    preset = p;
        }
        if (!preset) {
            s.error = "The SoundFont \"" + fileName(path) + "\" has no preset \"" + presetName + "\".";
            return s;
        }
        int stereo = 0, layers = 0;
        for (int r = 0; r < preset->GetRegionCount(); ++r) {
            sf2::Region* pr = preset->GetRegion(r);
            if (!pr || !pr->pInstrument)
                continue;
            sf2::Instrument* inst = pr->pInstrument;
            for (int k = 0; k < inst->GetRegionCount(); ++k) {
                sf2::Region* ir = inst->GetRegion(k);
                if (!ir || !ir->pSample)
                    continue;
                sf2::Sample* sample = ir->pSample;
                if (!usable(sample)) {
                    ++stereo;
                    continue;
                }
                const int minVel = std::max(low(ir->minVel), low(pr->minVel));
                const int maxVel = std::min(high(ir->maxVel), high(pr->maxVel));
                if (!(minVel <= 100 && 100 <= maxVel)) {
                    ++layers;
                    continue;
                }
                const int lo = std::max(low(ir->loKey), low(pr->loKey));
                const int hi = std::min(high(ir->hiKey), high(pr->hiKey));
                if (lo > hi)
                    continue;
                Zone z;
                z.name = trimmed(sample->Name);
                z.file = path;
                z.lo = lo;
                z.hi = hi;
                const int root = ir->overridingRootKey >= 0 && ir->overridingRootKey <= 127 ? ir->overridingRootKey
                                 : sample->OriginalPitch <= 127                               ? sample->OriginalPitch
                                                                                              : 60;
                const double cents = static_cast<std::int8_t>(sample->PitchCorrection) + ir->GetFineTune(pr) +
                                     100.0 * ir->GetCoarseTune(pr);
                z.pitch = root - cents / 100.0;
                z.frames = sample->GetTotalFrameCount();
                if (z.frames <= 0)
                    continue;
                if (ir->HasLoop) {
                    if (ir->LoopEnd <= ir->LoopStart || static_cast<std::int64_t>(ir->LoopEnd) > z.frames) {
                        s.error = "The SoundFont \"" + fileName(path) + "\": the loop of \"" + z.name + "\" (" +
                                  std::to_string(ir->LoopStart) + "-" + std::to_string(ir->LoopEnd) +
                                  ") lies outside its sample.";
                        return s;
                    }
                    z.loop = LoopKind::Source;
                    z.loopStart = ir->LoopStart;
                    z.loopEnd = ir->LoopEnd;
                } else {
                    z.loop = LoopKind::Off;
                }
                z.read = [o, sample](std::int64_t maxFrames) { return readSample(o, sample, maxFrames); };
                s.zones.push_back(std::move(z));
            }
        }
        if (stereo > 0)
            s.notes.push_back(std::to_string(stereo) + " right-hand samples (read with their left) or ROM samples left out.");
        if (layers > 0)
            s.notes.push_back(std::to_string(layers) + " velocity layers left out (those that play at velocity 100 are taken).");
        if (s.zones.empty())
            s.error = "The preset \"" + trimmed(preset->Name) + "\" of \"" + fileName(path) + "\" has no samples that can be used.";
    } catch (RIFF::Exception& e) {
        s.error = "The SoundFont \"" + fileName(path) + "\" cannot be read: " + e.Message;
    }
    return s;
}

} // namespace corvane::build
