#include "OpenFiles.h"

#include "DiskImage.h"
#include "DiskImagesWindow.h"
#include "Form1.h"
#include "LibraryWindow.h"
#include "SoundWindows.h"
#include "WsSend.h"

#include <QFileInfo>

namespace corvane {

OpenedIn WindowFor(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return OpenedIn::LibraryFolders;
    if (info.size() == static_cast<qint64>(disk::Layout::ImageSize) ||
        info.suffix().compare("img", Qt::CaseInsensitive) == 0)
        return OpenedIn::DiskImages;
    if (TfmWsSend::IsAudioFileName(info.fileName().toStdString()))
        return OpenedIn::SendWavesample;
    return OpenedIn::LoadSound;
}

void OpenFiles(TForm1* main, const QStringList& paths)
{
    for (const QString& given : paths) {
        const QString path = QFileInfo(given).absoluteFilePath();
        switch (WindowFor(path)) {
        case OpenedIn::LibraryFolders:
            if (auto* library = static_cast<TfmLibrary*>(main->Window("TfmLibrary"))) {
                main->ShowWindow("TfmLibrary");
                QStringList folders = library->Folders();
                if (!folders.contains(path))
                    library->SetFolders(folders << path);
            }
            break;
        case OpenedIn::DiskImages:
            if (auto* images = static_cast<TfmDiskImages*>(main->Window("TfmDiskImages"))) {
                main->ShowWindow("TfmDiskImages");
                images->OpenImage(path.toStdString());
            }
            break;
        case OpenedIn::LoadSound:
            if (auto* load = static_cast<TfmLoadSound*>(main->Window("TfmLoadSound"))) {
                main->ShowWindow("TfmLoadSound");
                load->OpenFile(path.toStdString());
            }
            break;
        case OpenedIn::SendWavesample:
            if (auto* send = static_cast<TfmWsSend*>(main->Window("TfmWsSend"))) {
                main->ShowWindow("TfmWsSend");
                send->ImportFile(path.toStdString());
            }
            break;
        }
    }
}

} // namespace corvane
