// The windows that show one or two values of all sixteen wavesamples, the
// eight lower beside the eight upper, and step the values of the current
// wavesample: tuning, relative amplitude, relative filter. One
// implementation; each window gives its layout and its columns.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <QPoint>
#include <QSize>

#include <array>
#include <memory>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class TNameLabel;
class TUpDown;
class TValueBox;

class TWavesampleTable : public TFormBase {
    Q_OBJECT
public:
    // One value of each wavesample.
    struct Column {
        int parameter;
        const char* suffix;  // controls edWs1<suffix>, udWs1<suffix>, edWsU1<suffix>
        const char* caption; // the frame around the column, or none
        FieldStepper::TextFn text;
    };
    struct Layout {
        const char* objectName;
        const char* caption;
        QSize client;
        const char* selectorName;
        bool typedSelector; // the selector takes typed text
        QPoint selectLabel, selector, refreshU, refreshL, ok;
        std::array<const char*, 2> groupCaptions; // lower, upper
        std::array<QPoint, 2> groups;
        int groupWidth;
        int nameWidth;
    };

    TWavesampleTable(const WindowContext& context, const Layout& layout, std::vector<Column> columns,
                     QWidget* parent);
    ~TWavesampleTable() override;

    // The current wavesample, 0-15 (L1-L8, U1-U8), or -1 when none is.
    int CurrentIndex() const { return current_; }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TValueBox* edit(int column, int index) const;
    TUpDown* upDown(int column, int index) const;

    QComboBox* cbSelect;               // cbCurrentWs / cbSelectWs
    std::array<TNameLabel*, 16> lbName{};  // lbL1..lbL8, lbU1..lbU8
    std::array<QLabel*, 16> lbNumber{};
    QPushButton* bnRefreshU;
    QPushButton* bnRefresh;            // "Refresh L"
    QPushButton* bnOK;

    void udClick(int column, int index, bool up);
    void cbSelectChange(int index);
    void cbSelectTextEdited(const QString& text);
    void lbNameDblClick(int index);
    void bnRefreshClick() { refresh(0); }
    void bnRefreshUClick() { refresh(1); }
    void bnOKClick();

    // Both halves' values from the dumps. Sends nothing.
    void ShowAllValues();

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    bool ShowsChange(const FieldChange& c) const override { return fields_ && fields_->shows(c); }

private:
    void buildSelector(const Layout& layout);
    void buildButtons(const Layout& layout);
    void buildHalf(const Layout& layout, int half);
    void buildRow(QGroupBox* group, int nameWidth, int half, int n, int y);
    void enableRow(int index);
    void refresh(int half);

    std::vector<Column> columns_;
    std::vector<std::array<TValueBox*, 16>> edits_;
    std::vector<std::array<TUpDown*, 16>> upDowns_;
    int current_ = -1;
    std::unique_ptr<FieldStepper> fields_;
};

} // namespace corvane
