#include "WalkPanel.h"

#include "ProgressBar.h"

#include <QLabel>
#include <QPushButton>

namespace corvane {

namespace {
constexpr int PanelHeight = 30;
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
    pbWalk = new TProgressBar(this);
    pbWalk->setObjectName("pbWalk");
    pbWalk->setTextVisible(false);
    bnWalkCancel = new QPushButton("Cancel", this);
    bnWalkCancel->setObjectName("bnWalkCancel");
    connect(bnWalkCancel, &QPushButton::clicked, this, [this] { m_.StopTransfer(); });
    hide();
}

void TWalkPanel::place()
{
    const int w = parentWidget()->width();
    setGeometry(4, parentWidget()->height() - PanelHeight - 4, w - 8, PanelHeight);
    const int inner = width() - 16;
    lbWalk->setGeometry(8, 7, inner * 5 / 10, 16);
    pbWalk->setGeometry(16 + inner * 5 / 10, 8, inner * 3 / 10 - 8, 14);
    bnWalkCancel->setGeometry(width() - 8 - inner / 5, 3, inner / 5, 24);
}

void TWalkPanel::begin(const QString& text, int total)
{
    text_ = text;
    total_ = total;
    pbWalk->setRange(0, std::max(total, 1));
    advance(0);
    Seams& seams = m_.seamsRef();
    if (timer_)
        seams.cancelTimer(timer_);
    timer_ = seams.startTimer(ShowAfterMs, [this] {
        timer_ = 0;
        place();
        show();
        raise();
    });
}

void TWalkPanel::advance(int done)
{
    pbWalk->setValue(std::min(done, total_));
    lbWalk->setText(QString("%1: %2 of %3 steps (Esc stops)").arg(text_).arg(done).arg(total_));
}

void TWalkPanel::end()
{
    if (timer_)
        m_.seamsRef().cancelTimer(timer_);
    timer_ = 0;
    hide();
}

Walk::Walk(QWidget* window, MirageProtocol& m, const QString& text, int total)
    : transfer_(m), panel_(TWalkPanel::of(window, m))
{
    panel_->begin(text, total);
}

Walk::~Walk() { panel_->end(); }

void Walk::Stepped() { panel_->advance(++done_); }

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
    if (text.isEmpty()) {
        hide();
        return;
    }
    const QWidget* w = parentWidget();
    const int h = fontMetrics().height() + 2;
    setGeometry(0, w->height() - h, w->width(), h);
    setText(fontMetrics().elidedText(text, Qt::ElideRight, w->width() - 8));
    setToolTip(list);
    show();
    raise();
}

} // namespace corvane
