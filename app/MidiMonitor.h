// The MIDI monitor: every message that left or reached the program, as it
// happens, with what it means to the Mirage. Drawn from the protocol
// object's traffic history through a model that only appends (and drops
// from the front what the history dropped).
#pragma once

#include "FormBase.h"
#include "MidiTraffic.h"

#include <QAbstractTableModel>

#include <array>
#include <deque>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace corvane {

class TMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Port, Length, Meaning, Bytes, ColumnCount };
    // Bytes shown in a row; the whole message below, on demand.
    static constexpr std::size_t ShownBytes = 16;

    explicit TMonitorModel(const MidiTraffic& traffic, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The message of a row; null when the history has dropped it.
    const TrafficEntry* entry(int row) const;

    // What the filters let through.
    bool showOut = true;
    bool showIn = true;
    std::array<bool, MessageKindCount> showKind{true, true, true, true, true, true, true};
    bool paused = false;

    // Takes what the history holds now: drops the rows it dropped and
    // appends the new ones that pass the filters (nothing while paused).
    void update();
    // Builds the rows afresh (a filter changed, the history was cleared).
    void rebuild();

private:
    bool passes(const TrafficEntry& e) const;
    const MidiTraffic& traffic_;
    std::deque<std::uint64_t> rows_; // serials of the shown messages
    std::uint64_t seen_ = 0;         // serials below this have been looked at
};

class TfmMidiMonitor : public TFormBase {
    Q_OBJECT
public:
    TfmMidiMonitor(const WindowContext& context, QWidget* parent = nullptr);
    ~TfmMidiMonitor() override;

    QCheckBox* ckOut;
    QCheckBox* ckIn;
    QToolButton* bnKinds;
    std::array<QAction*, MessageKindCount> acKinds{};
    QPushButton* bnPause;
    QPushButton* bnClear;
    QPushButton* bnSaveSyx;
    QPushButton* bnSaveLog;
    QTableView* tvMessages;
    QPlainTextEdit* edBytes;
    QLabel* lbHistory;

    TMonitorModel& Model() { return *model_; }

    void ckDirectionClick();
    void acKindToggle();
    void bnPauseClick();
    void bnClearClick();
    void bnSaveSyxClick();
    void bnSaveLogClick();
    void tvMessagesCurrentChange();

private:
    // The shown rows that are selected, or every shown row when none is.
    std::vector<const TrafficEntry*> chosen() const;
    void save(const std::string& filter, const std::string& suggested, const std::vector<std::uint8_t>& bytes);
    void showHistory();
    void trafficChanged();
    // The Port column as wide as the longest port name heard so far, within
    // reason.
    void fitPortColumn();

    MidiTraffic& traffic_;
    TMonitorModel* model_;
    int portsFitted_ = 0;
};

} // namespace corvane
