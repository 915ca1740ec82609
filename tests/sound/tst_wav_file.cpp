// WAV import and export: the import's tests in their order, the header read
// chunk by chunk, the export's sizes, and files exchanged with sox and
// Python's wave module.
#include "WavFile.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvane::wav {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes samplesOf(std::size_t n)
{
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return s;
}

// A canonical 8-bit mono file of n samples (the export without its trailing
// byte), with little-endian values patched in at header offsets.
Bytes wavFile(std::size_t n, std::initializer_list<std::pair<std::size_t, std::uint32_t>> patches = {})
{
    Bytes b = exportImage(samplesOf(n), 0);
    b.pop_back();
    for (auto [at, value] : patches)
        for (std::size_t k = 0; k < 4 && at + k < 44; ++k, value >>= 8)
            if (k < 2 || (at != 20 && at != 22 && at != 34))
                b[at + k] = static_cast<std::uint8_t>(value);
    return b;
}

// Inserts a chunk at `at` and corrects the RIFF size.
Bytes withChunk(Bytes b, std::size_t at, Bytes chunk)
{
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
    const auto riff = static_cast<std::uint32_t>(b.size() - 8);
    for (int k = 0; k < 4; ++k)
        b[4 + k] = static_cast<std::uint8_t>(riff >> (8 * k));
    return b;
}

Bytes cut(Bytes b, std::size_t n)
{
    b.resize(n);
    return b;
}

TEST(WavImport, TestsRunInTableOrderWithTheirMessages)
{
    constexpr std::uint32_t RIFX = 0x58464952, AVI = 0x20495641;
    // An 18-byte format chunk, then an odd-sized LIST chunk with its pad byte.
    Bytes longFormat = withChunk(wavFile(1000), 36, {0, 0});
    longFormat[16] = 18;
    const Bytes list = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    const struct {
        const char* name;
        Bytes image;
        std::string message; // "" when accepted
    } cases[] = {
        {"plain", wavFile(1000), ""},
        {"not RIFF", wavFile(1000, {{0, RIFX}, {20, 3}}), "Error - RIFF detect fail."},
        {"empty file", {}, "Error - RIFF detect fail."},
        {"RIFF size 65,835", wavFile(1000, {{4, 65835}}), ""},
        {"RIFF size 65,836", wavFile(1000, {{4, 65836}, {8, AVI}}), "Error - File too big."},
        {"not WAVE", wavFile(1000, {{8, AVI}, {22, 2}}), "Error - WAVEfmt detect fail - wrong file type."},
        {"float", wavFile(1000, {{20, 3}, {22, 2}}), "Error - PCM detect fail - wrong file type."},
        {"stereo 16-bit", wavFile(1000, {{22, 2}, {34, 16}}), "Error - mono detect fail - wrong file type."},
        {"mono 16-bit", wavFile(1000, {{34, 16}, {40, 70000}}), "Error - 8 bit detect fail - wrong file type."},
        {"65,536 data bytes", wavFile(65536), "Error - Wave data greater than 65536 - too big."},
        {"65,535 data bytes", wavFile(65535), ""},
        {"18-byte format chunk and LIST", withChunk(longFormat, 38, list), ""},
        {"14-byte format chunk", wavFile(1000, {{16, 14}}), "Error - 8 bit detect fail - wrong file type."},
        // Refusals of this program's own.
        {"empty data chunk", wavFile(0), "Error - Wave data detect fail - no sample data."},
        {"no data chunk", cut(wavFile(1000), 36), "Error - Wave data detect fail - no sample data."},
        {"fewer data bytes than claimed", cut(wavFile(1000), 1043), "Error - File too short - wave data missing."},
        {"cut inside the format chunk", cut(wavFile(1000), 30), "Error - File too short - wave data missing."},
    };
    for (const auto& c : cases) {
        const ImportResult r = parseImport(c.image);
        EXPECT_EQ(r.text(), c.message) << c.name;
        EXPECT_EQ(r.ok(), c.message.empty()) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.samples, samplesOf(r.samples.size())) << c.name;
        }
    }
    EXPECT_EQ(parseImport(wavFile(65535)).samples.size(), 65535u);
}

class WavFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = corvane::test::uniqueTempFolder("corvane-wav-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }
    static bool run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }
    static Bytes readAll(const std::string& p)
    {
        std::ifstream f(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }

    fs::path dir;
};

TEST_F(WavFiles, ExportWritesHeaderSamplesAndTheChecksumBehindThem)
{
    for (const int pages : {0, 128, 256}) {
        ASSERT_TRUE(writeExport(path("test.wav"), samplesOf(256u * pages), 0x5A).ok);
        const Bytes file = readAll(path("test.wav"));
        ASSERT_EQ(file.size(), 45u + 256u * pages) << pages << " pages"; // 45, 32,813, 65,581
        EXPECT_EQ(file.back(), 0x5A);
        EXPECT_EQ(Bytes(file.begin() + 44, file.end() - 1), samplesOf(256u * pages));
    }
    const Bytes expected = {'R', 'I', 'F', 'F', 0x24, 0x00, 0x01, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                            16, 0, 0, 0, 1, 0, 1, 0, 0xE3, 0x72, 0, 0, 0xE3, 0x72, 0, 0,
                            1, 0, 8, 0, 'd', 'a', 't', 'a', 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(cut(readAll(path("test.wav")), 44), expected);

    const ExportResult refused = writeExport(path("no-such-folder/test.wav"), samplesOf(10), 0);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.text.rfind("Error - ", 0), 0u);
    EXPECT_STREQ(readImport(path("missing.wav")).text(), "Error - File open fail - cannot read file.");
    EXPECT_EQ(readImport(dir.string()).error, ImportError::CannotOpen);
}

// Exported files read back by sox and by Python's wave module, and files
// those write accepted (Python's with a LIST chunk ahead of its data).
TEST_F(WavFiles, FilesAreExchangedWithSoxAndPython)
{
    const std::string sox = CORVANE_SOX, python = CORVANE_PYTHON3;
    const Bytes samples = samplesOf(1001);
    ASSERT_TRUE(writeExport(path("out.wav"), samples, 0x11).ok);
    ASSERT_TRUE(run(sox + " " + path("out.wav") + " -t u8 " + path("sox.raw"))) << "sox cannot read the export";
    EXPECT_EQ(readAll(path("sox.raw")), samples);
    EXPECT_TRUE(run(sox + " --i " + path("out.wav") + " | grep -q 'Sample Rate *: 29411'"));
    ASSERT_TRUE(run(python + " -c \"import wave,sys; w=wave.open(sys.argv[1]);"
                             " assert (w.getframerate(), w.getnchannels(), w.getsampwidth()) == (29411, 1, 1);"
                             " open(sys.argv[2],'wb').write(w.readframes(70000))\" " +
                    path("out.wav") + " " + path("py.raw")))
        << "Python's wave module cannot read the export";
    EXPECT_EQ(readAll(path("py.raw")), samples);

    ASSERT_TRUE(run(sox + " -n -r 29411 -c 1 -b 8 -e unsigned-integer " + path("sox.wav") + " synth 0.05 sine 440"));
    ASSERT_TRUE(run(sox + " " + path("sox.wav") + " -t u8 " + path("sox.raw")));
    const ImportResult fromSox = readImport(path("sox.wav"));
    EXPECT_TRUE(fromSox.ok()) << fromSox.text();
    EXPECT_EQ(fromSox.samples, readAll(path("sox.raw")));
    EXPECT_GT(fromSox.samples.size(), 1400u);

    ASSERT_TRUE(run(python + " -c \"import wave,sys,struct\n"
                             "w=wave.open(sys.argv[1],'wb'); w.setnchannels(1); w.setsampwidth(1); w.setframerate(22050)\n"
                             "w.writeframes(bytes(range(1,256))*3); w.close()\n"
                             "b=open(sys.argv[1],'rb').read(); i=b.index(b'data')\n"
                             "info=b'INFOISFT'+struct.pack('<I',5)+b'test\\0\\0'\n"
                             "b=b[:i]+b'LIST'+struct.pack('<I',len(info))+info+b[i:]\n"
                             "open(sys.argv[1],'wb').write(b[:4]+struct.pack('<I',len(b)-8)+b[8:])\" " +
                    path("py.wav")));
    const ImportResult fromPython = readImport(path("py.wav"));
    EXPECT_TRUE(fromPython.ok()) << fromPython.text();
    ASSERT_EQ(fromPython.samples.size(), 765u);
    for (std::size_t i = 0; i < fromPython.samples.size(); ++i)
        ASSERT_EQ(fromPython.samples[i], 1 + i % 255) << i;
}

} // namespace
} // namespace corvane::wav
