// The wave editor's pictures of a wavesample held as floating-point samples:
// the waveform at any zoom from the whole down to single samples, with the
// page grid numbered in hex as the instrument counts pages, the start, end
// and loop markers, the selection and the caret; and the overview strip of
// the whole with the part shown framed.
#pragma once

#include "WaveEdit.h"

#include <QWidget>

#include <functional>

class QPainter;

namespace corvane {

class TWaveEditView : public QWidget {
    Q_OBJECT
public:
    explicit TWaveEditView(QWidget* parent = nullptr);

    static constexpr double MaxPixelsPerSample = 32; // single samples, wide enough to draw with the pencil
    static constexpr int MarkerGrip = 4;             // pixels either side of a loop marker that take it

    // The samples shown; the view keeps the pointer, and `changed` is called
    // after every edit.
    void setBuffer(const waveedit::WaveBuffer* buffer);
    void changed();

    // ---- the part shown
    double first() const { return first_; }              // sample at the left edge
    double samplesPerPixel() const { return perPixel_; }
    int visibleSamples() const;
    void scrollTo(double first);
    void zoomBy(double factor, double aroundX); // factor > 1 zooms in
    void zoomIn() { zoomBy(2, width() / 2.0); }
    void zoomOut() { zoomBy(0.5, width() / 2.0); }
    void zoomTo(waveedit::Range r);
    void fit();
    double sampleAt(double x) const { return first_ + x * perPixel_; }
    double xOf(double sample) const { return (sample - first_) / perPixel_; }

    // ---- the selection and the caret (where Paste and Insert Silence go)
    waveedit::Range selection() const { return selection_; }
    void setSelection(waveedit::Range r);
    int caret() const { return caret_; }

    // The instrument's number of the wavesample's first page, for the grid.
    void setPageOffset(int page) { pageOffset_ = page; update(); }

    // While set, a drag at a zoom showing single samples redraws them.
    void setPencil(bool on) { pencil_ = on; }
    bool pencil() const { return pencil_; }
    bool pencilReady() const { return pencil_ && perPixel_ <= 0.25; }

    // What the window hears.
    std::function<void()> viewChanged;       // scrolled or zoomed
    std::function<void()> selectionChanged;
    std::function<void(int sample)> pointed;  // the sample under the mouse; -1 when it leaves
    std::function<void(waveedit::Loop)> loopMoved; // a loop marker let go: the loop asked for, unsnapped
    std::function<void(int at, waveedit::Samples values)> drawn; // the pencil let go

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    enum class Drag { None, Select, LoopStart, LoopEnd, Pencil };
    int size() const { return buffer_ ? buffer_->size() : 0; }
    double yOf(float v) const;
    float valueAt(double y) const;
    void clampView();
    void drawGrid(QPainter& p);
    void drawMarkers(QPainter& p);

    const waveedit::WaveBuffer* buffer_ = nullptr;
    double first_ = 0;
    double perPixel_ = 1;
    waveedit::Range selection_;
    int caret_ = 0;
    bool pencil_ = false;
    int pageOffset_ = 0;
    Drag drag_ = Drag::None;
    int anchor_ = 0;
    waveedit::Loop dragLoop_;
    int pencilAt_ = 0;
    waveedit::Samples pencilValues_;
};

class TWaveOverview : public QWidget {
    Q_OBJECT
public:
    TWaveOverview(TWaveEditView* view, QWidget* parent = nullptr);
    void setBuffer(const waveedit::WaveBuffer* buffer) { buffer_ = buffer; changed(); }
    // The samples changed: the picture of the whole is drawn again (a
    // scroll only moves the frame).
    void changed()
    {
        columns_.clear();
        update();
    }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void centreAt(int x);
    TWaveEditView* view_;
    const waveedit::WaveBuffer* buffer_ = nullptr;
    std::vector<std::pair<float, float>> columns_; // lowest and highest of each pixel column
};

} // namespace corvane
