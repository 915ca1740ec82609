// WAV files sent into a wavesample of mirage-emu over real MIDI and asked
// back through the receive window: the same sample bytes, zeros as ones, for
// a small wavesample and for one of all 256 pages; the window's refusal of
// a file larger than the wavesample's page pointers; a send cut short when the
// emulator goes away under it. Runs under scripts/with-jack.sh.
#include "JackMirage.h"

#include "Midiout.h"
#include "WavFile.h"
#include "WsGet.h"
#include "WsSend.h"

#include <gtest/gtest.h>

#include <fstream>

namespace corvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes samplesOf(std::size_t n)
{
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::uint8_t>(i % 5 == 0 ? 0 : (i * 53 + 7) & 0xFF);
    return s;
}

class WsOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        const std::string why = jack.start({});
        ASSERT_EQ(why, "");
        jack.form->MidiOut1->SetPacing(JackSafeRate);
        send = qobject_cast<TfmWsSend*>(jack.form->Window("TfmWsSend"));
        get = qobject_cast<TfmWsGet*>(jack.form->Window("TfmWsGet"));
        ASSERT_TRUE(send && get);
    }

    void openWav(const Bytes& samples)
    {
        const std::string path = files.filePath("in.wav").toStdString();
        const Bytes image = wav::exportImage(samples, 0);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                    static_cast<std::streamsize>(image.size()));
        jack.seams.fileAnswers.push_back(path);
        send->bnOpenFileClick();
    }

    // Sends a WAV file of `samples` and returns the acknowledgement's box.
    std::string sendWav(const Bytes& samples)
    {
        openWav(samples);
        jack.seams.clear();
        send->bnSendWavClick();
        if (!waitUntil([&] { return !jack.seams.boxes().empty(); }, 10000))
            return "no answer";
        return jack.seams.boxes().front().text;
    }

    QTemporaryDir files;
    JackMirage jack;
    TfmWsSend* send = nullptr;
    TfmWsGet* get = nullptr;
};

TEST_F(WsOverJack, WavSentAndAskedBackGivesTheSameSampleBytesOrIsRefused)
{
    const struct {
        std::size_t n;
        int endPage; // L1 from page 0
        const char* answer;
    } table[] = {
        {32 * 256 + 1, 31, "This sample needs 21 (Hex) pages; wavesample L1 has 20. The Mirage refuses"},
        {1000, 31, "Wavesample Receive - Ack = good"},
        {65535, 255, "Wavesample Receive - Ack = good"},
    };
    jack.seams.defaultAnswer = BoxAnswer::No; // not converted to fit
    for (const auto& row : table) {
        ASSERT_TRUE(jack.stretchL1(row.endPage)) << row.endPage;
        const Bytes samples = samplesOf(row.n);
        std::string answer;
        jack.resend([&] { return (answer = sendWav(samples)).starts_with(row.answer); });
        EXPECT_TRUE(answer.starts_with(row.answer)) << row.n << ": " << answer;
        if (std::string(row.answer).starts_with("This sample")) {
            EXPECT_EQ(jack.seams.sent().size(), 0u) << "refused before sending";
            continue;
        }

        jack.resend([&] {
            jack.seams.clear();
            get->bnReqWsClick();
            return jack.seams.boxes().empty() && get->Data().complete;
        });
        EXPECT_TRUE(jack.seams.boxes().empty()) << row.n;
        const auto& got = get->Data();
        EXPECT_TRUE(got.complete);
        ASSERT_EQ(got.samples.size(), 256 * static_cast<std::size_t>(row.endPage + 1));
        for (std::size_t i = 0; i < row.n; ++i)
            ASSERT_EQ(got.samples[i], samples[i] == 0 ? 1 : samples[i]) << "sample " << i << " of " << row.n;
    }
}

TEST_F(WsOverJack, InstrumentGoneDuringASendCutsItShort)
{
    ASSERT_TRUE(jack.stretchL1(255));
    openWav(samplesOf(65535));
    jack.seams.clear();
    jack.seams.startTimer(3000, [&] { jack.stopEmulator(); });
    send->bnSendWavClick(); // 16 s at the pacing
    ASSERT_EQ(jack.seams.boxes().size(), 1u);
    const std::string text = jack.seams.boxes()[0].text;
    EXPECT_TRUE(text.starts_with("Error - MIDI output port lost - the dump into wavesample L1 was cut short after "))
        << text;
    EXPECT_TRUE(text.ends_with(" of 131079 bytes.")) << text;
    EXPECT_LT(jack.seams.totalWaited(), 8000) << "ended soon after the instrument went";
}

} // namespace
} // namespace corvane::test
