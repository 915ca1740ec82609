// One Corvane per settings file, with the real program: a second start hands
// its files to the one running and leaves; after a run that did not tidy up,
// the next start runs on its own. And the meeting place itself: in the
// user's runtime folder, one start at a time taking it, paths whole.
#include "Settings.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace corvane {
namespace {

class SingleInstanceRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        ASSERT_TRUE(QDir(home.path()).mkdir("run"));
        QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        // This process finds the settings file and the socket where the
        // program will.
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.filePath("run").toUtf8());
    }

    // What a start without files finds, asked by a start of its own (which
    // lets go of the lock when it ends).
    static SingleInstance::HandOver probe(int answerMs)
    {
        SingleInstance instance(settingsFilePath());
        return instance.handOver({}, answerMs);
    }

    void start(QProcess& p, const QStringList& args)
    {
        p.setProcessEnvironment(env);
        p.start(CORVANE_PROGRAM, args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    // Hands over nothing, as a start without files does, until the running
    // one takes it.
    bool runningTakes()
    {
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            if (probe(2000) == SingleInstance::HandOver::Taken)
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    // `out` gathers what `p` printed so far.
    static bool saysWithin(QProcess& p, QByteArray& out, const QByteArray& text, int ms)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            out += p.readAllStandardOutput();
            if (out.contains(text))
                return true;
            if (deadline.hasExpired())
                return false;
            p.waitForReadyRead(200);
        }
    }

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(SingleInstanceRun, ASecondStartHandsItsFilesOverAndAStaleSocketIsTakenOver)
{
    EXPECT_EQ(probe(500), SingleInstance::HandOver::NoneRunning);

    QProcess first;
    QByteArray said;
    start(first, {"--virtual-mirage"});
    ASSERT_TRUE(runningTakes()) << first.readAllStandardError().toStdString();
    EXPECT_TRUE(saysWithin(first, said, "a second start handed over 0 file(s)", 10000));

    QProcess second;
    start(second, {"--virtual-mirage", home.path()});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().contains("Corvane is already running"));
    EXPECT_TRUE(saysWithin(first, said, "a second start handed over 1 file(s)", 10000));

    // Killed, the first leaves its socket behind: the next start is first.
    first.kill();
    first.waitForFinished(10000);
    EXPECT_EQ(probe(500), SingleInstance::HandOver::NoneRunning);
    QProcess third;
    start(third, {"--virtual-mirage"});
    EXPECT_TRUE(runningTakes());
    third.kill();
    third.waitForFinished(10000);
}

// In the folder given (the runtime folder in the program): of two starts,
// the one that looked first holds the lock until it listens, the other
// then hands over to it, and a path with a newline arrives whole.
TEST(SingleInstanceSocket, OneStartTakesTheSocketAndPathsArriveWhole)
{
    QTemporaryDir run;
    ASSERT_TRUE(run.isValid());
    SingleInstance first(run.filePath("Corvane.ini"), run.path());
    SingleInstance second(run.filePath("Corvane.ini"), run.path());
    EXPECT_TRUE(first.serverName().startsWith(run.path() + "/corvane-"));
    ASSERT_EQ(first.handOver({}, 500), SingleInstance::HandOver::NoneRunning);
    EXPECT_EQ(second.handOver({}, 500, 300), SingleInstance::HandOver::NoAnswer); // neither listens yet

    QStringList got;
    ASSERT_TRUE(first.listen([&got](const QStringList& files) { got = files; }));
    const QStringList files{"/music/two\nlines.wav", "/music/kick\n.wav", "/music/a:b.syx"};
    std::atomic<int> result{-1};
    std::thread starter([&] { result = static_cast<int>(second.handOver(files, 10000)); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return result >= 0; }, 20000));
    starter.join();
    EXPECT_EQ(result, static_cast<int>(SingleInstance::HandOver::Taken));
    EXPECT_EQ(got, files);
}

// Bytes that are not a whole hand-over: incomplete ones wait for more, the
// rest are refused.
TEST(SingleInstanceSocket, OnlyWholeHandOversAreTaken)
{
    struct Case {
        QByteArray bytes;
        bool complete, bad;
    } cases[] = {
        {"0:\n", true, false},           {"4:a\nbc\n0:\n", true, false}, {"4:a\nbc\n", false, false},
        {"4:a\nb", false, false},        {"4:a\nbcX", false, true},       {"x:\n", false, true},
        {":\n", false, true},            {"-1:\n", false, true},          {"0:\nmore", false, true},
        {"99999999999:\n", false, true}, {"123456789012345678901", false, true},
    };
    for (const Case& c : cases) {
        bool bad = false;
        EXPECT_EQ(SingleInstance::unframe(c.bytes, bad).has_value(), c.complete) << c.bytes.toStdString();
        EXPECT_EQ(bad, c.bad) << c.bytes.toStdString();
    }
    bool bad = false;
    EXPECT_EQ(SingleInstance::unframe(SingleInstance::frame({"/a\nb"}), bad), QStringList{"/a\nb"});
}

} // namespace
} // namespace corvane

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Corvane");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
