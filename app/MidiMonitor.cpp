#include "MidiMonitor.h"

#include "AtomicFile.h"
#include "HexText.h"
#include "Named.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace corvane {

namespace {
constexpr const char* const Caption = "MIDI Monitor";

QString grouped(std::uint64_t n) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(n)); }
} // namespace

// --- the model -------------------------------------------------------------------

TMonitorModel::TMonitorModel(const MidiTraffic& traffic, QObject* parent) : QAbstractTableModel(parent), traffic_(traffic)
{
    rebuild();
}

int TMonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TMonitorModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const TrafficEntry* TMonitorModel::entry(int row) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    const std::uint64_t first = traffic_.nextSerial() - traffic_.size();
    const std::uint64_t serial = rows_[static_cast<std::size_t>(row)];
    if (serial < first || serial >= traffic_.nextSerial())
        return nullptr;
    return &traffic_.at(static_cast<std::size_t>(serial - first));
}

QVariant TMonitorModel::data(const QModelIndex& index, int role) const
{
    const TrafficEntry* e = entry(index.row());
    if (!e)
        return {};
    if (role == Qt::ForegroundRole && e->meaning.kind == MessageKind::Malformed)
        return QColor(0xB0, 0x00, 0x00);
    if (role == Qt::TextAlignmentRole && (index.column() == Time || index.column() == Length))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Time: return QString::fromStdString(trafficTime(e->ms));
    case Direction: return e->out ? QStringLiteral("out") : QStringLiteral("in");
    case Port: return QString::fromStdString(traffic_.portName(e->port));
    case Length: return grouped(e->bytes.size());
    case Meaning: return QString::fromStdString(e->meaning.text);
    case Bytes: return QString::fromStdString(hexBytes(e->bytes.data(), e->bytes.size(), ShownBytes));
    }
    return {};
}

QVariant TMonitorModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = {"Time", "Dir", "Port", "Length", "Meaning", "Bytes"};
    return section >= 0 && section < ColumnCount ? QString(names[section]) : QVariant();
}

bool TMonitorModel::passes(const TrafficEntry& e) const
{
    return (e.out ? showOut : showIn) && showKind[static_cast<std::size_t>(e.meaning.kind)];
}

void TMonitorModel::update()
{
    const std::uint64_t first = traffic_.nextSerial() - traffic_.size();
    std::size_t gone = 0;
    while (gone < rows_.size() && rows_[gone] < first)
        ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
    }
    if (paused)
        return;
    std::vector<std::uint64_t> added;
    for (std::uint64_t s = std::max(seen_, first); s < traffic_.nextSerial(); ++s)
        if (passes(traffic_.at(static_cast<std::size_t>(s - first))))
            added.push_back(s);
    seen_ = traffic_.nextSerial();
    if (added.empty())
        return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
    rows_.insert(rows_.end(), added.begin(), added.end());
    endInsertRows();
}

void TMonitorModel::rebuild()
{
    beginResetModel();
    rows_.clear();
    seen_ = 0;
    const bool wasPaused = paused;
    paused = false;
    // Without the signals of update(): the reset covers them.
    const std::uint64_t first = traffic_.nextSerial() - traffic_.size();
    for (std::uint64_t s = first; s < traffic_.nextSerial(); ++s)
        if (passes(traffic_.at(static_cast<std::size_t>(s - first))))
            rows_.push_back(s);
    seen_ = traffic_.nextSerial();
    paused = wasPaused;
    endResetModel();
}

// --- the window --------------------------------------------------------------------

TfmMidiMonitor::TfmMidiMonitor(const WindowContext& context, QWidget* parent)
    : TFormBase(context, parent), traffic_(context.mirage.Traffic)
{
    setObjectName("fmMidiMonitor");
    setWindowTitle(Caption);
    setWindowFlags(Qt::Window);
    resize(760, 460);

    ckOut = named(new QCheckBox("Out", this), "ckOut");
    ckIn = named(new QCheckBox("In", this), "ckIn");
    ckOut->setChecked(true);
    ckIn->setChecked(true);
    bnKinds = named(new QToolButton(this), "bnKinds");
    bnKinds->setText("Kinds");
    bnKinds->setPopupMode(QToolButton::InstantPopup);
    auto* kinds = new QMenu(bnKinds);
    for (int k = 0; k < MessageKindCount; ++k) {
        QAction* a = kinds->addAction(messageKindName(static_cast<MessageKind>(k)));
        a->setCheckable(true);
        a->setChecked(true);
        a->setObjectName(QString("acKind%1").arg(k));
        acKinds[static_cast<std::size_t>(k)] = a;
        connect(a, &QAction::toggled, this, [this] { acKindToggle(); });
    }
    bnKinds->setMenu(kinds);
    bnPause = named(new QPushButton("Pause", this), "bnPause");
    bnPause->setCheckable(true);
    bnClear = named(new QPushButton("Clear", this), "bnClear");
    bnSaveSyx = named(new QPushButton("Save .syx...", this), "bnSaveSyx");
    bnSaveSyx->setToolTip("Saves the selected SysEx messages, or all shown, as a .syx file");
    bnSaveLog = named(new QPushButton("Save Log...", this), "bnSaveLog");
    bnSaveLog->setToolTip("Saves the selected messages, or all shown, as a text log");

    model_ = new TMonitorModel(traffic_, this);
    tvMessages = named(new QTableView(this), "tvMessages");
    tvMessages->setModel(model_);
    tvMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvMessages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvMessages->verticalHeader()->hide();
    tvMessages->verticalHeader()->setDefaultSectionSize(18);
    tvMessages->horizontalHeader()->setStretchLastSection(true);
    tvMessages->setWordWrap(false);
    const int widths[] = {64, 34, 110, 52, 270};
    for (int c = 0; c < 5; ++c)
        tvMessages->setColumnWidth(c, widths[c]);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    edBytes = named(new QPlainTextEdit(this), "edBytes");
    edBytes->setReadOnly(true);
    edBytes->setFont(fixed);
    edBytes->setMaximumHeight(90);
    edBytes->setPlaceholderText("The whole of the message chosen above");
    lbHistory = named(new QLabel(this), "lbHistory");

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{ckOut, ckIn, bnKinds, bnPause, bnClear})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(bnSaveSyx);
    bar->addWidget(bnSaveLog);
    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addWidget(tvMessages, 1);
    column->addWidget(edBytes);
    column->addWidget(lbHistory);

    connect(ckOut, &QCheckBox::toggled, this, &TfmMidiMonitor::ckDirectionClick);
    connect(ckIn, &QCheckBox::toggled, this, &TfmMidiMonitor::ckDirectionClick);
    connect(bnPause, &QPushButton::clicked, this, &TfmMidiMonitor::bnPauseClick);
    connect(bnClear, &QPushButton::clicked, this, &TfmMidiMonitor::bnClearClick);
    connect(bnSaveSyx, &QPushButton::clicked, this, &TfmMidiMonitor::bnSaveSyxClick);
    connect(bnSaveLog, &QPushButton::clicked, this, &TfmMidiMonitor::bnSaveLogClick);
    connect(tvMessages->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfmMidiMonitor::tvMessagesCurrentChange);

    traffic_.changed = [this] { trafficChanged(); };
    fitPortColumn();
    showHistory();
}

TfmMidiMonitor::~TfmMidiMonitor() { traffic_.changed = nullptr; }

void TfmMidiMonitor::trafficChanged()
{
    // Kept at the end while the user has not scrolled away from it.
    const bool atEnd = !tvMessages->currentIndex().isValid() || tvMessages->currentIndex().row() == model_->rowCount() - 1;
    model_->update();
    fitPortColumn();
    if (atEnd && isVisible())
        tvMessages->scrollToBottom();
    showHistory();
}

void TfmMidiMonitor::fitPortColumn()
{
    if (traffic_.portCount() == portsFitted_)
        return;
    portsFitted_ = traffic_.portCount();
    constexpr int Narrowest = 110, Widest = 260, Padding = 12;
    int width = Narrowest;
    for (int i = 0; i < portsFitted_; ++i)
        width = std::max(width, tvMessages->fontMetrics().horizontalAdvance(QString::fromStdString(traffic_.portName(i))) + Padding);
    tvMessages->setColumnWidth(TMonitorModel::Port, std::min(width, Widest));
}

void TfmMidiMonitor::showHistory()
{
    const auto n = [](std::size_t count, const char* noun) {
        return grouped(count) + (count == 1 ? QString(" ") + noun : QString(" ") + noun + "s");
    };
    QString text = QString("%1, %2 kept; %3 shown")
                       .arg(n(traffic_.size(), "message"), n(traffic_.bytes(), "byte"), grouped(model_->rowCount()));
    if (traffic_.dropped() > 0)
        text += QString(". The oldest %1 were dropped to keep within %2 messages or %3 MB")
                    .arg(grouped(traffic_.dropped()), grouped(traffic_.maxMessages()),
                         grouped(traffic_.maxBytes() / (1024 * 1024)));
    if (model_->paused)
        text += ". Paused: new messages are kept, not shown";
    lbHistory->setText(text + ".");
}

void TfmMidiMonitor::ckDirectionClick()
{
    model_->showOut = ckOut->isChecked();
    model_->showIn = ckIn->isChecked();
    model_->rebuild();
    showHistory();
}

void TfmMidiMonitor::acKindToggle()
{
    for (int k = 0; k < MessageKindCount; ++k)
        model_->showKind[static_cast<std::size_t>(k)] = acKinds[static_cast<std::size_t>(k)]->isChecked();
    model_->rebuild();
    showHistory();
}

void TfmMidiMonitor::bnPauseClick()
{
    model_->paused = bnPause->isChecked();
    bnPause->setText(model_->paused ? "Resume" : "Pause");
    if (!model_->paused)
        model_->update();
    showHistory();
}

void TfmMidiMonitor::bnClearClick()
{
    traffic_.clear();
    model_->rebuild();
    edBytes->clear();
    showHistory();
}

void TfmMidiMonitor::tvMessagesCurrentChange()
{
    const TrafficEntry* e = model_->entry(tvMessages->currentIndex().row());
    edBytes->setPlainText(e ? QString::fromStdString(hexBytes(e->bytes.data(), e->bytes.size(), e->bytes.size()))
                            : QString());
}

std::vector<const TrafficEntry*> TfmMidiMonitor::chosen() const
{
    std::set<int> rows;
    for (const QModelIndex& i : tvMessages->selectionModel()->selectedRows())
        rows.insert(i.row());
    std::vector<const TrafficEntry*> out;
    if (rows.empty())
        for (int r = 0; r < model_->rowCount(); ++r)
            rows.insert(r);
    for (int r : rows)
        if (const TrafficEntry* e = model_->entry(r))
            out.push_back(e);
    return out;
}

void TfmMidiMonitor::save(const std::string& filter, const std::string& suggested, const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty()) {
        Ctx().seams.messageBox("There is nothing to save: no message of this kind is shown or selected.", Caption,
                               BoxButtons::Ok);
        return;
    }
    const std::string path = Ctx().seams.saveFileName(filter, suggested);
    if (path.empty())
        return;
    if (const auto failure = writeFileAtomically(path, bytes))
        Ctx().seams.messageBox("Error - could not write " + path + " - " + failure->reason() + ".", Caption,
                               BoxButtons::Ok);
}

void TfmMidiMonitor::bnSaveSyxClick() { save("SysEx files|*.syx", "monitor.syx", syxBytes(chosen())); }

void TfmMidiMonitor::bnSaveLogClick()
{
    const std::string log = trafficLog(traffic_, chosen());
    save("Text files|*.txt", "monitor.txt", std::vector<std::uint8_t>(log.begin(), log.end()));
}

} // namespace corvane
