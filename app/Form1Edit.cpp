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
    if (c != EditHistory::Change::Drift && c != EditHistory::Change::News)
        return;
    // The newest of the differences found and the history's news shows;
    // when it goes, what was shown before it comes back.
    auto* panel = statusPanels_[DriftPanel];
    const bool news = c == EditHistory::Change::News;
    const std::string text = news ? h.News() : h.DriftText();
    const std::string& shown = StatusText[DriftPanel];
    const bool driftShown = shown.rfind("Changed on the Mirage:", 0) == 0 || shown == NoChanges || shown == NoAnswer;
    const bool newsShown = !newsShown_.empty() && shown == newsShown_;
    if (!text.empty()) {
        if (!driftShown && !newsShown)
            statusBeforeDrift_ = shown;
        if (news)
            newsShown_ = text;
        setStatusText(DriftPanel, text);
        // A long text shows whole in the panel's tooltip.
        if (panel)
            panel->setToolTip(QString::fromStdString(news ? text : h.DriftList()));
        return;
    }
    if (news)
        newsShown_.clear();
    if (news ? newsShown : driftShown) {
        setStatusText(DriftPanel, statusBeforeDrift_);
        showPortNotes(); // and the connection's tooltip
    }
}

// The last panel shows what a comparison with the instrument found, or what
// the history did, until the next edit; the connection's news waits behind
// it meanwhile.
bool TForm1::showingDrift() const
{
    const std::string& shown = StatusText[DriftPanel];
    return shown.rfind("Changed on the Mirage:", 0) == 0 || shown == NoChanges || shown == NoAnswer ||
           (!newsShown_.empty() && shown == newsShown_);
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
        if (!showingDrift())
            statusBeforeDrift_ = StatusText[DriftPanel];
        if (arrived < 3)
            setStatusText(DriftPanel, NoAnswer);
        else if (History().Drift().empty())
            setStatusText(DriftPanel, NoChanges);
        // Otherwise the differences are shown already, as they were found.
        seamsRef().beep();
    });
}

} // namespace corvane
