// TMidiIn: one MIDI input device with two 65545-byte receive buffers. Each
// received SysEx is handed to the user-interface thread through a locked
// inbox and raised there as OnSysEx; a message longer than a buffer is
// delivered as one full buffer and the rest as the next, without a leading F0.
#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane {

class TMidiIn : public QObject {
    Q_OBJECT
public:
    static constexpr int BufferSize = 65545;
    // Messages received and not yet raised, at most; more are dropped and
    // the loss is reported.
    static constexpr std::size_t MaxQueuedMessages = 4096;
    static constexpr std::size_t MaxQueuedBytes = 64 * static_cast<std::size_t>(BufferSize);
    static constexpr const char* OverrunText =
        "Error - MIDI input arrived faster than it could be handled - some messages were lost.";
    static constexpr const char* OverrunCaption = "MIDI Receive Buffer Overflow";

    using ShortHandler = std::function<void(TMidiIn* sender, std::uint8_t status, std::uint8_t first,
                                            std::uint8_t second)>;
    using SysExHandler = std::function<void(TMidiIn* sender, const std::uint8_t* data, int size)>;

    explicit TMidiIn(QObject* owner = nullptr);
    ~TMidiIn() override;

    bool Using() const;
    void SetUsing(bool value);
    int Port() const;
    void SetPort(int n);
    int NumDevs() const;
    std::string DeviceName(int i) const;
    // As TMidiOut's: the table read afresh, a device looked up by name, and
    // whether the open port's device is still there.
    void ReadDevices();
    int FindDevice(const std::string& name) const;
    bool DevicePresent() const;
    // Key of the MIDI system the system devices are reached through ("alsa",
    // "jack"; "" when none).
    std::string SystemName() const;
    unsigned OpenResult() const;
    unsigned CloseResult() const;

    bool UseShort() const;
    void SetUseShort(bool value);
    bool UseSysEx() const;
    void SetUseSysEx(bool value);

    ShortHandler OnShort;
    SysExHandler OnSysEx;
    // Hears every message as it is handed over, whole, before OnShort or
    // OnSysEx, on the component's thread.
    std::function<void(const std::uint8_t* data, std::size_t size)> OnTraffic;

private:
    // Queued from the driver's thread: hands received messages over.
    Q_INVOKABLE void takeInbox();

    friend class VirtualMidiDevice;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace corvane
