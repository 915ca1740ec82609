// Files named on the command line, as the file manager passes them: each
// opens in its window, and a file a window refuses is reported there.
#include "DiskImagesWindow.h"
#include "LibraryFolders.h"
#include "LibraryWindow.h"
#include "MirageFixture.h"
#include "OpenFiles.h"
#include "SoundWindows.h"
#include "WsSend.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace corvane;
using namespace corvane::test;

namespace {

class OpenFilesTest : public MirageFixture {
protected:
    QString path(const QString& name) const { return configDir() + "/files/" + name; }
};

TEST_F(OpenFilesTest, EachKindGoesToItsWindow)
{
    writeSoundFile(path("strings.syx"), 1);
    writeImage(path("three.img"), 0);
    writeImage(path("image without ending"), 0);
    writeFile(path("short.img"), sound::Bytes(1000, 0));
    writeFile(path("notes.txt"), sound::Bytes{'h', 'i'});
    QDir().mkpath(path("sounds"));
    const struct {
        const char* name;
        OpenedIn window;
    } cases[] = {
        {"strings.syx", OpenedIn::LoadSound},          {"notes.txt", OpenedIn::LoadSound},
        {"three.img", OpenedIn::DiskImages},           {"short.img", OpenedIn::DiskImages},
        {"image without ending", OpenedIn::DiskImages}, {"sounds", OpenedIn::LibraryFolders},
        {"kick.WAV", OpenedIn::SendWavesample},        {"pad.flac", OpenedIn::SendWavesample},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowFor(path(c.name)), c.window) << c.name;
}

TEST_F(OpenFilesTest, OpensSoundImageAndFolderAndReportsARefusedFile)
{
    writeSoundFile(path("strings.syx"), 1);
    writeImage(path("three.img"), 0);
    QDir().mkpath(path("sounds"));
    writeSoundFile(path("sounds/bass.syx"), 2);
    TfmLibrary::SetDataDirectory(configDir() + "/data");
    auto* load = static_cast<TfmLoadSound*>(form().Window("TfmLoadSound"));
    auto* images = static_cast<TfmDiskImages*>(form().Window("TfmDiskImages"));
    auto* library = static_cast<TfmLibrary*>(form().Window("TfmLibrary"));

    // Relative, as a shell passes them.
    const QString before = QDir::currentPath();
    QDir::setCurrent(configDir() + "/files");
    OpenFiles(&form(), {"strings.syx", "three.img", "sounds"});
    QDir::setCurrent(before);

    EXPECT_TRUE(load->isVisible());
    EXPECT_EQ(load->edFilename->text(), path("strings.syx"));
    EXPECT_TRUE(load->bnSend->isEnabled());
    EXPECT_TRUE(images->isVisible());
    EXPECT_EQ(images->edImage->text(), path("three.img"));
    EXPECT_EQ(images->lvSlots->count(), 6);
    EXPECT_TRUE(library->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library->Scanning(); }, 20000));
    EXPECT_EQ(library->Folders(), QStringList{path("sounds")});
    EXPECT_GT(library->Model->rowCount(), 0);
    EXPECT_TRUE(seams().boxes().empty());

    // The same folder again is not added twice; a file that is no sound is
    // refused by Load Sound as its Open button would.
    writeFile(path("notes.txt"), sound::Bytes{'h', 'i'});
    OpenFiles(&form(), {path("sounds"), path("notes.txt")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !library->Scanning(); }, 20000));
    EXPECT_EQ(library->Folders(), QStringList{path("sounds")});
    ASSERT_EQ(seams().boxes().size(), 1u);
    EXPECT_EQ(load->edFilename->text(), path("notes.txt"));
    EXPECT_FALSE(load->bnSend->isEnabled());
}

TEST_F(OpenFilesTest, AnAudioFileIsConvertedInSendToMirage)
{
    const QString bell = "/usr/share/sounds/freedesktop/stereo/bell.oga";
    if (!QFileInfo::exists(bell))
        GTEST_FAIL() << bell.toStdString() << " is missing: scripts/install-deps.sh installs sound-theme-freedesktop";
    auto* send = static_cast<TfmWsSend*>(form().Window("TfmWsSend"));
    OpenFiles(&form(), {bell});
    EXPECT_TRUE(send->isVisible());
    EXPECT_EQ(send->edFilename->text(), bell);
    ASSERT_TRUE(send->Converted().has_value());
    EXPECT_TRUE(send->bnSendWav->isEnabled());
    EXPECT_TRUE(seams().boxes().empty());
}

} // namespace
