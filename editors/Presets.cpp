#include "Presets.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace corvane {

namespace {
constexpr std::size_t RecordSize = 11;
constexpr std::size_t ValuesOffset = PresetCount * RecordSize;
} // namespace

EnvPresetTable defaultPresets()
{
    EnvPresetTable t;
    t.names = {"Rhubarb", "Custard", "Mouse", "Binary", "Kaboom", "Plix", "Cosmo", "Piano", "Organ", "E Piano"};
    t.values.fill(3);
    return t;
}

EnvPresetTable presetsFromBytes(const std::vector<std::uint8_t>& bytes)
{
    EnvPresetTable t;
    for (std::size_t e = 0; e < PresetCount; ++e) {
        std::string name;
        for (std::size_t k = 0; k < RecordSize; ++k) {
            const std::size_t at = e * RecordSize + k;
            if (at >= bytes.size() || bytes[at] == 0 || name.size() == PresetNameMax)
                break;
            name.push_back(static_cast<char>(bytes[at]));
        }
        t.names[e] = name;
    }
    for (std::size_t i = 0; i < t.values.size(); ++i) {
        const std::size_t at = ValuesOffset + i;
        t.values[i] = at < bytes.size() ? bytes[at] : 0;
    }
    return t;
}

std::vector<std::uint8_t> presetsToBytes(const EnvPresetTable& table)
{
    std::vector<std::uint8_t> out(PresetFileSize, 0);
    for (std::size_t e = 0; e < PresetCount; ++e) {
        std::uint8_t* record = out.data() + e * RecordSize;
        std::fill(record, record + 10, std::uint8_t{0x41});
        record[10] = 0;
        const std::string& name = table.names[e];
        const std::size_t n = std::min<std::size_t>(name.size(), PresetNameMax);
        std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n), record);
        record[n] = 0;
    }
    for (std::size_t i = 0; i < table.values.size(); ++i)
        out[ValuesOffset + i] = static_cast<std::uint8_t>(table.values[i] & 0xFF);
    return out;
}

EnvPresetTable loadPresets(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return defaultPresets();
    const QByteArray data = f.read(PresetFileSize);
    return presetsFromBytes(std::vector<std::uint8_t>(data.begin(), data.end()));
}

bool savePresets(const QString& path, const EnvPresetTable& table, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const auto failure = writeFileAtomically(path.toStdString(), presetsToBytes(table));
    if (error)
        *error = failure ? QString::fromStdString(failure->reason()) : QString();
    return !failure;
}

} // namespace corvane
