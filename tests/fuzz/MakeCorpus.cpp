// Writes the seed corpus of the fuzz targets from our own code: dumps and
// replies of the emulator, the messages the program sends, and the presets
// and settings files the program writes.
//
//   fuzz_make_corpus <corpus folder>     (tests/fuzz/corpus)
#include "AudioConvert.h"
#include "DiskImage.h"
#include "Dumps.h"
#include "Frames.h"
#include "ImageDisk.h"
#include "MirageEmulator.h"
#include "Presets.h"
#include "SendDump.h"
#include "SoundFile.h"
#include "Settings.h"
#include "WavFile.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::emu;

namespace {

QString root;

void put(const char* target, const std::string& name, const Message& bytes)
{
    QDir().mkpath(root + "/" + target);
    QFile f(root + "/" + target + "/seed-" + QString::fromStdString(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "fuzz_make_corpus: cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

// The smallest SoundFont with one preset, one instrument zone (keys C2-C7,
// root C4, looped) and one sample of a sawtooth: the outline libgig reads.
Message minimalSoundFont()
{
    const auto u16 = [](Message& m, unsigned v) {
        m.push_back(static_cast<std::uint8_t>(v));
        m.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const auto u32 = [&](Message& m, std::uint32_t v) {
        u16(m, v & 0xFFFF);
        u16(m, v >> 16);
    };
    const auto name = [](Message& m, const char* text) {
        std::string n(text);
        n.resize(20, '\0');
        m.insert(m.end(), n.begin(), n.end());
    };
    const auto chunk = [&](const char* id, const Message& body) {
        Message c(id, id + 4);
        u32(c, static_cast<std::uint32_t>(body.size()));
        c.insert(c.end(), body.begin(), body.end());
        if (body.size() & 1)
            c.push_back(0);
        return c;
    };
    const auto list = [&](const char* type, const std::vector<Message>& chunks) {
        Message body(type, type + 4);
        for (const Message& c : chunks)
            body.insert(body.end(), c.begin(), c.end());
        return chunk("LIST", body);
    };
    constexpr unsigned Frames = 1000;
    Message ifil, isng = {'E', 'M', 'U', '8', '0', '0', '0', 0}, inam = {'S', 'e', 'e', 'd', 0, 0};
    u16(ifil, 2);
    u16(ifil, 1);
    Message smpl;
    for (unsigned i = 0; i < Frames + 46; ++i)
        u16(smpl, i < Frames ? static_cast<unsigned>(static_cast<std::int16_t>((i % 100) * 600 - 30000)) & 0xFFFF : 0);
    Message phdr, pbag, pmod(10, 0), pgen, inst, ibag, imod(10, 0), igen, shdr;
    for (int p = 0; p < 2; ++p) {
        name(phdr, p ? "EOP" : "Seed");
        u16(phdr, 0);
        u16(phdr, 0);
        u16(phdr, static_cast<unsigned>(p));
        u32(phdr, 0);
        u32(phdr, 0);
        u32(phdr, 0);
    }
    u16(pbag, 0), u16(pbag, 0), u16(pbag, 1), u16(pbag, 0);
    u16(pgen, 41), u16(pgen, 0), u16(pgen, 0), u16(pgen, 0);
    name(inst, "Seed Instrument"), u16(inst, 0), name(inst, "EOI"), u16(inst, 1);
    u16(ibag, 0), u16(ibag, 0), u16(ibag, 4), u16(ibag, 0);
    u16(igen, 43), u16(igen, 36 | 96 << 8); // key range
    u16(igen, 58), u16(igen, 60);           // root key
    u16(igen, 54), u16(igen, 1);            // looped
    u16(igen, 53), u16(igen, 0);            // the sample
    u16(igen, 0), u16(igen, 0);
    name(shdr, "Saw C4");
    u32(shdr, 0), u32(shdr, Frames), u32(shdr, 100), u32(shdr, 900), u32(shdr, 29411);
    shdr.push_back(60), shdr.push_back(0), u16(shdr, 0), u16(shdr, 1);
    name(shdr, "EOS");
    shdr.resize(shdr.size() + 26, 0);
    const Message body = [&] {
        Message b = {'s', 'f', 'b', 'k'};
        for (const Message& l : {list("INFO", {chunk("ifil", ifil), chunk("isng", isng), chunk("INAM", inam)}),
                                 list("sdta", {chunk("smpl", smpl)}),
                                 list("pdta", {chunk("phdr", phdr), chunk("pbag", pbag), chunk("pmod", pmod),
                                               chunk("pgen", pgen), chunk("inst", inst), chunk("ibag", ibag),
                                               chunk("imod", imod), chunk("igen", igen), chunk("shdr", shdr)})})
            b.insert(b.end(), l.begin(), l.end());
        return b;
    }();
    return chunk("RIFF", body);
}

Message join(const std::vector<Message>& ms)
{
    Message all;
    for (const Message& m : ms)
        all.insert(all.end(), m.begin(), m.end());
    return all;
}

Message only(const std::vector<Message>& replies)
{
    return replies.empty() ? Message{} : replies.front();
}

// Sample bytes of a sawtooth, as a WAV file brings them.
std::vector<std::uint8_t> saw(std::size_t n)
{
    std::vector<std::uint8_t> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::uint8_t>(0x60 + (i % 64));
    return s;
}

// The wavesample dump the program sends for `samples`, with the page count
// it announces set to `pages` (the emulator refuses a dump larger than the
// wavesample's room).
Message wavesampleToSend(std::size_t samples, int pages = -1)
{
    Message m = wav::buildSendDump(saw(samples))->message;
    if (pages >= 0) {
        m[4] = static_cast<std::uint8_t>(pages & 0x0F);
        m[5] = static_cast<std::uint8_t>(pages >> 4);
    }
    return m;
}

void receiveSeeds()
{
    MirageEmulator mirage;
    put("receive", "config", only(mirage.receive(requestMessage(cmd::ConfigRequest))));
    put("receive", "lower", only(mirage.receive(requestMessage(cmd::LowerRequest))));
    put("receive", "upper", only(mirage.receive(requestMessage(cmd::UpperRequest))));
    put("receive", "status", join(mirage.receive(keyCodeMessage({key::Param, 0x02, 0x06, key::Value}))));
    put("receive", "half", join(mirage.receive(keyCodeMessage({0x00}))));
    put("receive", "ack", join(mirage.receive(wavesampleToSend(256))));
    put("receive", "nak", join(mirage.receive(wavesampleToSend(256, 255))));

    // Wavesample dumps of 1 and 128 pages, and ones of 130 and 256 pages,
    // longer than a receive buffer, which arrive in two pieces.
    for (int pages : {1, 128, 130, 256}) {
        Wavesample& ws = mirage.currentWavesampleParams();
        ws.setField(wsf::StartPage, 0);
        ws.setField(wsf::EndPage, pages - 1);
        put("receive", "wavesample-" + std::to_string(pages), only(mirage.receive(wavesampleRequestMessage())));
    }

    // A good 130-page dump, then one whose second piece holds a byte above
    // 0x0F: refused, the first stays.
    mirage.currentWavesampleParams().setField(wsf::EndPage, 129);
    const Message good = only(mirage.receive(wavesampleRequestMessage()));
    Message bad = good;
    bad[66000] = 0x40;
    put("receive", "malformed-wavesample", join({good, bad}));

    // A session: configuration, both programs, a status reply and a
    // wavesample, back to back.
    MirageEmulator fresh;
    std::vector<Message> session;
    for (const Message& request : {requestMessage(cmd::ConfigRequest), requestMessage(cmd::LowerRequest),
                                   requestMessage(cmd::UpperRequest),
                                   keyCodeMessage({key::UpperWavesample, 0x03}),
                                   keyCodeMessage({key::Param, 0x02, 0x06, key::Value}),
                                   wavesampleRequestMessage()})
        for (const Message& r : fresh.receive(request))
            session.push_back(r);
    put("receive", "session", join(session));
}

// The emulator's seeds start with the piece size less one.
void emulatorSeed(const std::string& name, std::uint8_t pieceSize, const std::vector<Message>& ms)
{
    Message seed{static_cast<std::uint8_t>(pieceSize - 1)};
    const Message all = join(ms);
    seed.insert(seed.end(), all.begin(), all.end());
    put("emulator", name, seed);
}

void emulatorSeeds()
{
    emulatorSeed("requests", 255, {requestMessage(cmd::ConfigRequest), requestMessage(cmd::LowerRequest),
                                  requestMessage(cmd::UpperRequest), wavesampleRequestMessage()});
    std::vector<Message> steps;
    for (const ParameterInfo& p : parameterTable()) {
        steps.push_back(parameterStepMessage(p.number, true));
        steps.push_back(parameterStepMessage(p.number, false));
    }
    emulatorSeed("steps", 255, steps);
    emulatorSeed("selection", 255,
                 {keyCodeMessage({0x00, 0x00}), keyCodeMessage({0x00}), keyCodeMessage({0x03}),
                  keyCodeMessage({key::LowerWavesample, 0x02}), keyCodeMessage({key::UpperWavesample, 0x08}),
                  keyCodeMessage({key::Param, 0x02, 0x06, key::Value})});
    emulatorSeed("disk", 255,
                 {keyCodeMessage({key::LowerLoad, 0x02, key::Enter}), keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x03, key::Enter}),
                  keyCodeMessage({0x01, 0x02, 0x01, key::Enter}), keyCodeMessage({0x01, 0x04, key::Enter}),
                  keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x00, key::Enter})});
    emulatorSeed("copies", 255,
                 {keyCodeMessage({0x01, 0x05, 0x02, key::Enter}), keyCodeMessage({0x01, 0x06, 0x04, key::Enter}),
                  keyCodeMessage({key::Param, 0x01, 0x07, 0x03, key::Enter}),
                  keyCodeMessage({key::Param, 0x01, 0x08, 0x05, key::Enter})});
    emulatorSeed("rotate", 255,
                 {keyCodeMessage({0x01, 0x09}), keyCodeMessage({key::Inc}), keyCodeMessage({key::Inc}),
                  keyCodeMessage({key::Enter}), keyCodeMessage({0x02, 0x00}), keyCodeMessage({key::Dec}),
                  keyCodeMessage({key::Abort})});
    emulatorSeed("wavesample-send", 255, {keyCodeMessage({key::LowerWavesample, 0x01}), wavesampleToSend(1000)});
    emulatorSeed("wavesample-send-small-pieces", 7, {wavesampleToSend(256)});
}

void fileSeeds()
{
    const QString presets = root + "/presets/seed-defaults";
    QDir().mkpath(root + "/presets");
    savePresets(presets, defaultPresets());
    EnvPresetTable named = defaultPresets();
    named.names[0] = "Ten chars!";
    named.names[1] = "";
    for (int i = 0; i < PresetCount * PresetSlots; ++i)
        named.values[static_cast<std::size_t>(i)] = (i * 37) % 100;
    savePresets(root + "/presets/seed-named", named);

    // Sound files as the program writes them: both halves of the emulator's
    // sound, its wavesamples cut down to two pages each, with names; and the
    // lower half alone, without.
    MirageEmulator mirage;
    sound::Sound both;
    for (int h = 0; h < 2; ++h) {
        for (int w = 0; w < 8; ++w) {
            Wavesample& ws = mirage.half(h).wavesamples[static_cast<std::size_t>(w)];
            ws.setField(wsf::StartPage, 2 * w);
            ws.setField(wsf::EndPage, 2 * w + 1);
        }
        sound::Half half;
        half.half = h;
        half.programDump = mirage.programDump(h);
        const auto entries = sound::wavesampleEntries(half.programDump);
        for (int w = 0; w < 8; ++w) {
            if (!entries[static_cast<std::size_t>(w)].first)
                continue;
            mirage.setCurrentHalf(h);
            mirage.setCurrentWavesample(w);
            half.wavesampleDumps.push_back(mirage.wavesampleDump());
        }
        half.hasNames = true;
        for (int w = 0; w < 8; ++w) {
            half.names[static_cast<std::size_t>(w)] = "Wave " + std::to_string(w + 1);
            half.colours[static_cast<std::size_t>(w)] = 0x102030u * static_cast<std::uint32_t>(w);
        }
        both.halves.push_back(half);
    }
    put("sound", "both-halves", sound::fileImage(both));
    sound::Sound lower;
    lower.halves.push_back(both.halves[0]);
    lower.halves[0].hasNames = false;
    put("sound", "lower-half", sound::fileImage(lower));
    // The lower half again with each wavesample looped over its two pages,
    // so that the measurements of a loop (its pitch, swell and splice) are
    // reached.
    sound::Sound looped = lower;
    for (int w = 0; w < 8; ++w) {
        Wavesample& ws = mirage.half(0).wavesamples[static_cast<std::size_t>(w)];
        ws.setField(wsf::LoopStart, 2 * w);
        ws.setField(wsf::LoopEnd, 2 * w + 1);
        ws.setField(wsf::LoopEndFine, 0xFF - 3 * w);
        ws.setField(wsf::LoopSwitch, 1);
    }
    looped.halves[0].programDump = mirage.programDump(0);
    put("sound", "looped-half", sound::fileImage(looped));

    // One slot of a disk image as the disk target lays it: the slot, the
    // program data of a factory half, the start of its sample memory; and a
    // slot of a formatted disk.
    for (int slot : {0, 3}) {
        const disk::SlotData d = slotDataOf(factoryHalf(slot % 2, 0));
        Message seed{static_cast<std::uint8_t>(slot)};
        seed.insert(seed.end(), d.program.begin(), d.program.end());
        seed.insert(seed.end(), d.memory.begin(), d.memory.begin() + 2048);
        put("disk", "factory-" + disk::slotName(slot), seed);
    }
    put("disk", "formatted", Message(1 + disk::Layout::ProgramData, 0xE5));

    // WAV files as the export writes them.
    for (std::size_t n : {1, 256, 1000}) {
        const std::vector<std::uint8_t> image = wav::exportImage(saw(n), 0x2A);
        put("wav", "export-" + std::to_string(n), Message(image.begin(), image.end()));
    }

    // Audio files as "Export Audio..." writes them, behind the option bytes
    // of the audio target (flags, start page, rate, loop start, loop length):
    // plain at the wavesample's rate, normalised with a loop, and resampled.
    const QString scratch = root + "/audio-scratch";
    struct AudioSeed {
        const char* name;
        audio::Container container;
        int rate;
        Message options;
    };
    for (const AudioSeed& a : {AudioSeed{"wav", audio::Container::Wav, 0, {0, 0, 0, 0, 0}},
                               AudioSeed{"aiff-loop", audio::Container::Aiff, 0, {3, 4, 0, 1, 2}},
                               AudioSeed{"flac-44100", audio::Container::Flac, 44100, {0, 0, 3, 0, 0}}}) {
        audio::ExportOptions options;
        options.container = a.container;
        options.rate = a.rate;
        const std::string path = scratch.toStdString();
        if (!audio::exportAudio(path, saw(2000), audio::rateOfSampleTime(audio::DefaultSampleTimeUs), options).ok()) {
            std::fprintf(stderr, "fuzz_make_corpus: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        QFile f(scratch);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        Message seed = a.options;
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        put("audio", a.name, seed);
        QFile::remove(scratch);
    }

    // SFZ text as sound libraries write it.
    const std::string sfz = "// piano\n#define $KEY 60\n<control> default_path=samples/\n<global> loop_mode=loop_continuous\n"
                            "<group> lokey=c3 hikey=b3 ampeg_release=0.4\n<region> sample=Piano C4.wav pitch_keycenter=$KEY "
                            "loop_start=100 loop_end=899\n/* one-shot */ <region> sample=kick.wav key=36 offset=10 end=999 "
                            "loop_mode=one_shot tune=-12 transpose=1\n";
    put("sfz", "piano", Message(sfz.begin(), sfz.end()));
    put("soundfont", "one-zone", minimalSoundFont());

    QDir().mkpath(root + "/settings");
    writeSettings(root + "/settings/seed-defaults", defaultSettings());
    SettingsData custom = defaultSettings();
    custom.names[0] = "Strings";
    custom.names[9] = "  spaced  ";
    custom.names[15] = "\"Quoted\"";
    custom.colours[3] = 0xFFFFFFFF;
    custom.midiInPort = -1;
    custom.midiOutPort = 3;
    writeSettings(root + "/settings/seed-custom", custom);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_corpus <corpus folder>\n");
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);
    receiveSeeds();
    emulatorSeeds();
    fileSeeds();
    return 0;
}
