// The settings file "Corvane.ini": whatever the reader takes from a file of
// any content, written back into that file and read again, gives the same
// settings; a second write changes nothing more. In memory: the file
// functions only load and save the text.
#include "FuzzCheck.h"
#include "IniFile.h"
#include "Settings.h"

using namespace corvane;

namespace {
bool same(const SettingsData& a, const SettingsData& b)
{
    return a.names == b.names && a.colours == b.colours && a.midiInPort == b.midiInPort &&
           a.midiOutPort == b.midiOutPort && a.midiInPortName == b.midiInPortName &&
           a.midiOutPortName == b.midiOutPortName;
}

QByteArray written(const QByteArray& file, const SettingsData& data)
{
    IniFile ini = IniFile::parse(file);
    putSettings(ini, data);
    return ini.text();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SettingsData read = settingsFrom(IniFile::parse(file));
    const QByteArray once = written(file, read);
    const SettingsData again = settingsFrom(IniFile::parse(once));
    FUZZ_REQUIRE(same(read, again));
    FUZZ_REQUIRE(written(once, again) == once);
    return 0;
}
