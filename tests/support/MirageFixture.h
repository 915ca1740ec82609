// The fixture every window test stands on: the main window with its shared
// state, the built-in emulator as device 0 of both port tables, the virtual
// clock, and a trace of what was sent, waited, reported and beeped.
#pragma once

#include "Form1.h"
#include "MirageEmulator.h"
#include "RecordingSeams.h"
#include "VirtualMirage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QWidget;

namespace corvane {
class TFormBase;
class TSwitchBox;
class TUpDown;
} // namespace corvane

namespace corvane::test {

// The emulator, with every message it receives put on the trace as the
// program built it (the End of Exclusive the port adds is left off).
//
// With `wireTime` its replies come back when they would over MIDI: after the
// request has crossed the wire and the reply has crossed it back, one byte
// every 0.32 ms on the virtual clock, each direction one message at a time.
// A 1255-byte program dump then takes 402 ms, a 63-byte configuration dump
// 21 ms.
class TappedMirage : public VirtualMirage {
public:
    explicit TappedMirage(RecordingSeams& seams) : seams_(seams) {}
    ~TappedMirage() override;
    void receive(const std::uint8_t* data, std::size_t len) override;

    bool wireTime = false;
    // True when the port paces a message of `len` bytes at wire speed: its
    // wire time has then passed when it arrives whole.
    std::function<bool(std::size_t len)> pacedByPort;
    // Milliseconds `bytes` take on the wire, rounded up.
    static long long wireMs(std::size_t bytes) { return (static_cast<long long>(bytes) * 320 + 999) / 1000; }

private:
    RecordingSeams& seams_;
    long long inFree_ = 0;  // when the wire to the instrument is free
    long long outFree_ = 0; // when the wire back is free
    std::vector<int> timers_;
};

class MirageFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the main window (and, unless told otherwise, every window).
    // Called by SetUp; tests that prepare files first call it themselves
    // after setting `autoStart` false in their constructor.
    void start(bool createWindows = true);
    void stop();

    TForm1& form() { return *form_; }
    emu::MirageEmulator& mirage() { return mirage_->emulator(); }
    // The emulator as a MIDI device: its behaviour, and messages sent from it.
    TappedMirage& device() { return *mirage_; }
    RecordingSeams& seams() { return seams_; }
    QString configDir() const { return dir_.path(); }

    // Takes the emulator out of the device tables (before start()).
    void detachEmulator();

    // "Get Configuration" and "Get UL Parameters", answered by the emulator.
    void fetchDumps();
    // Shows a window and activates it, so its activation handler runs once,
    // as when the user switches to it. The trace keeps what activation sent.
    void activate(QWidget* window);

    // Clicks as the user does: an up-down's arrows, a switch box's square.
    static void clickUp(TUpDown* upDown);
    static void clickDown(TUpDown* upDown);
    static void clickBox(TSwitchBox* box);

    // Opens `window` on a stored value at each end of an up-down's range and
    // clicks past that end: nothing may be sent and nothing stored. `field`
    // reads and writes the dump field the up-down edits.
    struct FieldAccess {
        std::function<int()> get;
        std::function<void(int)> set;
    };
    void expectRangeEnds(TFormBase* window, TUpDown* upDown, const FieldAccess& field, int storedAtMin,
                         int storedAtMax);
    FieldAccess configField(int pos);

    bool autoStart = true;
    bool virtualMirageRun = false; // as `corvane --virtual-mirage`
    bool wireTimeReplies = true;   // replies after their time on the wire

private:
    RecordingSeams seams_;
    QTemporaryDir dir_;
    std::unique_ptr<TappedMirage> mirage_;
    std::unique_ptr<TForm1> form_;
};

// Finds a named child control of a window, failing the test when absent.
template <typename T>
T* control(QWidget* window, const char* name)
{
    T* c = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << "no control " << name;
    return c;
}

} // namespace corvane::test
