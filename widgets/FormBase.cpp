#include "FormBase.h"
#include "ScreenFit.h"
#include "WalkPanel.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>

namespace corvane {

TFormBase::TFormBase(QWidget* parent) : QWidget(parent, Qt::Window) {}

TFormBase::TFormBase(const WindowContext& context, QWidget* parent) : QWidget(parent, Qt::Window), context_(context)
{
    listener_ = context_->mirage.AddArrivalListener([this](MirageProtocol::Arrival a) {
        if (isVisible())
            DumpArrived(a);
    });
    addEditActions();
}

// Undo and Redo of the one history, and Check Mirage, with the main
// window's shortcuts: every window is a top-level window of its own, so each
// carries them.
void TFormBase::addEditActions()
{
    EditHistory& h = context_->mirage.History();
    undo_ = new QAction("Undo", this);
    undo_->setObjectName("actUndo");
    undo_->setShortcut(QKeySequence("Ctrl+Z"));
    redo_ = new QAction("Redo", this);
    redo_->setObjectName("actRedo");
    redo_->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    connect(undo_, &QAction::triggered, this, [this, &h] { h.Undo(replayWatch(this, context_->mirage)); });
    connect(redo_, &QAction::triggered, this, [this, &h] { h.Redo(replayWatch(this, context_->mirage)); });
    addAction(undo_);
    addAction(redo_);
    if (context_->checkMirage) {
        auto* check = new QAction("Check Mirage", this);
        check->setObjectName("actCheckMirage");
        check->setShortcut(QKeySequence("Ctrl+R"));
        connect(check, &QAction::triggered, this, [this] { context_->checkMirage(); });
        addAction(check);
    }
    auto show = [this, &h] {
        undo_->setText(QString::fromStdString(h.UndoText()));
        undo_->setEnabled(h.CanUndo());
        redo_->setText(QString::fromStdString(h.RedoText()));
        redo_->setEnabled(h.CanRedo());
    };
    show();
    historyListener_ = h.AddListener([show](EditHistory::Change c) {
        if (c == EditHistory::Change::Lists)
            show();
    });
}

TFormBase::~TFormBase()
{
    if (!context_)
        return;
    if (keptActivation_)
        context_->mirage.CancelKept(keptActivation_);
    context_->mirage.RemoveArrivalListener(listener_);
    context_->mirage.History().RemoveListener(historyListener_);
}

void TFormBase::setVisible(bool visible)
{
    const bool showing = visible && !isVisible();
    if (showing && isWindow())
        fitSizeIntoScreen(this);
    QWidget::setVisible(visible);
    // Showing a window posts every control a request to be drawn. Where the
    // window system exposes the window before those requests are handled,
    // the window is drawn whole twice, once for the exposure and once for the
    // requests. Marking the controls now lets the exposure draw them once.
    if (showing) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
        // Where the window system placed the frame is known a moment later.
        if (isWindow())
            QTimer::singleShot(200, this, [this] { moveIntoScreen(this); });
    }
}

bool TFormBase::HandlerRunning() const { return context_ ? context_->mirage.Conversing() : activating_; }

void TFormBase::Converse(std::function<void()> sequence)
{
    if (context_)
        context_->mirage.Converse(std::move(sequence));
    else
        sequence();
}

void TFormBase::Activate()
{
    if (keptActivation_ || activating_)
        return; // already waiting its turn, or running
    auto run = [this] {
        keptActivation_ = 0;
        activating_ = true;
        ++activations_;
        FormActivate();
        activating_ = false;
    };
    if (!context_) {
        run();
        return;
    }
    int ticket = 0;
    if (!context_->mirage.Converse(run, &ticket))
        keptActivation_ = ticket;
}

void TFormBase::ShowAndActivate()
{
    show();
    raise();
    activateWindow();
}

bool TFormBase::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) {
        Activate();
    } else if (e->type() == QEvent::WindowDeactivate) {
        // Not while a sequence runs: its waits let the window system's
        // events through, and the window must stay for the rest of it.
        if (!HandlerRunning()) {
            FormDeactivate();
            if (hideOnDeactivate_ && !keepEditorsOpen_)
                QTimer::singleShot(0, this, &TFormBase::leaveOrStay);
        }
    }
    return QWidget::event(e);
}

void TFormBase::leaveOrStay()
{
    if (!isVisible() || keepEditorsOpen_)
        return;
    // The active window's menu (the main window's Edit menu, say) is open:
    // what is chosen there decides.
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        connect(
            menu, &QMenu::aboutToHide, this, [this, menu] { menuClosing(menu->activeAction()); },
            Qt::SingleShotConnection);
        return;
    }
    hide();
}

void TFormBase::menuClosing(const QAction* chosen)
{
    // The menu hides before its action runs: an Undo or Redo about to
    // change a value this window shows keeps it open, so the user sees the
    // value go back.
    if (chosen && context_) {
        const EditHistory& h = context_->mirage.History();
        const std::vector<Edit>* list = chosen->objectName() == "EditUndo"   ? &h.UndoList()
                                        : chosen->objectName() == "EditRedo" ? &h.RedoList()
                                                                             : nullptr;
        if (list && !list->empty())
            for (const FieldChange& c : list->back().changes)
                if (ShowsChange(c))
                    return;
    }
    QTimer::singleShot(0, this, &TFormBase::leaveOrStay);
}

void TFormBase::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        // During a long run of steps or a transfer, Escape stops it.
        if (context_ && context_->mirage.Transferring()) {
            context_->mirage.StopTransfer();
            return;
        }
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TFormBase::SetFixedFrame(QSize size, Qt::WindowFlags extra)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | extra);
    setFixedSize(size);
}

void TFormBase::SetSizableFrame(QSize size, Qt::WindowFlags extra)
{
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint | extra);
    setMinimumSize(size);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(size);
}

void TFormBase::UseEditorFont()
{
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
}

} // namespace corvane
