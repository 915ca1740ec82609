// The memory map windows: where each of the eight wavesamples of one
// keyboard half lies in that half's 256 pages of sample memory, and how it
// loops. The lower window (TMemoryMap) and the upper one (TfmMemMapU) are
// one implementation parameterised by the half.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace corvane {

class TNameLabel;
class TShape;
class TSwitchBox;
class TUpDown;
class TValueBox;

class TMemMap : public TFormBase {
    Q_OBJECT
public:
    // The page pointers of a row, in the order of the columns.
    enum Column { WsStart, LoopStart, LoopEnd, LEFine, WsEnd, Columns };

    TMemMap(const WindowContext& context, int half, QWidget* parent);
    ~TMemMap() override;

    int Half() const { return half_; }
    // The row that is editable, 0-7, or -1 when none is.
    int CurrentRow() const { return current_; }

    // Row n - 1 of each column (names edWsStart, edWsStart2.. in the lower
    // window, edWsStartU1.. in the upper one, and so on).
    std::array<std::array<TValueBox*, 8>, Columns> ed{};
    std::array<std::array<TUpDown*, 8>, Columns> ud{};
    std::array<TSwitchBox*, 8> cbLoopSw{};
    std::array<TShape*, 8> shWs{};      // the page bars
    std::array<TShape*, 8> shidentWs{}; // marks the current row
    std::array<TNameLabel*, 8> lbName{};    // lbL1.. / lbU1..
    std::array<QLabel*, 8> lbNumber{};
    TShape* Shape1;                     // the 256 pages
    QComboBox* cbCurrentWs;             // cbCurrentLWs / cbCurrentUWs
    QPushButton* bnShowWsInfo;
    QPushButton* Button1;               // "Refresh"
    QPushButton* bnOK;

    // The handlers: one up-down click, one loop switch toggle.
    void udClick(Column c, int row, bool up) { fields_->step(ud[c][static_cast<std::size_t>(row)], up); }
    void cbLoopSwToggle(int row, bool before);
    void cbCurrentWsChange(int index);
    void lbNameDblClick(int wavesample); // 0-15
    void bnShowWsInfoClick();
    void Button1Click();
    void bnOKClick();

    // Every value, switch and bar from the dump. Sends nothing.
    void ShowAllValues();
    // Left edge and width of bar `row` from its start and end pages.
    void PlaceBar(int row);

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    bool ShowsChange(const FieldChange& c) const override { return fields_ && fields_->shows(c); }

private:
    void buildMemoryPicture();
    void buildStrip();
    void buildHeadings();
    void buildRow(int n);
    void bindRow(int n);
    DumpTarget target(int row) const { return DumpTarget::Wavesample(half_, row); }
    int field(int row, int offset) const;
    void afterStep(const TUpDown* upDown);
    void resetLoop(int row);
    void enableRow(int row);
    void showNamesAndColours();

    int half_;
    int current_ = -1;
    std::array<TShape*, 8> swatch_{};
    std::unique_ptr<FieldStepper> fields_;
};

class TMemoryMap : public TMemMap {
    Q_OBJECT
public:
    explicit TMemoryMap(const WindowContext& context, QWidget* parent = nullptr) : TMemMap(context, 0, parent) {}
};

class TfmMemMapU : public TMemMap {
    Q_OBJECT
public:
    explicit TfmMemMapU(const WindowContext& context, QWidget* parent = nullptr) : TMemMap(context, 1, parent) {}
};

} // namespace corvane
