// Floppy disk images: where the sounds lie, slots read as the instrument
// sends a half, slots written without touching anything else, and
// corvane-disk run as a user runs it.
#include "DiskImages.h"
#include "TempFolder.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

using namespace corvane;
using namespace corvane::disk;
namespace fs = std::filesystem;

namespace {

Bytes fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A half as the emulator sends it: its program dump, then a dump of each
// wavesample that needs one.
sound::Half sentBy(emu::MirageEmulator& mirage, int h)
{
    sound::Half half;
    half.half = h;
    half.programDump = mirage.programDump(h);
    for (int w = 0; w < 8; ++w) {
        if (!sound::wavesampleEntries(half.programDump)[static_cast<std::size_t>(w)].first)
            continue;
        mirage.receive(keyCodeMessage({h ? key::UpperWavesample : key::LowerWavesample, static_cast<std::uint8_t>(w + 1)}));
        half.wavesampleDumps.push_back(mirage.wavesampleDump());
    }
    return half;
}

class DiskImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = corvane::test::uniqueTempFolder("corvane-disk-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string save(const Image& image, const std::string& name) const
    {
        EXPECT_EQ(image.save(path(name)), "");
        return path(name);
    }

    // corvane-disk with `args`; its exit code, its output in `out`.
    int tool(const std::string& args, std::string* out = nullptr) const
    {
        const std::string log = path("tool.log");
        const int status = std::system((std::string(CORVANE_DISK_TOOL) + " " + args + " >" + log + " 2>&1").c_str());
        const Bytes b = fileBytes(log);
        if (out)
            out->assign(b.begin(), b.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir;
};

TEST_F(DiskImageTest, LayoutPinsTheSectorsOfEverySlotInPageOrder)
{
    EXPECT_EQ(sectorOffset(79, 5), 79u * 5632 + 5120);
    const struct { int slot; const char* name; int firstTrack; } table[] = {
        {0, "L1", 2}, {1, "U1", 15}, {2, "L2", 28}, {3, "U2", 41}, {4, "L3", 54}, {5, "U3", 67}};
    for (const auto& row : table) {
        EXPECT_EQ(slotName(row.slot), row.name);
        EXPECT_EQ(slotFromName(row.name), row.slot);
        EXPECT_EQ(parameterSector(row.slot).track, row.firstTrack);
        // Page p of the half lies at byte p x 256 of data sector p / 4.
        SlotData d;
        for (std::size_t i = 0; i < d.memory.size(); ++i)
            d.memory[i] = static_cast<std::uint8_t>(i / 256);
        Image image = test::factoryImage();
        image.setSlot(row.slot, d);
        const auto at = [&](int track, int sector) { return image.bytes()[sectorOffset(track, sector)]; };
        EXPECT_EQ(at(row.firstTrack, 1), 0x00) << row.name;
        EXPECT_EQ(at(row.firstTrack, 4), 0x0C) << row.name;
        EXPECT_EQ(at(row.firstTrack + 1, 0), 0x10) << row.name;
        EXPECT_EQ(at(row.firstTrack + 12, 4), 0xFC) << row.name;
        EXPECT_EQ(image.bytes()[sectorOffset(row.firstTrack + 12, 4) + 1023], 0xFF) << row.name;
    }
    for (const char* bad : {"L", "L0", "L4", "X1", "L12"})
        EXPECT_EQ(slotFromName(bad), -1) << bad;
}

TEST_F(DiskImageTest, SlotsReadAsTheHalfTheInstrumentSendsOrAsEmptyOrDamaged)
{
    const Image image = test::factoryImage(0, 1u << 3);
    for (int slot = 0; slot < Layout::Slots; ++slot) {
        const SlotRead r = readSlot(image, slot);
        if (slot == 3) {
            EXPECT_EQ(r.check.state, SlotState::Empty);
            continue;
        }
        ASSERT_TRUE(r.ok()) << slotName(slot) << " " << r.check.text;
        emu::MirageEmulator mirage;
        mirage.half(halfOfSlot(slot)) = emu::factoryHalf(slot % 2, slot / 2);
        const sound::Half sent = sentBy(mirage, halfOfSlot(slot));
        EXPECT_EQ(r.half.programDump, sent.programDump) << slotName(slot);
        EXPECT_EQ(r.half.wavesampleDumps, sent.wavesampleDumps) << slotName(slot);
    }
    // Pointers out of order or out of range: damaged, and never written.
    for (const int offset : {wsf::EndPage, wsf::LoopStart, wsf::LoopEnd}) {
        SlotData d = emu::slotDataOf(emu::factoryHalf(0, 0));
        d.program[static_cast<std::size_t>((wavesampleFieldPos(4, offset) - 4) / 2)] = offset == wsf::LoopEnd ? 0xFF : 0;
        EXPECT_EQ(checkProgram(d.program).state, SlotState::Damaged);
        EXPECT_NE(checkProgram(d.program).text.find("wavesample 5"), std::string::npos);
        const std::string file = save(image, "damaged.img");
        EXPECT_NE(insertHalf(file, 0, halfOf(d, 0)), "");
        EXPECT_EQ(fileBytes(file), image.bytes());
    }
}

TEST_F(DiskImageTest, WritingASlotChangesNothingOutsideItsSectorsAndRoundTrips)
{
    const Image original = test::factoryImage(0);
    const Image other = test::factoryImage(3);
    for (int slot = 0; slot < Layout::Slots; ++slot) {
        const std::string file = save(original, "disk.img");
        // image -> .syx -> the same image: the same bytes.
        const sound::Bytes syx = sound::fileImage({{readSlot(original, slot).half}});
        const sound::ReadResult back = sound::parseFile(syx);
        ASSERT_TRUE(back.ok()) << back.text;
        ASSERT_EQ(insertHalf(file, slot, back.sound.halves[0]), "");
        EXPECT_EQ(fileBytes(file), original.bytes()) << slotName(slot);

        // Another sound into the slot: only its 65 sectors may change, and
        // not the part of the parameter sector after the program data.
        ASSERT_EQ(insertHalf(file, slot, readSlot(other, slot).half), "");
        const Bytes after = fileBytes(file);
        const std::size_t first = sectorOffset(parameterSector(slot).track, 0);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < after.size(); ++i) {
            // Sectors 0-4 of the slot's 13 tracks, less the parameter sector's tail.
            const std::size_t at = i - first;
            const bool mayChange = i >= first && at < 13 * Layout::TrackSize && at % Layout::TrackSize < 5120 &&
                                   (at < Layout::ProgramData || at >= Layout::BigSector);
            if (!mayChange) {
                ASSERT_EQ(after[i], original.bytes()[i]) << slotName(slot) << " byte " << i;
            }
            changed += after[i] != original.bytes()[i];
        }
        EXPECT_GT(changed, 1000u);
    }
}

TEST_F(DiskImageTest, ToolExportsEveryWavesampleOfAFolderOfImages)
{
    fs::create_directories(dir / "disks");
    for (int i = 0; i < 10; ++i)
        save(test::factoryImage(i), "disks/disk" + std::to_string(i) + ".img");
    std::string out;
    ASSERT_EQ(tool("export " + (dir / "disks").string() + " --to " + path("wav") + " --format flac --rate 44100", &out), 0)
        << out;
    EXPECT_NE(out.find("[10/10] " + (dir / "disks" / "disk9.img").string() + ": 48 files"), std::string::npos) << out;
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir / "wav")) {
        ++files;
        ASSERT_EQ(e.path().extension(), ".flac") << e.path();
        SF_INFO info{};
        SNDFILE* f = sf_open(e.path().c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << e.path();
        sf_close(f);
        EXPECT_EQ(info.samplerate, 44100);
        // Each factory wavesample is 32 pages played at 29,411 Hz.
        EXPECT_NEAR(static_cast<double>(info.frames), 32 * 256 * 44100.0 / 29411, 4) << e.path();
    }
    EXPECT_EQ(files, 480u);
    EXPECT_TRUE(fs::exists(dir / "wav" / "disk3-U2-8.flac"));

    ASSERT_EQ(tool("export " + (dir / "disks" / "disk0.img").string() + " --to " + path("own"), &out), 0) << out;
    SF_INFO info{};
    SNDFILE* f = sf_open((dir / "own" / "disk0-L1-1.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.samplerate, 29411);
    EXPECT_EQ(info.frames, 32 * 256);
}

TEST_F(DiskImageTest, ToolRefusesWhatIsNoImageAndLeavesNothingHalfWritten)
{
    const std::string good = save(test::factoryImage(1, 1u << 2), "good.img");
    const Bytes whole = fileBytes(good);
    writeBytes(path("short.img"), Bytes(whole.begin(), whole.begin() + 300000));
    writeBytes(path("big.img"), Bytes(737280, 0));
    fs::create_symlink(path("gone.img"), path("broken.img"));
    std::string out;
    const int rc = tool("export " + path("short.img") + " " + good + " " + path("big.img") + " " + path("broken.img") +
                            " --to " + path("out"),
                        &out);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("300000 bytes long; a Mirage disk image is 450560 bytes (is it cut short?)"), std::string::npos) << out;
    EXPECT_NE(out.find("737280 bytes long"), std::string::npos) << out;
    EXPECT_NE(out.find("broken.img\" cannot be opened"), std::string::npos) << out;
    EXPECT_NE(out.find(": 40 files, L2 empty"), std::string::npos) << out;
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_TRUE(e.path().filename().string().starts_with("good-")) << e.path();

    EXPECT_EQ(tool("list " + good, &out), 0);
    EXPECT_NE(out.find("L2  empty"), std::string::npos) << out;
    EXPECT_NE(out.find("U3  8 wavesamples, 256 pages (65536 bytes); 1:00-1F"), std::string::npos) << out;

    // U1 copied into U3 through a sound file.
    ASSERT_EQ(tool("extract " + good + " U1 " + path("u1.syx"), &out), 0) << out;
    ASSERT_EQ(tool("insert " + good + " U3 " + path("u1.syx"), &out), 0) << out;
    Image copied;
    ASSERT_EQ(copied.open(good), "");
    EXPECT_EQ(copied.slot(5).program, copied.slot(1).program);
    EXPECT_EQ(copied.slot(5).memory, copied.slot(1).memory);
    EXPECT_NE(copied.slot(5).program, test::factoryImage(1).slot(5).program);
    EXPECT_EQ(tool("extract " + good + " L2 " + path("l2.syx"), &out), 1);
    EXPECT_NE(out.find("Slot L2"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(path("l2.syx")));
    EXPECT_EQ(tool("insert " + path("short.img") + " L1 " + path("u1.syx"), &out), 1);
    EXPECT_EQ(tool("insert " + good + " X9 " + path("u1.syx"), &out), 2);
    EXPECT_EQ(tool("export " + good, &out), 2);
    EXPECT_NE(out.find("--to"), std::string::npos);
    EXPECT_EQ(tool("--help", &out), 0);
    for (const auto& e : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

} // namespace
