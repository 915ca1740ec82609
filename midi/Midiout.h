// TMidiOut: one MIDI output device; sends short and System Exclusive
// messages. RtMidi underneath (ALSA where it can be opened, otherwise JACK),
// with the registered virtual devices listed first.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class TMidiOut : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDevices = 12;

    explicit TMidiOut(QObject* owner = nullptr);
    ~TMidiOut() override;

    bool Using() const;
    void SetUsing(bool value);
    int Port() const;
    void SetPort(int n);
    int NumDevs() const;
    // Product name of device i of the device table ("" outside it).
    std::string DeviceName(int i) const;
    unsigned OpenResult() const;
    unsigned CloseResult() const;

    // Sends one SysEx message, synchronously; only when open and len >= 3.
    // Bytes go out as built, followed by End of Exclusive (F7) when they do
    // not already end with it. Long messages go out in chunks paced at wire
    // speed through the wait primitive.
    void SysEx(const std::uint8_t* data, int len);
    void Put(std::uint8_t status, std::uint8_t first, std::uint8_t second);
    void Reset();

    // Bytes per second of the pacing of long sends; 3125 (MIDI wire speed)
    // by default, 0 for none.
    void SetPacing(int bytesPerSecond);
    int Pacing() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace corvane
