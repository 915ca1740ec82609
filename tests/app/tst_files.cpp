// The settings file and the presets file: what is read from damaged or
// missing files, what is written, and that a failed write loses nothing.
#include "Presets.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvane {
namespace {

void writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SettingsFile, MissingFileAndKeysGiveDefaults)
{
    QTemporaryDir dir;
    SettingsData d = readSettings(dir.filePath("Corvane.ini"));
    EXPECT_EQ(d.names[15], "Un Named");
    const std::uint32_t lower[8] = {255, 65535, 16711680, 8421376, 128, 32768, 8388736, 32896};
    const std::uint32_t upper[8] = {255, 16711680, 65535, 32768, 128, 8388608, 32896, 8421376};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(d.colours[i], lower[i]) << "L" << i + 1;
        EXPECT_EQ(d.colours[8 + i], upper[i]) << "U" << i + 1;
    }
    EXPECT_EQ(d.midiInPort, 0);
    EXPECT_EQ(d.midiOutPort, 0);

    const QString path = dir.filePath("Corvane.ini");
    writeText(path, "[WsNames]\nWsnU3=Strings\n");
    d = readSettings(path);
    EXPECT_EQ(d.names[10], "Strings");
    for (int i = 0; i < 16; ++i)
        if (i != 10)
            EXPECT_EQ(d.names[i], "Un Named");

    writeText(path, "[WsColours]\nWscL4=blue\nWscU1=42\n[MIDIports]\nMidiInPort=x\nMidiOutPort=2\n");
    d = readSettings(path);
    EXPECT_EQ(d.colours[3], 8421376u) << "a colour that is not an integer gives its default";
    EXPECT_EQ(d.colours[8], 42u);
    EXPECT_EQ(d.midiInPort, 0);
    EXPECT_EQ(d.midiOutPort, 2);
}

// The read-only settings the user adds by hand: a value out of its range,
// or not a number, leaves the default.
TEST(SettingsFile, HandWrittenLimitsAreTakenOnlyWithinTheirRange)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Corvane.ini");
    struct Row {
        const char* text;
        int configMs, stepWaitMs;
        bool undoRotations;
    } rows[] = {
        {"[Answers]\nConfigMs=5000\n[Steps]\nWaitMs=120\nUndoRotate=0\n", 5000, 120, false},
        {"[Answers]\nConfigMs=100\n[Steps]\nWaitMs=5\nUndoRotate=2\n", 2000, 30, true},
        {"[Answers]\nConfigMs=soon\n[Steps]\nWaitMs=1001\nUndoRotate=no\n", 2000, 30, true},
    };
    for (const Row& r : rows) {
        writeText(path, r.text);
        const SettingsData d = readSettings(path);
        EXPECT_EQ(d.configAnswerMs, r.configMs) << r.text;
        EXPECT_EQ(d.stepWaitMs, r.stepWaitMs) << r.text;
        EXPECT_EQ(d.undoRotations, r.undoRotations) << r.text;
    }
}

TEST(SettingsFile, WriteRoundTripsAndAFailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Corvane.ini");
    SettingsData d = defaultSettings();
    d.names[0] = "Piano, soft \"A\"";
    // Reading trims and takes off outer quotes: these go in quotes.
    d.names[1] = "\"Bass\"";
    d.names[2] = "  Pad ";
    d.names[3] = "Cut\rin two";
    d.colours[5] = 0x123456;
    d.midiInPort = -1;
    ASSERT_TRUE(writeSettings(path, d));
    SettingsData back = readSettings(path);
    EXPECT_EQ(back.names, d.names);
    EXPECT_EQ(back.colours, d.colours);
    EXPECT_EQ(back.midiInPort, -1);
    EXPECT_FALSE(QFile::exists(path + ".tmp"));

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Corvane.ini"}) << "no temporary file left";

    // A file that cannot be created: reported, nothing else touched.
    writeText(dir.filePath("blocker"), "x");
    QString why;
    EXPECT_FALSE(writeSettings(dir.filePath("blocker/Corvane.ini"), d, &why));
    EXPECT_FALSE(why.isEmpty()) << "the reason goes with the failure";
    EXPECT_EQ(readAll(dir.filePath("blocker")), QByteArray("x"));
}

TEST(SettingsFile, AFreshFileListsNamesThenColoursThenPorts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Corvane.ini");
    ASSERT_TRUE(writeSettings(path, defaultSettings()));
    QByteArray expected = "[WsNames]\n";
    for (const char* h : {"L", "U"})
        for (int i = 1; i <= 8; ++i)
            expected += QByteArray("Wsn") + h + QByteArray::number(i) + "=Un Named\n";
    expected += "\n[WsColours]\n";
    const char* colours[16] = {"255", "65535", "16711680", "8421376", "128", "32768", "8388736", "32896",
                               "255", "16711680", "65535", "32768", "128", "8388608", "32896", "8421376"};
    for (int i = 0; i < 16; ++i)
        expected += QByteArray("Wsc") + (i < 8 ? "L" : "U") + QByteArray::number(i % 8 + 1) + "=" + colours[i] + "\n";
    expected += "\n[MIDIports]\nMidiInPort=0\nMidiOutPort=0\nMidiInPortName=\nMidiOutPortName=\nMidiApi=\n";
    EXPECT_EQ(readAll(path), expected);
}

TEST(SettingsFile, AFileWrittenElsewhereIsReadAsTheProfileFunctionsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Corvane.ini");
    // Raw values with commas and quotes, other letter case, a comment, a
    // section of someone else's, a single-byte code page name.
    writeText(path, "; kept\r\n[wsnames]\r\nwsnL1 = Strings, soft\r\nWsnL2=\"Bass\"\r\nWsnL3=Caf\xe9\r\n"
                    "[Other]\r\nKey=1\r\n");
    const SettingsData d = readSettings(path);
    EXPECT_EQ(d.names[0], "Strings, soft");
    EXPECT_EQ(d.names[1], "Bass");
    EXPECT_EQ(QString::fromStdString(d.names[2]), QString::fromUtf8("Caf\xc3\xa9"));
    EXPECT_EQ(d.names[3], "Un Named");

    ASSERT_TRUE(writeSettings(path, d));
    const QByteArray text = readAll(path);
    EXPECT_TRUE(text.startsWith("; kept\n[wsnames]\nWsnL1=Strings, soft\n")) << text.constData();
    EXPECT_TRUE(text.contains("[Other]\nKey=1\n")) << "what the program does not know is kept";
    EXPECT_EQ(readSettings(path).names, d.names);
}
// A file dialog opens where the last file of its kind was taken; the kind
// is the filter's first extension, and a folder that has gone is forgotten.
// The keep-editors choice is one key, written without touching the rest.
TEST(SettingsFile, FoldersAreKeptPerKindOfFileAndKeepEditorsOpenIsOneKey)
{
    for (const auto& [filter, kind] : std::vector<std::pair<std::string, QString>>{
             {"Sound files|*.syx", "syx"}, {"Disk images|*.img", "img"}, {"Audio|*.WAV *.flac", "wav"}, {"All|*", ""}})
        EXPECT_EQ(fileKind(filter), kind) << filter;
    QTemporaryDir dir;
    const QString ini = dir.filePath("Corvane.ini");
    SettingsData d = defaultSettings();
    d.names[0] = "Strings";
    ASSERT_TRUE(writeSettings(ini, d));
    ASSERT_TRUE(QDir(dir.path()).mkdir("sounds"));
    EXPECT_EQ(lastFolder(ini, "syx"), "");
    ASSERT_TRUE(rememberFolder(ini, "syx", dir.filePath("sounds")));
    ASSERT_TRUE(rememberFolder(ini, "img", dir.filePath("gone")));
    EXPECT_EQ(lastFolder(ini, "syx"), dir.filePath("sounds"));
    EXPECT_EQ(lastFolder(ini, "img"), "");
    EXPECT_EQ(lastFolder(ini, "wav"), "");
    ASSERT_TRUE(writeKeepEditorsOpen(ini, true));
    EXPECT_TRUE(readSettings(ini).keepEditorsOpen);
    EXPECT_EQ(readSettings(ini).names[0], "Strings");
    EXPECT_EQ(lastFolder(ini, "syx"), dir.filePath("sounds"));
}

TEST(PresetsFile, DefaultsWhenTheFileCannotBeOpened)
{
    QTemporaryDir dir;
    const EnvPresetTable t = loadPresets(dir.filePath("EnvPresets.cv1"));
    const std::array<std::string, 10> names = {"Rhubarb", "Custard", "Mouse", "Binary", "Kaboom",
                                               "Plix", "Cosmo", "Piano", "Organ", "E Piano"};
    EXPECT_EQ(t.names, names);
    for (int v : t.values)
        ASSERT_EQ(v, 3);
}

TEST(PresetsFile, NameRecordsArePaddedWithAAndRoundTripByteForByte)
{
    EnvPresetTable t = defaultPresets();
    t.names[1] = "Bass";
    t.names[3] = "";
    t.names[9] = "ABCDEFGHIJ"; // ten characters: the terminator takes the last byte
    for (int e = 0; e < PresetCount; ++e)
        for (int s = 0; s < PresetSlots; ++s)
            t.value(e, s) = (e * 31 + s * 7) % 256;
    const std::vector<std::uint8_t> bytes = presetsToBytes(t);
    ASSERT_EQ(bytes.size(), 360u);
    auto record = [&](int e) { return std::vector<std::uint8_t>(bytes.begin() + 11 * e, bytes.begin() + 11 * e + 11); };
    EXPECT_EQ(record(7), (std::vector<std::uint8_t>{'P', 'i', 'a', 'n', 'o', 0, 0x41, 0x41, 0x41, 0x41, 0}));
    EXPECT_EQ(record(1), (std::vector<std::uint8_t>{'B', 'a', 's', 's', 0, 0x41, 0x41, 0x41, 0x41, 0x41, 0}));
    EXPECT_EQ(record(3), (std::vector<std::uint8_t>{0, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0}));
    EXPECT_EQ(bytes[110 + 25 * 2 + 4], (2 * 31 + 4 * 7) % 256);

    QTemporaryDir dir;
    const QString path = dir.filePath("EnvPresets.cv1");
    ASSERT_TRUE(savePresets(path, t));
    const QByteArray onDisk = readAll(path);
    EXPECT_EQ(std::vector<std::uint8_t>(onDisk.begin(), onDisk.end()), bytes);
    const EnvPresetTable back = loadPresets(path);
    EXPECT_EQ(back.names, t.names);
    EXPECT_EQ(back.values, t.values);
    EXPECT_EQ(presetsToBytes(back), bytes) << "read and written again, byte for byte";
}

TEST(PresetsFile, ShortAndDamagedFilesGiveWhatIsThere)
{
    std::vector<std::uint8_t> bytes = presetsToBytes(defaultPresets());
    // Record 0 without any zero byte: its first ten characters.
    for (int i = 0; i < 11; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>('a' + i);
    bytes.resize(110 + 30); // cut inside the values of entry 1
    const EnvPresetTable t = presetsFromBytes(bytes);
    EXPECT_EQ(t.names[0], "abcdefghij");
    EXPECT_EQ(t.names[9], "E Piano");
    EXPECT_EQ(t.value(0, 24), 3);
    EXPECT_EQ(t.value(1, 4), 3);
    EXPECT_EQ(t.value(1, 5), 0) << "missing values read as zero";
    EXPECT_EQ(t.value(9, 24), 0);

    const EnvPresetTable tiny = presetsFromBytes({'O', 'r'});
    EXPECT_EQ(tiny.names[0], "Or");
    EXPECT_EQ(tiny.names[1], "");
}

TEST(PresetsFile, ASaveThatCannotCreateItsFileReportsFailure)
{
    QTemporaryDir dir;
    // A path below a plain file cannot be created.
    writeText(dir.filePath("blocker"), "x");
    QString why;
    EXPECT_FALSE(savePresets(dir.filePath("blocker/EnvPresets.cv1"), defaultPresets(), &why));
    EXPECT_FALSE(why.isEmpty()) << "the reason goes with the failure";
    EXPECT_EQ(readAll(dir.filePath("blocker")), QByteArray("x"));
}

} // namespace
} // namespace corvane
