#include "WaveView.h"

#include <QPainter>

#include <algorithm>

namespace corvane {

TWaveView::TWaveView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TWaveView::setSamples(std::vector<std::uint8_t> samples)
{
    samples_ = std::move(samples);
    update();
}

std::pair<int, int> TWaveView::ColumnRange(int x, int columns) const
{
    if (samples_.empty() || columns <= 0 || x < 0 || x >= columns)
        return {128, 128};
    const std::size_t n = samples_.size();
    const std::size_t from = n * static_cast<std::size_t>(x) / static_cast<std::size_t>(columns);
    const std::size_t to = std::max(from + 1, n * static_cast<std::size_t>(x + 1) / static_cast<std::size_t>(columns));
    const auto [lo, hi] = std::minmax_element(samples_.begin() + static_cast<std::ptrdiff_t>(from),
                                              samples_.begin() + static_cast<std::ptrdiff_t>(std::min(to, n)));
    return {*lo, *hi};
}

void TWaveView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, QColor(0x00, 0x20, 0x00));
    p.setPen(QColor(0x00, 0x60, 0x00));
    const int h = r.height() - 1;
    auto yOf = [h](int v) { return h - v * h / 255; };
    p.drawLine(0, yOf(128), r.width() - 1, yOf(128));
    p.setPen(QColor(0x00, 0xFF, 0x00));
    if (samples_.empty())
        return;
    const int columns = r.width();
    for (int x = 0; x < columns; ++x) {
        const auto [lo, hi] = ColumnRange(x, columns);
        p.drawLine(x, yOf(lo), x, yOf(hi));
    }
}

} // namespace corvane
