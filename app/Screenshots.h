#pragma once

#include <QString>

namespace corvane {

class TForm1;

// Fetches the configuration and both program dumps from the connected
// instrument, then opens and activates each window as a user would and
// renders it to dir/<ClassName>.png. Returns the number of files written.
int TakeScreenshots(TForm1* main, const QString& dir);

} // namespace corvane
