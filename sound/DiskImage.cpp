#include "DiskImage.h"

#include "Dumps.h"
#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace corvane::disk {

namespace {

constexpr std::size_t PageSize = 256;

// The data byte of a wavesample field in the 625 program bytes.
int wsField(std::span<const std::uint8_t, Layout::ProgramData> program, int w, int offset)
{
    return program[static_cast<std::size_t>((wavesampleFieldPos(w, offset) - 4) / 2)];
}

std::string hexPage(int page) { return hexByte(static_cast<std::uint8_t>(page)); }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

std::string sizeMessage(const std::string& name, std::uintmax_t size)
{
    return "Error - " + quoted(name) + " is " + std::to_string(size) + " bytes long; a Mirage disk image is " +
           std::to_string(Layout::ImageSize) + " bytes" + (size < Layout::ImageSize ? " (is it cut short?)." : ".");
}

bool validSlot(int slot) { return slot >= 0 && slot < Layout::Slots; }

} // namespace

SectorRef parameterSector(int slot)
{
    return {Layout::FirstTrack[static_cast<std::size_t>(slot)], 0};
}

std::array<SectorRef, Layout::DataSectors> dataSectors(int slot)
{
    std::array<SectorRef, Layout::DataSectors> s{};
    const int first = Layout::FirstTrack[static_cast<std::size_t>(slot)];
    std::size_t k = 0;
    for (int sector = 1; sector <= 4; ++sector)
        s[k++] = {first, sector};
    for (int track = first + 1; track < first + Layout::SoundTracks; ++track)
        for (int sector = 0; sector <= 4; ++sector)
            s[k++] = {track, sector};
    return s;
}

std::string slotName(int slot)
{
    if (!validSlot(slot))
        return "?";
    return (halfOfSlot(slot) == 0 ? "L" : "U") + std::to_string(soundOfSlot(slot) + 1);
}

int slotFromName(const std::string& name)
{
    if (name.size() != 2 || name[1] < '1' || name[1] > '3')
        return -1;
    const char h = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (h != 'L' && h != 'U')
        return -1;
    return 2 * (name[1] - '1') + (h == 'U' ? 1 : 0);
}

SlotCheck checkProgram(std::span<const std::uint8_t, Layout::ProgramData> program)
{
    if (std::all_of(program.begin(), program.end(), [&](std::uint8_t b) { return b == program[0]; }))
        return {SlotState::Empty, "holds no sound"};
    for (int w = 0; w < 8; ++w) {
        const int start = wsField(program, w, wsf::StartPage);
        const int end = wsField(program, w, wsf::EndPage);
        const int loopStart = wsField(program, w, wsf::LoopStart);
        const int loopEnd = wsField(program, w, wsf::LoopEnd);
        if (start <= loopStart && loopStart <= loopEnd && loopEnd <= end)
            continue;
        return {SlotState::Damaged, "is damaged: wavesample " + std::to_string(w + 1) + " has pages " +
                                        hexPage(start) + "-" + hexPage(end) + " and its loop " + hexPage(loopStart) +
                                        "-" + hexPage(loopEnd)};
    }
    return {};
}

// ---- the image ----------------------------------------------------------------------

std::string Image::assign(Bytes bytes, const std::string& name)
{
    if (bytes.size() != Layout::ImageSize)
        return sizeMessage(name, bytes.size());
    bytes_ = std::move(bytes);
    return {};
}

std::string Image::open(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    if (fs::is_directory(p, ec))
        return "Error - " + quoted(path) + " is a folder, not a disk image.";
    const auto size = fs::file_size(p, ec);
    std::ifstream in(p, std::ios::binary);
    if (ec || !in)
        return "Error - The file " + quoted(path) + " cannot be opened.";
    // A file of another size is not read at all.
    if (size != Layout::ImageSize)
        return sizeMessage(path, size);
    Bytes bytes(Layout::ImageSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return "Error - The file " + quoted(path) + " cannot be read whole.";
    return assign(std::move(bytes), path);
}

std::string Image::save(const std::string& path) const
{
    if (bytes_.size() != Layout::ImageSize)
        return "Error - There is no disk image to write.";
    return sound::writeAtomically(path, bytes_);
}

SlotData Image::slot(int slot) const
{
    SlotData d;
    if (!validSlot(slot) || bytes_.size() != Layout::ImageSize)
        return d;
    const SectorRef p = parameterSector(slot);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(sectorOffset(p.track, p.sector)), Layout::ProgramData,
                d.program.begin());
    std::size_t at = 0;
    for (const SectorRef s : dataSectors(slot)) {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(sectorOffset(s.track, s.sector)), Layout::BigSector,
                    d.memory.begin() + static_cast<std::ptrdiff_t>(at));
        at += Layout::BigSector;
    }
    return d;
}

SlotCheck Image::check(int slot) const { return checkProgram(this->slot(slot).program); }

void Image::setSlot(int slot, const SlotData& data)
{
    if (!validSlot(slot) || bytes_.size() != Layout::ImageSize || data.memory.size() != PageSize * sound::MaxPages)
        return;
    const SectorRef p = parameterSector(slot);
    std::copy(data.program.begin(), data.program.end(),
              bytes_.begin() + static_cast<std::ptrdiff_t>(sectorOffset(p.track, p.sector)));
    std::size_t at = 0;
    for (const SectorRef s : dataSectors(slot)) {
        std::copy_n(data.memory.begin() + static_cast<std::ptrdiff_t>(at), Layout::BigSector,
                    bytes_.begin() + static_cast<std::ptrdiff_t>(sectorOffset(s.track, s.sector)));
        at += Layout::BigSector;
    }
}

// ---- slots as sound halves ------------------------------------------------------------

sound::Bytes programDumpOf(int half, std::span<const std::uint8_t, Layout::ProgramData> program)
{
    return makeProgramDump(half, program);
}

std::array<std::uint8_t, Layout::ProgramData> programDataOf(std::span<const std::uint8_t> programDump)
{
    std::array<std::uint8_t, Layout::ProgramData> p{};
    for (std::size_t k = 0; k < p.size(); ++k)
        p[k] = static_cast<std::uint8_t>(getNibblePair(programDump.data(), programDump.size(), static_cast<int>(4 + 2 * k)));
    return p;
}

sound::Half halfOf(const SlotData& data, int half)
{
    sound::Half h;
    h.half = half;
    h.programDump = programDumpOf(half, data.program);
    for (const sound::WavesampleEntry& e : sound::wavesampleEntries(h.programDump)) {
        if (!e.first)
            continue;
        const auto from = static_cast<std::size_t>(e.range.start) * PageSize;
        const std::span<const std::uint8_t> samples(data.memory.data() + from,
                                                    static_cast<std::size_t>(e.range.pages()) * PageSize);
        h.wavesampleDumps.push_back(makeWavesampleDump(e.range.pages(), samples));
    }
    return h;
}

SlotData slotOf(const sound::Half& half, SlotData into)
{
    into.program = programDataOf(half.programDump);
    for (const sound::WavesampleEntry& e : sound::wavesampleEntries(half.programDump)) {
        if (!e.first || e.dump < 0 || static_cast<std::size_t>(e.dump) >= half.wavesampleDumps.size())
            continue;
        const sound::Bytes samples = sound::wavesampleSamples(half.wavesampleDumps[static_cast<std::size_t>(e.dump)]);
        const auto from = static_cast<std::size_t>(e.range.start) * PageSize;
        const std::size_t n = std::min(samples.size(), into.memory.size() - from);
        std::copy_n(samples.begin(), n, into.memory.begin() + static_cast<std::ptrdiff_t>(from));
    }
    return into;
}

SlotRead readSlot(const Image& image, int slot)
{
    SlotRead r;
    const SlotData data = image.slot(slot);
    r.check = checkProgram(data.program);
    if (r.ok())
        r.half = halfOf(data, halfOfSlot(slot));
    return r;
}

std::string slotSummary(const Image& image, int slot)
{
    const SlotRead r = readSlot(image, slot);
    if (!r.ok())
        return r.check.state == SlotState::Empty ? "empty" : "damaged";
    int wavesamples = 0, pages = 0;
    for (const sound::WavesampleEntry& e : sound::wavesampleEntries(r.half.programDump))
        if (e.first) {
            ++wavesamples;
            pages += e.range.pages();
        }
    return std::to_string(wavesamples) + (wavesamples == 1 ? " wavesample, " : " wavesamples, ") + std::to_string(pages) +
           (pages == 1 ? " page" : " pages");
}

std::string insertHalf(const std::string& path, int slot, const sound::Half& half)
{
    if (!validSlot(slot))
        return "Error - There is no slot " + std::to_string(slot) + " on a disk.";
    const SlotCheck c = checkProgram(programDataOf(half.programDump));
    if (c.state != SlotState::Sound)
        return "Error - The sound " + c.text + "; it is not written to the disk image.";
    Image image;
    if (std::string error = image.open(path); !error.empty())
        return error;
    image.setSlot(slot, slotOf(half, image.slot(slot)));
    return image.save(path);
}

const sound::Half* halfForSlot(const sound::Sound& sound, int slot)
{
    const sound::Half* half = sound.find(halfOfSlot(slot));
    if (!half && sound.halves.size() == 1)
        half = &sound.halves.front();
    return half;
}

std::string exportName(const std::string& imageStem, int slot, int wavesample, const std::string& extension)
{
    return imageStem + "-" + slotName(slot) + "-" + std::to_string(wavesample + 1) + "." + extension;
}

} // namespace corvane::disk
