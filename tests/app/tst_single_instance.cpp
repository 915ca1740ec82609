// One Corvane per settings file, with the real program: a second start hands
// its files to the one running and leaves; after a run that did not tidy up,
// the next start runs on its own.
#include "Settings.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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
        // This process finds the settings file where the program will.
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    }

    void start(QProcess& p, const QStringList& args)
    {
        p.setProcessEnvironment(env);
        p.start(CORVANE_PROGRAM, args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    // Hands over nothing, as a start without files does, until the running
    // one takes it.
    bool runningTakes(SingleInstance& instance)
    {
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            if (instance.handOver({}, 2000) == SingleInstance::HandOver::Taken)
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
    SingleInstance instance(settingsFilePath());
    EXPECT_EQ(instance.handOver({}, 500), SingleInstance::HandOver::NoneRunning);

    QProcess first;
    QByteArray said;
    start(first, {"--virtual-mirage"});
    ASSERT_TRUE(runningTakes(instance)) << first.readAllStandardError().toStdString();
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
    EXPECT_EQ(instance.handOver({}, 500), SingleInstance::HandOver::NoneRunning);
    QProcess third;
    start(third, {"--virtual-mirage"});
    EXPECT_TRUE(runningTakes(instance));
    third.kill();
    third.waitForFinished(10000);
    QLocalServer::removeServer(instance.serverName());
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
