// A control that sends to the instrument (Send to Mirage, Send Wav) is shut
// while nothing can be sent, with the reason as its tooltip ("No MIDI Out
// port is open..."), whatever its window decides; once sending is possible
// again it is as its window last set it.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace corvane {

class TSendGuard : public QObject {
    Q_OBJECT
public:
    // Why nothing can be sent now; empty when it can.
    using Reason = std::function<std::string()>;

    // Guards `control` (owned by it from now on); no guard without a reason.
    static void guard(QWidget* control, Reason reason);
    // Every guarded control takes the reason as it is now (the ports changed).
    static void refreshAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TSendGuard(QWidget* control, Reason reason);
    ~TSendGuard() override;
    void refresh();

    QWidget* control_;
    Reason reason_;
    bool wanted_;      // enabled as the window last set it
    QString tip_;      // the window's own tooltip
    bool blocked_ = false;
    bool setting_ = false;
};

} // namespace corvane
