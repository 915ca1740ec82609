// Library folders made by the tests and the library benchmark: sound files
// and disk images of the emulator's factory sounds (a `mark` byte written
// into each page makes the sample data of one file differ from another's),
// audio files written by libsndfile, and damaged files of each kind.
#pragma once

#include "AudioConvert.h"
#include "DiskImages.h"
#include "Dumps.h"
#include "ImageDisk.h"
#include "SoundFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cmath>
#include <string>

namespace corvane::test {

inline disk::SlotData markedSlot(int half, int variant, int mark)
{
    disk::SlotData d = emu::slotDataOf(emu::factoryHalf(half, variant));
    if (mark >= 0)
        for (std::size_t p = 0; p < d.memory.size(); p += 256)
            d.memory[p + 7] = static_cast<std::uint8_t>(1 + mark % 250);
    return d;
}

inline sound::Half markedHalf(int half, int variant, int mark = -1)
{
    return disk::halfOf(markedSlot(half, variant, mark), half);
}

// Half `half` of factory sound `variant` as the sound builder leaves five
// zones: wavesamples 6-8 play wavesample 5's pages.
inline sound::Half builtHalf(int half, int variant)
{
    disk::SlotData d = markedSlot(half, variant, -1);
    sound::Bytes dump = disk::programDumpOf(half, d.program);
    for (int ws = 5; ws < 8; ++ws)
        std::copy_n(dump.begin() + wavesampleFieldPos(4, 0), 48, dump.begin() + wavesampleFieldPos(ws, 0));
    d.program = disk::programDataOf(dump);
    return disk::halfOf(d, half);
}

inline void writeFile(const QString& path, const sound::Bytes& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// Halves of factory sound `variant` (both unless one is named).
inline void writeSoundFile(const QString& path, int variant, int mark = -1, std::vector<int> halves = {0, 1})
{
    sound::Sound s;
    for (int h : halves)
        s.halves.push_back(markedHalf(h, variant, mark));
    writeFile(path, sound::fileImage(s));
}

// Slot s holds half s % 2 of factory sound `variant` + s / 2, marked with
// `mark` + s; the slots in `emptySlots` are empty, those in `damagedSlots`
// have a wavesample whose end lies before its start.
inline void writeImage(const QString& path, int variant, int mark = -1, unsigned emptySlots = 0,
                       unsigned damagedSlots = 0)
{
    disk::Image image = factoryImage(variant, emptySlots);
    for (int s = 0; s < disk::Layout::Slots; ++s) {
        if (emptySlots & (1u << s))
            continue;
        disk::SlotData d = markedSlot(s % 2, variant + s / 2, mark < 0 ? -1 : mark + s);
        if (damagedSlots & (1u << s))
            d.program[static_cast<std::size_t>((wavesampleFieldPos(2, wsf::EndPage) - 4) / 2)] = 0;
        image.setSlot(s, d);
    }
    writeFile(path, image.bytes());
}

// A short sine tone at `hz` as a 16-bit file of the container the name says.
inline void writeAudio(const QString& path, double hz, int samples = 4000)
{
    QDir().mkpath(QFileInfo(path).path());
    std::vector<std::uint8_t> s(static_cast<std::size_t>(samples));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(static_cast<double>(i) * hz / 29411.0 * 6.2832)));
    audio::ExportOptions o;
    o.container = path.endsWith(".flac") ? audio::Container::Flac
                  : path.endsWith(".aiff") ? audio::Container::Aiff
                                           : audio::Container::Wav;
    audio::exportAudio(path.toStdString(), s, 29411, o);
}

// Gives a file a modification time of its own, so that a change shows even
// when it is written within the same second.
inline void touch(const QString& path, qint64 secondsAgo)
{
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime);
}

} // namespace corvane::test
