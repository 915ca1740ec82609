// WAV import and export: the import's tests in their order, the header read
// chunk by chunk, the export's sizes, and files exchanged with sox and
// Python's wave module.
#include "WavFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace corvane::wav {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v)
{
    for (int s = 0; s < 32; s += 8)
        b.push_back(static_cast<std::uint8_t>(v >> s));
}

void chunk(Bytes& b, const std::string& tag, const Bytes& body)
{
    b.insert(b.end(), tag.begin(), tag.end());
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2)
        b.push_back(0);
}

Bytes samplesOf(std::size_t n)
{
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return s;
}

// A WAV file image with the fields the import tests set per case.
struct Wav {
    std::string riff = "RIFF";
    std::uint32_t riffSize = 0; // 0: the true size
    std::string form = "WAVE";
    std::uint16_t tag = 1, channels = 1, bits = 8;
    std::size_t fmtSize = 16;
    Bytes before;               // chunks between format and data
    std::uint32_t dataSize = 1000;
    std::size_t dataPresent = 1000;

    Bytes image() const
    {
        Bytes fmt(fmtSize, 0);
        auto set16 = [&](std::size_t at, std::uint16_t v) {
            if (at + 1 < fmt.size()) {
                fmt[at] = static_cast<std::uint8_t>(v);
                fmt[at + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        };
        set16(0, tag);
        set16(2, channels);
        set16(14, bits);
        Bytes body(form.begin(), form.end());
        chunk(body, "fmt ", fmt);
        body.insert(body.end(), before.begin(), before.end());
        body.insert(body.end(), {'d', 'a', 't', 'a'});
        put32(body, dataSize);
        const Bytes data = samplesOf(dataPresent);
        body.insert(body.end(), data.begin(), data.end());
        Bytes b(riff.begin(), riff.end());
        put32(b, riffSize ? riffSize : static_cast<std::uint32_t>(body.size()));
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
};

Bytes prefix(Bytes b, std::size_t n)
{
    b.resize(n);
    return b;
}

Bytes list() { Bytes b; chunk(b, "LIST", {'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 3, 0, 0, 0, 'a', 'b', 'c'}); return b; }

template <typename F>
Wav with(F change)
{
    Wav w;
    change(w);
    return w;
}

TEST(WavImport, TestsRunInTableOrderWithTheirMessages)
{
    struct Case {
        const char* name;
        Bytes image;
        std::string message; // "" when accepted
    };
    const Case cases[] = {
        {"plain", Wav{}.image(), ""},
        {"not RIFF", with([](Wav& w) { w.riff = "RIFX"; w.tag = 3; }).image(), "Error - RIFF detect fail."},
        {"empty file", {}, "Error - RIFF detect fail."},
        {"RIFF size 65,835", with([](Wav& w) { w.riffSize = 65835; }).image(), ""},
        {"RIFF size 65,836", with([](Wav& w) { w.riffSize = 65836; w.form = "AVI "; }).image(),
         "Error - File too big."},
        {"not WAVE", with([](Wav& w) { w.form = "AVI "; w.channels = 2; }).image(),
         "Error - WAVEfmt detect fail - wrong file type."},
        {"float", with([](Wav& w) { w.tag = 3; w.channels = 2; }).image(),
         "Error - PCM detect fail - wrong file type."},
        {"stereo 16-bit", with([](Wav& w) { w.channels = 2; w.bits = 16; }).image(),
         "Error - mono detect fail - wrong file type."},
        {"mono 16-bit", with([](Wav& w) { w.bits = 16; w.dataSize = 70000; }).image(),
         "Error - 8 bit detect fail - wrong file type."},
        {"65,536 data bytes", with([](Wav& w) { w.dataSize = 65536; w.dataPresent = 65536; }).image(),
         "Error - Wave data greater than 65536 - too big."},
        {"65,535 data bytes", with([](Wav& w) { w.dataSize = 65535; w.dataPresent = 65535; }).image(), ""},
        // Chunk by chunk: longer format chunks and other chunks are passed over.
        {"18-byte format chunk and LIST", with([](Wav& w) { w.fmtSize = 18; w.before = list(); }).image(), ""},
        {"14-byte format chunk", with([](Wav& w) { w.fmtSize = 14; }).image(),
         "Error - 8 bit detect fail - wrong file type."},
        // Refusals of this program's own.
        {"empty data chunk", with([](Wav& w) { w.dataSize = 0; w.dataPresent = 0; }).image(),
         "Error - Wave data detect fail - no sample data."},
        {"fewer data bytes than claimed", with([](Wav& w) { w.dataPresent = 999; }).image(),
         "Error - File too short - wave data missing."},
        {"cut inside the format chunk", prefix(Wav{}.image(), 30),
         "Error - File too short - wave data missing."},
        {"no data chunk", prefix(Wav{}.image(), 36),
         "Error - Wave data detect fail - no sample data."},
    };
    for (const Case& c : cases) {
        const ImportResult r = parseImport(c.image);
        EXPECT_EQ(r.text(), c.message) << c.name;
        EXPECT_EQ(r.ok(), c.message.empty()) << c.name;
        if (r.ok()) {
            EXPECT_EQ(r.samples, samplesOf(r.samples.size())) << c.name;
        }
    }
    EXPECT_EQ(parseImport(with([](Wav& w) { w.dataSize = 65535; w.dataPresent = 65535; }).image()).samples.size(),
              65535u);
    EXPECT_STREQ(ImportResult::Caption, "WAV Import");
}

class WavFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("corvane-wav-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }

    // Runs a command; its standard output, or nullopt when it failed.
    static std::optional<std::string> run(const std::string& command)
    {
        std::string out;
        FILE* p = popen(command.c_str(), "r");
        if (!p)
            return std::nullopt;
        std::array<char, 4096> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        return pclose(p) == 0 ? std::optional(out) : std::nullopt;
    }

    static Bytes readAll(const std::string& p)
    {
        std::ifstream f(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }

    fs::path dir;
};

TEST_F(WavFiles, UnreadableAndShortFilesAreRefused)
{
    EXPECT_EQ(readImport(path("missing.wav")).error, ImportError::CannotOpen);
    EXPECT_EQ(readImport(dir.string()).error, ImportError::CannotOpen);
    EXPECT_STREQ(readImport(dir.string()).text(), "Error - File open fail - cannot read file.");
    const Bytes cut = with([](Wav& w) { w.dataPresent = 500; }).image();
    std::ofstream(path("cut.wav"), std::ios::binary).write(reinterpret_cast<const char*>(cut.data()),
                                                           static_cast<std::streamsize>(cut.size()));
    EXPECT_EQ(readImport(path("cut.wav")).error, ImportError::Truncated);
}

TEST_F(WavFiles, ExportWritesHeaderSamplesAndTheChecksumBehindThem)
{
    for (const int pages : {0, 1, 128, 256}) {
        const Bytes samples = samplesOf(256u * pages);
        ASSERT_TRUE(writeExport(path("test.wav"), samples, 0x5A).ok);
        const Bytes file = readAll(path("test.wav"));
        ASSERT_EQ(file.size(), 45u + 256u * pages) << pages << " pages"; // 45, 301, 32,813, 65,581
        EXPECT_EQ(file.back(), 0x5A);
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), file.begin() + 44));
    }
    const Bytes header = prefix(readAll(path("test.wav")), 44);
    const Bytes expected = {'R', 'I', 'F', 'F', 0x24, 0x00, 0x01, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                            16, 0, 0, 0, 1, 0, 1, 0, 0xE3, 0x72, 0, 0, 0xE3, 0x72, 0, 0,
                            1, 0, 8, 0, 'd', 'a', 't', 'a', 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(header, expected);

    const ExportResult refused = writeExport((dir / "no-such-folder" / "test.wav").string(), samplesOf(10), 0);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.text.find("Error - "), std::string::npos);
}

// Exported files read back by sox and by Python's wave module, and files
// those write (one with a LIST chunk ahead of its data) accepted.
TEST_F(WavFiles, FilesAreExchangedWithSoxAndPython)
{
    for (const std::size_t n : {256u * 3, 1001u}) {
        const Bytes samples = samplesOf(n);
        ASSERT_TRUE(writeExport(path("out.wav"), samples, 0x11).ok);
        std::string info;
        for (const char* field : {"-r", "-c", "-b", "-s"}) {
            const auto line = run(std::string(CORVANE_SOX) + " --i " + field + " " + path("out.wav") + " 2>/dev/null");
            ASSERT_TRUE(line) << "sox cannot read the exported file";
            info += *line;
        }
        EXPECT_EQ(info, "29411\n1\n8\n" + std::to_string(n) + "\n");
        ASSERT_TRUE(run(std::string(CORVANE_SOX) + " " + path("out.wav") + " -t u8 " + path("out.raw")));
        EXPECT_EQ(readAll(path("out.raw")), samples) << n;
        const auto py = run(std::string(CORVANE_PYTHON3) + " -c \"import wave,sys; w=wave.open(sys.argv[1]); "
                            "sys.stdout.write('%d %d %d %d ' % (w.getframerate(), w.getnchannels(), "
                            "w.getsampwidth(), w.getnframes())); sys.stdout.write(w.readframes(70000).hex())\" " +
                            path("out.wav"));
        ASSERT_TRUE(py) << "Python's wave module cannot read the exported file";
        std::string hex;
        for (auto b : samples) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", b);
            hex += two;
        }
        EXPECT_EQ(*py, "29411 1 1 " + std::to_string(n) + " " + hex);
    }

    ASSERT_TRUE(run(std::string(CORVANE_SOX) + " -n -r 29411 -c 1 -b 8 -e unsigned-integer " + path("sox.wav") +
                    " synth 0.05 sine 440"));
    ASSERT_TRUE(run(std::string(CORVANE_SOX) + " " + path("sox.wav") + " -t u8 " + path("sox.raw")));
    const ImportResult fromSox = readImport(path("sox.wav"));
    EXPECT_TRUE(fromSox.ok()) << fromSox.text();
    EXPECT_EQ(fromSox.samples, readAll(path("sox.raw")));
    EXPECT_GT(fromSox.samples.size(), 1400u);

    // Python writes the file; a LIST chunk goes in ahead of the data, as
    // tagging programs put it.
    ASSERT_TRUE(run(std::string(CORVANE_PYTHON3) + " -c \"import wave,sys,struct\n"
                    "w=wave.open(sys.argv[1],'wb'); w.setnchannels(1); w.setsampwidth(1); w.setframerate(22050)\n"
                    "w.writeframes(bytes(range(1,256))*3); w.close()\n"
                    "b=open(sys.argv[1],'rb').read(); i=b.index(b'data')\n"
                    "info=b'INFOISFT'+struct.pack('<I',5)+b'test\\0\\0'\n"
                    "b=b[:i]+b'LIST'+struct.pack('<I',len(info))+info+b[i:]\n"
                    "b=b[:4]+struct.pack('<I',len(b)-8)+b[8:]\n"
                    "open(sys.argv[1],'wb').write(b)\" " +
                    path("py.wav")));
    const ImportResult fromPython = readImport(path("py.wav"));
    EXPECT_TRUE(fromPython.ok()) << fromPython.text();
    ASSERT_EQ(fromPython.samples.size(), 765u);
    for (std::size_t i = 0; i < fromPython.samples.size(); ++i)
        ASSERT_EQ(fromPython.samples[i], 1 + i % 255) << i;
}

} // namespace
} // namespace corvane::wav
