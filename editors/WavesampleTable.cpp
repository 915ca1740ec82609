#include "WavesampleTable.h"

#include "NameLabel.h"
#include "Named.h"
#include "MirageProtocol.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace corvane {

namespace {

constexpr int StepWait = 120;
constexpr int RowPitch = 32;
constexpr int ColumnPitch = 64;

QString itemText(int index) { return QString("%1%2").arg(index < 8 ? 'L' : 'U').arg(index % 8 + 1); }

} // namespace

TWavesampleTable::TWavesampleTable(const WindowContext& context, const Layout& layout, std::vector<Column> columns,
                                   QWidget* parent)
    : TFormBase(context, parent), columns_(std::move(columns))
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    SetFixedFrame(layout.client);
    setHideOnDeactivate(true);
    UseEditorFont();

    buildSelector(layout);
    buildButtons(layout);
    edits_.resize(columns_.size());
    upDowns_.resize(columns_.size());
    fields_ = std::make_unique<FieldStepper>(Mirage()); // every control has its wavesample's target
    for (int half = 0; half < 2; ++half)
        buildHalf(layout, half);
    fields_->setAfterStep([this](const TUpDown*, bool) { Mirage().Wait(StepWait); });
    enableRow(-1);
}

void TWavesampleTable::buildSelector(const Layout& layout)
{
    auto* selectLabel = new QLabel("Select Wavesample", this);
    selectLabel->setGeometry(layout.selectLabel.x(), layout.selectLabel.y(), 76, 30);
    selectLabel->setWordWrap(true);
    selectLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cbSelect = named(new QComboBox(this), layout.selectorName);
    for (int i = 0; i < 16; ++i)
        cbSelect->addItem(itemText(i));
    cbSelect->setGeometry(layout.selector.x(), layout.selector.y(), 57, 22);
    if (layout.typedSelector) {
        cbSelect->setEditable(true);
        cbSelect->setInsertPolicy(QComboBox::NoInsert);
        cbSelect->setCompleter(nullptr); // typed text is judged as typed
        cbSelect->setCurrentIndex(-1);
        cbSelect->setEditText("XX");
        connect(cbSelect->lineEdit(), &QLineEdit::textEdited, this, &TWavesampleTable::cbSelectTextEdited);
    } else {
        cbSelect->setCurrentIndex(-1);
    }
    // `activated` comes only from the user's choice.
    connect(cbSelect, &QComboBox::activated, this, &TWavesampleTable::cbSelectChange);
}

void TWavesampleTable::buildButtons(const Layout& layout)
{
    auto button = [this](const char* name, const char* text, QPoint at) {
        auto* b = named(new QPushButton(text, this), name);
        b->setGeometry(at.x(), at.y(), 75, 25);
        return b;
    };
    bnRefreshU = button("bnRefreshU", "Refresh U", layout.refreshU);
    bnRefresh = button("bnRefresh", "Refresh L", layout.refreshL);
    bnOK = button("bnOK", "OK", layout.ok);
    bnOK->setDefault(true);
    connect(bnRefreshU, &QPushButton::clicked, this, &TWavesampleTable::bnRefreshUClick);
    connect(bnRefresh, &QPushButton::clicked, this, &TWavesampleTable::bnRefreshClick);
    connect(bnOK, &QPushButton::clicked, this, &TWavesampleTable::bnOKClick);
}

// One half's group: the column frames, then the rows.
void TWavesampleTable::buildHalf(const Layout& layout, int half)
{
    const int rowTop = columns_.front().caption != nullptr ? 40 : 28;
    const int firstColumnX = 8 + layout.nameWidth + 16; // within a group
    auto* group = new QGroupBox(layout.groupCaptions[static_cast<std::size_t>(half)], this);
    group->setGeometry(layout.groups[static_cast<std::size_t>(half)].x(),
                       layout.groups[static_cast<std::size_t>(half)].y(), layout.groupWidth,
                       rowTop + 7 * RowPitch + 21 + 10);
    for (int c = 0; c < ColumnCount(); ++c) {
        const Column& col = columns_[static_cast<std::size_t>(c)];
        if (!col.caption)
            continue;
        auto* frame = new QGroupBox(col.caption, group);
        frame->setGeometry(firstColumnX + ColumnPitch * c - 4, 16, 60, rowTop + 7 * RowPitch + 21 - 12);
    }
    for (int n = 0; n < 8; ++n)
        buildRow(group, layout.nameWidth, half, n, rowTop + RowPitch * n);
}

// The name, number and pairs of wavesample n of the half, at height y.
void TWavesampleTable::buildRow(QGroupBox* group, int nameWidth, int half, int n, int y)
{
    const int firstColumnX = 8 + nameWidth + 16;
    const int index = 8 * half + n;
    const auto i = static_cast<std::size_t>(index);
    const QString number = QString("%1%2").arg(half ? "U" : "").arg(n + 1);
    lbName[i] = named(new TNameLabel(index, group), QString("lb%1").arg(itemText(index)));
    lbName[i]->setGeometry(8, y, nameWidth, 21);
    lbNumber[i] = new QLabel(QString::number(n + 1), group);
    lbNumber[i]->setGeometry(8 + nameWidth + 2, y, 10, 21);
    connect(lbName[i], &TNameLabel::DblClick, this, &TWavesampleTable::lbNameDblClick);
    for (int c = 0; c < ColumnCount(); ++c) {
        const Column& col = columns_[static_cast<std::size_t>(c)];
        const int x = firstColumnX + ColumnPitch * c + 2;
        auto* box = named(new TValueBox(group, "XX"), QString("edWs%1%2").arg(number, col.suffix));
        box->setGeometry(x, y, 33, 21);
        auto* ud = named(new TUpDown(group), QString("udWs%1%2").arg(number, col.suffix));
        ud->setGeometry(x + 33, y, 16, 21);
        edits_[static_cast<std::size_t>(c)][i] = box;
        upDowns_[static_cast<std::size_t>(c)][i] = ud;
        FieldStepper::Options o;
        o.text = col.text;
        o.target = [half, n] { return DumpTarget::Wavesample(half, n); };
        o.row = index;
        fields_->add(StepField::of(col.parameter), ud, box, std::move(o));
        connect(ud, &TUpDown::Click, this, [this, c, index](bool up) { udClick(c, index, up); });
    }
}

TWavesampleTable::~TWavesampleTable() = default;

TValueBox* TWavesampleTable::edit(int column, int index) const
{
    return edits_.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(index));
}

TUpDown* TWavesampleTable::upDown(int column, int index) const
{
    return upDowns_.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(index));
}

void TWavesampleTable::FormActivate()
{
    Mirage().EnsureProgram(0);
    Mirage().EnsureProgram(1);
    const int w = Mirage().QueryCurrentWavesample();
    const int h = Mirage().GetCurrentHalf();
    // A status reply naming no wavesample of the sixteen selects none.
    current_ = (h == 0 || h == 1) && w >= 0 && w <= 7 ? 8 * h + w : -1;
    cbSelect->setCurrentIndex(current_);
    enableRow(current_);
    ShowAllValues();
    for (int i = 0; i < 16; ++i) {
        const QString name = QString::fromStdString(Ctx().wavesampleName(i));
        lbName[static_cast<std::size_t>(i)]->setText(name);
        lbName[static_cast<std::size_t>(i)]->setToolTip(name);
    }
}

void TWavesampleTable::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::Arrival::LowerProgram || a == MirageProtocol::Arrival::UpperProgram)
        ShowAllValues();
}

void TWavesampleTable::ShowAllValues() { fields_->showAll(); }

void TWavesampleTable::enableRow(int index)
{
    fields_->enableRow(index);
    for (int i = 0; i < 16; ++i)
        lbNumber[static_cast<std::size_t>(i)]->setEnabled(i == index);
}

void TWavesampleTable::udClick(int column, int index, bool up) { fields_->step(upDown(column, index), up); }

void TWavesampleTable::cbSelectChange(int index)
{
    if (index < 0 || index > 15) {
        // Nothing chosen: nothing to select, and no row to edit.
        current_ = -1;
        enableRow(-1);
        return;
    }
    Converse([this, index] {
        Mirage().SelectWavesample(index);
        current_ = index;
        enableRow(index);
    });
}

// Typed text counts only when it names a wavesample.
void TWavesampleTable::cbSelectTextEdited(const QString& text)
{
    const int index = cbSelect->findText(text.trimmed(), Qt::MatchFixedString);
    if (index >= 0 && index == current_)
        return;
    cbSelectChange(index);
}

void TWavesampleTable::lbNameDblClick(int index)
{
    Ctx().nameSampleIndex = index;
    Ctx().showWindow("TfmNameSample");
}

void TWavesampleTable::refresh(int half)
{
    Converse([this, half] {
        Mirage().RequestProgram(half);
        ShowAllValues();
        Ctx().seams.beep();
    });
}

void TWavesampleTable::bnOKClick() { close(); }

} // namespace corvane
