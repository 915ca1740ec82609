// The built-in emulator on the disk image named in the settings file.
#include "DiskImages.h"
#include "EmulatorDisk.h"
#include "RecordingSeams.h"
#include "VirtualMirage.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

class EmulatorDiskTest : public ::testing::Test {
protected:
    // A settings file naming `image` (nothing when empty) and the emulator
    // given the disk it names.
    std::unique_ptr<emu::ImageDisk> attach(const std::string& image)
    {
        QFile ini(dir.filePath("Corvane.ini"));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(("[MIDIports]\nMidiInPort=0\n" + (image.empty() ? "" : "[Emulator]\nDiskImage=" + image + "\n")).c_str());
        ini.close();
        return attachEmulatorDisk(mirage, seams, dir.filePath("Corvane.ini"));
    }
    std::string imagePath() const { return dir.filePath("disk.img").toStdString(); }

    QTemporaryDir dir;
    RecordingSeams seams;
    VirtualMirage mirage;
};

TEST_F(EmulatorDiskTest, StartsFromTheImageLoadsAndSavesIntoIt)
{
    // No image named, or none that can be used: the emulator keeps its own disk.
    EXPECT_EQ(attach(""), nullptr);
    std::ofstream(imagePath()) << "not a disk";
    EXPECT_EQ(attach(imagePath()), nullptr);
    ASSERT_EQ(seams.boxes().size(), 1u);
    EXPECT_NE(seams.boxes()[0].text.find("10 bytes long"), std::string::npos) << seams.boxes()[0].text;
    EXPECT_EQ(mirage.emulator().half(0), emu::factoryHalf(0, 0));

    ASSERT_EQ(factoryImage(4, 1u << 3).save(imagePath()), "");
    const auto disk = attach(imagePath());
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(mirage.emulator().half(0), emu::factoryHalf(0, 4));
    EXPECT_EQ(mirage.emulator().half(1), emu::factoryHalf(1, 4));

    const Message load2 = keyCodeMessage({key::UpperLoad, key::LowerLoad, 0x02, key::Enter});
    mirage.receive(load2.data(), load2.size());
    EXPECT_EQ(mirage.emulator().half(0), emu::factoryHalf(0, 5));
    EXPECT_EQ(mirage.emulator().half(1), emu::factoryHalf(1, 4)) << "U2 holds no sound";
    QCoreApplication::processEvents();
    ASSERT_EQ(seams.boxes().size(), 2u);
    EXPECT_EQ(seams.boxes()[1].caption, "Disk Image");
    EXPECT_TRUE(seams.boxes()[1].text.starts_with("Error - Slot U2")) << seams.boxes()[1].text;

    const Message save3 = keyCodeMessage({0x01, 0x03, 0x03, key::Enter});
    mirage.receive(save3.data(), save3.size());
    disk::Image image;
    ASSERT_EQ(image.open(imagePath()), "");
    EXPECT_EQ(emu::halfOf(image.slot(4)), emu::factoryHalf(0, 5));
    EXPECT_EQ(emu::halfOf(image.slot(5)), emu::factoryHalf(1, 4));

    std::ofstream(imagePath()) << "not a disk";
    mirage.receive(save3.data(), save3.size());
    QCoreApplication::processEvents();
    EXPECT_EQ(fs::file_size(imagePath()), 10u) << "a file that is no image is left alone";
    EXPECT_NE(seams.boxes().back().text.find("10 bytes long"), std::string::npos);
}

} // namespace
} // namespace corvane::test
