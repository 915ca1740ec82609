// corvane-disk: lists the sounds of Mirage floppy disk images, exports their
// wavesamples as audio files, and copies a sound between an image and a
// .syx file. No display needed.
#include "AudioConvert.h"
#include "CorvaneVersion.h"
#include "DiskImage.h"
#include "HexText.h"
#include "Measure.h"
#include "MirageEmulator.h"
#include "SoundBuilder.h"
#include "SoundFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace corvane;

constexpr int Ok = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;

const char* const HelpText =
    "Usage: corvane-disk COMMAND ...\n"
    "Reads and writes the sounds of Ensoniq Mirage floppy disk images (raw images of\n"
    "450560 bytes, as Gotek/FlashFloppy and HxC floppy emulators use them).\n\n"
    "  list IMAGE...                     the six sounds of each image, their\n"
    "                                    wavesamples and page ranges\n"
    "  export IMAGE... --to DIR [--format wav|aiff|flac] [--rate HZ]\n"
    "                                    every wavesample of every sound as an audio\n"
    "                                    file DIR/IMAGE-SLOT-WS.EXT (WS is 1-8); an\n"
    "                                    IMAGE that is a folder stands for its *.img\n"
    "                                    files. The files play at 29411 Hz (a sample\n"
    "                                    time of 34 us) unless --rate resamples them.\n"
    "  extract IMAGE SLOT FILE.syx       one sound half as a .syx sound file\n"
    "  insert IMAGE SLOT FILE.syx        a .syx sound file's half into the image;\n"
    "                                    nothing else of the image changes\n"
    "  inspect FILE.syx...               one line for each wavesample of a sound\n"
    "                                    file: lead-in samples, level, pitch (MIDI\n"
    "                                    key at 29411 Hz) over the attack and over\n"
    "                                    the loop, loop length, swell, level\n"
    "                                    range and splice\n"
    "  build SOURCE... [--preset BANK:PROGRAM|N|NAME] [--half lower|upper]\n"
    "        [--template FILE.syx] [--zones N] [--spread] [--unity NOTE]\n"
    "        [--fine-tune N] [--octave-step N]\n"
    "        (--to OUT.syx | --into IMAGE SLOT [--no-backup])\n"
    "                                    one keyboard half built from a SoundFont 2\n"
    "                                    preset, an SFZ file, or audio files and\n"
    "                                    folders: up to 8 wavesamples, tuned, looped\n"
    "                                    and fitted into 256 pages. The preset is\n"
    "                                    BANK:PROGRAM, a program number (its lowest\n"
    "                                    bank) or a name or the start of one; by\n"
    "                                    default the lowest BANK:PROGRAM. A preset of\n"
    "                                    bank 128 is a drum kit: eight drums by role.\n"
    "                                    --zones is the most zones; the builder\n"
    "                                    chooses how many. The template's program\n"
    "                                    dump (else the built-in default) gives\n"
    "                                    everything else. --spread gives files\n"
    "                                    without a root note, or a preset's zones,\n"
    "                                    equal shares of the keyboard. --unity is\n"
    "                                    the key a wavesample made at 29411 Hz\n"
    "                                    plays at its own pitch (E3 lower, A5\n"
    "                                    upper); --fine-tune is every wavesample's\n"
    "                                    fine tune, 0-255 (by default the\n"
    "                                    template's first wavesample's). --into\n"
    "                                    keeps the image as it was as IMAGE.bak\n"
    "                                    unless --no-backup\n"
    "  presets FILE.sf2                  the presets of a SoundFont: BANK:PROGRAM,\n"
    "                                    name and zones\n\n"
    "SLOT is L1, U1, L2, U2, L3 or U3: the lower or upper half of sound 1-3.\n"
    "The operating system, the configuration and sequences on the disk are never\n"
    "written; files are replaced whole or not at all.\n\n"
    "--help shows this text, --version the version.\n\n"
    "Exit status: 0 done, 1 an image or file was refused or not written (the others\n"
    "are still done), 2 wrong usage.\n";

int usage(const std::string& text)
{
    std::cerr << "corvane-disk: " << text << "\n(see corvane-disk --help)\n";
    return Usage;
}

int fail(const std::string& text)
{
    std::cerr << "corvane-disk: " << text << "\n";
    return Failed;
}

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string hex2(int v) { return corvane::hexByte(static_cast<std::uint8_t>(v)); }

// ---- list ---------------------------------------------------------------------------

std::string slotLine(const disk::Image& image, int slot)
{
    const disk::SlotRead r = disk::readSlot(image, slot);
    std::string line = "  " + disk::slotName(slot) + "  ";
    if (!r.ok())
        return line + (r.check.state == disk::SlotState::Empty ? "empty" : "damaged (" + r.check.text + ")");
    const auto entries = sound::wavesampleEntries(r.half.programDump);
    int pages = 0;
    std::string ranges;
    for (std::size_t w = 0; w < entries.size(); ++w) {
        const sound::PageRange& p = entries[w].range;
        ranges += " " + std::to_string(w + 1) + ":" + hex2(p.start) + "-" + hex2(p.end);
        pages += entries[w].first ? p.pages() : 0;
    }
    const int differ = sound::dumpsNeeded(r.half.programDump);
    return line + std::to_string(differ) + (differ == 1 ? " wavesample, " : " wavesamples, ") + std::to_string(pages) + (pages == 1 ? " page (" : " pages (") + std::to_string(pages * 256) +
           " bytes);" + ranges;
}

int list(const std::vector<std::string>& images)
{
    if (images.empty())
        return usage("list needs at least one IMAGE");
    int result = Ok;
    for (const std::string& path : images) {
        disk::Image image;
        if (const std::string error = image.open(path); !error.empty()) {
            result = fail(error);
            continue;
        }
        std::cout << path << "\n";
        for (int slot = 0; slot < disk::Layout::Slots; ++slot)
            std::cout << slotLine(image, slot) << "\n";
    }
    return result;
}

// ---- export -------------------------------------------------------------------------

struct ExportRequest {
    std::vector<std::string> images;
    std::string to;
    audio::ExportOptions options;
};

// An image named on the command line, or the *.img files of a folder.
std::vector<std::string> expand(const std::vector<std::string>& args)
{
    std::vector<std::string> out;
    for (const std::string& a : args) {
        std::error_code ec;
        if (!fs::is_directory(a, ec)) {
            out.push_back(a);
            continue;
        }
        std::vector<std::string> inside;
        for (const auto& e : fs::directory_iterator(a, ec))
            if (lowered(e.path().extension().string()) == ".img")
                inside.push_back(e.path().string());
        std::sort(inside.begin(), inside.end());
        out.insert(out.end(), inside.begin(), inside.end());
    }
    return out;
}

// Exports every wavesample of one image; false when something was refused.
bool exportImage(const std::string& path, const ExportRequest& request, std::string& progress)
{
    disk::Image image;
    if (const std::string error = image.open(path); !error.empty()) {
        fail(error);
        return false;
    }
    const std::string stem = fs::path(path).stem().string();
    int files = 0;
    std::vector<std::string> skipped;
    for (int slot = 0; slot < disk::Layout::Slots; ++slot) {
        const disk::SlotData data = image.slot(slot);
        const disk::SlotCheck check = disk::checkProgram(data.program);
        if (check.state != disk::SlotState::Sound) {
            skipped.push_back(disk::slotName(slot) + (check.state == disk::SlotState::Empty ? " empty" : " damaged"));
            continue;
        }
        const auto entries = sound::wavesampleEntries(disk::programDumpOf(disk::halfOfSlot(slot), data.program));
        for (std::size_t w = 0; w < entries.size(); ++w) {
            const sound::PageRange& p = entries[w].range;
            const std::span<const std::uint8_t> samples(data.memory.data() + static_cast<std::size_t>(p.start) * 256,
                                                        static_cast<std::size_t>(p.pages()) * 256);
            const fs::path target = fs::path(request.to) / disk::exportName(stem, slot, static_cast<int>(w),
                                                                            audio::extensionOf(request.options.container));
            if (const std::string error = audio::exportReplacing(target.string(), samples, request.options);
                !error.empty()) {
                fail(error);
                return false;
            }
            ++files;
        }
    }
    progress = path + ": " + std::to_string(files) + " files";
    for (const std::string& s : skipped)
        progress += ", " + s;
    return true;
}

std::optional<ExportRequest> exportRequest(const std::vector<std::string>& args, std::string& why)
{
    ExportRequest r;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool option = a == "--to" || a == "--format" || a == "--rate";
        if (option && i + 1 >= args.size()) {
            why = a + " needs a value";
            return std::nullopt;
        }
        if (a == "--to") {
            r.to = args[++i];
        } else if (a == "--format") {
            const std::string f = lowered(args[++i]);
            if (f != "wav" && f != "aiff" && f != "flac") {
                why = "--format takes wav, aiff or flac";
                return std::nullopt;
            }
            r.options.container = f == "aiff" ? audio::Container::Aiff
                                  : f == "flac" ? audio::Container::Flac
                                                : audio::Container::Wav;
        } else if (a == "--rate") {
            const std::string v = args[++i];
            const bool digits = !v.empty() && v.size() < 7 && std::all_of(v.begin(), v.end(), ::isdigit);
            r.options.rate = digits ? std::stoi(v) : 0;
            if (r.options.rate < 1000 || r.options.rate > 192000) {
                why = "--rate takes a rate from 1000 to 192000 Hz";
                return std::nullopt;
            }
        } else if (a.starts_with("--")) {
            why = "unknown option " + a;
            return std::nullopt;
        } else {
            r.images.push_back(a);
        }
    }
    if (r.to.empty())
        why = "export needs --to DIR";
    else if (r.images.empty())
        why = "export needs at least one IMAGE";
    return why.empty() ? std::optional(r) : std::nullopt;
}

int exportAll(const std::vector<std::string>& args)
{
    std::string why;
    std::optional<ExportRequest> request = exportRequest(args, why);
    if (!request)
        return usage(why);
    std::error_code ec;
    fs::create_directories(request->to, ec);
    if (!fs::is_directory(request->to, ec))
        return fail("Error - The folder \"" + request->to + "\" cannot be made.");
    const std::vector<std::string> images = expand(request->images);
    if (images.empty())
        return fail("Error - There is no disk image (*.img) to export.");
    int result = Ok;
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::string progress;
        if (!exportImage(images[i], *request, progress)) {
            result = Failed;
            continue;
        }
        std::cout << "[" << i + 1 << "/" << images.size() << "] " << progress << std::endl;
    }
    return result;
}

// ---- extract and insert --------------------------------------------------------------

// The slot of IMAGE SLOT FILE.syx, or why the arguments are wrong
// (`verb` names the command).
std::optional<int> slotArguments(const std::vector<std::string>& args, const char* verb, std::string& why)
{
    if (args.size() != 3) {
        why = std::string(verb) + " takes IMAGE SLOT FILE.syx";
        return std::nullopt;
    }
    const int slot = disk::slotFromName(args[1]);
    if (slot < 0) {
        why = "SLOT is L1, U1, L2, U2, L3 or U3, not \"" + args[1] + "\"";
        return std::nullopt;
    }
    return slot;
}

int extract(const std::vector<std::string>& args)
{
    std::string why;
    const std::optional<int> given = slotArguments(args, "extract", why);
    if (!given)
        return usage(why);
    const int slot = *given;
    disk::Image image;
    if (const std::string error = image.open(args[0]); !error.empty())
        return fail(error);
    const disk::SlotRead r = disk::readSlot(image, slot);
    if (!r.ok())
        return fail("Error - Slot " + disk::slotName(slot) + " of \"" + args[0] + "\" " + r.check.text + ".");
    sound::Sound s;
    s.halves.push_back(r.half);
    if (const std::string error = sound::writeAtomically(args[2], sound::fileImage(s)); !error.empty())
        return fail(error);
    return Ok;
}

int insert(const std::vector<std::string>& args)
{
    std::string why;
    const std::optional<int> given = slotArguments(args, "insert", why);
    if (!given)
        return usage(why);
    const int slot = *given;
    const sound::ReadResult r = sound::readFile(args[2]);
    if (!r.ok())
        return fail(r.text);
    const sound::Half* half = disk::halfForSlot(r.sound, slot);
    if (!half)
        return fail("Error - \"" + args[2] + "\" holds no half to put into " + disk::slotName(slot) + ".");
    if (const std::string error = disk::insertHalf(args[0], slot, *half); !error.empty())
        return fail(error);
    return Ok;
}

// ---- inspect -------------------------------------------------------------------------

int inspect(const std::vector<std::string>& files)
{
    if (files.empty())
        return usage("inspect needs at least one FILE.syx");
    int result = Ok;
    for (const std::string& path : files) {
        const sound::ReadResult r = sound::readFile(path);
        if (!r.ok()) {
            result = fail("\"" + path + "\": " + r.text);
            continue;
        }
        std::cout << path << "\n";
        for (const sound::Half& half : r.sound.halves)
            for (const measure::Wavesample& w : measure::measureHalf(half))
                std::cout << "  " << measure::line(w, half.half) << "\n";
    }
    return result;
}

// ---- build ---------------------------------------------------------------------------

struct BuildRequest {
    std::vector<std::string> sources;
    std::string preset;
    int half = -1;
    std::string templateFile;
    int zones = build::MaxWavesamples;
    bool spread = false;
    int unity = build::NoKey;
    int octaveStep = 1;
    int fineTune = -1;
    std::string to;
    std::string image;
    int slot = -1;
    bool backup = true;
};

std::optional<BuildRequest> buildRequest(const std::vector<std::string>& args, std::string& why)
{
    BuildRequest r;
    const auto number = [](const std::string& v, int lo, int hi) {
        const bool digits = !v.empty() && v.size() < 4 && std::all_of(v.begin(), v.end(), ::isdigit);
        const int n = digits ? std::stoi(v) : lo - 1;
        return n >= lo && n <= hi ? n : lo - 1;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool option = a == "--preset" || a == "--half" || a == "--template" || a == "--zones" || a == "--to" ||
                            a == "--unity" || a == "--octave-step" || a == "--fine-tune";
        if (option && i + 1 >= args.size()) {
            why = a + " needs a value";
            return std::nullopt;
        }
        if (a == "--preset") {
            r.preset = args[++i];
        } else if (a == "--half") {
            const std::string h = lowered(args[++i]);
            if (h != "lower" && h != "upper") {
                why = "--half takes lower or upper";
                return std::nullopt;
            }
            r.half = h == "upper" ? 1 : 0;
        } else if (a == "--template") {
            r.templateFile = args[++i];
        } else if (a == "--zones") {
            r.zones = number(args[++i], 1, build::MaxWavesamples);
            if (r.zones < 1) {
                why = "--zones takes 1 to 8";
                return std::nullopt;
            }
        } else if (a == "--unity") {
            r.unity = build::parseKey(lowered(args[++i]));
            if (r.unity == build::NoKey) {
                why = "--unity takes a note (E3, A5) or a MIDI key 0-127";
                return std::nullopt;
            }
        } else if (a == "--octave-step") {
            r.octaveStep = number(args[++i], 1, 7);
            if (r.octaveStep < 1) {
                why = "--octave-step takes 1 to 7";
                return std::nullopt;
            }
        } else if (a == "--fine-tune") {
            r.fineTune = number(args[++i], 0, 255);
            if (r.fineTune < 0) {
                why = "--fine-tune takes 0 to 255";
                return std::nullopt;
            }
        } else if (a == "--spread") {
            r.spread = true;
        } else if (a == "--no-backup") {
            r.backup = false;
        } else if (a == "--to") {
            r.to = args[++i];
        } else if (a == "--into") {
            if (i + 2 >= args.size()) {
                why = "--into needs IMAGE and SLOT";
                return std::nullopt;
            }
            r.image = args[++i];
            r.slot = disk::slotFromName(args[++i]);
            if (r.slot < 0) {
                why = "SLOT is L1, U1, L2, U2, L3 or U3, not \"" + args[i] + "\"";
                return std::nullopt;
            }
        } else if (a.starts_with("--")) {
            why = "unknown option " + a;
            return std::nullopt;
        } else {
            r.sources.push_back(a);
        }
    }
    if (r.sources.empty())
        why = "build needs at least one SOURCE";
    else if (r.to.empty() == r.image.empty())
        why = "build needs either --to OUT.syx or --into IMAGE SLOT";
    else if (r.slot >= 0 && r.half >= 0 && r.half != disk::halfOfSlot(r.slot))
        why = "--half " + std::string(r.half ? "upper" : "lower") + " does not match slot " + disk::slotName(r.slot);
    if (r.half < 0)
        r.half = r.slot >= 0 ? disk::halfOfSlot(r.slot) : 0;
    return why.empty() ? std::optional(r) : std::nullopt;
}

// The program dump of the half from a .syx sound file, or the built-in one.
bool templateDump(const BuildRequest& r, sound::Bytes& dump, std::string& error)
{
    if (r.templateFile.empty()) {
        dump = emu::MirageEmulator().programDump(r.half);
        return true;
    }
    const sound::ReadResult file = sound::readFile(r.templateFile);
    if (!file.ok()) {
        error = file.text;
        return false;
    }
    const sound::Half* h = file.sound.find(r.half);
    if (!h && file.sound.halves.size() == 1)
        h = &file.sound.halves.front();
    if (!h) {
        error = "Error - \"" + r.templateFile + "\" holds no program dump to start from.";
        return false;
    }
    dump = h->programDump;
    return true;
}

// The half into the image's slot, the image as it was kept beside it as
// IMAGE.bak first (as the Disk Images window keeps it) unless `backup` is
// off; what was replaced is said.
int writeInto(const BuildRequest& r, const sound::Half& half)
{
    disk::Image before;
    if (const std::string error = before.open(r.image); !error.empty())
        return fail(error);
    const std::string was = disk::slotSummary(before, r.slot);
    const std::string backupPath = r.image + ".bak";
    if (r.backup)
        if (const std::string error = before.save(backupPath); !error.empty())
            return fail(error + " The image is unchanged.");
    if (const std::string error = disk::insertHalf(r.image, r.slot, half); !error.empty())
        return fail(error);
    std::cout << "Replaced " << disk::slotName(r.slot) << " of \"" << r.image << "\" (" << was << ") with the built half"
              << (r.backup ? "; the image as it was is kept as \"" + backupPath + "\"." : "; no backup kept.") << std::endl;
    return Ok;
}

int buildSound(const std::vector<std::string>& args)
{
    std::string why;
    const std::optional<BuildRequest> r = buildRequest(args, why);
    if (!r)
        return usage(why);
    build::BuildOptions options;
    options.half = r->half;
    options.zones = r->zones;
    options.unityKey = r->unity;
    options.octaveStep = r->octaveStep;
    options.fineTune = r->fineTune;
    if (!templateDump(*r, options.templateDump, why))
        return fail(why);
    const build::Source source = build::readSources(r->sources, r->preset, r->spread);
    if (!source.ok())
        return fail("Error - " + source.error);
    const build::BuildResult built = build::buildHalf(source, options);
    if (!built.ok())
        return fail("Error - " + built.text);
    for (const std::string& line : build::reportLines(built))
        std::cout << line << "\n";
    std::cout << build::builtSummary(built) << std::endl;
    if (!r->to.empty()) {
        sound::Sound s;
        s.halves.push_back(built.half);
        if (const std::string error = sound::writeAtomically(r->to, sound::fileImage(s)); !error.empty())
            return fail(error);
        std::cout << "Saved \"" << r->to << "\"." << std::endl;
        return Ok;
    }
    return writeInto(*r, built.half);
}

// ---- presets ------------------------------------------------------------------------

int presets(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return usage("presets takes FILE.sf2");
    build::PresetList list = build::soundFontPresets(args[0]);
    if (!list.error.empty())
        return fail("Error - " + list.error);
    std::sort(list.presets.begin(), list.presets.end(), [](const build::PresetInfo& a, const build::PresetInfo& b) {
        return a.bank != b.bank ? a.bank < b.bank : a.program < b.program;
    });
    for (const build::PresetInfo& p : list.presets) {
        std::string line = build::presetLabel(p);
        line.resize(std::max<std::size_t>(line.size() + 2, 32), ' ');
        std::cout << line << p.zones << (p.zones == 1 ? " zone" : " zones") << (build::isKitBank(p.bank) ? ", a kit" : "")
                  << "\n";
    }
    std::cout.flush();
    return Ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty())
        return usage("no command given");
    const std::string& command = all.front();
    if (command == "--help" || command == "-h" || command == "help" ||
        std::find(all.begin(), all.end(), "--help") != all.end()) {
        std::cout << HelpText;
        return Ok;
    }
    if (command == "--version") {
        std::cout << "corvane-disk " CORVANE_VERSION "\n";
        return Ok;
    }
    const std::vector<std::string> args(all.begin() + 1, all.end());
    // A folder that cannot be listed throws from the file system library.
    try {
        if (command == "list")
            return list(args);
        if (command == "export")
            return exportAll(args);
        if (command == "extract")
            return extract(args);
        if (command == "insert")
            return insert(args);
        if (command == "build")
            return buildSound(args);
        if (command == "presets")
            return presets(args);
        if (command == "inspect")
            return inspect(args);
    } catch (const std::exception& e) {
        return fail(std::string("Error - ") + e.what() + ".");
    }
    return usage("unknown command \"" + command + "\"");
}
