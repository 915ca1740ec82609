// A full 256-page wavesample sent to mirage-emu and asked back over JACK,
// both ends paced at MIDI wire speed, through the transfer windows: the
// bytes per second each way against the wire's 3,125, and the longest time
// the user-interface thread went without processing events meanwhile.
// Run under scripts/with-jack.sh.
#include "EventLoopMeter.h"
#include "JackMirage.h"

#include "WavFile.h"
#include "WsGet.h"
#include "WsSend.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <fstream>

using namespace corvane;
using namespace corvane::test;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    JackMirage jack;
    const std::string why = jack.start({"--pace", "3125"});
    if (!why.empty()) {
        std::fprintf(stderr, "bench_ws_transfer: %s\n", why.c_str());
        return 1;
    }
    if (!jack.stretchL1(255)) {
        std::fprintf(stderr, "bench_ws_transfer: L1 could not be given 256 pages\n");
        return 1;
    }
    auto* send = qobject_cast<TfmWsSend*>(jack.form->Window("TfmWsSend"));
    auto* get = qobject_cast<TfmWsGet*>(jack.form->Window("TfmWsGet"));
    send->show();
    get->show();

    QTemporaryDir dir;
    const std::string path = dir.filePath("full.wav").toStdString();
    std::vector<std::uint8_t> samples(65535);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::uint8_t>(128 + 100 * ((i / 32) % 2 ? 1 : -1));
    const auto image = wav::exportImage(samples, 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    jack.seams.fileAnswers.push_back(path);
    send->bnOpenFileClick();
    const std::size_t sendBytes = send->Dump()->message.size() + 1; // and the F7

    EventLoopMeter meter;
    QElapsedTimer t;

    // Send: the call returns when the last piece has left.
    jack.seams.clear();
    meter.start();
    t.start();
    send->bnSendWavClick();
    const qint64 sendMs = t.elapsed();
    const bool acked = waitUntil([&] { return !jack.seams.boxes().empty(); }, 10000) &&
                       jack.seams.boxes().front().text == "Wavesample Receive - Ack = good";
    const qint64 sendGap = meter.stop().longestGapNs / 1000000;

    // Receive: from the request to the dump's last byte taken in.
    qint64 arrivedMs = -1;
    const int listener = jack.form->AddArrivalListener([&](MirageProtocol::Arrival a) {
        if (a == MirageProtocol::Arrival::Wavesample)
            arrivedMs = t.elapsed();
    });
    jack.seams.clear();
    meter.start();
    t.start();
    get->bnReqWsClick();
    const qint64 receiveGap = meter.stop().longestGapNs / 1000000;
    jack.form->RemoveArrivalListener(listener);
    const std::size_t receiveBytes = 8 + 512 * 256;
    const bool whole = get->Data().complete && get->Data().samples.size() == 65536 &&
                       std::equal(samples.begin(), samples.end(), get->Data().samples.begin());

    std::printf("send:    %zu bytes in %lld ms = %.0f B/s (wire 3125), %s, longest UI stall %lld ms\n", sendBytes,
                static_cast<long long>(sendMs), sendBytes * 1000.0 / std::max<qint64>(sendMs, 1),
                acked ? "acknowledged" : "NOT acknowledged", static_cast<long long>(sendGap));
    std::printf("receive: %zu bytes in %lld ms = %.0f B/s (wire 3125), %s, longest UI stall %lld ms\n",
                receiveBytes, static_cast<long long>(arrivedMs),
                receiveBytes * 1000.0 / std::max<qint64>(arrivedMs, 1), whole ? "whole and equal" : "NOT whole",
                static_cast<long long>(receiveGap));
    return acked && whole ? 0 : 1;
}
