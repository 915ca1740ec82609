// "Library": every sound and sample under the user's library folders in one
// table, searched as the user types and filtered by kind, with the eight
// wavesamples of the selected sound drawn and playable, the user's tags,
// rating and comment, and the actions that take a sound to the instrument,
// to a file or into a disk image. "Library Folders" names the folders. The
// index lives in the database of library/; its scan runs on a worker
// thread and reports here by queued signals.
#pragma once

#include "LibraryScan.h"
#include "SoundWindows.h"

#include <QAbstractTableModel>
#include <QThread>

#include <array>
#include <memory>

class QComboBox;
class QListWidget;
class QMimeData;
class QTableView;

namespace corvane {

class TPlayerPanel;
class TWaveView;

// A sound dragged out of the library table: what is needed to read its
// half again from its file where it is dropped.
struct SoundDrag {
    static constexpr const char* MimeType = "application/x-corvane-sound";
    QString path;
    int part = 0;         // half of a .syx file, slot of an image
    bool slot = false;    // `part` is a slot of an image
    qint64 modified = 0;  // of the file as the library indexed it
    QMimeData* mimeData() const;
    static std::optional<SoundDrag> of(const QMimeData* data);
    // The half read afresh; none, with the message, when the file changed
    // since it was indexed or no longer holds the sound.
    std::optional<sound::Half> read(std::string& error) const;
    // "the lower half of "strings.syx"", "L2 of "disk.img"".
    std::string what() const;
};

// The rows of the table, searched and sorted in memory: a keystroke never
// waits for the database.
class LibraryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Kind, Source, Wavesamples, Pages, Date, Tags, Rating, Copies, ColumnCount };
    // Rows that come sorted as the table is; the rows they replace are
    // handed to `dispose` (the scan's thread frees them).
    void setRows(library::Rows rows, const std::function<void(std::shared_ptr<library::Rows>)>& dispose = nullptr);
    // Kind filter: -1 every kind, otherwise a library::Kind.
    void setFilter(const QString& text, int kind);
    const library::Row* row(int visibleRow) const;
    library::Row* rowById(qint64 id);
    int visibleRow(qint64 id) const;
    int total() const { return static_cast<int>(rows_.size()); }
    int sortColumn() const { return column_; }
    bool descending() const { return order_ == Qt::DescendingOrder; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    // Rows of sounds are dragged as a SoundDrag; samples and damaged items
    // are not dragged.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    void refilter();
    void filterRows();

    library::Rows rows_;
    std::vector<int> sorted_; // indices into rows_ in the table's order
    std::vector<int> visible_;
    QStringList words_;
    int kind_ = -1;
    int column_ = Name;
    Qt::SortOrder order_ = Qt::AscendingOrder;
};

class TfmLibrary : public TSoundJobForm {
    Q_OBJECT
public:
    explicit TfmLibrary(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmLibrary() override;

    // Where the database and its notes file live: the user's data
    // directory, or the one set for this run (tests).
    static QString DataDirectory();
    static void SetDataDirectory(const QString& dir);
    static bool DataDirectoryGiven();

    QLineEdit* edSearch;
    QComboBox* cbKind;
    QPushButton* bnRescan;
    QPushButton* bnFolders;
    QTableView* tvSounds;
    std::array<TWaveView*, 8> Waves{};
    std::array<QLabel*, 8> WaveLabels{};
    QLabel* lbSelected;
    QPushButton* bnPlaces;
    TPlayerPanel* MediaPlayer1;
    QLineEdit* edTags;
    QComboBox* cbRating;
    QLineEdit* edComment;
    QPushButton* bnSend;
    QComboBox* cbHalf;
    QPushButton* bnSaveSyx;
    QPushButton* bnExport;
    QPushButton* bnWriteImage;
    QComboBox* cbSlot;
    QPushButton* bnShowFolder;
    QPushButton* bnEditWs; // the wavesample selected, in the Wave Editor
    LibraryModel* Model;

    // Opens the database on first use; false when it cannot be opened.
    bool EnsureOpen();
    QStringList Folders();
    void SetFolders(const QStringList& folders);
    void Rescan();
    // Opening the database or reading the folders.
    bool Scanning() const { return opening_ || scanning_; }
    // Selects the wavesample the player offers (0..7).
    void SelectWavesample(int w);
    const library::Row* SelectedRow() const;

    void bnSendClick();
    void bnSaveSyxClick();
    void bnExportClick();
    void bnWriteImageClick();
    void bnEditWsClick();
    void bnPlacesClick();

signals:
    void startScan(const QString& directory, const QStringList& folders, int sortKey, bool descending);
    void openLibrary(const QString& directory);

protected:
    void FormActivate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTable();
    void buildDetail();
    void buildActions();
    void layOut();
    void openOnIndexer();
    void libraryOpened(bool ok, const QString& error, const QString& recovered);
    void scanProgress(int done, int total);
    void scanFinished(library::ScanSummary summary, std::shared_ptr<library::Rows> rows);
    void selectionChanged();
    void keepSelection();
    void showItem(const library::Row* row);
    void saveNote();
    void updateActions();
    void showError(const QString& text);
    bool libraryExists() const;

    std::unique_ptr<library::Database> db_;
    QThread thread_;
    library::Indexer* indexer_ = nullptr;
    bool opening_ = false; // the indexer's thread is opening the database
    bool checked_ = false; // and has checked it in this run
    std::optional<QStringList> pendingFolders_; // named before it was open
    bool scanning_ = false;
    bool rescanAgain_ = false;
    std::optional<library::ItemInfo> item_;
    std::vector<library::WavesampleRow> indexed_;
    qint64 itemId_ = 0;
    int wavesample_ = -1;
    std::vector<QLabel*> noteLabels_; // "Tags", "Rating", "Comment"
};

// "Library Folders": the folders the library indexes, with their subfolders.
class TfmLibraryFolders : public TFormBase {
    Q_OBJECT
public:
    TfmLibraryFolders(const WindowContext& context, TfmLibrary* library, QWidget* parent = nullptr);

    QListWidget* lbFolders;
    QPushButton* bnAdd;
    QPushButton* bnRemove;
    QPushButton* bnOK;
    QPushButton* bnCancel;

    void bnAddClick();
    void bnOKClick();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    TfmLibrary* library_;
};

} // namespace corvane
