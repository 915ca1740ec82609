// The program beside a JACK peer that never runs its process cycle: the
// server waits for the peer in every cycle and, in time, drops the clients
// behind it, the program's among them. Started with no settings file, the
// program has the peer's ports as its first devices. Runs under
// scripts/with-jack.sh.
#include "Form1.h"
#include "JackMirage.h"
#include "Midiin.h"
#include "Midiout.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

TEST(SilentJackPeer, TheProgramStartedBesideItLivesOnAndSaysThePortWent)
{
    ASSERT_FALSE(qgetenv("JACK_DEFAULT_SERVER").isEmpty()) << "run under scripts/with-jack.sh";
    QProcess peer;
    peer.start(SILENT_PEER_PATH);
    ASSERT_TRUE(peer.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([&] { return peer.readAll().contains("ready"); }, 10000));

    QTemporaryDir dir;
    setConfigDirectory(dir.path());
    RecordingSeams seams{true};
    installSeams(&seams);
    {
        TForm1 form(seams);
        EXPECT_EQ(form.MidiIn1->DeviceName(form.MidiIn1->Port()), "interface:out1");
        // The seams' clock runs the port watch: it moves only in their
        // waits. Long enough for the server to give up on the peer's cycles,
        // and for the watch to look many times meanwhile.
        auto run = [&](int ms, const std::function<bool()>& done) {
            for (int waited = 0; waited < ms; waited += 100) {
                if (done())
                    return true;
                seams.wait(100);
            }
            return done();
        };
        run(25000, [] { return false; });
        EXPECT_TRUE(form.MidiIn1->Using());
        // The peer goes: the watch, still at work, says so.
        peer.closeWriteChannel();
        EXPECT_TRUE(peer.waitForFinished(5000));
        const bool noticed = run(20000, [&] { return form.StatusPanelText(3).contains("MIDI In missing: interface:out1"); });
        EXPECT_TRUE(noticed) << form.StatusPanelText(3).toStdString();
        form.FormClose();
    }
    installSeams(nullptr);
    setConfigDirectory(QString());
    if (peer.state() != QProcess::NotRunning)
        peer.kill();
}

} // namespace
} // namespace corvane::test
