#include "LibraryWindow.h"
#include "Counted.h"
#include "SendGuard.h"

#include "AudioConvert.h"
#include "DiskImagesWindow.h"
#include "DiskImage.h"
#include "Named.h"
#include "PlayerPanel.h"
#include "WaveEditor.h"
#include "WaveView.h"

#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTableView>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <numeric>

namespace corvane {

using library::Kind;
using library::Row;

namespace {

constexpr const char* Caption = "Library";
constexpr int BarSteps = 1000;

QString& dataDirectoryOverride()
{
    static QString dir;
    return dir;
}

QString stars(int rating) { return rating > 0 ? QString(rating, QChar(0x2605)) : QString(); }

// The loop of a wavesample as the instrument plays it, in samples from its
// start page.
std::optional<SoundLoop> loopOf(const library::WavesampleInfo& w)
{
    if (!w.looped || w.loopStart < w.range.start || w.loopEnd < w.loopStart)
        return std::nullopt;
    const auto start = static_cast<std::size_t>(w.loopStart - w.range.start) * 256;
    const auto end = static_cast<std::size_t>(w.loopEnd - w.range.start) * 256 + static_cast<std::size_t>(w.loopEndFine) + 1;
    return validLoop(SoundLoop{start, end}, w.samples.size());
}

} // namespace

// ---- the table ---------------------------------------------------------------------------

void LibraryModel::setRows(library::Rows rows, const std::function<void(std::shared_ptr<library::Rows>)>& dispose)
{
    // One reset for the rows and their filter: each reset makes the table
    // lay out its rows again, and a library has thousands.
    beginResetModel();
    auto old = std::make_shared<library::Rows>(std::move(rows_));
    rows_ = std::move(rows);
    sorted_.resize(rows_.size());
    std::iota(sorted_.begin(), sorted_.end(), 0);
    filterRows();
    endResetModel();
    if (dispose)
        dispose(std::move(old));
}

void LibraryModel::setFilter(const QString& text, int kind)
{
    words_ = text.toLower().split(' ', Qt::SkipEmptyParts);
    kind_ = kind;
    refilter();
}

void LibraryModel::refilter()
{
    beginResetModel();
    filterRows();
    endResetModel();
}

// The rows shown, in the table's order, that pass the kind and every word.
void LibraryModel::filterRows()
{
    visible_.clear();
    for (const int i : sorted_) {
        const Row& r = rows_[static_cast<std::size_t>(i)];
        if (kind_ >= 0 && static_cast<int>(r.kind) != kind_)
            continue;
        if (std::all_of(words_.begin(), words_.end(), [&r](const QString& w) { return r.haystack.contains(w); }))
            visible_.push_back(i);
    }
}

const Row* LibraryModel::row(int visibleRow) const
{
    if (visibleRow < 0 || visibleRow >= static_cast<int>(visible_.size()))
        return nullptr;
    return &rows_[static_cast<std::size_t>(visible_[static_cast<std::size_t>(visibleRow)])];
}

Row* LibraryModel::rowById(qint64 id)
{
    for (Row& r : rows_)
        if (r.id == id)
            return &r;
    return nullptr;
}

int LibraryModel::visibleRow(qint64 id) const
{
    for (std::size_t v = 0; v < visible_.size(); ++v)
        if (rows_[static_cast<std::size_t>(visible_[v])].id == id)
            return static_cast<int>(v);
    return -1;
}

int LibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int LibraryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant LibraryModel::data(const QModelIndex& index, int role) const
{
    const Row* r = row(index.row());
    if (!r)
        return {};
    if (role == Qt::ToolTipRole)
        return r->kind == Kind::Damaged ? r->damage : QDir::toNativeSeparators(r->path);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Name: return r->name;
    case Kind: return library::kindText(r->kind);
    case Source: return r->source();
    case Wavesamples: return r->kind == Kind::Damaged ? QVariant() : QVariant(r->wavesamples);
    case Pages: return r->kind == Kind::Sound || r->kind == Kind::Slot ? QVariant(r->pages) : QVariant();
    case Date: return QDateTime::fromMSecsSinceEpoch(r->modified).toString("yyyy-MM-dd hh:mm");
    case Tags: return r->tags; // a damaged file's reason is its tooltip and the detail's heading
    case Rating: return stars(r->rating);
    case Copies: return r->copies > 1 ? QString("in %1 places").arg(r->copies) : QString();
    }
    return {};
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[ColumnCount] = {"Name", "Kind", "Source", "Wavesamples", "Pages",
                                                    "Date", "Tags", "Rating", "Copies"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString(titles[section]);
    return {};
}

void LibraryModel::sort(int column, Qt::SortOrder order)
{
    column_ = column;
    order_ = order;
    const auto key = static_cast<library::SortKey>(column);
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(sorted_.begin(), sorted_.end(), [this, key, descending](int a, int b) {
        const Row& ra = rows_[static_cast<std::size_t>(a)];
        const Row& rb = rows_[static_cast<std::size_t>(b)];
        return descending ? library::lessThan(rb, ra, key) : library::lessThan(ra, rb, key);
    });
    refilter();
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex& index) const
{
    const Row* r = index.isValid() ? row(index.row()) : nullptr;
    const bool sound = r && (r->kind == Kind::Sound || r->kind == Kind::Slot);
    return QAbstractTableModel::flags(index) | (sound ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList LibraryModel::mimeTypes() const { return {SoundDrag::MimeType}; }

QMimeData* LibraryModel::mimeData(const QModelIndexList& indexes) const
{
    const Row* r = indexes.isEmpty() ? nullptr : row(indexes.first().row());
    if (!r || (r->kind != Kind::Sound && r->kind != Kind::Slot))
        return nullptr;
    return SoundDrag{r->path, r->part, r->kind == Kind::Slot, r->modified}.mimeData();
}

// ---- a sound dragged ---------------------------------------------------------------------

QMimeData* SoundDrag::mimeData() const
{
    const QJsonObject o{{"path", path}, {"part", part}, {"slot", slot}, {"modified", modified}};
    auto* data = new QMimeData;
    data->setData(MimeType, QJsonDocument(o).toJson(QJsonDocument::Compact));
    return data;
}

std::optional<SoundDrag> SoundDrag::of(const QMimeData* data)
{
    if (!data || !data->hasFormat(MimeType))
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(data->data(MimeType)).object();
    SoundDrag d{o.value("path").toString(), o.value("part").toInt(-1), o.value("slot").toBool(),
                o.value("modified").toInteger()};
    if (d.path.isEmpty() || d.part < 0 || d.part >= (d.slot ? disk::Layout::Slots : 2))
        return std::nullopt;
    return d;
}

std::optional<sound::Half> SoundDrag::read(std::string& error) const
{
    const QFileInfo info(path);
    const QString where = QDir::toNativeSeparators(path);
    if (info.exists() && info.lastModified().toMSecsSinceEpoch() != modified) {
        error = ("Error - " + where + " has changed since the library read it; rescan the library.").toStdString();
        return std::nullopt;
    }
    QString e;
    std::optional<library::ItemInfo> item = library::readItem(path, part, e);
    if (item && item->half)
        return std::move(item->half);
    error = item ? ("Error - " + where + " no longer holds this sound; rescan the library.").toStdString()
                 : e.toStdString();
    return std::nullopt;
}

std::string SoundDrag::what() const
{
    const std::string file = "\"" + QFileInfo(path).fileName().toStdString() + "\"";
    return slot ? disk::slotName(part) + " of " + file
                : std::string(part == 0 ? "the lower half of " : "the upper half of ") + file;
}

// ---- the window ------------------------------------------------------------------------------

TfmLibrary::TfmLibrary(const WindowContext& context, QWidget* parent)
    : TSoundJobForm(context, parent, "fmLibrary", Caption, 980, 660)
{
    setWindowModality(Qt::NonModal);
    buildTable();
    buildDetail();
    buildActions();
    layOut();
    indexer_ = new library::Indexer;
    indexer_->moveToThread(&thread_);
    connect(this, &TfmLibrary::startScan, indexer_, &library::Indexer::run);
    connect(this, &TfmLibrary::openLibrary, indexer_, &library::Indexer::open);
    connect(indexer_, &library::Indexer::opened, this, &TfmLibrary::libraryOpened);
    connect(indexer_, &library::Indexer::progress, this, &TfmLibrary::scanProgress);
    connect(indexer_, &library::Indexer::finished, this, &TfmLibrary::scanFinished);
    connect(bnCancel, &QPushButton::clicked, this, [this] {
        if (scanning_) {
            indexer_->cancel();
            lbStatus->setText("Cancelling...");
        }
    });
    thread_.start();
    updateActions();
}

TfmLibrary::~TfmLibrary()
{
    indexer_->cancel();
    thread_.quit();
    thread_.wait();
    delete indexer_;
}

QString TfmLibrary::DataDirectory()
{
    const QString& set = dataDirectoryOverride();
    if (!set.isEmpty())
        return set;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

bool TfmLibrary::DataDirectoryGiven() { return !dataDirectoryOverride().isEmpty(); }

void TfmLibrary::SetDataDirectory(const QString& dir) { dataDirectoryOverride() = dir; }

void TfmLibrary::buildTable()
{
    edSearch = named(new QLineEdit(this), "edSearch");
    edSearch->setPlaceholderText("Search names, files and tags");
    edSearch->setClearButtonEnabled(true);
    edSearch->setGeometry(12, 10, 330, 24);
    cbKind = named(new QComboBox(this), "cbKind");
    cbKind->addItems({"All kinds", "Sound files", "Disk images", "Audio", "Damaged"});
    cbKind->setGeometry(350, 10, 120, 24);
    bnRescan = named(new QPushButton("Rescan", this), "bnRescan");
    bnRescan->setGeometry(478, 10, 80, 24);
    bnFolders = named(new QPushButton("Folders...", this), "bnFolders");
    bnFolders->setGeometry(564, 10, 80, 24);
    Model = new LibraryModel;
    Model->setParent(this);
    tvSounds = named(new QTableView(this), "tvSounds");
    tvSounds->setModel(Model);
    tvSounds->setGeometry(12, 42, 632, 450);
    tvSounds->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvSounds->setSelectionMode(QAbstractItemView::SingleSelection);
    tvSounds->setSortingEnabled(true);
    tvSounds->sortByColumn(LibraryModel::Name, Qt::AscendingOrder);
    tvSounds->verticalHeader()->hide();
    tvSounds->verticalHeader()->setDefaultSectionSize(20);
    tvSounds->setDragEnabled(true);
    tvSounds->setDragDropMode(QAbstractItemView::DragOnly);
    const int widths[LibraryModel::ColumnCount] = {110, 78, 140, 88, 45, 120, 100, 60, 90};
    for (int c = 0; c < LibraryModel::ColumnCount; ++c)
        tvSounds->setColumnWidth(c, widths[c]);
    const auto filter = [this] {
        Model->setFilter(edSearch->text(), cbKind->currentIndex() - 1);
        keepSelection();
    };
    connect(edSearch, &QLineEdit::textChanged, this, filter);
    connect(cbKind, &QComboBox::currentIndexChanged, this, filter);
    connect(bnRescan, &QPushButton::clicked, this, &TfmLibrary::Rescan);
    connect(bnFolders, &QPushButton::clicked, this, [this] { Ctx().showWindow("TfmLibraryFolders"); });
    connect(tvSounds->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfmLibrary::selectionChanged);
}

void TfmLibrary::buildDetail()
{
    lbSelected = named(new QLabel("No sound selected.", this), "lbSelected");
    // Up to three lines: a damaged file's reason is read whole here.
    lbSelected->setGeometry(656, 4, 312, 50);
    lbSelected->setWordWrap(true);
    lbSelected->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int w = 0; w < 8; ++w) {
        const int x = 656 + (w % 2) * 160;
        const int y = 42 + (w / 2) * 78;
        WaveLabels[static_cast<std::size_t>(w)] = new QLabel(this);
        WaveLabels[static_cast<std::size_t>(w)]->setObjectName(QString("lbWave%1").arg(w + 1));
        WaveLabels[static_cast<std::size_t>(w)]->setGeometry(x, y, 152, 16);
        TWaveView* view = new TWaveView(this);
        view->setObjectName(QString("pbWave%1").arg(w + 1));
        view->setGeometry(x, y + 17, 152, 56);
        view->installEventFilter(this);
        Waves[static_cast<std::size_t>(w)] = view;
    }
    MediaPlayer1 = new TPlayerPanel(this, Ctx().seams);
    MediaPlayer1->setGeometry(656, 358, TPlayerPanel::Width, TPlayerPanel::Height);
    connect(MediaPlayer1->bnPlay, &QToolButton::clicked, MediaPlayer1, &TPlayerPanel::play);
    connect(MediaPlayer1->bnStop, &QToolButton::clicked, MediaPlayer1, &TPlayerPanel::stop);
    bnPlaces = named(new QPushButton("Where...", this), "bnPlaces");
    bnPlaces->setGeometry(828, 362, 140, 24);
    connect(bnPlaces, &QPushButton::clicked, this, &TfmLibrary::bnPlacesClick);

    const auto label = [this](const char* text, int y) {
        noteLabels_.push_back(new QLabel(text, this));
        noteLabels_.back()->setGeometry(656, y, 70, 22);
    };
    label("Tags", 400);
    edTags = named(new QLineEdit(this), "edTags");
    edTags->setGeometry(726, 400, 242, 22);
    label("Rating", 428);
    cbRating = named(new QComboBox(this), "cbRating");
    cbRating->addItem("-");
    for (int r = 1; r <= 5; ++r)
        cbRating->addItem(stars(r));
    cbRating->setGeometry(726, 428, 100, 22);
    label("Comment", 456);
    edComment = named(new QLineEdit(this), "edComment");
    edComment->setGeometry(726, 456, 242, 22);
    connect(edTags, &QLineEdit::editingFinished, this, &TfmLibrary::saveNote);
    connect(edComment, &QLineEdit::editingFinished, this, &TfmLibrary::saveNote);
    connect(cbRating, &QComboBox::activated, this, &TfmLibrary::saveNote);
}

void TfmLibrary::buildActions()
{
    const int y = 504;
    bnSend = named(new QPushButton("Send to Mirage", this), "bnSend");
    bnSend->setGeometry(12, y, 110, 25);
    cbHalf = named(new QComboBox(this), "cbHalf");
    cbHalf->addItems({"Lower half", "Upper half"});
    cbHalf->setGeometry(126, y, 96, 25);
    bnSaveSyx = named(new QPushButton("Save as .syx...", this), "bnSaveSyx");
    bnSaveSyx->setGeometry(234, y, 105, 25);
    bnExport = named(new QPushButton("Export Audio...", this), "bnExport");
    bnExport->setGeometry(345, y, 105, 25);
    bnWriteImage = named(new QPushButton("Write into Image...", this), "bnWriteImage");
    bnWriteImage->setGeometry(462, y, 125, 25);
    cbSlot = named(new QComboBox(this), "cbSlot");
    for (int s = 0; s < disk::Layout::Slots; ++s)
        cbSlot->addItem(QString::fromStdString(disk::slotName(s)));
    cbSlot->setGeometry(591, y, 53, 25);
    bnShowFolder = named(new QPushButton("Show in Folder", this), "bnShowFolder");
    bnShowFolder->setGeometry(656, y, 110, 25);
    bnEditWs = named(new QPushButton("Edit Wavesample...", this), "bnEditWs");
    bnEditWs->setGeometry(772, y, 120, 25);
    connect(bnEditWs, &QPushButton::clicked, this, &TfmLibrary::bnEditWsClick);
    connect(bnSend, &QPushButton::clicked, this, &TfmLibrary::bnSendClick);
    TSendGuard::guard(bnSend, Ctx().sendBlocked);
    connect(bnSaveSyx, &QPushButton::clicked, this, &TfmLibrary::bnSaveSyxClick);
    connect(bnExport, &QPushButton::clicked, this, &TfmLibrary::bnExportClick);
    connect(bnWriteImage, &QPushButton::clicked, this, &TfmLibrary::bnWriteImageClick);
    connect(bnShowFolder, &QPushButton::clicked, this, [this] {
        if (const Row* r = SelectedRow())
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(r->path).path()));
    });
}

// The list and its search line take what the window grows by; the details
// keep to the right edge and the actions to the bottom. The window opens wide
// enough for every column of the list to show its whole heading, in the bold
// face the headings take while a row is selected.
void TfmLibrary::layOut()
{
    TAnchors* anchors = Sizable();
    anchors->anchor(edSearch, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(tvSounds, TAnchors::All);
    for (QWidget* w : std::initializer_list<QWidget*>{cbKind, bnRescan, bnFolders, lbSelected, MediaPlayer1, bnPlaces,
                                                      edTags, cbRating, edComment})
        anchors->anchor(w, TAnchors::Top | TAnchors::Right);
    for (int w = 0; w < 8; ++w) {
        anchors->anchor(WaveLabels[static_cast<std::size_t>(w)], TAnchors::Top | TAnchors::Right);
        anchors->anchor(Waves[static_cast<std::size_t>(w)], TAnchors::Top | TAnchors::Right);
    }
    for (QLabel* l : noteLabels_)
        anchors->anchor(l, TAnchors::Top | TAnchors::Right);
    for (QWidget* w : std::initializer_list<QWidget*>{bnSend, cbHalf, bnSaveSyx, bnExport, bnWriteImage, cbSlot})
        anchors->anchor(w, TAnchors::Left | TAnchors::Bottom);
    anchors->anchor(bnShowFolder, TAnchors::Right | TAnchors::Bottom);
    anchors->anchor(bnEditWs, TAnchors::Right | TAnchors::Bottom);

    QFont bold = tvSounds->horizontalHeader()->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int columns = 0;
    for (int c = 0; c < LibraryModel::ColumnCount; ++c) {
        const QString heading = Model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        // Room for the sort arrow and the section's margins beside the text.
        const int width = std::max(tvSounds->columnWidth(c), metrics.horizontalAdvance(heading) + 30);
        tvSounds->setColumnWidth(c, width);
        columns += width;
    }
    const int needed = columns + 2 * tvSounds->frameWidth() + tvSounds->verticalScrollBar()->sizeHint().width();
    if (needed > tvSounds->width())
        resize(width() + needed - tvSounds->width(), height());
}

void TfmLibrary::showError(const QString& text) { Ctx().seams.messageBox(text.toStdString(), Caption, BoxButtons::Ok); }

bool TfmLibrary::EnsureOpen()
{
    if (db_)
        return db_->isOpen();
    // Asked while the indexer's thread opens it: that opening ends first
    // (its report comes later and finds the database open).
    if (opening_)
        QMetaObject::invokeMethod(indexer_, [] {}, Qt::BlockingQueuedConnection);
    // Checked there, it is only opened here.
    db_ = std::make_unique<library::Database>(DataDirectory(), checked_);
    if (!db_->isOpen())
        showError(db_->error());
    else if (!db_->recovered().isEmpty())
        showError(db_->recovered());
    if (db_->isOpen() && pendingFolders_) {
        if (!db_->setFolders(*pendingFolders_))
            showError("Error - the library folders could not be saved.");
        pendingFolders_.reset();
    }
    return db_->isOpen();
}

// Nothing is made in the data directory before the user names a folder.
bool TfmLibrary::libraryExists() const
{
    const QDir dir(DataDirectory());
    return db_ || QFileInfo::exists(dir.filePath(library::databaseFileName())) ||
           QFileInfo::exists(dir.filePath(library::notesFileName()));
}

QStringList TfmLibrary::Folders()
{
    if (pendingFolders_)
        return *pendingFolders_;
    return libraryExists() && EnsureOpen() ? db_->folders() : QStringList();
}

void TfmLibrary::SetFolders(const QStringList& folders)
{
    if (!db_) {
        // Kept until the indexer's thread has opened (or made) the database.
        pendingFolders_ = folders;
        openOnIndexer();
        return;
    }
    if (!EnsureOpen())
        return;
    if (!db_->setFolders(folders))
        showError("Error - the library folders could not be saved.");
    Rescan();
}

void TfmLibrary::openOnIndexer()
{
    if (opening_)
        return;
    opening_ = true;
    lbStatus->setText("Opening the library...");
    emit openLibrary(DataDirectory());
}

void TfmLibrary::FormActivate()
{
    // The first showing opens the database on the indexer's thread, then
    // reads what changed since the last run.
    if (!libraryExists()) {
        lbStatus->setText("Name the folders of your library in Setup - Library Folders.");
    } else if (!db_) {
        openOnIndexer();
    }
}

void TfmLibrary::libraryOpened(bool ok, const QString& error, const QString& recovered)
{
    opening_ = false;
    // Unless EnsureOpen opened it meanwhile, reporting for itself.
    if (!db_) {
        if (!ok) {
            lbStatus->clear();
            showError(error);
            pendingFolders_.reset();
            return; // the next use tries again
        }
        checked_ = true;
        if (!recovered.isEmpty())
            showError(recovered);
    }
    if (EnsureOpen())
        Rescan();
}

void TfmLibrary::Rescan()
{
    if (!EnsureOpen())
        return;
    if (scanning_) {
        rescanAgain_ = true;
        return;
    }
    scanning_ = true;
    bnRescan->setEnabled(false);
    bnCancel->setEnabled(true);
    ProgressBar1->setValue(0);
    lbStatus->setText("Reading the library folders...");
    lbTime->clear();
    indexer_->rearm();
    emit startScan(DataDirectory(), db_->folders(), Model->sortColumn(), Model->descending());
}

void TfmLibrary::scanProgress(int done, int total)
{
    ProgressBar1->setValue(total > 0 ? static_cast<int>(static_cast<long long>(done) * BarSteps / total) : 0);
    lbStatus->setText(QString("Reading the library folders: %1 of %2 new or changed files.").arg(done).arg(total));
}

void TfmLibrary::scanFinished(library::ScanSummary s, std::shared_ptr<library::Rows> rows)
{
    scanning_ = false;
    bnRescan->setEnabled(true);
    bnCancel->setEnabled(Running());
    ProgressBar1->setValue(s.cancelled ? ProgressBar1->value() : BarSteps);
    // The selected sound is read again: its file may have changed.
    item_.reset();
    Model->setRows(std::move(*rows), [this](std::shared_ptr<library::Rows> old) {
        QMetaObject::invokeMethod(indexer_, [old = std::move(old)]() mutable { old.reset(); });
    });
    keepSelection();
    lbStatus->setText(std::exchange(afterScan_, QString()) +
                      QString("%1%2, %3 read, %4 gone, %5 damaged.")
                          .arg(s.cancelled ? "Cancelled: " : "")
                          .arg(countedText(s.files, "file"))
                          .arg(s.read)
                          .arg(s.removed)
                          .arg(s.damaged));
    lbTime->setText(QString("%1; the scan took %2 s.")
                        .arg(countedText(Model->total(), "sound or sample", "sounds and samples"))
                        .arg(s.ms / 1000.0, 0, 'f', 1));
    if (rescanAgain_) {
        rescanAgain_ = false;
        Rescan();
    }
}

// After the table was filled or filtered anew, the sound shown stays
// selected while it is in the table.
void TfmLibrary::keepSelection()
{
    const int v = itemId_ ? Model->visibleRow(itemId_) : -1;
    if (v >= 0)
        tvSounds->selectRow(v);
    else
        showItem(nullptr);
    if (v >= 0 && !item_)
        selectionChanged();
}

const Row* TfmLibrary::SelectedRow() const
{
    const QModelIndexList rows = tvSounds->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : Model->row(rows.first().row());
}

void TfmLibrary::selectionChanged()
{
    const Row* r = SelectedRow();
    if (r && r->id == itemId_ && item_)
        return;
    showItem(r);
}

// The selected sound read afresh from its file: the index says where it
// is, the file holds what is played and sent.
void TfmLibrary::showItem(const Row* r)
{
    item_.reset();
    indexed_.clear();
    itemId_ = r ? r->id : 0;
    wavesample_ = -1;
    MediaPlayer1->withdraw();
    QString error;
    if (r && r->kind != Kind::Damaged)
        item_ = library::readItem(r->path, r->part, error);
    if (item_ && db_)
        indexed_ = db_->wavesamples(r->id);
    lbSelected->setText(!r ? "No sound selected." : r->kind == Kind::Damaged ? "Damaged: " + r->damage
                                                  : item_ ? r->name + "  (" + r->source() + ")" : error);
    lbSelected->setToolTip(lbSelected->text());
    if (item_ && item_->kind == Kind::Audio) {
        const audio::Conversion c = audio::importAudio(r->path.toStdString());
        if (c.ok())
            item_->wavesamples[0].samples = c.samples;
        item_->wavesamples[0].rate = c.rate;
        item_->wavesamples[0].range = {0, static_cast<int>(c.samples.size() / 256) - 1};
    }
    for (std::size_t w = 0; w < 8; ++w) {
        const library::WavesampleInfo* info = item_ && w < item_->wavesamples.size() ? &item_->wavesamples[w] : nullptr;
        Waves[w]->setSamples(info ? info->samples : std::vector<std::uint8_t>{});
        // A wavesample that plays another's pages is named as that one's,
        // as the window's count of the sound's wavesamples takes it.
        QString text, tip;
        if (info && item_->kind != Kind::Audio) {
            const QString pages = QString("p %1-%2").arg(info->range.start).arg(info->range.end);
            text = QString("%1 %2").arg(w + 1).arg(!info->hasPages() ? QString("no pages")
                                                   : info->sameAs    ? QString("the pages of ws%1").arg(info->sameAs)
                                                                     : pages);
            if (info->sameAs)
                tip = QString("Wavesample %1 plays wavesample %2's pages (%3).").arg(w + 1).arg(info->sameAs).arg(pages);
        }
        WaveLabels[w]->setToolTip(tip);
        if (info && !info->name.empty())
            text += " " + QString::fromStdString(info->name);
        // Where its pages lie elsewhere is said once, at the wavesample
        // whose pages they are.
        const int places = w < indexed_.size() && db_ && !(info && info->sameAs)
                               ? db_->placeCount(indexed_[w].sampleHash)
                               : 0;
        if (places > 1)
            text += QString(" - in %1 places").arg(places);
        WaveLabels[w]->setText(text);
    }
    const library::Note note = r && db_ ? db_->note(r->path, r->part) : library::Note{};
    edTags->setText(note.tags);
    cbRating->setCurrentIndex(note.rating);
    edComment->setText(note.comment);
    if (item_)
        for (int w = 0; w < static_cast<int>(item_->wavesamples.size()); ++w)
            if (item_->wavesamples[static_cast<std::size_t>(w)].hasPages()) {
                SelectWavesample(w);
                break;
            }
    updateActions();
}

void TfmLibrary::SelectWavesample(int w)
{
    if (!item_ || w < 0 || w >= static_cast<int>(item_->wavesamples.size()) ||
        !item_->wavesamples[static_cast<std::size_t>(w)].hasPages())
        return;
    wavesample_ = w;
    const library::WavesampleInfo& info = item_->wavesamples[static_cast<std::size_t>(w)];
    MediaPlayer1->offer({info.samples, info.rate, loopOf(info)});
    for (std::size_t i = 0; i < 8; ++i)
        WaveLabels[i]->setStyleSheet(static_cast<int>(i) == w ? "font-weight: bold" : "");
    updateActions();
}

bool TfmLibrary::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress)
        for (int w = 0; w < 8; ++w)
            if (watched == Waves[static_cast<std::size_t>(w)])
                SelectWavesample(w);
    return TSoundJobForm::eventFilter(watched, event);
}

void TfmLibrary::updateActions()
{
    const bool sound = item_ && item_->half.has_value();
    const bool wave = item_ && wavesample_ >= 0;
    for (QWidget* w : std::initializer_list<QWidget*>{bnSend, cbHalf, bnSaveSyx, bnWriteImage, cbSlot})
        w->setEnabled(sound && !Running());
    bnExport->setEnabled(wave && item_->kind != Kind::Audio);
    bnEditWs->setEnabled(wave && item_->kind != Kind::Audio && Ctx().windowNamed);
    bnPlaces->setEnabled(wave && wavesample_ < static_cast<int>(indexed_.size()));
    const bool row = SelectedRow() != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{edTags, cbRating, edComment, bnShowFolder})
        w->setEnabled(row);
    if (sound)
        cbHalf->setCurrentIndex(item_->half->half);
}

void TfmLibrary::saveNote()
{
    const Row* selected = SelectedRow();
    if (!selected || !db_)
        return;
    Row* r = Model->rowById(selected->id);
    const library::Note note{edTags->text().trimmed(), cbRating->currentIndex(), edComment->text()};
    if (note.tags == r->tags && note.rating == r->rating && note.comment == r->comment)
        return;
    if (!db_->setNote(r->path, r->part, note)) {
        showError("Error - the tags could not be saved in the library database.");
        return;
    }
    // Other rows of the same place (none today) and this one show it at once.
    r->tags = note.tags;
    r->rating = note.rating;
    r->comment = note.comment;
    r->finish();
    const int v = Model->visibleRow(r->id);
    emit Model->dataChanged(Model->index(v, 0), Model->index(v, LibraryModel::ColumnCount - 1));
}

// ---- actions ---------------------------------------------------------------------------------

void TfmLibrary::bnSendClick()
{
    if (!item_ || !item_->half)
        return;
    sound::Half half = *item_->half;
    const int target = cbHalf->currentIndex();
    if (half.half != target) {
        half.programDump = disk::programDumpOf(target, disk::programDataOf(half.programDump));
        half.half = target;
    }
    const sound::Sound s{{half}};
    runJob({bnSend, cbHalf, bnSaveSyx, bnWriteImage, cbSlot, tvSounds}, [this, s, half] {
        const sound::SendResult r = sound::sendSound(Mirage(), s, hooks());
        if (r.end == sound::JobEnd::Done && half.hasNames)
            for (std::size_t w = 0; w < 8; ++w) {
                Ctx().wavesampleNames[static_cast<std::size_t>(half.half) * 8 + w] = half.names[w];
                Ctx().wavesampleColours[static_cast<std::size_t>(half.half) * 8 + w] = half.colours[w];
            }
        lbStatus->setText(QString::fromStdString(sound::sendSummary(s, r)));
        if (r.end == sound::JobEnd::Failed)
            Ctx().seams.messageBox(r.text, Caption, BoxButtons::Ok);
    });
    updateActions();
}

void TfmLibrary::bnSaveSyxClick()
{
    const Row* r = SelectedRow();
    if (!item_ || !item_->half || !r)
        return;
    const std::string path = Ctx().seams.saveFileName("SysEx files|*.syx", r->name.toStdString() + ".syx");
    if (path.empty())
        return;
    const std::string error = sound::writeAtomically(path, sound::fileImage(sound::Sound{{*item_->half}}));
    if (!error.empty())
        showError(QString::fromStdString(error));
    else
        lbStatus->setText("Saved " + QDir::toNativeSeparators(QString::fromStdString(path)) + ".");
}

void TfmLibrary::bnExportClick()
{
    if (!item_ || wavesample_ < 0)
        return;
    const library::WavesampleInfo& w = item_->wavesamples[static_cast<std::size_t>(wavesample_)];
    const QString name = w.name.empty() ? item_->name + QString(" %1").arg(wavesample_ + 1) : QString::fromStdString(w.name);
    const std::string path = Ctx().seams.saveFileName("Wave files|*.wav", name.toStdString() + ".wav");
    if (path.empty())
        return;
    const audio::ExportResult r = audio::exportAudio(path, w.samples, w.rate, {});
    if (!r.ok())
        Ctx().seams.messageBox(r.text(), audio::ExportResult::Caption, BoxButtons::Ok);
    else
        lbStatus->setText(QString("Exported %1 samples at %2 Hz.").arg(r.frames).arg(r.rate));
}

// The wavesample selected opens in the Wave Editor, from where it can be
// heard, changed and sent.
void TfmLibrary::bnEditWsClick()
{
    if (!item_ || wavesample_ < 0 || item_->kind == Kind::Audio || !Ctx().windowNamed)
        return;
    auto* editor = qobject_cast<TfmWaveEditor*>(Ctx().windowNamed("TfmWaveEditor"));
    if (!editor)
        return;
    const library::WavesampleInfo& w = item_->wavesamples[static_cast<std::size_t>(wavesample_)];
    waveedit::Loop loop;
    if (w.looped)
        loop = {true, (w.loopStart - w.range.start) * 256, (w.loopEnd - w.range.start) * 256 + w.loopEndFine};
    const std::string shown = item_->name.toStdString() + " wavesample " + std::to_string(wavesample_ + 1) +
                              (w.name.empty() ? std::string() : " " + w.name);
    editor->OpenWavesample(shown, w.range.start, w.samples, loop, w.rate);
    editor->ShowAndActivate();
}

void TfmLibrary::bnWriteImageClick()
{
    if (!item_ || !item_->half)
        return;
    const std::string path = Ctx().seams.openFileName("Disk images|*.img");
    if (path.empty())
        return;
    const int slot = cbSlot->currentIndex();
    // As the disk images window does: the image as it was is kept beside it.
    const std::string backup = TfmDiskImages::BackupPath(path);
    const QString question =
        QString("Slot %1 of %2 is replaced by this sound. A copy of the image as it is now is kept as \"%3\". "
                "Continue?")
            .arg(cbSlot->currentText(), QFileInfo(QString::fromStdString(path)).fileName(),
                 QFileInfo(QString::fromStdString(backup)).fileName());
    if (Ctx().seams.messageBox(question.toStdString(), Caption, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    sound::Half half = *item_->half;
    if (half.half != disk::halfOfSlot(slot)) {
        half.programDump = disk::programDumpOf(disk::halfOfSlot(slot), disk::programDataOf(half.programDump));
        half.half = disk::halfOfSlot(slot);
    }
    disk::Image now;
    std::string error = now.open(path);
    if (error.empty())
        error = now.save(backup);
    if (error.empty())
        error = disk::insertHalf(path, slot, half);
    if (!error.empty()) {
        lbStatus->setText("Not written: the image is unchanged.");
        Ctx().seams.messageBox(error, disk::Image::Caption, BoxButtons::Ok);
        return;
    }
    // Said before what the rescan that follows finds.
    afterScan_ = "Written into slot " + cbSlot->currentText() + " of " +
                 QFileInfo(QString::fromStdString(path)).fileName() + "; the old image is kept as " +
                 QFileInfo(QString::fromStdString(backup)).fileName() + ". ";
    lbStatus->setText(afterScan_);
    Rescan();
}

void TfmLibrary::bnPlacesClick()
{
    if (wavesample_ < 0 || wavesample_ >= static_cast<int>(indexed_.size()) || !db_)
        return;
    const std::vector<library::Place> places = db_->places(indexed_[static_cast<std::size_t>(wavesample_)].sampleHash);
    QStringList lines;
    for (const library::Place& p : places)
        lines << p.text();
    Ctx().seams.messageBox(QString("The sample data of this wavesample is in %1:\n%2")
                               .arg(countedText(static_cast<long long>(places.size()), "place"))
                               .arg(lines.join('\n'))
                               .toStdString(),
                           Caption, BoxButtons::Ok);
}

// ---- Library Folders -------------------------------------------------------------------------

TfmLibraryFolders::TfmLibraryFolders(const WindowContext& context, TfmLibrary* library, QWidget* parent)
    : TFormBase(context, parent), library_(library)
{
    setObjectName("fmLibraryFolders");
    setWindowTitle("Library Folders");
    SetSizableFrame(QSize(460, 260));
    auto* note = new QLabel("The library indexes the sound files, disk images and audio files in these folders "
                            "and their subfolders. It never changes them.",
                            this);
    note->setWordWrap(true);
    note->setGeometry(12, 6, 436, 36);
    lbFolders = named(new QListWidget(this), "lbFolders");
    lbFolders->setGeometry(12, 46, 340, 170);
    bnAdd = named(new QPushButton("Add...", this), "bnAdd");
    bnAdd->setGeometry(362, 46, 86, 25);
    bnRemove = named(new QPushButton("Remove", this), "bnRemove");
    bnRemove->setGeometry(362, 78, 86, 25);
    bnOK = named(new QPushButton("OK", this), "bnOK");
    bnOK->setGeometry(282, 226, 80, 25);
    bnCancel = named(new QPushButton("Cancel", this), "bnCancel");
    bnCancel->setGeometry(368, 226, 80, 25);
    auto* anchors = new TAnchors(this);
    anchors->anchor(note, TAnchors::Left | TAnchors::Top | TAnchors::Right);
    anchors->anchor(lbFolders, TAnchors::All);
    for (QWidget* w : std::initializer_list<QWidget*>{bnAdd, bnRemove})
        anchors->anchor(w, TAnchors::Top | TAnchors::Right);
    for (QWidget* w : std::initializer_list<QWidget*>{bnOK, bnCancel})
        anchors->anchor(w, TAnchors::Bottom | TAnchors::Right);
    for (QPushButton* b : {bnAdd, bnRemove, bnCancel})
        b->setAutoDefault(false);
    bnOK->setDefault(true);
    connect(bnAdd, &QPushButton::clicked, this, &TfmLibraryFolders::bnAddClick);
    connect(bnRemove, &QPushButton::clicked, this, [this] { delete lbFolders->currentItem(); });
    connect(bnOK, &QPushButton::clicked, this, &TfmLibraryFolders::bnOKClick);
    connect(bnCancel, &QPushButton::clicked, this, &QWidget::hide);
}

// The list is read from the library when the window is shown, not at every
// activation: the folder picker hands activation back to this window, and a
// reload then would drop the folder just added.
void TfmLibraryFolders::showEvent(QShowEvent* e)
{
    TFormBase::showEvent(e);
    if (e->spontaneous())
        return;
    lbFolders->clear();
    lbFolders->addItems(library_->Folders());
    if (lbFolders->count() > 0)
        lbFolders->setCurrentRow(0);
    bnOK->setFocus();
}

// Enter takes the list as it stands (OK, the default button); Escape leaves
// the library's folders as they were.
void TfmLibraryFolders::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        bnOKClick();
        return;
    }
    TFormBase::keyPressEvent(e);
}

void TfmLibraryFolders::bnAddClick()
{
    const std::string folder = Ctx().seams.chooseFolder("Library Folders");
    if (!folder.empty() && lbFolders->findItems(QString::fromStdString(folder), Qt::MatchExactly).isEmpty())
        lbFolders->addItem(QString::fromStdString(folder));
}

void TfmLibraryFolders::bnOKClick()
{
    QStringList folders;
    for (int i = 0; i < lbFolders->count(); ++i)
        folders << lbFolders->item(i)->text();
    hide();
    library_->SetFolders(folders);
}

} // namespace corvane
