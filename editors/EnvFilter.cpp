#include "EnvFilter.h"

#include "Named.h"
#include "MirageProtocol.h"
#include "Presets.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WalkPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace corvane {

// One pair of the window: its parameter, its box and up-down, the group that
// decides what a step redisplays, and its column within that group.
struct TEnvFilterEditor::PairRow {
    int parameter;
    TValueBox* TEnvFilterEditor::*box;
    const char* boxName;
    TUpDown* TEnvFilterEditor::*upDown;
    const char* upDownName;
    void (TEnvFilterEditor::*click)(bool up);
    Group group;
    int column;
};

namespace {

// Slots in the order the section redisplays show them.
constexpr int FilterSectionOrder[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 1, 2};
constexpr int AmplitudeSectionOrder[] = {13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
constexpr int FilterEnvelopeSlot = 3;
constexpr int AmplitudeEnvelopeSlot = 13;

} // namespace

#define PAIR(parameter, box, upDown, group, column)                                                              \
    PairRow { parameter, &TEnvFilterEditor::box, #box, &TEnvFilterEditor::upDown, #upDown,                         \
              &TEnvFilterEditor::upDown##Click, Group::group, column }

const std::array<TEnvFilterEditor::PairRow, TEnvFilterEditor::PairCount>& TEnvFilterEditor::pairRows()
{
    static const std::array<PairRow, PairCount> rows = {
        PAIR(36, edFilterCutoff, udFilterCutoff, Filter, 0),
        PAIR(37, edResonance, udResonance, Filter, 1),
        PAIR(38, edFTracking, udFtracking, Filter, 2),
        PAIR(40, edFilterEnvAttack, udFilterEnvAttack, FilterEnvelope, 0),
        PAIR(41, edFilterEnvPeak, udFilterEnvPeak, FilterEnvelope, 1),
        PAIR(42, edFilterEnvDecay, udFilterEnvDecay, FilterEnvelope, 2),
        PAIR(43, edFilterEnvSustain, udFilterEnvSustain, FilterEnvelope, 3),
        PAIR(44, edFilterEnvRelease, udFilterEnvRelease, FilterEnvelope, 4),
        PAIR(45, edFilterAv, udFilterAv, FilterModulation, 0),
        PAIR(46, edFilterPv, udFilterPv, FilterModulation, 1),
        PAIR(47, edFilterDk, udFilterDk, FilterModulation, 2),
        PAIR(48, edFilterSv, udFilterSv, FilterModulation, 3),
        PAIR(49, edFilterRv, udFilterRv, FilterModulation, 4),
        PAIR(50, edAmpEnvAttack, udAmpEnvAttack, AmpEnvelope, 0),
        PAIR(51, edAmpEnvPeak, udAmpEnvPeak, AmpEnvelope, 1),
        PAIR(52, edAmpEnvDecay, udAmpEnvDecay, AmpEnvelope, 2),
        PAIR(53, edAmpEnvSustain, udAmpEnvSustain, AmpEnvelope, 3),
        PAIR(54, edAmpEnvRelease, udAmpEnvRelease, AmpEnvelope, 4),
        PAIR(55, edAmpModAv, udAmpModAv, AmpModulation, 0),
        PAIR(56, edAmpModPv, udAmpModPv, AmpModulation, 1),
        PAIR(57, edAmpModDk, udAmpModDk, AmpModulation, 2),
        PAIR(58, edAmpModSv, udAmpModSv, AmpModulation, 3),
        PAIR(59, edAmpModRv, udAmpModRv, AmpModulation, 4),
    };
    return rows;
}

#undef PAIR

TEnvFilterEditor::TEnvFilterEditor(const WindowContext& context, int half, QWidget* parent)
    : TProgramEditor(context, half, parent), filterGraph_(60, 59, 49, 278, 114), ampGraph_(400, 399, 49, 618, 114)
{
    setObjectName(half_ == 0 ? "EnvelopeForm" : "fmEnvFilterU");
    setWindowTitle(half_ == 0 ? "Lower - Envelope/Filter Settings" : "Upper - Envelope/Filter Settings");
    SetFixedFrame(half_ == 0 ? QSize(650, 383) : QSize(651, 385));
    UseEditorFont();
    setHideOnDeactivate(true);

    build();
    fields_->setAfterStep([this](const TUpDown* ud, bool up) { afterStep(ud, up); });
    reloadPresetNames();
}

TEnvFilterEditor::~TEnvFilterEditor() = default;

void TEnvFilterEditor::build()
{
    buildGraphTitles();
    auto* filter = named(new QGroupBox("Filter Parameters", this), "gbFilter");
    filter->setGeometry(8, 126, 330, 170);
    auto* amplitude = named(new QGroupBox("Amplitude Parameters", this), "gbAmplitude");
    amplitude->setGeometry(346, 126, 296, 170);
    buildPairs(filter, amplitude);

    // The bottom row; the upper window has it 8 pixels lower.
    const int row = half_ == 0 ? 300 : 308;
    buildProgramLabel();
    QFont bold = font();
    bold.setBold(true);
    lbProgram->setFont(bold);
    lbProgram->setGeometry(16, row + 6, 120, 16);
    buildProgramButtons(16, row + 26);
    buildPresets(row);
    buildRefreshPanel(QRect(466, row + 6, 176, 66), QRect(8, 20, 75, 25), QRect(92, 20, 75, 25));

    connect(bnEnvStore, &QPushButton::clicked, this, &TEnvFilterEditor::bnEnvStoreClick);
    connect(bnEnvSet, &QPushButton::clicked, this, &TEnvFilterEditor::bnEnvSetClick);
    connect(cbEnvPresetNames, &QComboBox::activated, this, &TEnvFilterEditor::cbEnvPresetNamesClick);
    connect(cbEnvPresetNames->lineEdit(), &QLineEdit::editingFinished, this,
            &TEnvFilterEditor::cbEnvPresetNamesExit);
}

// The graph titles; the bevels and graphs are painted.
void TEnvFilterEditor::buildGraphTitles()
{
    QFont titleFont = font();
    titleFont.setPixelSize(19);
    for (const auto& [text, x] : {std::pair{"Filter Envelope", 48}, std::pair{"Amplitude Envelope", 388}}) {
        auto* l = new QLabel(text, this);
        l->setFont(titleFont);
        l->setAlignment(Qt::AlignCenter);
        l->setGeometry(x + 2, 20, 237, 26);
    }
}

void TEnvFilterEditor::buildPresets(int row)
{
    gbEnvPresets = named(new QGroupBox("Envelope Presets", this), "gbEnvPresets");
    gbEnvPresets->setGeometry(150, row, 300, 72);
    bnEnvStore = named(new QPushButton("Store", gbEnvPresets), "bnEnvStore");
    bnEnvStore->setToolTip("Press to store current parameters");
    bnEnvStore->setGeometry(10, 30, 60, 25);
    cbEnvPresetNames = named(new QComboBox(gbEnvPresets), "cbEnvPresetNames");
    cbEnvPresetNames->setEditable(true);
    cbEnvPresetNames->setInsertPolicy(QComboBox::NoInsert);
    // A typed name stays as typed and renames the kept item, also when
    // another item has that name: the combo box's own habit of choosing the
    // item whose text was typed is taken away.
    cbEnvPresetNames->setCompleter(nullptr);
    cbEnvPresetNames->setDuplicatesEnabled(true);
    QObject::disconnect(cbEnvPresetNames->lineEdit(), &QLineEdit::editingFinished, cbEnvPresetNames, nullptr);
    cbEnvPresetNames->lineEdit()->setMaxLength(PresetNameMax);
    cbEnvPresetNames->setToolTip("Select or enter your own name");
    cbEnvPresetNames->setGeometry(78, 31, 144, 22);
    bnEnvSet = named(new QPushButton("Set", gbEnvPresets), "bnEnvSet");
    bnEnvSet->setToolTip("Send selected preset to Mirage");
    bnEnvSet->setGeometry(230, 30, 60, 25);
}

void TEnvFilterEditor::buildPairs(QGroupBox* filter, QGroupBox* amplitude)
{
    auto subgroup = [](QGroupBox* parent, const char* title, int x, int y) {
        auto* g = new QGroupBox(title, parent);
        g->setGeometry(x, y, 244, 70);
        return g;
    };
    QGroupBox* filterEnvelope = subgroup(filter, "Envelope", 8, 18);
    QGroupBox* filterModulation = subgroup(filter, "Modulation", 8, 92);
    QGroupBox* ampEnvelope = subgroup(amplitude, "Envelope", 26, 18);
    QGroupBox* ampModulation = subgroup(amplitude, "Modulation", 26, 92);
    static const char* const EnvelopeLabels[] = {"Attack", "Peak", "Decay", "Sustain", "Release"};
    static const char* const ModulationLabels[] = {"Av", "Pv", "Dk", "Sv", "Rv"};
    static const char* const FilterLabels[] = {"Cutoff", "Resonance", "Kbd Tracking"};

    const auto& rows = pairRows();
    for (std::size_t slot = 0; slot < rows.size(); ++slot) {
        const PairRow& r = rows[slot];
        if (r.group == Group::Filter) { // the filter column: Cutoff, Resonance, Kbd Tracking
            addPair(slot, filter, 256, 34 + 48 * r.column, FilterLabels[r.column]);
            continue;
        }
        QWidget* parent = r.group == Group::FilterEnvelope     ? filterEnvelope
                          : r.group == Group::FilterModulation ? filterModulation
                          : r.group == Group::AmpEnvelope      ? ampEnvelope
                                                               : ampModulation;
        const bool envelope = r.group == Group::FilterEnvelope || r.group == Group::AmpEnvelope;
        addPair(slot, parent, 8 + 46 * r.column, 36,
                envelope ? EnvelopeLabels[r.column] : ModulationLabels[r.column]);
    }
    setPairTips();
}

// The caption, box and up-down of one slot, its box at (x, y).
void TEnvFilterEditor::addPair(std::size_t slot, QWidget* parent, int x, int y, const char* caption)
{
    const PairRow& r = pairRows()[slot];
    auto* label = new QLabel(caption, parent);
    if (r.group == Group::Filter) {
        label->setGeometry(x, y - 16, 72, 14);
    } else {
        label->setGeometry(x - 4, y - 16, 50, 14);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    }
    auto* box = named(new TValueBox(parent, "0"), r.boxName);
    box->setGeometry(x, y, 28, 21);
    auto* ud = named(new TUpDown(parent), r.upDownName);
    ud->setGeometry(x + 28, y, 14, 21);
    ud->setAssociate(box);
    this->*r.box = box;
    this->*r.upDown = ud;
    boxes_[slot] = box;
    upDowns_[slot] = ud;
    fields_->add(StepField::of(r.parameter), ud, box);
    connect(ud, &TUpDown::Click, this, r.click);
}

void TEnvFilterEditor::setPairTips()
{
    edFilterAv->setToolTip("Increasing makes attack rate shorter with key velocity.");
    edFilterPv->setToolTip("Increased key velocity raises peak.");
    edFilterDk->setToolTip("Increasing shortens decay time of higher notes.");
    edFilterSv->setToolTip("Increasing will raise sustain with key velocity.");
    edFilterRv->setToolTip("Increasing will shorten release on key up.");
    edFilterCutoff->setToolTip("0 = 50Hz,  99 = 15kHz");
    edResonance->setToolTip("0 = no peak");
    edFTracking->setToolTip(half_ == 0 ? "Lowers cutoff with lower keys. No effect at 0."
                                       : "Lowers cutoff with lower keys");
}

int TEnvFilterEditor::slotOf(const TUpDown* upDown) const
{
    const auto it = std::find(upDowns_.begin(), upDowns_.end(), upDown);
    return it == upDowns_.end() ? -1 : static_cast<int>(it - upDowns_.begin());
}

// --- activation and dumps -----------------------------------------

void TEnvFilterEditor::FormActivate()
{
    takeCurrentProgram();
    reloadPresetNames();
    selectShownProgram();
}

void TEnvFilterEditor::DumpArrived(MirageProtocol::Arrival a)
{
    if (a == MirageProtocol::ProgramArrival(half_))
        ProgramRedisplay();
}

void TEnvFilterEditor::ProgramRedisplay()
{
    FilterRedisplay();
    AmplitudeRedisplay();
}

// --- redisplay and steps -----------------------------------------------------------

void TEnvFilterEditor::showSection(std::span<const int> order, EnvelopeGraph& graph, int envelopeSlot)
{
    auto stored = [this](int slot) { return fields_->stored(upDowns_[static_cast<std::size_t>(slot)]); };
    graph.setPoints(stored(envelopeSlot), stored(envelopeSlot + 1), stored(envelopeSlot + 2),
                    stored(envelopeSlot + 3), stored(envelopeSlot + 4));
    for (int slot : order)
        fields_->show(upDowns_[static_cast<std::size_t>(slot)]);
    drawGraph(graph);
}

void TEnvFilterEditor::FilterRedisplay() { showSection(FilterSectionOrder, filterGraph_, FilterEnvelopeSlot); }

void TEnvFilterEditor::AmplitudeRedisplay()
{
    showSection(AmplitudeSectionOrder, ampGraph_, AmplitudeEnvelopeSlot);
}

// What a step shows after the stepper has stored it and shown its own box.
// A click: an envelope value moves its graph's points; the filter values
// redisplay the filter section; so do the amplitude modulation values, whose
// own section the recall relies on staying as it is. The recall brings the
// envelope sections up to date after each step and leaves the filter
// modulation boxes to follow their up-downs.
void TEnvFilterEditor::afterStep(const TUpDown* upDown, bool up)
{
    const int slot = slotOf(upDown);
    if (slot < 0)
        return;
    switch (pairRows()[static_cast<std::size_t>(slot)].group) {
    case Group::FilterEnvelope:
        filterGraph_.stepPoints(static_cast<EnvelopeGraph::Value>(slot - FilterEnvelopeSlot), up);
        if (recalling_)
            FilterRedisplay();
        else
            drawGraph(filterGraph_);
        break;
    case Group::AmpEnvelope:
        ampGraph_.stepPoints(static_cast<EnvelopeGraph::Value>(slot - AmplitudeEnvelopeSlot), up);
        if (recalling_)
            AmplitudeRedisplay();
        else
            drawGraph(ampGraph_);
        break;
    case Group::FilterModulation:
        if (!recalling_)
            FilterRedisplay();
        break;
    case Group::Filter:
    case Group::AmpModulation: FilterRedisplay(); break;
    }
}

// --- graphs ------------------------------------------------------------------------------

void TEnvFilterEditor::drawGraph(const EnvelopeGraph& graph)
{
    // At once, so the line follows every step of a recall.
    if (isVisible())
        repaint(graph.frame);
}

void TEnvFilterEditor::paintGraph(QPainter& p, const EnvelopeGraph& graph) const
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(graph.frame.adjusted(0, 0, -1, -1));
    p.drawPolyline(graph.points.data(), static_cast<int>(graph.points.size()));
}

void TEnvFilterEditor::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (const QRect bevel : {QRect(48, 16, 241, 105), QRect(388, 16, 241, 105)}) {
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawLine(bevel.topLeft(), bevel.topRight());
        p.drawLine(bevel.topLeft(), bevel.bottomLeft());
        p.setPen(Qt::white);
        p.drawLine(bevel.bottomLeft(), bevel.bottomRight());
        p.drawLine(bevel.topRight(), bevel.bottomRight());
    }
    paintGraph(p, filterGraph_);
    paintGraph(p, ampGraph_);
}

// --- presets --------------------------------------------------------------------------

void TEnvFilterEditor::reloadPresetNames()
{
    const EnvPresetTable& t = Ctx().envPresets;
    cbEnvPresetNames->clear();
    for (const std::string& name : t.names)
        cbEnvPresetNames->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    cbEnvPresetNames->setCurrentIndex(presetIndex_);
}

void TEnvFilterEditor::cbEnvPresetNamesClick(int index)
{
    if (index >= 0 && index < PresetCount)
        presetIndex_ = index;
}

void TEnvFilterEditor::cbEnvPresetNamesExit()
{
    // Only the item changes; the table takes the name at the next Store.
    cbEnvPresetNames->setItemText(presetIndex_, cbEnvPresetNames->currentText().left(PresetNameMax));
    cbEnvPresetNames->setCurrentIndex(presetIndex_);
}

void TEnvFilterEditor::bnEnvStoreClick()
{
    EnvPresetTable& t = Ctx().envPresets;
    const int b = presetIndex_;
    t.names[static_cast<std::size_t>(b)] = cbEnvPresetNames->itemText(b).left(PresetNameMax).toLatin1().toStdString();
    for (int slot = 0; slot < PairCount; ++slot)
        t.value(b, slot) = fields_->stored(upDowns_[static_cast<std::size_t>(slot)]);
}

void TEnvFilterEditor::bnEnvSetClick()
{
    if (recallRequested_)
        return; // one recall at a time
    recallRequested_ = true;
    bnEnvSet->setEnabled(false);
    const int b = presetIndex_;
    Converse([this, b] {
        recalling_ = true;
        const std::string& name = Ctx().envPresets.names[static_cast<std::size_t>(b)];
        // One edit in the history; progress after a second, and Cancel or
        // Escape stop it between two steps (every step sent is in the copy).
        EditHistory::Action edit(Mirage().History(), "Recall Preset '" + name + "'");
        int total = 0;
        for (int slot = 0; slot < PairCount; ++slot)
            total += fields_->stepsTo(upDowns_[static_cast<std::size_t>(slot)], Ctx().envPresets.value(b, slot));
        Walk walk(this, Mirage(), QString("Recall '%1'").arg(QString::fromLatin1(name.c_str())), total);
        for (int slot = 0; slot < PairCount && !walk.Stopped(); ++slot)
            fields_->stepTo(
                upDowns_[static_cast<std::size_t>(slot)], Ctx().envPresets.value(b, slot), Mirage().StepWaitMs,
                [&walk] { return walk.Stopped(); }, [&walk] { walk.Stepped(); });
        if (!walk.Stopped())
            Ctx().seams.beep();
        // Clicks made while the recall ran were held back by its waits; those
        // on "Set" reach the button now, while it is still disabled.
        QApplication::processEvents();
        recalling_ = false;
        recallRequested_ = false;
        bnEnvSet->setEnabled(true);
    });
}

} // namespace corvane
