#include "MemoryMap.h"

#include "Colours.h"
#include "NameLabel.h"
#include "Named.h"
#include "Panel.h"
#include "MirageProtocol.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace corvane {

namespace {

constexpr int StepWait = 120;
constexpr int RowTop = 168;
constexpr int RowPitch = 32;
constexpr int FrameLeft = 8;
constexpr int FrameTop = 24;

struct ColumnInfo {
    int parameter;
    const char* name; // edits "ed" + name, up-downs "ud" + name
    int x;            // edit; its up-down follows at x + 25
    const char* heading;
};
const ColumnInfo ColumnTable[TMemMap::Columns] = {
    {60, "WsStart", 136, "Wavesample Start Page"},
    {62, "LoopStart", 208, "Loop Start Page"},
    {63, "LoopEnd", 280, "Loop End Page"},
    {64, "LEFine", 336, "Loop End Fine"},
    {61, "WsEnd", 456, "Wavesample End Page"},
};

// Control names: the lower window names row 1 without a number for edits
// and switches (edWsStart, cbLoopSw) and rows 2-8 with one (edWsStart2); its
// up-downs are numbered from 1; the upper window puts a U before every
// number (edWsStartU1, udWsStartU1).
QString rowName(const char* prefix, const char* name, int half, int row, bool numberRowOne)
{
    QString s = QString(prefix) + name;
    if (half != 0)
        return s + "U" + QString::number(row + 1);
    if (row == 0 && !numberRowOne)
        return s;
    return s + QString::number(row + 1);
}

} // namespace

TMemMap::TMemMap(const WindowContext& context, int half, QWidget* parent)
    : TFormBase(context, parent), half_(half == 0 ? 0 : 1)
{
    const bool upper = half_ != 0;
    setObjectName(upper ? "fmMemMapU" : "MemoryMap");
    setWindowTitle(upper ? "Upper Memory Wavesample Page Pointers" : "Lower Memory Wavesample Page Pointers");
    SetFixedFrame({531, 428});
    setHideOnDeactivate(true);
    UseEditorFont();

    buildMemoryPicture();
    buildStrip();
    buildHeadings();
    fields_ = std::make_unique<FieldStepper>(Mirage()); // every control has its row's target
    for (int n = 0; n < 8; ++n) {
        buildRow(n);
        bindRow(n);
    }
    fields_->setAfterStep([this](const TUpDown* upDown, bool) { afterStep(upDown); });
    enableRow(-1);

    // `activated` comes only from the user's choice.
    connect(cbCurrentWs, &QComboBox::activated, this, &TMemMap::cbCurrentWsChange);
    connect(bnShowWsInfo, &QPushButton::clicked, this, &TMemMap::bnShowWsInfoClick);
    connect(Button1, &QPushButton::clicked, this, &TMemMap::Button1Click);
    connect(bnOK, &QPushButton::clicked, this, &TMemMap::bnOKClick);
}

// The memory: 256 pages at two pixels a page, with its scale.
void TMemMap::buildMemoryPicture()
{
    const bool upper = half_ != 0;
    const char* scale[] = {"00", "40", "80", "C0", "FF"};
    const int scaleX[] = {8, 136, 264, 392, 512};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(scale[i], this);
        l->setGeometry(scaleX[i] - (i == 4 ? 6 : 0), 6, 20, 16);
    }
    Shape1 = named(new TShape(this), "Shape1");
    Shape1->setBrushColor(Qt::white);
    Shape1->setGeometry(FrameLeft, FrameTop, 512, 65);
    for (int n = 0; n < 8; ++n) {
        auto* bar = named(new TShape(this), QString(upper ? "shWsU%1" : "shWs%1").arg(n + 1));
        bar->setGeometry(FrameLeft, FrameTop + 8 * n, 0, 9);
        shWs[static_cast<std::size_t>(n)] = bar;
    }
}

// The strip with the selector and the buttons.
void TMemMap::buildStrip()
{
    const bool upper = half_ != 0;
    auto* strip = named(new TPanel(this, TPanel::Grey), "Panel1");
    strip->setGeometry(0, 96, 531, 33);
    auto* selectLabel = new QLabel("Select Wavesample", strip);
    selectLabel->setGeometry(16, 8, 120, 17);
    cbCurrentWs = named(new QComboBox(strip), upper ? "cbCurrentUWs" : "cbCurrentLWs");
    for (int n = 1; n <= 8; ++n)
        cbCurrentWs->addItem(QString("%1%2").arg(upper ? 'U' : 'L').arg(n));
    cbCurrentWs->setGeometry(140, 5, 57, 22);
    bnShowWsInfo = named(new QPushButton("Ws Info", strip), "bnShowWsInfo");
    bnShowWsInfo->setGeometry(240, 4, 75, 25);
    Button1 = named(new QPushButton("Refresh", strip), "Button1");
    Button1->setGeometry(328, 4, 75, 25);
    bnOK = named(new QPushButton("OK", strip), "bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(440, 4, 75, 25);
}

// Column headings, each over the middle of its column.
void TMemMap::buildHeadings()
{
    auto heading = [this](const char* text, int centre, int width) {
        auto* h = new QLabel(text, this);
        h->setGeometry(centre - width / 2, 134, width, 30);
        h->setWordWrap(true);
        h->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    };
    for (const ColumnInfo& c : ColumnTable)
        heading(c.heading, c.x + 20, c.x == 280 || c.x == 336 ? 56 : 72);
    heading("Loop Switch", 420, 50);
}

void TMemMap::buildRow(int n)
{
    const bool upper = half_ != 0;
    const auto r = static_cast<std::size_t>(n);
    const int y = RowTop + RowPitch * n;
    lbName[r] = named(new TNameLabel(8 * half_ + n, this), QString(upper ? "lbU%1" : "lbL%1").arg(n + 1));
    // A stripe of the bar's colour ties each name to its bar.
    swatch_[r] = new TShape(this);
    swatch_[r]->setGeometry(8, y + 3, 5, 15);
    lbName[r]->setGeometry(16, y, 62, 21);
    shidentWs[r] = named(new TShape(this, TShape::Kind::Circle),
                         QString(upper ? "shidentWsU%1" : "shidentWs%1").arg(n + 1));
    shidentWs[r]->setGeometry(80, y + 2, 17, 17);
    lbNumber[r] = new QLabel(QString::number(n + 1), this);
    lbNumber[r]->setGeometry(103, y, 16, 21);

    for (int c = 0; c < Columns; ++c) {
        const ColumnInfo& info = ColumnTable[c];
        auto*& box = ed[static_cast<std::size_t>(c)][r];
        auto*& upDown = ud[static_cast<std::size_t>(c)][r];
        box = named(new TValueBox(this), rowName("ed", info.name, half_, n, false));
        box->setGeometry(info.x, y, 25, 21);
        upDown = named(new TUpDown(this), rowName("ud", info.name, half_, n, true));
        upDown->setGeometry(info.x + 25, y, 16, 21);
    }
    cbLoopSw[r] = named(new TSwitchBox(QString(), this), rowName("cbLoopSw", "", half_, n, false));
    cbLoopSw[r]->setGeometry(410, y, 21, 21);
    if (n == 0) {
        cbLoopSw[r]->setToolTip("Toggle on/off to add end of sample marker.");
        ed[WsEnd][r]->setToolTip("Moving this will set Loop to default values.");
    }
}

// Each row edits its own wavesample; the page pointers are bounded by their
// neighbours.
void TMemMap::bindRow(int n)
{
    const auto r = static_cast<std::size_t>(n);
    auto rowTarget = [this, n] { return target(n); };
    auto bind = [&](Column c, FieldStepper::LimitsFn limits) {
        FieldStepper::Options o;
        o.text = hexText;
        o.target = rowTarget;
        o.limits = std::move(limits);
        o.row = n;
        fields_->add(StepField::of(ColumnTable[c].parameter), ud[static_cast<std::size_t>(c)][r],
                     ed[static_cast<std::size_t>(c)][r], std::move(o));
    };
    bind(WsStart, [this, n] { return std::pair{0, field(n, wsf::EndPage)}; });
    bind(WsEnd, [this, n] { return std::pair{field(n, wsf::StartPage) + 1, 255}; });
    bind(LoopStart, [this, n] { return std::pair{field(n, wsf::StartPage), field(n, wsf::LoopEnd)}; });
    bind(LoopEnd, [this, n] { return std::pair{field(n, wsf::LoopStart), field(n, wsf::EndPage)}; });
    bind(LEFine, {});
    FieldStepper::SwitchOptions so;
    so.target = rowTarget;
    so.row = n;
    so.nonZeroOn = true;
    fields_->addSwitch(SwitchField::of(65), cbLoopSw[r], std::move(so));

    for (int c = 0; c < Columns; ++c)
        connect(ud[static_cast<std::size_t>(c)][r], &TUpDown::Click, this,
                [this, c, n](bool up) { udClick(static_cast<Column>(c), n, up); });
    connect(cbLoopSw[r], &TSwitchBox::Toggle, this, [this, n](bool before, bool) { cbLoopSwToggle(n, before); });
    connect(lbName[r], &TNameLabel::DblClick, this, &TMemMap::lbNameDblClick);
}

TMemMap::~TMemMap() = default;

int TMemMap::field(int row, int offset) const { return target(row).get(Mirage(), offset); }

void TMemMap::FormActivate()
{
    Mirage().EnsureProgram(half_);
    const int w = Mirage().QueryCurrentWavesample();
    // The instrument steps the wavesample it has selected: a row is only
    // editable when that wavesample is one of this half's.
    const bool ours = Mirage().GetCurrentHalf() == half_ && w >= 0 && w <= 7;
    current_ = ours ? w : -1;
    cbCurrentWs->setCurrentIndex(current_);
    enableRow(current_);
    ShowAllValues();
    showNamesAndColours();
}

void TMemMap::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::ProgramArrival(half_))
        ShowAllValues();
}

void TMemMap::enableRow(int row)
{
    fields_->enableRow(row);
    for (int n = 0; n < 8; ++n) {
        shidentWs[static_cast<std::size_t>(n)]->setVisible(n == row);
        lbNumber[static_cast<std::size_t>(n)]->setEnabled(n == row);
    }
}

void TMemMap::ShowAllValues()
{
    fields_->showAll();
    for (int n = 0; n < 8; ++n)
        PlaceBar(n);
}

void TMemMap::PlaceBar(int row)
{
    const int s = field(row, wsf::StartPage);
    const int e = field(row, wsf::EndPage);
    // An end before the start (a dump the instrument would not make) shows
    // no bar.
    const int width = std::max(0, 2 * (e - s) + 2);
    shWs[static_cast<std::size_t>(row)]->setGeometry(FrameLeft + 2 * s, FrameTop + 8 * row, width, 9);
}

void TMemMap::showNamesAndColours()
{
    for (int n = 0; n < 8; ++n) {
        const auto r = static_cast<std::size_t>(n);
        const int index = 8 * half_ + n;
        const QString name = QString::fromStdString(Ctx().wavesampleName(index));
        const QColor colour = fromWindowsColour(Ctx().wavesampleColour(index));
        lbName[r]->setText(name);
        lbName[r]->setToolTip(name);
        swatch_[r]->setBrushColor(colour);
        shWs[r]->setBrushColor(colour);
        shWs[r]->setToolTip(QString("%1%2 %3").arg(half_ ? 'U' : 'L').arg(n + 1).arg(name));
        shidentWs[r]->setBrushColor(colour);
    }
}

// After a step the instrument took: the waits, the bar, and the loop reset
// that a start or end page move causes on the instrument.
void TMemMap::afterStep(const TUpDown* upDown)
{
    for (int c = 0; c < Columns; ++c)
        for (int n = 0; n < 8; ++n) {
            if (ud[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)] != upDown)
                continue;
            switch (c) {
            case WsStart:
                Mirage().Wait(StepWait);
                PlaceBar(n);
                resetLoop(n);
                break;
            case WsEnd:
                resetLoop(n);
                Mirage().Wait(StepWait);
                PlaceBar(n);
                break;
            case LoopEnd:
                target(n).set(Mirage(), wsf::LoopEndFine, 0xFF);
                fields_->show(ud[LEFine][static_cast<std::size_t>(n)]);
                Mirage().Wait(StepWait);
                break;
            default:
                Mirage().Wait(StepWait);
                break;
            }
            return;
        }
}

// The loop goes back to the last page, played to its end. With start and
// end on one page the loop stays on the start page rather than before it.
void TMemMap::resetLoop(int row)
{
    const DumpTarget t = target(row);
    const int page = std::max(field(row, wsf::StartPage), field(row, wsf::EndPage) - 1);
    t.set(Mirage(), wsf::LoopStart, page);
    t.set(Mirage(), wsf::LoopEnd, page);
    t.set(Mirage(), wsf::LoopEndFine, 0xFF);
    const auto r = static_cast<std::size_t>(row);
    for (TUpDown* u : {ud[LoopStart][r], ud[LoopEnd][r], ud[LEFine][r]})
        fields_->show(u);
    fields_->applyLimits();
}

void TMemMap::cbLoopSwToggle(int row, bool before)
{
    fields_->toggle(cbLoopSw[static_cast<std::size_t>(row)], before);
}

void TMemMap::cbCurrentWsChange(int index)
{
    if (index < 0 || index > 7)
        return;
    Converse([this, index] {
        Mirage().SetCurrentHalf(half_);
        Mirage().SelectWavesample(8 * half_ + index);
        current_ = index;
        enableRow(index);
    });
}

void TMemMap::lbNameDblClick(int wavesample)
{
    Ctx().nameSampleIndex = wavesample;
    Ctx().showWindow("TfmNameSample");
}

void TMemMap::bnShowWsInfoClick()
{
    if (current_ >= 0)
        Ctx().nameSampleIndex = 8 * half_ + current_;
    Ctx().showWindow("TfmWsInfo");
}

void TMemMap::Button1Click()
{
    Converse([this] {
        Mirage().RequestProgram(half_);
        ShowAllValues();
        Ctx().seams.beep();
    });
}

void TMemMap::bnOKClick() { close(); }

} // namespace corvane
