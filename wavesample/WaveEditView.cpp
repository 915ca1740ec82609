#include "WaveEditView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace corvane {

using waveedit::Loop;
using waveedit::PageBytes;
using waveedit::Range;

namespace {
const QColor Background(0x00, 0x20, 0x00);
const QColor Centre(0x00, 0x60, 0x00);
const QColor Wave(0x00, 0xFF, 0x00);
const QColor GridLine(0x00, 0x48, 0x00);
const QColor GridText(0x60, 0xC0, 0x60);
const QColor SelectionFill(0x30, 0x60, 0xA0, 0x70);
const QColor LoopColour(0xFF, 0xC0, 0x20);
const QColor EndColour(0xE0, 0xE0, 0xE0);
const QColor CaretColour(0xFF, 0x60, 0x60);
} // namespace

TWaveEditView::TWaveEditView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

void TWaveEditView::setBuffer(const waveedit::WaveBuffer* buffer)
{
    buffer_ = buffer;
    selection_ = {};
    caret_ = 0;
    fit();
}

void TWaveEditView::changed()
{
    selection_.begin = std::clamp(selection_.begin, 0, size());
    selection_.end = std::clamp(selection_.end, selection_.begin, size());
    caret_ = std::clamp(caret_, 0, size());
    clampView();
    update();
    if (viewChanged)
        viewChanged();
}

int TWaveEditView::visibleSamples() const { return static_cast<int>(std::ceil(width() * perPixel_)); }

void TWaveEditView::clampView()
{
    const double fitPerPixel = std::max(1.0 / MaxPixelsPerSample, static_cast<double>(std::max(size(), 1)) / std::max(width(), 1));
    perPixel_ = std::clamp(perPixel_, 1.0 / MaxPixelsPerSample, fitPerPixel);
    first_ = std::clamp(first_, 0.0, std::max(0.0, size() - width() * perPixel_));
}

void TWaveEditView::scrollTo(double first)
{
    first_ = first;
    clampView();
    update();
    if (viewChanged)
        viewChanged();
}

void TWaveEditView::zoomBy(double factor, double aroundX)
{
    const double at = sampleAt(aroundX);
    perPixel_ /= factor;
    clampView();
    first_ = at - aroundX * perPixel_;
    scrollTo(first_);
}

void TWaveEditView::zoomTo(Range r)
{
    if (r.empty())
        return;
    perPixel_ = static_cast<double>(r.size()) / std::max(width(), 1);
    clampView();
    scrollTo(r.begin);
}

void TWaveEditView::fit()
{
    perPixel_ = 1e9;
    first_ = 0;
    scrollTo(0);
}

void TWaveEditView::setSelection(Range r)
{
    r.begin = std::clamp(r.begin, 0, size());
    r.end = std::clamp(r.end, r.begin, size());
    selection_ = r;
    caret_ = r.begin;
    update();
    if (selectionChanged)
        selectionChanged();
}

void TWaveEditView::resizeEvent(QResizeEvent*)
{
    clampView();
    if (viewChanged)
        viewChanged();
}

double TWaveEditView::yOf(float v) const
{
    const double h = height() - 14; // the grid's numbers below
    return (1.0 - std::clamp(v, -1.0f, 1.0f)) * h / 2;
}

float TWaveEditView::valueAt(double y) const
{
    const double h = height() - 14;
    return static_cast<float>(std::clamp(1.0 - 2 * y / h, -1.0, 1.0));
}

void TWaveEditView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Background);
    drawGrid(p);
    if (!selection_.empty()) {
        const double x0 = xOf(selection_.begin), x1 = xOf(selection_.end);
        p.fillRect(QRectF(x0, 0, std::max(1.0, x1 - x0), height()), SelectionFill);
    }
    p.setPen(Centre);
    p.drawLine(QPointF(0, yOf(0)), QPointF(width(), yOf(0)));
    if (buffer_ && size() > 0) {
        const waveedit::Samples& s = buffer_->samples();
        p.setPen(Wave);
        if (perPixel_ > 1) {
            // Each column: the lowest and highest sample it covers, and the
            // last of the column before, so that a steep wave stays joined.
            for (int x = 0; x < width(); ++x) {
                const int from = static_cast<int>(sampleAt(x));
                const int to = std::min(size(), std::max(from + 1, static_cast<int>(sampleAt(x + 1))));
                if (from >= size())
                    break;
                const auto [lo, hi] = std::minmax_element(s.begin() + std::max(0, from - 1), s.begin() + to);
                p.drawLine(QPointF(x + 0.5, yOf(*hi)), QPointF(x + 0.5, yOf(*lo)));
            }
        } else {
            // Single samples: joined, and dots once they stand apart.
            const int from = std::max(0, static_cast<int>(first_) - 1);
            const int to = std::min(size(), static_cast<int>(sampleAt(width())) + 2);
            QPointF last;
            for (int i = from; i < to; ++i) {
                const QPointF pt(xOf(i + 0.5), yOf(s[static_cast<std::size_t>(i)]));
                if (i > from)
                    p.drawLine(last, pt);
                if (perPixel_ <= 0.25)
                    p.drawEllipse(pt, 2, 2);
                last = pt;
            }
        }
    }
    drawMarkers(p);
    p.setPen(CaretColour);
    if (selection_.empty() && buffer_)
        p.drawLine(QPointF(xOf(caret_), 0), QPointF(xOf(caret_), height()));
}

// A line at every page boundary where they stand apart, otherwise at every
// second, fourth, ... page; the page numbers in hex below, as the
// instrument counts pages from the wavesample's first one.
void TWaveEditView::drawGrid(QPainter& p)
{
    const double pagePixels = PageBytes / perPixel_;
    int every = 1;
    while (every < 256 && every * pagePixels < 30)
        every *= 2;
    const int lineEvery = pagePixels >= 4 ? 1 : every;
    const int firstPage = static_cast<int>(first_ / PageBytes);
    const int lastPage = static_cast<int>(sampleAt(width()) / PageBytes) + 1;
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    for (int page = firstPage; page <= lastPage && page <= 256; ++page) {
        if (page % lineEvery != 0)
            continue;
        const double x = xOf(static_cast<double>(page) * PageBytes);
        p.setPen(GridLine);
        p.drawLine(QPointF(x, 0), QPointF(x, height() - 14));
        if (page % every == 0 && page < 256) {
            p.setPen(GridText);
            p.drawText(QPointF(x + 2, height() - 3), QString("%1").arg(pageOffset_ + page, 2, 16, QChar('0')).toUpper());
        }
    }
}

void TWaveEditView::drawMarkers(QPainter& p)
{
    if (!buffer_)
        return;
    QFont f = font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    const auto marker = [&](double sample, const QColor& c, const QString& label, bool right) {
        const double x = xOf(sample);
        if (x < -40 || x > width() + 40)
            return;
        p.setPen(QPen(c, 1));
        p.drawLine(QPointF(x, 0), QPointF(x, height() - 14));
        p.drawText(QPointF(right ? x + 3 : x - 3 - p.fontMetrics().horizontalAdvance(label), 11), label);
    };
    marker(0, EndColour, "S", true);
    marker(size(), EndColour, "E", false);
    const Loop l = drag_ == Drag::LoopStart || drag_ == Drag::LoopEnd ? dragLoop_ : buffer_->loop();
    if (l.on) {
        marker(l.start, LoopColour, "LS", true);
        marker(l.end + 1, LoopColour, "LE", false);
    }
}

void TWaveEditView::mousePressEvent(QMouseEvent* e)
{
    if (!buffer_ || e->button() != Qt::LeftButton)
        return;
    const double x = e->position().x();
    const int at = std::clamp(static_cast<int>(std::lround(sampleAt(x))), 0, size());
    const Loop l = buffer_->loop();
    if (pencilReady()) {
        drag_ = Drag::Pencil;
        pencilAt_ = std::clamp(static_cast<int>(sampleAt(x)), 0, std::max(0, size() - 1));
        pencilValues_ = {valueAt(e->position().y())};
        return;
    }
    if (l.on && std::abs(x - xOf(l.start)) <= MarkerGrip) {
        drag_ = Drag::LoopStart;
        dragLoop_ = l;
        return;
    }
    if (l.on && std::abs(x - xOf(l.end + 1)) <= MarkerGrip) {
        drag_ = Drag::LoopEnd;
        dragLoop_ = l;
        return;
    }
    drag_ = Drag::Select;
    // Shift extends the selection from its far end.
    if (e->modifiers() & Qt::ShiftModifier)
        anchor_ = at < selection_.begin ? selection_.end : selection_.begin;
    else
        anchor_ = at;
    setSelection({std::min(anchor_, at), std::max(anchor_, at)});
}

void TWaveEditView::mouseMoveEvent(QMouseEvent* e)
{
    const double x = e->position().x();
    const int at = std::clamp(static_cast<int>(std::lround(sampleAt(x))), 0, size());
    if (pointed)
        pointed(std::clamp(static_cast<int>(sampleAt(x)), 0, std::max(0, size() - 1)));
    switch (drag_) {
    case Drag::None:
        if (buffer_ && buffer_->loop().on &&
            (std::abs(x - xOf(buffer_->loop().start)) <= MarkerGrip ||
             std::abs(x - xOf(buffer_->loop().end + 1)) <= MarkerGrip))
            setCursor(Qt::SizeHorCursor);
        else
            setCursor(pencilReady() ? Qt::CrossCursor : Qt::IBeamCursor);
        return;
    case Drag::Select:
        setSelection({std::min(anchor_, at), std::max(anchor_, at)});
        caret_ = anchor_;
        return;
    case Drag::LoopStart:
    case Drag::LoopEnd: {
        // The marker follows the mouse as the instrument will hold it.
        Loop asked = dragLoop_;
        if (drag_ == Drag::LoopStart)
            asked.start = at;
        else
            asked.end = at - 1;
        dragLoop_ = waveedit::snapLoop(asked, size());
        update();
        return;
    }
    case Drag::Pencil: {
        const int i = std::clamp(static_cast<int>(sampleAt(x)), 0, std::max(0, size() - 1));
        // Every sample between the first and this one, the newest value winning.
        if (i < pencilAt_) {
            pencilValues_.insert(pencilValues_.begin(), static_cast<std::size_t>(pencilAt_ - i), valueAt(e->position().y()));
            pencilAt_ = i;
        } else if (i >= pencilAt_ + static_cast<int>(pencilValues_.size())) {
            pencilValues_.resize(static_cast<std::size_t>(i - pencilAt_ + 1), valueAt(e->position().y()));
        }
        pencilValues_[static_cast<std::size_t>(i - pencilAt_)] = valueAt(e->position().y());
        update();
        return;
    }
    }
}

void TWaveEditView::mouseReleaseEvent(QMouseEvent* e)
{
    const Drag was = std::exchange(drag_, Drag::None);
    if (e->button() != Qt::LeftButton)
        return;
    if ((was == Drag::LoopStart || was == Drag::LoopEnd) && loopMoved)
        loopMoved(dragLoop_);
    if (was == Drag::Pencil && drawn)
        drawn(pencilAt_, std::move(pencilValues_));
    update();
}

void TWaveEditView::wheelEvent(QWheelEvent* e)
{
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0)
        return;
    zoomBy(std::pow(2.0, steps), e->position().x());
}

void TWaveEditView::leaveEvent(QEvent*)
{
    if (pointed)
        pointed(-1);
}

// ---- overview -------------------------------------------------------------------

TWaveOverview::TWaveOverview(TWaveEditView* view, QWidget* parent) : QWidget(parent), view_(view)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TWaveOverview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Background);
    if (!buffer_ || buffer_->size() == 0)
        return;
    const waveedit::Samples& s = buffer_->samples();
    const int n = buffer_->size();
    const double h = height();
    if (static_cast<int>(columns_.size()) != width()) {
        columns_.clear();
        for (int x = 0; x < width(); ++x) {
            const int from = std::min(n - 1, static_cast<int>(static_cast<long long>(n) * x / width()));
            const int to = std::min(n, std::max(from + 1, static_cast<int>(static_cast<long long>(n) * (x + 1) / width())));
            const auto [lo, hi] = std::minmax_element(s.begin() + std::max(0, from - 1), s.begin() + to);
            columns_.emplace_back(std::clamp(*lo, -1.0f, 1.0f), std::clamp(*hi, -1.0f, 1.0f));
        }
    }
    p.setPen(Wave);
    for (int x = 0; x < width(); ++x)
        p.drawLine(QPointF(x + 0.5, (1 - columns_[static_cast<std::size_t>(x)].second) * h / 2),
                   QPointF(x + 0.5, (1 - columns_[static_cast<std::size_t>(x)].first) * h / 2));
    const double x0 = view_->first() * width() / n;
    const double w = std::max(2.0, view_->visibleSamples() * static_cast<double>(width()) / n);
    p.setPen(QPen(EndColour, 1));
    p.setBrush(QColor(0xFF, 0xFF, 0xFF, 0x28));
    p.drawRect(QRectF(x0, 0.5, std::min(w, width() - x0 - 1), h - 1));
}

void TWaveOverview::centreAt(int x)
{
    if (!buffer_ || width() <= 0)
        return;
    view_->scrollTo(static_cast<double>(x) * buffer_->size() / width() - view_->visibleSamples() / 2.0);
}

void TWaveOverview::mousePressEvent(QMouseEvent* e) { centreAt(static_cast<int>(e->position().x())); }
void TWaveOverview::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton)
        centreAt(static_cast<int>(e->position().x()));
}

} // namespace corvane
