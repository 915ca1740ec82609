#include "KeyboardAssig.h"

#include "Colours.h"
#include "Image.h"
#include "MirageProtocol.h"
#include "NameLabel.h"
#include "Named.h"
#include "Shape.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace corvane {

namespace {

const StepField TopKey = StepField::of(72);
const StepField InitialWavesample = StepField::of(27);
const SwitchField MixMode = SwitchField::of(28);

constexpr int SelectWait = 30;
constexpr int SpanY = 247;
constexpr int SpanHeight = 10;
constexpr int BarHeight = 4;

// Bar of wavesample k (0-15): lower 1 at the bottom, upper 8 at the top.
int barY(int k) { return 235 - 8 * k; }

QString shortName(int k) { return QString("%1%2").arg(k < 8 ? 'L' : 'U').arg(k % 8 + 1); }

int keyOf(int stored) { return std::clamp(stored + 1, 1, KeyboardKeys); }

// Five octaves C to C: 36 white keys, the black keys on their semitones at
// 7 pixels each, so the spans above line up with the keys.
QPixmap keyboardPicture()
{
    constexpr int Width = KeyboardKeys * KeyPixels + 1; // 428
    constexpr int Height = 43;
    QPixmap pm(Width, Height);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setPen(Qt::black);
    constexpr int WhiteWidth = 12; // an octave of 84 pixels over 7 white keys
    for (int w = 1; w <= 35; ++w)
        p.drawLine(w * WhiteWidth, 0, w * WhiteWidth, Height - 1);
    p.drawRect(0, 0, Width - 1, Height - 1);
    for (int key = 0; key < KeyboardKeys; ++key) {
        const int semitone = key % 12;
        if (semitone == 1 || semitone == 3 || semitone == 6 || semitone == 8 || semitone == 10)
            p.fillRect(key * KeyPixels, 0, KeyPixels, 26, Qt::black);
    }
    return pm;
}

} // namespace

std::array<KeySpan, 16> keySpans(const std::array<int, 16>& top, int lowerInitial, int upperInitial)
{
    std::array<KeySpan, 16> spans{};
    int last = -1; // the last span drawn
    auto walk = [&](int from, int to) {
        for (int u = from; u <= to; ++u) {
            auto& s = spans[static_cast<std::size_t>(u)];
            if (last < 0) {
                s = {KeyboardLeft, top[static_cast<std::size_t>(u)] * KeyPixels};
                last = u;
            } else if (top[static_cast<std::size_t>(u)] > top[static_cast<std::size_t>(last)]) {
                const auto& d = spans[static_cast<std::size_t>(last)];
                s = {d.left + d.width,
                     (top[static_cast<std::size_t>(u)] - top[static_cast<std::size_t>(last)]) * KeyPixels};
                last = u;
            }
        }
    };
    if (lowerInitial >= 0 && lowerInitial <= 7)
        walk(lowerInitial, 7);
    if (upperInitial >= 0 && upperInitial <= 7)
        walk(8 + upperInitial, 15);
    return spans;
}

TKeyboardAssig::TKeyboardAssig(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("KeyboardAssig");
    setWindowTitle("Keyboard Assignment");
    SetFixedFrame({540, 313});
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 128));
    setPalette(pal);
    UseEditorFont();
    setHideOnDeactivate(true);
    topKeys_.fill(31);

    buildHeadings();
    buildRow(1, 32);
    buildRow(0, 56);
    nameRowControls();
    bnRefresh = named(new QPushButton("U", this), "bnRefresh");
    bnRefresh->setGeometry(428, 32, 25, 21);
    bnRefreshLower = named(new QPushButton("L", this), "bnRefreshLower");
    bnRefreshLower->setGeometry(428, 56, 25, 21);
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setGeometry(472, 42, 56, 25);

    buildDrawing();
    connectHandlers();
}

void TKeyboardAssig::buildHeadings()
{
    auto heading = [this](const QString& text, int x, int y, int w, bool bold = false) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 17);
        if (bold) {
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
        }
        return l;
    };
    heading("Program Select", 56, 10, 100);
    heading("Ws Select", 168, 10, 60);
    heading("Top Key", 236, 10, 60);
    heading("Initial Ws", 304, 10, 60);
    heading("Mix Mode", 366, 10, 56);
    heading("Refresh", 424, 10, 50);
    heading("Upper", 8, 34, 44, true);
    heading("Lower", 8, 58, 44, true);
}

// The rows' controls under the names the handlers and tests know them by.
void TKeyboardAssig::nameRowControls()
{
    SpeedButton1 = row(0).programs[0];
    SpeedButton2 = row(0).programs[1];
    SpeedButton3 = row(0).programs[2];
    SpeedButton4 = row(0).programs[3];
    SpeedButton5 = row(1).programs[0];
    SpeedButton6 = row(1).programs[1];
    SpeedButton7 = row(1).programs[2];
    SpeedButton8 = row(1).programs[3];
    edWsSelect = row(0).wsSelectBox;
    udWsSelect = row(0).wsSelect;
    edWsSelectU = row(1).wsSelectBox;
    udWsSelectU = row(1).wsSelect;
    edTopKey = row(0).topKeyBox;
    udTopKey = row(0).topKey;
    edTopKeyU = row(1).topKeyBox;
    udTopKeyU = row(1).topKey;
    edInitWavesampleL = row(0).initialBox;
    udInitWavesampleL = row(0).initial;
    edInitWavesampleU = row(1).initialBox;
    udInitWavesampleU = row(1).initial;
    cbMixModeSwitch = row(0).mixMode;
    cbMixModeSwU = row(1).mixMode;
    edTopKey->setToolTip("Does not change with program");
    udTopKey->setToolTip("Does not change with program");
    for (int h = 0; h < 2; ++h) {
        row(h).initialBox->setToolTip("Changes with program");
        row(h).initial->setToolTip("Changes with program");
    }
    cbMixModeSwitch->setToolTip("2nd osc takes on osc 1 parameters");
}

void TKeyboardAssig::connectHandlers()
{
    connect(SpeedButton1, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TKeyboardAssig::SpeedButton8Click);
    connect(udWsSelect, &TUpDown::Click, this, &TKeyboardAssig::udWsSelectClick);
    connect(udWsSelectU, &TUpDown::Click, this, &TKeyboardAssig::udWsSelectUClick);
    connect(udTopKey, &TUpDown::Click, this, &TKeyboardAssig::udTopKeyClick);
    connect(udTopKeyU, &TUpDown::Click, this, &TKeyboardAssig::udTopKeyUClick);
    connect(udInitWavesampleL, &TUpDown::Click, this, &TKeyboardAssig::udInitWavesampleLClick);
    connect(udInitWavesampleU, &TUpDown::Click, this, &TKeyboardAssig::udInitWavesampleUClick);
    connect(cbMixModeSwitch, &TSwitchBox::Toggle, this, &TKeyboardAssig::cbMixModeSwitchToggle);
    connect(cbMixModeSwU, &TSwitchBox::Toggle, this, &TKeyboardAssig::cbMixModeSwUToggle);
    connect(bnRefresh, &QPushButton::clicked, this, &TKeyboardAssig::bnRefreshClick);
    connect(bnRefreshLower, &QPushButton::clicked, this, &TKeyboardAssig::bnRefreshLowerClick);
    connect(bnOK, &QPushButton::clicked, this, &TKeyboardAssig::bnOKClick);
    for (TNameLabel* l : SampleNames)
        connect(l, &TNameLabel::DblClick, this, &TKeyboardAssig::SampleNameDblClick);
}

TKeyboardAssig::~TKeyboardAssig() = default;

void TKeyboardAssig::buildRow(int half, int y)
{
    Row& r = row(half);
    const QString u = half == 0 ? "" : "U";
    r.group = new QButtonGroup(this);
    r.group->setExclusive(true);
    for (int p = 0; p < 4; ++p) {
        auto* b = named(new QToolButton(this), QString("SpeedButton%1").arg(half * 4 + p + 1));
        b->setText(QString("%1%2").arg(half == 0 ? 'L' : 'U').arg(p + 1));
        b->setCheckable(true);
        b->setGeometry(56 + 25 * p, y, 25, 21);
        r.group->addButton(b);
        r.programs[static_cast<std::size_t>(p)] = b;
    }
    auto pair = [this, y](int x, const QString& box, const QString& ud, const QString& text) {
        auto* e = named(new TValueBox(this, text), box);
        e->setGeometry(x, y, 33, 21);
        auto* d = named(new TUpDown(this), ud);
        d->setGeometry(x + 33, y, 16, 21);
        return std::pair{e, d};
    };
    std::tie(r.wsSelectBox, r.wsSelect) = pair(168, "edWsSelect" + u, "udWsSelect" + u, "1");
    r.wsSelect->setRange(1, 8);
    r.wsSelect->setPosition(1);
    r.wsSelect->setAssociate(r.wsSelectBox);
    std::tie(r.topKeyBox, r.topKey) = pair(236, "edTopKey" + u, "udTopKey" + u, "1");
    std::tie(r.initialBox, r.initial) =
        pair(304, half == 0 ? "edInitWavesampleL" : "edInitWavesampleU",
             half == 0 ? "udInitWavesampleL" : "udInitWavesampleU", "1");
    r.mixMode = named(new TSwitchBox(QString(), this), half == 0 ? "cbMixModeSwitch" : "cbMixModeSwU");
    r.mixMode->setGeometry(384, y, 20, 21);
    bindRow(half);
}

// The program's fields follow the half's program; the top key belongs to the
// half's selected wavesample.
void TKeyboardAssig::bindRow(int half)
{
    Row& r = row(half);
    r.fields = std::make_unique<FieldStepper>(Mirage(), [this, half] {
        return DumpTarget::Program(half, program_[static_cast<std::size_t>(half)]);
    });
    FieldStepper::Options top;
    top.target = [this, half] { return DumpTarget::Wavesample(half, selected_[static_cast<std::size_t>(half)]); };
    top.typedDigits = true;
    // The instrument steps the wavesample it has selected, which another
    // window or a change of half may have moved: it gets this row's first.
    top.before = [this, half] {
        const int w = selected_[static_cast<std::size_t>(half)];
        if (Mirage().GetCurrentHalf() != half || Mirage().CurrentWavesample != w)
            Mirage().SelectWavesample(8 * half + w);
    };
    r.fields->add(TopKey, r.topKey, r.topKeyBox, top);
    FieldStepper::Options initial;
    initial.typedDigits = true;
    r.fields->add(InitialWavesample, r.initial, r.initialBox, initial);
    r.fields->addSwitch(MixMode, r.mixMode, [this] {
        loadTopKeys();
        draw();
    });
    r.fields->setAfterStep([this](const TUpDown*, bool) {
        loadTopKeys();
        draw();
    });
    r.topKey->setPosition(1);
    r.initial->setPosition(1);
}

void TKeyboardAssig::buildDrawing()
{
    // The bars and spans lie on a light ground of their own: the window's
    // teal is also a wavesample colour.
    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(84, 110, 436, 146);
    Bevel1->setAutoFillBackground(true);
    QPalette ground = Bevel1->palette();
    ground.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    Bevel1->setPalette(ground);
    Bevel2 = named(new QFrame(this), "Bevel2");
    Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel2->setGeometry(12, 110, 58, 134);

    QFont small = font();
    small.setPixelSize(8);
    for (int k = 0; k < 16; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString label = shortName(k);
        auto* n = named(new TNameLabel(k, this), "SampleName" + label);
        n->setFont(small);
        n->setGeometry(16, barY(k) - 2, 52, 8);
        SampleNames[i] = n;
        auto* tag = new QLabel(label, this);
        tag->setFont(small);
        tag->setGeometry(72, barY(k) - 2, 14, 8);
        auto* bar = named(new TShape(this), QString("wave%1spread").arg(k + 1));
        bar->setPenColor(Qt::transparent);
        bar->setGeometry(KeyboardLeft, barY(k), 0, BarHeight);
        Spreads[i] = bar;
        auto* span = named(new TShape(this), label + "keySpan");
        span->setFont(small);
        span->setGeometry(KeyboardLeft, SpanY, 0, SpanHeight);
        KeySpans[i] = span;
    }
    Image1 = named(new TImage(this), "Image1");
    Image1->setPixmap(keyboardPicture());
    Image1->setGeometry(KeyboardLeft, 256, 428, 43);
}

void TKeyboardAssig::FormActivate()
{
    Mirage().EnsureProgram(0);
    Mirage().EnsureProgram(1);
    half_ = Mirage().GetCurrentHalf() != 0 ? 1 : 0;
    for (int h = 0; h < 2; ++h) {
        const int p = Mirage().GetCurrentProgram(h);
        if (p >= 0 && p <= 3) {
            program_[static_cast<std::size_t>(h)] = p;
            row(h).programs[static_cast<std::size_t>(p)]->setChecked(true);
        } else {
            // The window keeps the program it had, so no field outside the
            // four programs is read or written.
            Ctx().seams.messageBox("Program Error",
                                   h == 0 ? "Lower Program is not 0, 1, 2 or 3" : "Upper Program is not 0, 1, 2 or 3",
                                   BoxButtons::Ok);
        }
    }
    redisplay(true);
    showNamesAndColours();
}

void TKeyboardAssig::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::Arrival::LowerProgram || a == MirageProtocol::Arrival::UpperProgram)
        redisplay(false);
}

void TKeyboardAssig::redisplay(bool asClick)
{
    refreshControls(asClick);
    loadTopKeys();
    draw();
}

int TKeyboardAssig::initialWavesample(int half) const
{
    return Mirage().GetParam(half, programFieldPos(program_[static_cast<std::size_t>(half)], pgf::InitialWavesample));
}

void TKeyboardAssig::refreshControls(bool asClick)
{
    for (int h = 0; h < 2; ++h) {
        Row& r = row(h);
        const bool before = r.mixMode->isChecked();
        r.fields->showAll();
        r.wsSelect->setPosition(selected_[static_cast<std::size_t>(h)] + 1);
        r.wsSelectBox->setText(QString::number(selected_[static_cast<std::size_t>(h)] + 1));
        // Shown as a click: the instrument is sent the state the box now
        // shows. Only for the current half, the one the message reaches.
        if (asClick && h == half_ && r.mixMode->isChecked() != before)
            r.fields->toggle(r.mixMode, before);
    }
    enableRows();
}

void TKeyboardAssig::enableRows()
{
    for (int h = 0; h < 2; ++h) {
        const Row& r = rows_[static_cast<std::size_t>(h)];
        const bool on = h == half_;
        for (QWidget* w : std::initializer_list<QWidget*>{r.wsSelectBox, r.wsSelect, r.topKeyBox, r.topKey,
                                                          r.initialBox, r.initial, r.mixMode})
            w->setEnabled(on);
    }
}

void TKeyboardAssig::loadTopKeys()
{
    for (int i = 0; i < 8; ++i) {
        topKeys_[static_cast<std::size_t>(i)] = keyOf(Mirage().GetParam(0, wavesampleFieldPos(i, wsf::TopKey)));
        topKeys_[static_cast<std::size_t>(8 + i)] = keyOf(Mirage().GetParam(1, wavesampleFieldPos(i, wsf::TopKey)));
    }
    // In mix mode the second wavesample of each pair plays with the first.
    for (int h = 0; h < 2; ++h)
        if (row(h).mixMode->isChecked())
            for (int i = 8 * h + 1; i < 8 * h + 8; i += 2)
                topKeys_[static_cast<std::size_t>(i)] = topKeys_[static_cast<std::size_t>(i - 1)];
}

void TKeyboardAssig::draw()
{
    for (int k = 0; k < 16; ++k)
        Spreads[static_cast<std::size_t>(k)]->setGeometry(KeyboardLeft, barY(k),
                                                          topKeys_[static_cast<std::size_t>(k)] * KeyPixels, BarHeight);
    row(0).fields->show(udTopKey);
    row(1).fields->show(udTopKeyU);
    const auto spans = keySpans(topKeys_, initialWavesample(0), initialWavesample(1));
    for (int k = 0; k < 16; ++k) {
        const KeySpan& s = spans[static_cast<std::size_t>(k)];
        TShape* span = KeySpans[static_cast<std::size_t>(k)];
        span->setGeometry(s.left, SpanY, s.width, SpanHeight);
        // The span carries the wavesample's name where it fits, else its
        // number.
        const QString name = QString::fromStdString(Ctx().wavesampleName(k));
        span->setText(!name.isEmpty() && span->textFits(name) ? name : shortName(k));
        const int first = (s.left - KeyboardLeft) / KeyPixels + 1;
        span->setToolTip(s.width > 0 ? QString("%1 %2: keys %3-%4")
                                           .arg(shortName(k), name)
                                           .arg(first)
                                           .arg(first + s.width / KeyPixels - 1)
                                     : QString());
    }
}

void TKeyboardAssig::showNamesAndColours()
{
    for (int k = 0; k < 16; ++k) {
        const auto i = static_cast<std::size_t>(k);
        SampleNames[i]->setText(QString::fromStdString(Ctx().wavesampleName(k)));
        const QColor c = fromWindowsColour(Ctx().wavesampleColour(k));
        Spreads[i]->setBrushColor(c);
        KeySpans[i]->setBrushColor(c);
    }
    draw(); // the span captions follow the names
}

void TKeyboardAssig::programClick(int half, int program)
{
    Converse([this, half, program] {
        Mirage().SelectProgram(half, program);
        program_[static_cast<std::size_t>(half)] = program;
        half_ = half;
        draw();
        refreshControls(true);
    });
}

void TKeyboardAssig::wavesampleSelect(int half)
{
    const int n = row(half).wsSelect->Position();
    Converse([this, half, n] {
        if (n >= 1 && n <= 8) {
            Mirage().SelectWavesample(8 * half + n - 1); // waits its 30 ms
            selected_[static_cast<std::size_t>(half)] = n - 1;
        } else {
            Mirage().Wait(SelectWait);
        }
        draw();
    });
}

void TKeyboardAssig::refresh(int half)
{
    Converse([this, half] {
        Mirage().RequestProgram(half);
        redisplay(true);
        Ctx().seams.beep();
    });
}

void TKeyboardAssig::SampleNameDblClick(int wavesample)
{
    Ctx().nameSampleIndex = wavesample;
    Ctx().showWindow("TfmNameSample");
}

void TKeyboardAssig::bnOKClick() { close(); }

} // namespace corvane
