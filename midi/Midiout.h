// TMidiOut: one MIDI output device; sends short and System Exclusive
// messages. RtMidi underneath (ALSA where it can be opened, otherwise JACK),
// with the registered virtual devices listed first.
#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class TMidiOut : public QObject {
    Q_OBJECT
public:
    // MIDI wire speed in bytes per second (31250 baud, 10 bits a byte).
    static constexpr int WireSpeed = 3125;
    // Long SysEx messages leave in pieces of this many bytes.
    static constexpr int ChunkSize = 256;
    // Highest rate a JACK output is fed at, whatever the pacing: RtMidi
    // queues into a 16 KiB ring and each JACK cycle takes only what fits its
    // port buffer (period frames x 4 bytes, so about 192000 bytes a second
    // at 48 kHz); the rest is dropped. Unpaced pieces lose a third of a
    // 131078-byte send; a sixth of the capacity leaves room for late cycles.
    // A piece must fit one port buffer: periods of 128 frames or more.
    static constexpr int JackMaxRate = 32768;
    // Messages sent while a send is going on wait for it, up to these
    // limits; more are dropped and reported once.
    static constexpr std::size_t MaxPendingMessages = 256;
    static constexpr std::size_t MaxPendingBytes = 4 * 131078;
    static constexpr const char* QueueFullText = "Error - MIDI output queue is full - a message was not sent.";
    static constexpr const char* QueueFullCaption = "MIDI Output";

    explicit TMidiOut(QObject* owner = nullptr);
    ~TMidiOut() override;

    bool Using() const;
    void SetUsing(bool value);
    int Port() const;
    void SetPort(int n);
    int NumDevs() const;
    // Product name of device i of the device table ("" outside it).
    std::string DeviceName(int i) const;
    // Reads the device table afresh (it is otherwise taken at construction).
    // An open port stays open, and Port follows its device's new number.
    void ReadDevices();
    // Number of the device called `name` in the table, -1 when none.
    int FindDevice(const std::string& name) const;
    // Open, and the device it was opened on is still there.
    bool DevicePresent() const;
    unsigned OpenResult() const;
    unsigned CloseResult() const;

    // How a SysEx send ended: bytes out of the whole (F7 included); stopped
    // when its caller asked, cut short when the port was closed or switched
    // or its device went away before the last piece was out.
    struct SendResult {
        std::size_t sent = 0;
        std::size_t total = 0;
        bool stopped = false;
        bool cutShort = false;
    };

    // Sends one SysEx message, synchronously; only when open and len >= 3.
    // Bytes go out as built, followed by End of Exclusive (F7) when they do
    // not already end with it. Long messages go out in chunks paced at wire
    // speed through the wait primitive, which lets user input through; a
    // registered device takes such a message whole when its wire time is
    // over. `progress`, when given, hears after each piece's wire time how
    // many bytes of the whole (F7 included) are out; when it returns false
    // the send stops there and the SysEx is closed with F7.
    using Progress = std::function<bool(std::size_t sent, std::size_t total)>;
    SendResult SysEx(const std::uint8_t* data, int len, const Progress& progress = {});
    void Put(std::uint8_t status, std::uint8_t first, std::uint8_t second);
    void Reset();

    // Hears every message as it goes out (a SysEx once, whole, as built:
    // the F7 the port adds is not in `data`), on the sending thread.
    std::function<void(const std::uint8_t* data, std::size_t size)> OnTraffic;

    // Bytes per second of the pacing of long sends; 3125 (MIDI wire speed)
    // by default, 0 for none.
    void SetPacing(int bytesPerSecond);
    int Pacing() const;
    // The rate long sends actually use: the pacing, limited for JACK.
    int EffectiveRate() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace corvane
