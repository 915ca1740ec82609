// Sound files: both halves out of the emulator into a file and back, files
// other programs read, and damaged files refused with what is wrong.
#include "Dumps.h"
#include "TempFolder.h"
#include "MirageEmulator.h"
#include "SoundFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace corvane;
using namespace corvane::sound;
namespace fs = std::filesystem;

namespace {

// What a save gathers from the instrument: each half's program dump, then
// the dumps of its distinct wavesamples, and the names.
Sound saveFrom(emu::MirageEmulator& mirage, std::initializer_list<int> halves)
{
    Sound s;
    for (int h : halves) {
        Half half;
        half.half = h;
        half.programDump = mirage.programDump(h);
        for (int w = 0; w < 8; ++w) {
            if (!wavesampleEntries(half.programDump)[static_cast<std::size_t>(w)].first)
                continue;
            mirage.receive(keyCodeMessage({h ? key::UpperWavesample : key::LowerWavesample, static_cast<std::uint8_t>(w + 1)}));
            half.wavesampleDumps.push_back(mirage.wavesampleDump());
        }
        for (int w = 0; w < 8; ++w) {
            half.names[static_cast<std::size_t>(w)] = "Ws " + std::to_string(h * 8 + w) + (w == 3 ? " \xC3\xA9t\xC3\xA9" : "");
            half.colours[static_cast<std::size_t>(w)] = 0x123456u * static_cast<std::uint32_t>(w + 1) & 0xFFFFFF;
        }
        half.hasNames = true;
        s.halves.push_back(half);
    }
    return s;
}

class SoundFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = corvane::test::uniqueTempFolder(std::string("corvane-sound-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        // Two wavesamples that play the same pages are fetched once.
        auto& ws = mirage.half(1).wavesamples;
        ws[5] = ws[2];
    }
    void TearDown() override { fs::remove_all(dir); }

    Bytes goodImage() { return fileImage(saveFrom(mirage, {0, 1})); }

    emu::MirageEmulator mirage;
    fs::path dir;
};

TEST_F(SoundFileTest, BothHalvesComeBackFromTheFileAsTheInstrumentSentThem)
{
    const Sound saved = saveFrom(mirage, {0, 1});
    EXPECT_EQ(saved.halves[0].wavesampleDumps.size(), 8u);
    EXPECT_EQ(saved.halves[1].wavesampleDumps.size(), 7u);
    const std::string path = (dir / "both.syx").string();
    ASSERT_EQ(writeAtomically(path, fileImage(saved)), "");

    const ReadResult r = readFile(path);
    ASSERT_TRUE(r.ok()) << r.text;
    ASSERT_EQ(r.sound.halves.size(), 2u);
    for (int h = 0; h < 2; ++h) {
        EXPECT_EQ(r.sound.halves[h].programDump, saved.halves[h].programDump);
        EXPECT_EQ(r.sound.halves[h].wavesampleDumps, saved.halves[h].wavesampleDumps);
        EXPECT_EQ(r.sound.halves[h].names, saved.halves[h].names);
        EXPECT_EQ(r.sound.halves[h].colours, saved.halves[h].colours);
    }

    // The instrument takes a program dump back into its state exactly as it
    // sends it (the rest of a load is tried on the windows' fixture).
    emu::MirageEmulator other;
    other.receive(keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x02, key::Enter}));
    ASSERT_NE(other.programDump(1), saved.halves[1].programDump);
    other.receive(saved.halves[1].programDump);
    EXPECT_EQ(other.programDump(1), saved.halves[1].programDump);
    EXPECT_EQ(other.counters().programsAccepted, 1);
}

TEST_F(SoundFileTest, DamagedFilesAreRefusedNamingWhatIsWrong)
{
    const Bytes good = goodImage();
    const std::size_t programEnd = ProgramMessageSize;          // first wavesample dump starts here
    const std::size_t firstWsSize = 8 + 512 * 32;
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        ReadError error;
        const char* says;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, ReadError::Empty, "empty"},
        {"truncated mid-message", [&](Bytes& b) { b.resize(programEnd + 1000); }, ReadError::Truncated,
         "ends in the middle of message 2"},
        {"another's message",
         [](Bytes& b) { b.insert(b.begin(), {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0xF7}); }, ReadError::Foreign,
         "manufacturer ID 41"},
        {"program dump one byte short", [](Bytes& b) { b.erase(b.begin() + 100); }, ReadError::ProgramSize,
         "is 1254 bytes long"},
        {"page count and data disagree", [&](Bytes& b) { b[programEnd + 4] = 1; }, ReadError::PageMismatch,
         "announces 33 pages"},
        {"data cut out of a wavesample dump",
         [&](Bytes& b) { b.erase(b.begin() + static_cast<std::ptrdiff_t>(programEnd + 10), b.begin() + static_cast<std::ptrdiff_t>(programEnd + 522)); },
         ReadError::PageMismatch, "announces 32 pages (16392 bytes) but is 15880 bytes"},
        {"a wavesample dump missing",
         [&](Bytes& b) { b.erase(b.begin() + static_cast<std::ptrdiff_t>(programEnd), b.begin() + static_cast<std::ptrdiff_t>(programEnd + firstWsSize)); },
         ReadError::WavesampleCount, "lower half holds 7 wavesample dumps; its page pointers need 8"},
        {"wavesample dump first", [&](Bytes& b) { b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(programEnd)); },
         ReadError::Orphan, "before any program dump"},
        {"status byte inside a message", [](Bytes& b) { b[300] = 0x90; }, ReadError::CutShort, "cut short by 90"},
        {"configuration dump", [](Bytes& b) { b.insert(b.begin(), {0xF0, 0x0F, 0x01, 0x02, 0x00, 0xF7}); },
         ReadError::UnexpectedCommand, "command 02"},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        const ReadResult r = parseFile(b);
        EXPECT_EQ(r.error, c.error) << c.what << ": " << r.text;
        EXPECT_NE(r.text.find(c.says), std::string::npos) << c.what << ": " << r.text;
        EXPECT_TRUE(r.sound.halves.empty()) << c.what;
    }
}

TEST_F(SoundFileTest, WritingReplacesWholeOrLeavesNothing)
{
    const std::string path = (dir / "s.syx").string();
    ASSERT_EQ(writeAtomically(path, Bytes{1, 2, 3}), "");
    ASSERT_EQ(writeAtomically(path, goodImage()), "");
    EXPECT_EQ(fs::file_size(path), goodImage().size());
    EXPECT_NE(writeAtomically((dir / "missing" / "s.syx").string(), goodImage()), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1); // no temporary left
}

// Another program's SysEx reader takes the file message for message.
TEST_F(SoundFileTest, PythonMidoReadsTheSameMessages)
{
    const Bytes image = goodImage();
    const std::string path = (dir / "mido.syx").string();
    ASSERT_EQ(writeAtomically(path, image), "");
    const std::string command = std::string(CORVANE_MIDO_PYTHON) +
                                " -c \"import sys, mido\n"
                                "for m in mido.read_syx_file(sys.argv[1]): print(len(m.bytes()), sum(m.bytes()))\" " +
                                path + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char line[256];
    while (fgets(line, sizeof line, pipe))
        out += line;
    if (pclose(pipe) != 0 && out.find("No module named") != std::string::npos)
        GTEST_SKIP() << "python3-mido is not installed (scripts/install-deps.sh)";
    std::string expected;
    for (std::size_t p = 0; p < image.size();) {
        std::size_t e = p;
        long sum = 0;
        while (image[e] != 0xF7)
            sum += image[e++];
        sum += 0xF7;
        expected += std::to_string(e - p + 1) + " " + std::to_string(sum) + "\n";
        p = e + 1;
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 18); // 2 programs, 15 wavesamples, names
}

} // namespace

// Wavesamples that play another's pages are named by the one they play and
// counted once, however they lie in the half.
TEST(SoundFileText, WavesamplesThatShareAnothersPagesAreNamedAndCountedOnce)
{
    const struct {
        std::array<int, 8> start; // each wavesample's pages start..start+9; -1: none
        const char* text;
    } cases[] = {
        {{0, 10, 20, 30, 40, 50, 60, 70}, "8 wavesamples"},
        {{0, 10, 20, 30, 40, 40, 40, 40}, "5 wavesamples (wavesamples 6-8 play wavesample 5's pages)"},
        {{0, 10, 20, 30, 40, 50, 60, 60}, "7 wavesamples (wavesample 8 plays wavesample 7's pages)"},
        {{0, 0, 20, 0, 0, 50, 20, -1}, "3 wavesamples (wavesamples 2 and 4-5 play wavesample 1's pages; wavesample 7 "
                                       "plays wavesample 3's pages)"},
        {{0, -1, -1, -1, -1, -1, -1, -1}, "1 wavesample"},
    };
    for (const auto& c : cases) {
        Bytes dump = emu::MirageEmulator().programDump(0);
        for (int w = 0; w < 8; ++w) {
            const int start = c.start[static_cast<std::size_t>(w)];
            setNibblePair(dump.data(), dump.size(), wavesampleFieldPos(w, wsf::StartPage), start < 0 ? 1 : start);
            setNibblePair(dump.data(), dump.size(), wavesampleFieldPos(w, wsf::EndPage), start < 0 ? 0 : start + 9);
        }
        EXPECT_EQ(wavesamplesText(dump), c.text);
    }
}
