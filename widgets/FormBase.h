// Base of every window other than the main one: a top-level window that is
// created once and only shown and hidden afterwards, with an activation hook.
#pragma once

#include <QWidget>

namespace corvane {

class TFormBase : public QWidget {
    Q_OBJECT
public:
    explicit TFormBase(QWidget* parent = nullptr);

    // Runs the activation handler, as when the window system activates the
    // window. Ignored while a handler of this window is still running (its
    // waits let window-system events through).
    void Activate();

    // Shows the window modeless, brings it to the front and activates it.
    void ShowAndActivate();

    // Most editor windows hide themselves when they lose activation.
    void setHideOnDeactivate(bool on) { hideOnDeactivate_ = on; }

    bool HandlerRunning() const { return handlerDepth_ > 0; }

    // How often the activation handler has run.
    int ActivationCount() const { return activations_; }

protected:
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    bool event(QEvent* e) override;

    // Marks a handler as running for the lifetime of the guard, so activation
    // events arriving during its waits do not start a second sequence.
    class HandlerGuard {
    public:
        explicit HandlerGuard(TFormBase& f) : f_(f) { ++f_.handlerDepth_; }
        ~HandlerGuard() { --f_.handlerDepth_; }
        HandlerGuard(const HandlerGuard&) = delete;
        HandlerGuard& operator=(const HandlerGuard&) = delete;
    private:
        TFormBase& f_;
    };

private:
    int handlerDepth_ = 0;
    int activations_ = 0;
    bool hideOnDeactivate_ = false;
};

} // namespace corvane
