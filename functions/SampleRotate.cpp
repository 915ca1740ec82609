#include "SampleRotate.h"

#include "MirageProtocol.h"
#include "Frames.h"
#include "Image.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>

namespace corvane {

namespace {

// A fat horizontal arrow over a strip of sample dots, pointing left or right:
// the picture beside each direction button.
QPixmap rotateArrow(bool left)
{
    constexpr int W = 64, H = 30;
    QPixmap pm(W, H);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // the samples being shifted
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0x80, 0x00));
    for (int i = 0; i < 8; ++i)
        p.drawEllipse(QPointF(6 + i * 7.3, 25), 2.2, 2.2);

    QPainterPath arrow;
    arrow.moveTo(4, 10);
    arrow.lineTo(18, 1);
    arrow.lineTo(18, 6);
    arrow.lineTo(60, 6);
    arrow.lineTo(60, 14);
    arrow.lineTo(18, 14);
    arrow.lineTo(18, 19);
    arrow.closeSubpath();
    if (!left) {
        QTransform mirror(-1, 0, 0, 1, W, 0);
        arrow = mirror.map(arrow);
    }
    p.setPen(QPen(QColor(0x00, 0x00, 0x60), 1));
    p.setBrush(QColor(0x00, 0x00, 0xC0));
    p.drawPath(arrow);
    return pm;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, const QRect& r)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    return b;
}

QGroupBox* group(QWidget* parent, const char* name, const char* title, const QRect& r)
{
    auto* g = new QGroupBox(QString::fromLatin1(title), parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(r);
    return g;
}

} // namespace

TfmSampleRotate::TfmSampleRotate(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmSampleRotate");
    setWindowTitle("Wavesample Rotate");
    SetFixedFrame({330, 396}, CloseBoxOnly);

    buildDirectionStep();
    buildAmountStep();
    buildDoStep();
    buildAbort();
    connectHandlers();
    setStepButtons(false);
}

// Step 1: the direction, with the wait while the Mirage enters the function.
void TfmSampleRotate::buildDirectionStep()
{
    GroupBox1 = group(this, "GroupBox1", "Step 1 Choose shift direction", QRect(8, 8, 314, 100));
    pkRL = new TImage(GroupBox1);
    pkRL->setObjectName("pkRL");
    pkRL->setPixmap(rotateArrow(true));
    pkRL->setGeometry(25, 24, 64, 30);
    pkRR = new TImage(GroupBox1);
    pkRR->setObjectName("pkRR");
    pkRR->setPixmap(rotateArrow(false));
    pkRR->setGeometry(225, 24, 64, 30);
    bnRotateSampleLeft = button(GroupBox1, "bnRotateSampleLeft", "Rotate Left", QRect(12, 62, 90, 25));
    bnRotateSampleRight = button(GroupBox1, "bnRotateSampleRight", "Rotate Right", QRect(212, 62, 90, 25));
    Label2 = new QLabel("Wait for the Mirage", GroupBox1);
    Label2->setObjectName("Label2");
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setStyleSheet("color: #c00000; font-weight: bold;");
    Label2->setGeometry(106, 40, 102, 40);
    Label2->hide();
}

// Step 2: the amount, shown on the instrument's display.
void TfmSampleRotate::buildAmountStep()
{
    GroupBox2 = group(this, "GroupBox2", "Step 2 Set number of samples to shift", QRect(8, 114, 314, 112));
    Label3 = new QLabel("Use these buttons to change the value. Look at the Mirage's LED display "
                        "for current value. Values are in Hex ",
                        GroupBox2);
    Label3->setObjectName("Label3");
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setGeometry(12, 22, 290, 46);
    bnIncSampleShift = button(GroupBox2, "bnIncSampleShift", "Increment", QRect(40, 76, 90, 25));
    bnDecSampleShift = button(GroupBox2, "bnDecSampleShift", "Decrement", QRect(184, 76, 90, 25));
}

// Step 3: carry it out.
void TfmSampleRotate::buildDoStep()
{
    GroupBox3 = group(this, "GroupBox3", "Step 3 Shift wavsample", QRect(8, 232, 314, 62));
    bnEnterKey = button(GroupBox3, "bnEnterKey", "Do It", QRect(112, 26, 90, 25));
}

// The way out on the instrument, and the way out of the window.
void TfmSampleRotate::buildAbort()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(8, 302, 210, 48);
    Label1 = new QLabel("Tell the Mirage to abort this command", Panel1);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setGeometry(4, 4, 202, 40);
    bnAbort = button(this, "bnAbort", "Abort", QRect(232, 313, 90, 25));

    bnCancel = button(this, "bnCancel", "Close", QRect(120, 362, 90, 25));
}

void TfmSampleRotate::connectHandlers()
{
    connect(bnRotateSampleLeft, &QPushButton::clicked, this, &TfmSampleRotate::bnRotateSampleLeftClick);
    connect(bnRotateSampleRight, &QPushButton::clicked, this, &TfmSampleRotate::bnRotateSampleRightClick);
    connect(bnIncSampleShift, &QPushButton::clicked, this, &TfmSampleRotate::bnIncSampleShiftClick);
    connect(bnDecSampleShift, &QPushButton::clicked, this, &TfmSampleRotate::bnDecSampleShiftClick);
    connect(bnEnterKey, &QPushButton::clicked, this, &TfmSampleRotate::bnEnterKeyClick);
    connect(bnAbort, &QPushButton::clicked, this, &TfmSampleRotate::bnAbortClick);
    connect(bnCancel, &QPushButton::clicked, this, &TfmSampleRotate::bnCancelClick);
}

TfmSampleRotate::~TfmSampleRotate()
{
    // The timer must not call into a window that is gone.
    stopTimer1();
}

void TfmSampleRotate::setStepButtons(bool enabled)
{
    bnIncSampleShift->setEnabled(enabled);
    bnDecSampleShift->setEnabled(enabled);
    bnEnterKey->setEnabled(enabled);
}

void TfmSampleRotate::startTimer1()
{
    // A second direction press gives the Mirage its full time again.
    stopTimer1();
    armTimer1();
}

// Timer1 gives the Mirage its time to take the direction, then brings up
// the adjust state. Once there, further firings would change nothing, so it
// fires once rather than every interval for as long as the program runs.
void TfmSampleRotate::armTimer1()
{
    timerId_ = Ctx().seams.startTimer(TimerInterval, [this] {
        timerId_ = 0;
        Timer1Timer();
    });
}

void TfmSampleRotate::stopTimer1()
{
    if (timerId_ != 0)
        Ctx().seams.cancelTimer(timerId_);
    timerId_ = 0;
}

void TfmSampleRotate::FormActivate()
{
    stopTimer1();
    Label2->hide();
    setStepButtons(false);
}

void TfmSampleRotate::hideEvent(QHideEvent* e)
{
    // A hidden window has no adjust state to bring up.
    stopTimer1();
    TFormBase::hideEvent(e);
}

void TfmSampleRotate::chooseDirection(bool left)
{
    const std::uint8_t* keys = left ? key::RotateLeft : key::RotateRight;
    Mirage().SendSysEx(keyCodeMessage({keys[0], keys[1]}));
    rotation_ = {Mirage().CurrentHalf, Mirage().CurrentWavesample, left, 0};
    directionChosen_ = true;
    setStepButtons(false);
    Label2->show();
    startTimer1();
}

void TfmSampleRotate::bnRotateSampleLeftClick() { chooseDirection(true); }
void TfmSampleRotate::bnRotateSampleRightClick() { chooseDirection(false); }

void TfmSampleRotate::Timer1Timer()
{
    Label2->hide();
    setStepButtons(true);
}

// The amount shows on the instrument's display, 00 to FF.
void TfmSampleRotate::bnIncSampleShiftClick()
{
    Mirage().SendSysEx(keyCodeMessage({key::Inc}));
    rotation_.amount = std::min(rotation_.amount + 1, 0xFF);
}

void TfmSampleRotate::bnDecSampleShiftClick()
{
    Mirage().SendSysEx(keyCodeMessage({key::Dec}));
    rotation_.amount = std::max(rotation_.amount - 1, 0);
}

// Enter carries the rotate out; the instrument stays in the function, so a
// second Do It rotates by the amount again, and is a second edit.
void TfmSampleRotate::bnEnterKeyClick()
{
    Mirage().SendSysEx(keyCodeMessage({key::Enter}));
    if (directionChosen_)
        Mirage().History().RecordRotation(rotation_);
}

void TfmSampleRotate::bnAbortClick()
{
    Mirage().SendSysEx(keyCodeMessage({key::Abort}));
    directionChosen_ = false;
    rotation_.amount = 0;
}
void TfmSampleRotate::bnCancelClick() { close(); }

} // namespace corvane
