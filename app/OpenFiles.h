// Files named on the command line, as the file manager passes them when the
// user opens one with Corvane: each opens in the window made for it.
#pragma once

#include <QStringList>

namespace corvane {

class TForm1;

enum class OpenedIn { LoadSound, DiskImages, LibraryFolders, SendWavesample };

// A folder goes to the library's folders; a floppy disk image (by its size,
// or the .img ending) to Disk Images; an audio file (by its ending) to Send
// to Mirage's Import Audio; anything else is read as a .syx sound in Load
// Sound, which says why when it is not one.
OpenedIn WindowFor(const QString& path);

// Shows each file in its window, in order; each window reports a file it
// refuses as its Open button does.
void OpenFiles(TForm1* main, const QStringList& paths);

} // namespace corvane
