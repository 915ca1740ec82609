// mirage-emu as a separate process behind JACK MIDI ports, driven over RtMidi
// by this test: a private JACK server with the dummy driver, the emulator
// started and stopped by process id, and long dumps in both directions.
#include "Dumps.h"
#include "JackWatch.h"
#include "MirageEmulator.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef MIRAGE_EMU_PATH
#error "MIRAGE_EMU_PATH must name the mirage-emu program"
#endif

namespace corvane::emu::test {
namespace {

using namespace std::chrono_literals;
using ::corvane::test::JackSafeRate;
using ::corvane::test::JackWatch;

// A child process whose standard output we can read; ended by its id.
struct Child {
    pid_t pid = -1;
    int out = -1;

    static Child start(const std::vector<std::string>& argv)
    {
        Child c;
        int fds[2];
        if (pipe(fds) != 0)
            return c;
        c.pid = fork();
        if (c.pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            const int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0)
                dup2(devnull, STDERR_FILENO);
            close(fds[0]);
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        c.out = fds[0];
        fcntl(c.out, F_SETFL, O_NONBLOCK);
        return c;
    }

    // Reads output until `text` shows or the time is up.
    bool waitFor(const std::string& text, std::chrono::milliseconds limit, std::string* seen = nullptr)
    {
        std::string all;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            char buf[256];
            const ssize_t n = read(out, buf, sizeof buf);
            if (n > 0)
                all.append(buf, static_cast<std::size_t>(n));
            if (all.find(text) != std::string::npos) {
                if (seen)
                    *seen = all;
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        if (seen)
            *seen = all;
        return false;
    }

    int stop()
    {
        if (pid <= 0)
            return -1;
        kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                close(out);
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
        close(out);
        return -3;
    }
};

struct Received {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Message> messages;
    Message partial;
};

// Joins SysEx pieces until End of Exclusive, in case the input delivers them
// one by one.
void onInput(double, std::vector<unsigned char>* m, void* user)
{
    auto* r = static_cast<Received*>(user);
    if (!m || m->empty())
        return;
    std::lock_guard<std::mutex> lock(r->mutex);
    if ((*m)[0] == 0xF0)
        r->partial.clear();
    r->partial.insert(r->partial.end(), m->begin(), m->end());
    if (r->partial.back() == 0xF7) {
        r->messages.push_back(std::move(r->partial));
        r->partial.clear();
        r->arrived.notify_all();
    }
}

int findPort(RtMidi& api, const std::string& name)
{
    for (unsigned i = 0; i < api.getPortCount(); ++i)
        if (api.getPortName(i).find(name) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

class MirageEmuOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v jackd > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "jackd is not installed";
        server = "corvane-emu-test-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        jackd = Child::start({"jackd", "-r", "-t", "10000", "-n", server, "-d", "dummy", "-r", "48000", "-p", "1024"});
        ASSERT_GT(jackd.pid, 0);
        std::this_thread::sleep_for(1500ms);

        emu = Child::start({MIRAGE_EMU_PATH, "--api", "jack", "--in-name", "emu in", "--out-name",
                            "emu out", "--client-name", "emutest", "--pace", std::to_string(JackSafeRate)});
        std::string seen;
        ASSERT_TRUE(emu.waitFor("mirage-emu: ready", 10s, &seen)) << seen;
        watch = std::make_unique<JackWatch>();

        in = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "emutest-probe-in", 1000);
        out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "emutest-probe-out");
        in->ignoreTypes(false, true, true);
        in->setCallback(&onInput, &received);
        const int from = findPort(*in, "emu out");
        const int to = findPort(*out, "emu in");
        ASSERT_GE(from, 0);
        ASSERT_GE(to, 0);
        in->openPort(static_cast<unsigned>(from), "probe in");
        out->openPort(static_cast<unsigned>(to), "probe out");
        std::this_thread::sleep_for(300ms);
    }

    void TearDown() override
    {
        if (in) {
            in->cancelCallback();
            in->closePort();
        }
        if (out)
            out->closePort();
        in.reset();
        out.reset();
        watch.reset();
        if (emu.pid > 0) {
            EXPECT_EQ(emu.stop(), 0) << "mirage-emu ends cleanly on SIGTERM";
        }
        jackd.stop();
    }

    // Sends in chunks, no faster than a late JACK cycle allows.
    void send(const Message& m)
    {
        constexpr std::size_t chunk = 256;
        for (std::size_t at = 0; at < m.size(); at += chunk) {
            const std::size_t len = std::min(chunk, m.size() - at);
            out->sendMessage(m.data() + at, len);
            if (m.size() > chunk)
                std::this_thread::sleep_for(std::chrono::microseconds(1'000'000 * len / JackSafeRate));
        }
    }

    std::optional<Message> next(std::chrono::milliseconds limit = 5000ms)
    {
        std::unique_lock<std::mutex> lock(received.mutex);
        if (!received.arrived.wait_for(lock, limit, [&] { return !received.messages.empty(); }))
            return std::nullopt;
        Message m = std::move(received.messages.front());
        received.messages.pop_front();
        return m;
    }

    // Sends `messages` and takes the answer to the last one. When the answer
    // is not `wanted` and the JACK server lost cycles meanwhile, the
    // exchange is made again (JackWatch::resend); the caller checks the
    // answer of the last attempt.
    std::optional<Message> ask(const std::vector<Message>& messages,
                               const std::function<bool(const Message&)>& wanted,
                               std::chrono::milliseconds limit = 5000ms)
    {
        std::optional<Message> answer;
        watch->resend(
            [&] {
                for (const Message& m : messages)
                    send(m);
                answer = next(limit);
                return answer && wanted(*answer);
            },
            [&] {
                std::this_thread::sleep_for(500ms); // what is still on its way
                std::lock_guard<std::mutex> lock(received.mutex);
                received.messages.clear();
            });
        return answer;
    }

    static std::function<bool(const Message&)> sized(std::size_t n)
    {
        return [n](const Message& m) { return m.size() == n; };
    }

    std::string server;
    Child jackd, emu;
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    Received received;
    std::unique_ptr<JackWatch> watch;
};

TEST_F(MirageEmuOverJack, AnswersRequestsAndLongDumpsArriveWhole)
{
    MirageEmulator reference; // the same factory state as the process
    auto equals = [](const Message& expected) { return [expected](const Message& m) { return m == expected; }; };

    auto config = ask({{0xF0, 0x0F, 0x01, 0x00, 0x7F, 0xF7}}, equals(reference.configDump()));
    ASSERT_TRUE(config);
    EXPECT_EQ(*config, reference.configDump());

    auto upper = ask({{0xF0, 0x0F, 0x01, 0x13, 0x7F, 0xF7}}, equals(reference.programDump(1)));
    ASSERT_TRUE(upper);
    EXPECT_EQ(*upper, reference.programDump(1));

    // a whole-memory wavesample: 131,080 bytes, far beyond one JACK cycle.
    // L1 starts at page 00; its end page goes up to FF, one press at a time,
    // as far as the lower dump says it has gone (a press can be lost).
    const Message lowerRequest = {0xF0, 0x0F, 0x01, 0x03, 0x7F, 0xF7};
    const int endPos = wavesampleFieldPos(0, wsf::EndPage);
    auto endPage = [&]() -> int {
        send(lowerRequest);
        const auto lower = next();
        return lower && lower->size() == ProgramDumpSize ? (*lower)[endPos] + 16 * (*lower)[endPos + 1] : -1;
    };
    const bool stretched = watch->resend(
        [&] {
            send({0xF0, 0x0F, 0x01, 0x01, 0x15, 0x01, 0x7F, 0xF7});
            for (int end = endPage(); end >= 0 && end < 0xFF; ++end) {
                send({0xF0, 0x0F, 0x01, 0x01, 0x0C, 0x06, 0x01, 0x0D, 0x0E, 0x7F, 0xF7});
                std::this_thread::sleep_for(2ms);
            }
            return endPage() == 0xFF;
        },
        [] { std::this_thread::sleep_for(500ms); });
    ASSERT_TRUE(stretched);

    auto dump = ask({{0xF0, 0x0F, 0x01, 0x04, 0xF7}}, sized(8 + 512 * 256), 40000ms);
    ASSERT_TRUE(dump);
    ASSERT_EQ(dump->size(), 8u + 512u * 256u);
    EXPECT_EQ((*dump)[4], 0x00);
    EXPECT_EQ((*dump)[5], 0x10);
    bool same = true;
    for (std::size_t i = 0; i < 65536 && same; ++i)
        same = (*dump)[6 + 2 * i] + 16 * (*dump)[7 + 2 * i] == reference.half(0).memory[i];
    EXPECT_TRUE(same) << "the lower memory arrives byte for byte";
}

TEST_F(MirageEmuOverJack, TakesAChunkedWavesampleDumpAndAcknowledges)
{
    // 4,000 samples into L1 (32 pages): 16 pages announced
    Message m = {0xF0, 0x0F, 0x01, 0x06, 16 % 16, 16 / 16};
    for (int i = 0; i < 4000; ++i) {
        const int b = 1 + (i * 7) % 255;
        m.push_back(static_cast<std::uint8_t>(b % 16));
        m.push_back(static_cast<std::uint8_t>(b / 16));
    }
    unsigned sum = 0;
    for (std::size_t i = 4; i < m.size(); ++i)
        sum += m[i];
    m.push_back(static_cast<std::uint8_t>(sum % 128));
    m.push_back(0x7F);
    m.push_back(0xF7);
    const Message good = {0xF0, 0x0F, 0x01, 0x09, 0xF7};
    auto ack = ask({m}, [&](const Message& a) { return a == good; }, 10000ms);
    ASSERT_TRUE(ack);
    EXPECT_EQ(*ack, good);

    auto back = ask({{0xF0, 0x0F, 0x01, 0x04, 0xF7}}, sized(8 + 512 * 32), 10000ms);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 8u + 512u * 32u);
    for (int i = 0; i < 4000; ++i)
        ASSERT_EQ((*back)[6 + 2 * i] + 16 * (*back)[7 + 2 * i], 1 + (i * 7) % 255) << "sample " << i;
}

TEST_F(MirageEmuOverJack, QueryIsAnsweredWithTheHalfAndWavesample)
{
    const Message expected = {0xF0, 0x0F, 0x01, 0x0E, 0x12, 0xF7};
    auto status = ask({{0xF0, 0x0F, 0x01, 0x01, 0x14, 0x03, 0x7F, 0xF7},
                       {0xF0, 0x0F, 0x01, 0x01, 0x0C, 0x02, 0x06, 0x0D, 0x7F, 0xF7}},
                      [&](const Message& m) { return m == expected; }, 2000ms);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, expected);
}

} // namespace
} // namespace corvane::emu::test
