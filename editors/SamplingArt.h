// The pictures of the sampling window's guide panels, painted here.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace corvane::art {

// Step 0 "select" (press the sample key of a half), 1 "start" (the sound
// crosses the threshold and recording begins), 2 "stop" (memory full, the
// display says SF).
QPixmap samplingStep(int step, QSize size);

// The input level meter: 0 no signal, 1 low level, 2 at the threshold,
// 3 peak.
QPixmap levelMeter(int level, QSize size);

// A two-character code on the instrument's LED display.
QPixmap displayCode(const QString& code, QSize size);

} // namespace corvane::art
