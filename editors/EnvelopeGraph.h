// One envelope as the envelope and filter windows draw it: five points in
// the window's client coordinates, two pixels per unit on both axes, a ramp
// up for the attack, a ramp to the sustain level for the decay, a level
// stretch of 30 pixels, a ramp down for the release, over a baseline at
// y = 112.
#pragma once

#include <QPoint>
#include <QRect>

#include <array>

namespace corvane {

struct EnvelopeGraph {
    enum Value { Attack, Peak, Decay, Sustain, Release };
    static constexpr int Baseline = 112;
    static constexpr int SustainLength = 30;

    // `x0`: the origin; the frame as left, top, right, bottom, the right and
    // bottom edges outside it.
    EnvelopeGraph(int x0, int left, int top, int right, int bottom);

    // All five points from the stored values (0-31 each).
    void setPoints(int attack, int peak, int decay, int sustain, int release);
    // Moves the points for one step of one value, as a click does, without
    // reading the dump.
    void stepPoints(Value value, bool up);

    int x0;
    QRect frame; // the pixels the frame covers
    std::array<QPoint, 5> points;
};

} // namespace corvane
