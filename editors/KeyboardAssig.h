// "Keyboard Assignment": which of the eight wavesamples of each keyboard half
// sounds over which keys. Each wavesample has a top key; each program names
// the wavesample its keyboard walk starts with and a mix mode switch. The
// window draws the top keys as bars and the key ranges they give as spans
// over a picture of the 61 keys, and steps the top key of the selected
// wavesample, the program's initial wavesample and its mix mode.
//
// The instrument applies these steps to the half that is current on it, so
// only the current half's row of controls is enabled.
#pragma once

#include "FieldStepper.h"
#include "FormBase.h"

#include <array>
#include <memory>

class QButtonGroup;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace corvane {

class TImage;
class TNameLabel;
class TShape;
class TSwitchBox;
class TUpDown;
class TValueBox;

constexpr int KeyPixels = 7;      // one key (semitone) of the picture
constexpr int KeyboardLeft = 88;  // x of key 1
constexpr int KeyboardKeys = 61;

// The key span of one wavesample: x of its left edge and its width, in
// pixels of the window.
struct KeySpan {
    int left = KeyboardLeft;
    int width = 0;
    bool operator==(const KeySpan&) const = default;
};

// The spans of the sixteen wavesamples (L1-L8, U1-U8) for their top keys
// (1-61) and the two halves' initial wavesamples (0-7). The walk starts at
// the lower initial wavesample and goes up through U8; each wavesample whose
// top key lies above the last one drawn takes the keys between; the upper
// half joins the walk at its own initial wavesample. A half whose initial
// wavesample is outside 0-7 takes no part in the walk.
std::array<KeySpan, 16> keySpans(const std::array<int, 16>& topKeys, int lowerInitial, int upperInitial);

class TKeyboardAssig : public TFormBase {
    Q_OBJECT
public:
    explicit TKeyboardAssig(const WindowContext& context, QWidget* parent = nullptr);
    ~TKeyboardAssig() override;

    QToolButton* SpeedButton1; // L1..L4
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5; // U1..U4
    QToolButton* SpeedButton6;
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton8;
    TValueBox* edWsSelect;
    TUpDown* udWsSelect;
    TValueBox* edWsSelectU;
    TUpDown* udWsSelectU;
    TValueBox* edTopKey;
    TUpDown* udTopKey;
    TValueBox* edTopKeyU;
    TUpDown* udTopKeyU;
    TValueBox* edInitWavesampleL;
    TUpDown* udInitWavesampleL;
    TValueBox* edInitWavesampleU;
    TUpDown* udInitWavesampleU;
    TSwitchBox* cbMixModeSwitch;
    TSwitchBox* cbMixModeSwU;
    QPushButton* bnRefresh;      // "U"
    QPushButton* bnRefreshLower; // "L"
    QPushButton* bnOK;
    TImage* Image1;
    QFrame* Bevel1;
    QFrame* Bevel2;
    // Index 0-15: L1-L8 then U1-U8.
    std::array<TNameLabel*, 16> SampleNames{};   // SampleNameL1..SampleNameU8
    std::array<TShape*, 16> Spreads{};           // wave1spread..wave16spread
    std::array<TShape*, 16> KeySpans{};          // L1keySpan..U8keySpan

    void SpeedButton1Click() { programClick(0, 0); }
    void SpeedButton2Click() { programClick(0, 1); }
    void SpeedButton3Click() { programClick(0, 2); }
    void SpeedButton4Click() { programClick(0, 3); }
    void SpeedButton5Click() { programClick(1, 0); }
    void SpeedButton6Click() { programClick(1, 1); }
    void SpeedButton7Click() { programClick(1, 2); }
    void SpeedButton8Click() { programClick(1, 3); }
    void udWsSelectClick(bool) { wavesampleSelect(0); }
    void udWsSelectUClick(bool) { wavesampleSelect(1); }
    void udTopKeyClick(bool up) { row(0).fields->step(udTopKey, up); }
    void udTopKeyUClick(bool up) { row(1).fields->step(udTopKeyU, up); }
    void udInitWavesampleLClick(bool up) { row(0).fields->step(udInitWavesampleL, up); }
    void udInitWavesampleUClick(bool up) { row(1).fields->step(udInitWavesampleU, up); }
    void cbMixModeSwitchToggle(bool before, bool) { row(0).fields->toggle(cbMixModeSwitch, before); }
    void cbMixModeSwUToggle(bool before, bool) { row(1).fields->toggle(cbMixModeSwU, before); }
    void bnRefreshLowerClick() { refresh(0); }
    void bnRefreshClick() { refresh(1); }
    void bnOKClick();
    void SampleNameDblClick(int wavesample);

    // The window's copy of the top keys (1-61), mix mode pairs applied.
    const std::array<int, 16>& TopKeys() const { return topKeys_; }
    int CurrentHalf() const { return half_; }
    int Program(int half) const { return program_[half & 1]; }
    int SelectedWavesample(int half) const { return selected_[half & 1]; }

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    bool ShowsChange(const FieldChange& c) const override
    {
        for (const Row& r : rows_)
            if (r.fields && r.fields->shows(c))
                return true;
        return false;
    }

private:
    // The seven controls of one half's row and the stepper that serves them.
    struct Row {
        std::array<QToolButton*, 4> programs{};
        TValueBox* wsSelectBox = nullptr;
        TUpDown* wsSelect = nullptr;
        TValueBox* topKeyBox = nullptr;
        TUpDown* topKey = nullptr;
        TValueBox* initialBox = nullptr;
        TUpDown* initial = nullptr;
        TSwitchBox* mixMode = nullptr;
        QButtonGroup* group = nullptr;
        std::unique_ptr<FieldStepper> fields;
    };
    Row& row(int half) { return rows_[static_cast<std::size_t>(half & 1)]; }

    void buildHeadings();
    void buildRow(int half, int y);
    void bindRow(int half);
    void nameRowControls();
    void buildDrawing();
    void connectHandlers();
    void programClick(int half, int program);
    void wavesampleSelect(int half);
    void refresh(int half);
    // Shows the rows from the dumps. `asClick`: a mix mode box whose state
    // changes acts as if clicked, for the current half.
    void refreshControls(bool asClick);
    void enableRows();
    void loadTopKeys();
    void draw();
    void showNamesAndColours();
    void redisplay(bool asClick);
    int initialWavesample(int half) const;

    std::array<Row, 2> rows_;
    std::array<int, 16> topKeys_;
    std::array<int, 2> selected_{0, 0};
    std::array<int, 2> program_{0, 0};
    int half_ = 0;
};

} // namespace corvane
