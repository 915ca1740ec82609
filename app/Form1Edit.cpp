// The main window's part in the edit history: the Edit menu, Mirage →
// Check Mirage, and the differences found shown in the status bar.
#include "Form1.h"
#include "WalkPanel.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace corvane {

namespace {
const char* const NoChanges = "No changes: Corvane's copy is the instrument's.";
const char* const NoAnswer = "No answer from the Mirage: nothing was compared.";
constexpr int DriftPanel = 3;
} // namespace

void TForm1::buildHistoryMenus(QMenuBar* bar)
{
    // Edit goes after Disk, the menu bar's first.
    QMenu* edit = new QMenu("&Edit", bar);
    const QList<QAction*> menus = bar->actions();
    bar->insertMenu(menus.size() > 1 ? menus[1] : nullptr, edit);
    QAction* undo = addItem(edit, "EditUndo", "&Undo", [this] { UndoClick(); });
    undo->setShortcut(QKeySequence("Ctrl+Z"));
    QAction* redo = addItem(edit, "EditRedo", "&Redo", [this] { RedoClick(); });
    redo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    // Escape stops a long undo or redo, as in the editor windows.
    auto* stop = new QAction(this);
    stop->setObjectName("StopReplay");
    stop->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(stop, &QAction::triggered, this, [this] { StopTransfer(); });
    addAction(stop);

    for (QAction* a : menus)
        if (a->menu() && a->text() == "&Mirage") {
            a->menu()->addSeparator();
            QAction* check = addItem(a->menu(), "CheckMirage", "&Check Mirage", [this] { CheckMirageClick(); });
            check->setShortcut(QKeySequence("Ctrl+R"));
        }
    historyListener_ = History().AddListener([this](EditHistory::Change c) { showHistory(c); });
    showHistory(EditHistory::Change::Lists);
}

void TForm1::showHistory(EditHistory::Change c)
{
    const EditHistory& h = History();
    if (c == EditHistory::Change::Lists) {
        if (QAction* undo = Action("EditUndo")) {
            undo->setText("&" + QString::fromStdString(h.UndoText()));
            undo->setEnabled(h.CanUndo());
        }
        if (QAction* redo = Action("EditRedo")) {
            redo->setText("&" + QString::fromStdString(h.RedoText()));
            redo->setEnabled(h.CanRedo());
        }
    }
    if (c != EditHistory::Change::Drift)
        return;
    auto* panel = statusPanels_[DriftPanel];
    const std::string drift = h.DriftText();
    const std::string& shown = StatusText[DriftPanel];
    const bool showingDrift = shown.rfind("Changed on the Mirage:", 0) == 0 || shown == NoChanges;
    if (!drift.empty()) {
        if (!showingDrift)
            statusBeforeDrift_ = shown;
        setStatusText(DriftPanel, drift);
    } else if (showingDrift) {
        setStatusText(DriftPanel, statusBeforeDrift_);
    }
    if (panel)
        panel->setToolTip(QString::fromStdString(h.DriftList()));
}

// The last panel shows what a comparison with the instrument found, until
// the next edit; the connection's news waits behind it meanwhile.
bool TForm1::showingDrift() const
{
    const std::string& shown = StatusText[DriftPanel];
    return shown.rfind("Changed on the Mirage:", 0) == 0 || shown == NoChanges || shown == NoAnswer;
}

void TForm1::UndoClick() { History().Undo(replayWatch(centralWidget(), *this)); }
void TForm1::RedoClick() { History().Redo(replayWatch(centralWidget(), *this)); }

void TForm1::CheckMirageClick()
{
    Converse([this] {
        int arrived = 0;
        const int listener = AddArrivalListener([&arrived](Arrival a) {
            arrived += a == Arrival::Config || a == Arrival::LowerProgram || a == Arrival::UpperProgram;
        });
        History().ClearDrift();
        RequestConfig();
        RequestProgram(0);
        RequestProgram(1);
        RemoveArrivalListener(listener);
        const std::string& shown = StatusText[DriftPanel];
        if (shown.rfind("Changed on the Mirage:", 0) != 0 && shown != NoChanges && shown != NoAnswer)
            statusBeforeDrift_ = shown;
        if (arrived < 3)
            setStatusText(DriftPanel, NoAnswer);
        else if (History().Drift().empty())
            setStatusText(DriftPanel, NoChanges);
        // Otherwise the differences are shown already, as they were found.
        seamsRef().beep();
    });
}

} // namespace corvane
