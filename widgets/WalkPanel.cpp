#include "WalkPanel.h"

#include "ProgressBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVariant>
#include <QPushButton>

namespace corvane {

namespace {

constexpr int PanelHeight = 30;
const char* const BaseSize = "corvaneSizeWithoutStrips";

// The strips go below the window's own controls: a window of fixed size
// grows by their height while they show and goes back to its size after.
// A window that resizes has them over its bottom edge.
void placeStrips(QWidget* window)
{
    auto* walk = window->findChild<TWalkPanel*>("WalkPanel", Qt::FindDirectChildrenOnly);
    auto* drift = window->findChild<TDriftStrip*>("lbDrift", Qt::FindDirectChildrenOnly);
    const bool walkShown = walk && walk->isVisibleTo(window);
    const bool driftShown = drift && drift->isVisibleTo(window);
    const bool fixed = window->minimumSize() == window->maximumSize();
    QVariant base = window->property(BaseSize);
    if (!base.isValid()) {
        if (!walkShown && !driftShown)
            return;
        base = window->size();
        if (fixed)
            window->setProperty(BaseSize, base);
    }
    const QSize size = base.toSize();
    const int driftHeight = drift ? drift->fontMetrics().height() + 4 : 0;
    int y = fixed ? size.height() : window->height() - (walkShown ? PanelHeight : 0) - (driftShown ? driftHeight : 0);
    if (walkShown) {
        walk->setGeometry(0, y, window->width(), PanelHeight);
        y += PanelHeight;
    }
    if (driftShown) {
        drift->setGeometry(0, y, window->width(), driftHeight);
        y += driftHeight;
    }
    if (!fixed)
        return;
    window->setFixedSize(size.width(), y);
    if (!walkShown && !driftShown)
        window->setProperty(BaseSize, QVariant());
}

} // namespace

TWalkPanel* TWalkPanel::of(QWidget* window, MirageProtocol& m)
{
    if (auto* p = window->findChild<TWalkPanel*>("WalkPanel", Qt::FindDirectChildrenOnly))
        return p;
    return new TWalkPanel(window, m);
}

TWalkPanel::TWalkPanel(QWidget* window, MirageProtocol& m) : TPanel(window, Grey, Edge), m_(m)
{
    setObjectName("WalkPanel");
    lbWalk = new QLabel(this);
    lbWalk->setObjectName("lbWalk");
    lbWalk->setMinimumWidth(40);
    pbWalk = new TProgressBar(this);
    pbWalk->setObjectName("pbWalk");
    pbWalk->setFormat("%v of %m");
    pbWalk->setAlignment(Qt::AlignCenter);
    setToolTip("Cancel or Escape stops it between two steps");
    pbWalk->setFixedSize(120, 18);
    bnWalkCancel = new QPushButton("Cancel", this);
    bnWalkCancel->setObjectName("bnWalkCancel");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 2, 4, 2);
    row->addWidget(lbWalk, 1);
    row->addWidget(pbWalk);
    row->addWidget(bnWalkCancel);
    connect(bnWalkCancel, &QPushButton::clicked, this, [this] { m_.StopTransfer(); });
    hide();
}

void TWalkPanel::begin(const QString& text, int total)
{
    text_ = text;
    total_ = total;
    pbWalk->setRange(0, std::max(total, 1));
    showText();
    advance(0);
    Seams& seams = m_.seamsRef();
    if (timer_)
        seams.cancelTimer(timer_);
    timer_ = seams.startTimer(ShowAfterMs, [this] {
        timer_ = 0;
        show();
        raise();
        placeStrips(parentWidget());
    });
}

void TWalkPanel::showText()
{
    const QString shown = lbWalk->fontMetrics().elidedText(text_, Qt::ElideRight, lbWalk->width());
    lbWalk->setText(shown);
    lbWalk->setToolTip(shown == text_ ? QString() : text_);
}

void TWalkPanel::resizeEvent(QResizeEvent* e)
{
    TPanel::resizeEvent(e);
    // The label has its new width once the row is laid out.
    layout()->activate();
    showText();
}

void TWalkPanel::advance(int done) { pbWalk->setValue(std::min(done, total_)); }

void TWalkPanel::end()
{
    if (timer_)
        m_.seamsRef().cancelTimer(timer_);
    timer_ = 0;
    if (isVisibleTo(parentWidget())) {
        hide();
        placeStrips(parentWidget());
    }
}

Walk::Walk(QWidget* window, MirageProtocol& m, const QString& text, int total)
    : transfer_(m), panel_(TWalkPanel::of(window, m))
{
    panel_->begin(text, total);
}

Walk::~Walk() { panel_->end(); }

void Walk::Stepped() { panel_->advance(++done_); }

namespace {

class WalkReplay : public ReplayProgress {
public:
    WalkReplay(QWidget* window, MirageProtocol& m, const QString& text, int steps) : walk_(window, m, text, steps) {}
    void Stepped() override { walk_.Stepped(); }
    bool Stopped() const override { return walk_.Stopped(); }

private:
    Walk walk_;
};

} // namespace

ReplayWatch replayWatch(QWidget* window, MirageProtocol& m)
{
    QPointer<QWidget> w(window);
    return [w, &m](const std::string& text, int steps) -> std::unique_ptr<ReplayProgress> {
        if (!w)
            return nullptr;
        return std::make_unique<WalkReplay>(w, m, QString::fromStdString(text), steps);
    };
}

} // namespace corvane

namespace corvane {

TDriftStrip* TDriftStrip::of(QWidget* window)
{
    if (auto* s = window->findChild<TDriftStrip*>("lbDrift", Qt::FindDirectChildrenOnly))
        return s;
    return new TDriftStrip(window);
}

TDriftStrip::TDriftStrip(QWidget* window) : QLabel(window)
{
    setObjectName("lbDrift");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xFF, 0xE0, 0xA0));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setIndent(4);
    hide();
}

void TDriftStrip::showDrift(const QString& text, const QString& list)
{
    QWidget* w = parentWidget();
    if (text.isEmpty()) {
        if (isVisibleTo(w)) {
            hide();
            placeStrips(w);
        }
        return;
    }
    setText(fontMetrics().elidedText(text, Qt::ElideRight, w->width() - 8));
    setToolTip(list);
    show();
    raise();
    placeStrips(w);
}

} // namespace corvane
