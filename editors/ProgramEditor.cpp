#include "ProgramEditor.h"

#include "MirageProtocol.h"
#include "Named.h"
#include "Panel.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace corvane {

TProgramEditor::TProgramEditor(const WindowContext& context, int half, QWidget* parent)
    : TFormBase(context, parent), half_(half),
      fields_(std::make_unique<FieldStepper>(Mirage(), [this] { return DumpTarget::Program(half_, n_); }))
{
}

TProgramEditor::~TProgramEditor() = default;

QLabel* TProgramEditor::buildProgramLabel()
{
    lbProgram = named(new QLabel(half_ == 0 ? "Lower Program" : "Upper Program", this), "lbProgram");
    return lbProgram;
}

void TProgramEditor::buildProgramButtons(int x, int y)
{
    programGroup_ = new QButtonGroup(this);
    programGroup_->setExclusive(true);
    const QString prefix = half_ == 0 ? "L" : "U";
    for (int k = 0; k < 4; ++k) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString("SpeedButton%1").arg(k + 1));
        b->setText(prefix + QString::number(k + 1));
        b->setCheckable(true);
        b->setGeometry(x + 30 * k, y, 28, 25);
        programGroup_->addButton(b, k);
        programButtons_[static_cast<std::size_t>(k)] = b;
        connect(b, &QToolButton::clicked, this, [this, k] { SpeedButtonClick(k); });
    }
    SpeedButton1 = programButtons_[0];
    SpeedButton2 = programButtons_[1];
    SpeedButton3 = programButtons_[2];
    SpeedButton4 = programButtons_[3];
    SpeedButton1->setChecked(true);
}

void TProgramEditor::buildRefreshPanel(const QRect& panel, const QRect& refresh, const QRect& ok)
{
    Panel1 = named(new TPanel(this, TPanel::Grey, TPanel::Edge), "Panel1");
    Panel1->setGeometry(panel);
    bnRefresh = named(new QPushButton("Refresh", Panel1), "bnRefresh");
    bnRefresh->setGeometry(refresh);
    bnOK = named(new QPushButton("OK", Panel1), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(ok);
    connect(bnRefresh, &QPushButton::clicked, this, &TProgramEditor::bnRefreshClick);
    connect(bnOK, &QPushButton::clicked, this, &TProgramEditor::bnOKClick);
}

void TProgramEditor::takeCurrentProgram()
{
    // Never step a copy that was not read from the instrument.
    Mirage().EnsureProgram(half_);
    n_ = std::clamp(Mirage().GetCurrentProgram(half_), 0, 3);
}

void TProgramEditor::selectShownProgram()
{
    programButtons_[static_cast<std::size_t>(n_)]->setChecked(true);
    Mirage().SelectProgram(half_, n_);
    ProgramRedisplay();
}

void TProgramEditor::SpeedButtonClick(int k)
{
    Converse([this, k] {
        Mirage().SelectProgram(half_, k);
        n_ = k;
        ProgramRedisplay();
        Mirage().SetCurrentProgram(half_, k);
    });
}

void TProgramEditor::bnRefreshClick()
{
    Converse([this] {
        Mirage().RequestProgram(half_);
        ProgramRedisplay();
        Ctx().seams.beep();
    });
}

void TProgramEditor::bnOKClick() { close(); }

} // namespace corvane
