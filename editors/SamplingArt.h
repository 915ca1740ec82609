// The pictures of the sampling window's guide panels. They are painted when
// the program is built (Baking.h), at the sizes the window shows them.
#pragma once

#include "Baking.h"

#include <QPixmap>
#include <QSize>
#include <QString>

namespace corvane::art {

constexpr QSize SamplingStepSize(90, 112);
constexpr QSize LevelMeterSize(68, 70);
constexpr QSize DisplayCodeSize(28, 18);

// Step 0 "select" (press the sample key of a half), 1 "start" (the sound
// crosses the threshold and recording begins), 2 "stop" (memory full, the
// display says SF).
QPixmap samplingStep(int step);

// The input level meter: 0 no signal, 1 low level, 2 at the threshold,
// 3 peak.
QPixmap levelMeter(int level);

// The codes the instrument's LED display shows while sampling.
inline constexpr const char* DisplayCodes[] = {"SF", "nS", "SU", "SL"};

// A two-character code of DisplayCodes on the instrument's LED display.
QPixmap displayCode(const QString& code);

// The pictures above as the build paints them, with the painting of each.
std::vector<BakedPicture> samplingPictures();

namespace painted {
QPixmap samplingStep(int step, QSize size);
QPixmap levelMeter(int level, QSize size);
QPixmap displayCode(const QString& code, QSize size);
} // namespace painted

} // namespace corvane::art
