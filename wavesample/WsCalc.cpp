#include "WsCalc.h"

#include "HexText.h"
#include "Named.h"
#include "SendDump.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WavPrepArithmetic.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

namespace corvane {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& r, bool wrap = false)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setGeometry(r);
    l->setWordWrap(wrap);
    if (wrap)
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QLineEdit* readOnly(QWidget* parent, const char* name, const QRect& r)
{
    auto* e = named(new QLineEdit("XX", parent), name);
    e->setReadOnly(true);
    e->setGeometry(r);
    return e;
}

const QColor Olive(0x80, 0x80, 0x00);

// The pointers the user copies into the memory map: olive boxes with white
// text, as the start page's, which the user may still tab into and select.
TValueBox* pointerBox(QWidget* parent, const char* name, const QRect& r)
{
    auto* e = named(new TValueBox(parent, "XX"), name);
    e->setColours(Olive, Qt::white);
    e->setFocusPolicy(Qt::StrongFocus);
    e->setGeometry(r);
    return e;
}
const char* const PointerHint = "This gets worked out by uding the above pointers.";

QString hex(int v) { return QString::fromStdString(hexNumber(v)); }

} // namespace

TfmWsCalc::TfmWsCalc(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmWsCalc");
    setWindowTitle("WAV File Preparation - Calculator");
    SetFixedFrame({639, 257}, Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint);
    UseEditorFont();

    buildLoopGroup();
    buildPointerGroup();
    buildConverter();
    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(516, 162, 115, 88);
    bnClose = named(new QPushButton("Close", this), "bnClose");
    bnClose->setGeometry(528, 218, 90, 25);

    connectHandlers();
    cbChosenLoopSizeChange(0);
    sbDataChange(0);
}

// The loop in the WAV file.
void TfmWsCalc::buildLoopGroup()
{
    GroupBox2 = named(new QGroupBox("Sample Pointers", this), "GroupBox2");
    GroupBox2->setGeometry(8, 4, 316, 210);
    Label1 = label(GroupBox2, "Label1",
                   "Locate in your WAV first byte of loop, then select to start the calculations.",
                   QRect(10, 18, 110, 56), true);
    lbLoopStartChoose = named(new QListWidget(GroupBox2), "lbLoopStartChoose");
    lbLoopStartChoose->setToolTip("Use one of these as your loop start byte.");
    lbLoopStartChoose->setGeometry(10, 78, 110, 122);
    Label2 = label(GroupBox2, "Label2", "Choose Loop Size.", QRect(134, 18, 176, 16));
    cbChosenLoopSize = named(new QComboBox(GroupBox2), "cbChosenLoopSize");
    cbChosenLoopSize->addItems({"1 Page = 256 Bytes", "2 Pages = 512 Bytes", "4 Pages = 1024 Bytes"});
    cbChosenLoopSize->setGeometry(134, 36, 176, 22);
    Label3 = label(GroupBox2, "Label3", "The Loop marker will start here:-", QRect(134, 70, 178, 16));
    edEOSstartByte = readOnly(GroupBox2, "edEOSstartByte", QRect(134, 88, 80, 21));
    edEOSstartByte->setToolTip("This is the first byte AFTER the loop.");
    Label4 = label(GroupBox2, "Label4", "Allowing 1 Page for EOS/Loop marker, the WAV size should be:-",
                   QRect(134, 120, 176, 44), true);
    edWsSize = readOnly(GroupBox2, "edWsSize", QRect(134, 166, 80, 21));
}

// The pointers to enter in the memory map.
void TfmWsCalc::buildPointerGroup()
{
    GroupBox3 = named(new QGroupBox("Wavesample Pointers", this), "GroupBox3");
    GroupBox3->setGeometry(332, 4, 176, 246);
    Label5 = label(GroupBox3, "Label5", "Ws Start Page", QRect(10, 24, 86, 16));
    edWsStart = named(new TValueBox(GroupBox3, "0"), "edWsStart");
    edWsStart->setColours(Olive, Qt::white);
    edWsStart->setGeometry(100, 22, 40, 21);
    udWsStart = named(new TUpDown(GroupBox3), "udWsStart");
    udWsStart->setGeometry(140, 22, 17, 21);
    udWsStart->setRange(0, wavprep::MaxStartPage);
    udWsStart->setPosition(0);
    udWsStart->setToolTip("Select a start page");
    edWsStart->setToolTip("Select a start page");
    Label6 = label(GroupBox3, "Label6", "Loop Start Page", QRect(10, 54, 86, 16));
    edLoopStartPage = pointerBox(GroupBox3, "edLoopStartPage", QRect(100, 52, 40, 21));
    Label7 = label(GroupBox3, "Label7", "Loop End Page", QRect(10, 84, 86, 16));
    edLoopEndPage = pointerBox(GroupBox3, "edLoopEndPage", QRect(100, 82, 40, 21));
    Label8 = label(GroupBox3, "Label8", "Ws End Page", QRect(10, 114, 86, 16));
    edWsEndPage = pointerBox(GroupBox3, "edWsEndPage", QRect(100, 112, 40, 21));
    for (QLineEdit* e : {edLoopStartPage, edLoopEndPage, edWsEndPage})
        e->setToolTip(PointerHint);
    Label9 = label(GroupBox3, "Label9",
                   "Note: Loop Start needs to be on an even number, that is ends with 0, 2, 4, 6, 8, A, C or E. "
                   "Adjust Ws Start to get this.",
                   QRect(10, 146, 158, 92), true);
}

// The converter.
void TfmWsCalc::buildConverter()
{
    GroupBox1 = named(new QGroupBox("Hex - Dec", this), "GroupBox1");
    GroupBox1->setGeometry(516, 4, 115, 150);
    Label10 = label(GroupBox1, "Label10", "Hex", QRect(10, 24, 50, 16));
    edHexDisplay = readOnly(GroupBox1, "edHexDisplay", QRect(10, 42, 50, 21));
    Label11 = label(GroupBox1, "Label11", "Decimal", QRect(10, 76, 50, 16));
    edDecDisplay = readOnly(GroupBox1, "edDecDisplay", QRect(10, 94, 50, 21));
    sbData = named(new QScrollBar(Qt::Vertical, GroupBox1), "sbData");
    sbData->setRange(0, 256);
    sbData->setValue(0);
    sbData->setGeometry(80, 20, 17, 120);
}

void TfmWsCalc::connectHandlers()
{
    connect(cbChosenLoopSize, &QComboBox::currentIndexChanged, this, &TfmWsCalc::cbChosenLoopSizeChange);
    // A choice by click or arrow key selects the entry; the list taking the
    // focus only makes an entry current, which chooses nothing.
    connect(lbLoopStartChoose, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = lbLoopStartChoose->selectedItems();
        if (!chosen.isEmpty())
            lbLoopStartChooseClick(lbLoopStartChoose->row(chosen.front()));
    });
    connect(udWsStart, &TUpDown::Click, this, &TfmWsCalc::udWsStartClick);
    connect(sbData, &QScrollBar::valueChanged, this, &TfmWsCalc::sbDataChange);
    connect(bnClose, &QPushButton::clicked, this, &TfmWsCalc::bnCloseClick);
}

TfmWsCalc::~TfmWsCalc() = default;

// The loop-size routine: results back to "XX", the start page as it stands
// (in decimal), the loop size, and the loop starts it allows.
void TfmWsCalc::cbChosenLoopSizeChange(int index)
{
    for (QLineEdit* e : {edEOSstartByte, edWsSize, edLoopStartPage, edLoopEndPage, edWsEndPage})
        e->setText("XX");
    edWsStart->setText(QString::number(startPage_));
    loopSize_ = wavprep::loopSizeBytes(index);
    const QSignalBlocker quiet(lbLoopStartChoose);
    lbLoopStartChoose->clear();
    for (int start : wavprep::loopStartChoices(loopSize_))
        lbLoopStartChoose->addItem(QString::number(start));
}

void TfmWsCalc::lbLoopStartChooseClick(int index)
{
    loopStart_ = index * loopSize_;
    const wavprep::LoopFigures f = wavprep::loopFigures(loopStart_, loopSize_);
    edEOSstartByte->setText(QString::number(f.markerByte));
    edWsSize->setText(QString::number(f.wavSize));
    PointerRoutine();
}

void TfmWsCalc::udWsStartClick(bool)
{
    startPage_ = udWsStart->Position();
    PointerRoutine();
}

void TfmWsCalc::PointerRoutine()
{
    const wavprep::Pointers p = wavprep::pointers(loopStart_, loopSize_, startPage_);
    edWsStart->setText(hex(p.wsStart));
    edLoopStartPage->setText(hex(p.loopStart));
    edLoopEndPage->setText(hex(p.loopEnd));
    edWsEndPage->setText(hex(p.wsEnd));
}

void TfmWsCalc::sbDataChange(int position)
{
    const wavprep::Converted c = wavprep::convert(position);
    edHexDisplay->setText(QString::fromStdString(c.hex));
    edDecDisplay->setText(QString::fromStdString(c.dec));
}

void TfmWsCalc::bnCloseClick() { close(); }

} // namespace corvane
