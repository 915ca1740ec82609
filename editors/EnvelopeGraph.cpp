#include "EnvelopeGraph.h"

namespace corvane {

EnvelopeGraph::EnvelopeGraph(int x0_, int left, int top, int right, int bottom)
    : x0(x0_), frame(QPoint(left, top), QPoint(right - 1, bottom - 1))
{
    setPoints(0, 0, 0, 0, 0);
}

void EnvelopeGraph::setPoints(int attack, int peak, int decay, int sustain, int release)
{
    auto& p = points;
    p[0] = {x0, Baseline};
    p[1] = {x0 + 2 * attack, Baseline - 2 * peak};
    p[2] = {p[1].x() + 2 * decay, Baseline - 2 * sustain};
    p[3] = {p[2].x() + SustainLength, p[2].y()};
    p[4] = {p[3].x() + 2 * release, Baseline};
}

void EnvelopeGraph::stepPoints(Value value, bool up)
{
    const int d = up ? 2 : -2;
    auto& p = points;
    switch (value) {
    case Attack:
        for (int i = 1; i <= 4; ++i)
            p[static_cast<std::size_t>(i)].rx() += d;
        break;
    case Peak: p[1].ry() -= d; break;
    case Decay:
        for (int i = 2; i <= 4; ++i)
            p[static_cast<std::size_t>(i)].rx() += d;
        break;
    case Sustain:
        p[2].ry() -= d;
        p[3] = {p[2].x() + SustainLength, p[2].y()};
        break;
    case Release: p[4].rx() += d; break;
    }
}

} // namespace corvane
