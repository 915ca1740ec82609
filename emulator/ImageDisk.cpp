#include "ImageDisk.h"

#include <algorithm>

namespace corvane::emu {

disk::SlotData slotDataOf(const Half& half)
{
    disk::SlotData d;
    auto out = d.program.begin();
    out = std::copy(half.leading.begin(), half.leading.end(), out);
    for (const Wavesample& w : half.wavesamples)
        out = std::copy(w.bytes.begin(), w.bytes.end(), out);
    out = std::copy(half.further.begin(), half.further.end(), out);
    for (const Program& p : half.programs)
        out = std::copy(p.bytes.begin(), p.bytes.end(), out);
    d.memory = half.memory;
    return d;
}

Half halfOf(const disk::SlotData& data)
{
    Half h;
    auto in = data.program.begin();
    auto take = [&in](auto& bytes) {
        std::copy_n(in, bytes.size(), bytes.begin());
        in += static_cast<std::ptrdiff_t>(bytes.size());
    };
    take(h.leading);
    for (Wavesample& w : h.wavesamples)
        take(w.bytes);
    take(h.further);
    for (Program& p : h.programs)
        take(p.bytes);
    h.memory = data.memory;
    return h;
}

ImageDisk::ImageDisk(std::string path, Report report) : path_(std::move(path)), report_(std::move(report)) {}

std::string ImageDisk::check() const
{
    disk::Image image;
    return image.open(path_);
}

void ImageDisk::attach(MirageEmulator& emulator)
{
    emulator.setDiskHooks({[this](int slot, DiskSound& sound) { return load(slot, sound); },
                           [this](int slot, const DiskSound& sound, bool lower, bool upper) {
                               saved(slot, sound, lower, upper);
                           }});
}

// A half whose slot holds no sound is not loaded, as from a disk without it.
std::array<bool, 2> ImageDisk::load(int slot, DiskSound& sound)
{
    disk::Image image;
    if (const std::string error = image.open(path_); !error.empty()) {
        report_(error);
        return {false, false};
    }
    std::array<bool, 2> held{};
    for (int half = 0; half < 2; ++half) {
        const int s = 2 * slot + half;
        const disk::SlotData data = image.slot(s);
        const disk::SlotCheck c = disk::checkProgram(data.program);
        if (c.state != disk::SlotState::Sound) {
            report_("Error - Slot " + disk::slotName(s) + " of \"" + path_ + "\" " + c.text + "; it is not loaded.");
            continue;
        }
        (half == 0 ? sound.lower : sound.upper) = halfOf(data);
        held[static_cast<std::size_t>(half)] = true;
    }
    return held;
}

void ImageDisk::saved(int slot, const DiskSound& sound, bool lower, bool upper)
{
    disk::Image image;
    std::string error = image.open(path_);
    if (error.empty()) {
        if (lower)
            image.setSlot(2 * slot, slotDataOf(sound.lower));
        if (upper)
            image.setSlot(2 * slot + 1, slotDataOf(sound.upper));
        error = image.save(path_);
    }
    if (!error.empty())
        report_(error);
}

} // namespace corvane::emu
