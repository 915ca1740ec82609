#include "EmulatorDisk.h"

#include "DiskImage.h"
#include "ImageDisk.h"
#include "IniFile.h"
#include "Seams.h"
#include "VirtualMirage.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace corvane {

std::string emulatorDiskImage(const QString& settingsPath)
{
    const auto v = IniFile::load(settingsPath).value("Emulator", "DiskImage");
    return v ? v->toStdString() : std::string{};
}

std::unique_ptr<emu::ImageDisk> attachEmulatorDisk(VirtualMirage& mirage, Seams& seams, const QString& settingsPath)
{
    const std::string path = emulatorDiskImage(settingsPath);
    if (path.empty())
        return nullptr;
    // The emulator may run on a MIDI thread: its reports wait for the
    // user-interface thread.
    auto report = [&seams](const std::string& text) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&seams, text] { seams.messageBox(text, disk::Image::Caption, BoxButtons::Ok); }, Qt::QueuedConnection);
    };
    auto disk = std::make_unique<emu::ImageDisk>(path, report);
    if (const std::string error = disk->check(); !error.empty()) {
        seams.messageBox(error, disk::Image::Caption, BoxButtons::Ok);
        return nullptr;
    }
    const auto lock = mirage.lock();
    disk->attach(mirage.emulator());
    mirage.emulator().reset();
    return disk;
}

} // namespace corvane
