// Base of every window other than the main one: a top-level window that is
// created once and only shown and hidden afterwards, with an activation hook.
// A window given a WindowContext runs its activation as part of the one
// conversation with the instrument and hears what arrives from it.
// Escape closes (hides) it, as its close box does; dialogs that have a
// Cancel button take Escape as Cancel in their own keyPressEvent.
#pragma once

#include "MirageProtocol.h"
#include "WindowContext.h"

#include <QWidget>

#include <optional>

class QAction;

namespace corvane {

class TFormBase : public QWidget {
    Q_OBJECT
public:
    // A window that never talks to the instrument (about box, dialogs).
    explicit TFormBase(QWidget* parent = nullptr);
    TFormBase(const WindowContext& context, QWidget* parent = nullptr);
    ~TFormBase() override;

    // Runs the activation handler, as when the window system activates the
    // window. While another sequence is talking to the instrument, the
    // activation waits for it to end and then runs once.
    void Activate();

    // Shows the window modeless, brings it to the front and activates it.
    void ShowAndActivate();

    void setVisible(bool visible) override;

    // Most editor windows hide themselves when another window of the
    // program becomes active; not while a menu opened there is open, and
    // not for an Undo or Redo chosen there that changes a value they show.
    void setHideOnDeactivate(bool on) { hideOnDeactivate_ = on; }
    // The user's choice (Setup - Keep editor windows open): editors stay
    // open beside other windows and close with their OK button.
    static void SetKeepEditorsOpen(bool on) { keepEditorsOpen_ = on; }
    static bool KeepEditorsOpen() { return keepEditorsOpen_; }

    // A sequence with waits is talking to the instrument (this window's or
    // another's).
    bool HandlerRunning() const;

    // How often the activation handler has run.
    int ActivationCount() const { return activations_; }

    // Edit → Undo and Redo of the one history (Ctrl+Z; Ctrl+Shift+Z, Ctrl+Y),
    // in every window that talks to the instrument; null elsewhere.
    QAction* UndoAction() const { return undo_; }
    QAction* RedoAction() const { return redo_; }

protected:
    virtual void FormActivate() {}
    virtual void FormDeactivate() {}
    // A dump or reply has arrived while the window is shown: a window that
    // shows it redisplays, sending nothing.
    virtual void DumpArrived(MirageProtocol::Arrival) {}
    // The window shows the field `c` changes (editors with field tables).
    virtual bool ShowsChange(const FieldChange&) const { return false; }
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

    // The frame of every window here: a dialog of fixed size with a close
    // box, and `extra`: the system menu (most windows), the system menu and
    // staying on top, or nothing more (the small boxes).
    static constexpr Qt::WindowFlags CloseBoxOnly{};
    void SetFixedFrame(QSize size, Qt::WindowFlags extra = Qt::WindowSystemMenuHint);
    // The frame of the windows that hold lists: they open at `size`, the
    // smallest they may be, and grow with the user's frame (see TAnchors).
    void SetSizableFrame(QSize size, Qt::WindowFlags extra = Qt::WindowSystemMenuHint);
    // The 11-pixel "MS Sans Serif" of the editor windows.
    void UseEditorFont();

    // Runs a handler's sequence (sends and waits) as the one conversation
    // with the instrument: at once, or after the sequence that holds it.
    void Converse(std::function<void()> sequence);

    bool HasContext() const { return context_.has_value(); }
    const WindowContext& Ctx() const { return *context_; }
    MirageProtocol& Mirage() const { return context_->mirage; }

private:
    std::optional<WindowContext> context_;
    int listener_ = 0;
    int historyListener_ = 0;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    void addEditActions();
    // After losing activation: hides unless the window is active again or
    // another window's menu is open, which decides when it closes.
    void leaveOrStay();
    void menuClosing(const QAction* chosen);
    static inline bool keepEditorsOpen_ = false;
    int keptActivation_ = 0; // ticket of an activation waiting its turn
    int activations_ = 0;
    bool hideOnDeactivate_ = false;
    bool activating_ = false;
};

} // namespace corvane
