// "Envelope/Filter Settings" of one keyboard half: the filter, the filter
// envelope and the amplitude envelope of the half's current program, drawn
// as two graphs, stepped one key press at a time, and the envelope presets.
// One implementation serves both halves; TEnvelopeForm (lower) and
// TfmEnvFilterU (upper) only name it.
#pragma once

#include "EnvelopeGraph.h"
#include "ProgramEditor.h"

#include <array>
#include <span>

class QComboBox;
class QGroupBox;
class QPainter;
class QPushButton;

namespace corvane {

class TUpDown;
class TValueBox;

class TEnvFilterEditor : public TProgramEditor {
    Q_OBJECT
public:
    // The 23 pairs, in preset slot order.
    static constexpr int PairCount = 23;

    TEnvFilterEditor(const WindowContext& context, int half, QWidget* parent);
    ~TEnvFilterEditor() override;

    int PresetIndex() const { return presetIndex_; }
    bool Recalling() const { return recallRequested_; }
    const EnvelopeGraph& FilterGraph() const { return filterGraph_; }
    const EnvelopeGraph& AmplitudeGraph() const { return ampGraph_; }
    // The up-down of preset slot `slot` (0-22).
    TUpDown* SlotUpDown(int slot) const { return upDowns_[static_cast<std::size_t>(slot)]; }

    TValueBox *edFilterCutoff, *edResonance, *edFTracking;
    TValueBox *edFilterEnvAttack, *edFilterEnvPeak, *edFilterEnvDecay, *edFilterEnvSustain, *edFilterEnvRelease;
    TValueBox *edFilterAv, *edFilterPv, *edFilterDk, *edFilterSv, *edFilterRv;
    TValueBox *edAmpEnvAttack, *edAmpEnvPeak, *edAmpEnvDecay, *edAmpEnvSustain, *edAmpEnvRelease;
    TValueBox *edAmpModAv, *edAmpModPv, *edAmpModDk, *edAmpModSv, *edAmpModRv;
    TUpDown *udFilterCutoff, *udResonance, *udFtracking;
    TUpDown *udFilterEnvAttack, *udFilterEnvPeak, *udFilterEnvDecay, *udFilterEnvSustain, *udFilterEnvRelease;
    TUpDown *udFilterAv, *udFilterPv, *udFilterDk, *udFilterSv, *udFilterRv;
    TUpDown *udAmpEnvAttack, *udAmpEnvPeak, *udAmpEnvDecay, *udAmpEnvSustain, *udAmpEnvRelease;
    TUpDown *udAmpModAv, *udAmpModPv, *udAmpModDk, *udAmpModSv, *udAmpModRv;
    QGroupBox* gbEnvPresets;
    QPushButton* bnEnvStore;
    QComboBox* cbEnvPresetNames;
    QPushButton* bnEnvSet;

    // The 23 up-downs' handlers.
    void udFilterCutoffClick(bool up) { UpDownClick(udFilterCutoff, up); }
    void udResonanceClick(bool up) { UpDownClick(udResonance, up); }
    void udFtrackingClick(bool up) { UpDownClick(udFtracking, up); }
    void udFilterEnvAttackClick(bool up) { UpDownClick(udFilterEnvAttack, up); }
    void udFilterEnvPeakClick(bool up) { UpDownClick(udFilterEnvPeak, up); }
    void udFilterEnvDecayClick(bool up) { UpDownClick(udFilterEnvDecay, up); }
    void udFilterEnvSustainClick(bool up) { UpDownClick(udFilterEnvSustain, up); }
    void udFilterEnvReleaseClick(bool up) { UpDownClick(udFilterEnvRelease, up); }
    void udFilterAvClick(bool up) { UpDownClick(udFilterAv, up); }
    void udFilterPvClick(bool up) { UpDownClick(udFilterPv, up); }
    void udFilterDkClick(bool up) { UpDownClick(udFilterDk, up); }
    void udFilterSvClick(bool up) { UpDownClick(udFilterSv, up); }
    void udFilterRvClick(bool up) { UpDownClick(udFilterRv, up); }
    void udAmpEnvAttackClick(bool up) { UpDownClick(udAmpEnvAttack, up); }
    void udAmpEnvPeakClick(bool up) { UpDownClick(udAmpEnvPeak, up); }
    void udAmpEnvDecayClick(bool up) { UpDownClick(udAmpEnvDecay, up); }
    void udAmpEnvSustainClick(bool up) { UpDownClick(udAmpEnvSustain, up); }
    void udAmpEnvReleaseClick(bool up) { UpDownClick(udAmpEnvRelease, up); }
    void udAmpModAvClick(bool up) { UpDownClick(udAmpModAv, up); }
    void udAmpModPvClick(bool up) { UpDownClick(udAmpModPv, up); }
    void udAmpModDkClick(bool up) { UpDownClick(udAmpModDk, up); }
    void udAmpModSvClick(bool up) { UpDownClick(udAmpModSv, up); }
    void udAmpModRvClick(bool up) { UpDownClick(udAmpModRv, up); }
    void bnEnvStoreClick();
    void bnEnvSetClick();
    void cbEnvPresetNamesClick(int index);
    void cbEnvPresetNamesExit();

    // The two section redisplays: points, boxes and up-downs from the dump,
    // then the graph.
    void FilterRedisplay();
    void AmplitudeRedisplay();

protected:
    void FormActivate() override;
    void DumpArrived(MirageProtocol::Arrival a) override;
    void ProgramRedisplay() override;
    // FormPaint: both graphs from the kept points.
    void paintEvent(QPaintEvent*) override;

private:
    enum class Group { Filter, FilterModulation, FilterEnvelope, AmpEnvelope, AmpModulation };
    struct PairRow;
    static const std::array<PairRow, PairCount>& pairRows();

    void build();
    void buildGraphTitles();
    void buildPairs(QGroupBox* filter, QGroupBox* amplitude);
    void addPair(std::size_t slot, QWidget* parent, int x, int y, const char* caption);
    void setPairTips();
    void buildPresets(int row);
    void reloadPresetNames();
    void afterStep(const TUpDown* upDown, bool up);
    int slotOf(const TUpDown* upDown) const;
    void showSection(std::span<const int> order, EnvelopeGraph& graph, int envelopeSlot);
    // Draws one graph at once.
    void drawGraph(const EnvelopeGraph& graph);
    void paintGraph(QPainter& p, const EnvelopeGraph& graph) const;

    int presetIndex_ = 0;
    bool recallRequested_ = false; // from the click until the recall has ended
    bool recalling_ = false;        // the recall's steps are running
    EnvelopeGraph filterGraph_;
    EnvelopeGraph ampGraph_;
    std::array<TUpDown*, PairCount> upDowns_{};
    std::array<TValueBox*, PairCount> boxes_{};
};

// "Lower - Envelope/Filter Settings".
class TEnvelopeForm : public TEnvFilterEditor {
    Q_OBJECT
public:
    explicit TEnvelopeForm(const WindowContext& context, QWidget* parent = nullptr)
        : TEnvFilterEditor(context, 0, parent)
    {
    }
};

// "Upper - Envelope/Filter Settings".
class TfmEnvFilterU : public TEnvFilterEditor {
    Q_OBJECT
public:
    explicit TfmEnvFilterU(const WindowContext& context, QWidget* parent = nullptr)
        : TEnvFilterEditor(context, 1, parent)
    {
    }
};

} // namespace corvane
