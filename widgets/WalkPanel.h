// The progress of a long run of steps (a typed value walked to the
// instrument, a preset recall): a grey strip below its window's controls
// with what runs, how far it has got, and Cancel. It shows only when the run
// has taken a second; Cancel, or Escape in the window, stops the run
// between two steps.
//
// A run holds a Walk for its duration: the Walk holds the protocol's
// transfer, whose stop the panel's Cancel and the window's Escape set.
#pragma once

#include "MirageProtocol.h"
#include "Panel.h"

#include <QString>

#include <QLabel>
class QPushButton;

namespace corvane {

class TProgressBar;

class TWalkPanel : public TPanel {
    Q_OBJECT
public:
    // The panel of `window`, made on its first use.
    static TWalkPanel* of(QWidget* window, MirageProtocol& m);

    static constexpr int ShowAfterMs = 1000;

    QLabel* lbWalk;
    TProgressBar* pbWalk;
    QPushButton* bnWalkCancel;

    // A run of `total` steps begins; it shows after ShowAfterMs.
    void begin(const QString& text, int total);
    void advance(int done);
    void end();
    // What runs, in full.
    const QString& Text() const { return text_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    TWalkPanel(QWidget* window, MirageProtocol& m);
    // The text, cut short with "…" where the window is narrow (whole in
    // the tooltip).
    void showText();

    MirageProtocol& m_;
    QString text_;
    int total_ = 0;
    int timer_ = 0;
};

// One run of steps: stopped by the panel's Cancel or the window's Escape.
class Walk {
public:
    Walk(QWidget* window, MirageProtocol& m, const QString& text, int total);
    ~Walk();
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    bool Stopped() const { return transfer_.Stopped(); }
    // One step more has been sent.
    void Stepped();
    int Done() const { return done_; }

private:
    MirageProtocol::Transfer transfer_;
    TWalkPanel* panel_;
    int done_ = 0;
};

// What an undo or redo started in `window` shows its progress with: the
// window's panel, stopped by its Cancel or Escape. Nothing shows when the
// window is gone by the time the replay runs.
ReplayWatch replayWatch(QWidget* window, MirageProtocol& m);

} // namespace corvane

namespace corvane {

// The strip along the bottom of a window that says which of its values were
// found changed on the instrument ("Changed on the Mirage: Master Tune
// 60 → 63"), the full list in its tooltip; gone at the next edit.
class TDriftStrip : public QLabel {
    Q_OBJECT
public:
    static TDriftStrip* of(QWidget* window);
    // Shows `text` (hides on "").
    void showDrift(const QString& text, const QString& list);

private:
    explicit TDriftStrip(QWidget* window);
};

} // namespace corvane
