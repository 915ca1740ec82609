// One history of what the user changed, on the instrument and in the copy,
// and the differences found when a fresh dump replaces the copy.
//
// An edit is what one user action did (a click, a typed value's walk, a
// preset recall, a copy): the fields it changed, each with the context it
// lives in (the configuration, a program or a wavesample of a half) and its
// value before and after. Actions are bracketed by Begin/End; nested ones
// join the outermost, so a recall of many steps is one edit. What an action
// changed is read off the copy itself (before and after), so a loop reset
// that follows a start page step is part of the step.
//
// Undo and Redo bring the instrument back with parameter steps, through the
// one conversation: the wavesample or program the edit was made in is
// selected first, then each field is stepped to the value it had, and the
// copy follows each step as it does for a click. The selection is put back
// afterwards.
//
// Every fresh dump is compared with the copy it replaces. Where fields
// differ (Corvane's own edits are in the copy already, so the instrument was
// changed behind its back), they are kept as the drift: named for the status
// line and marked in the windows until the next edit. Nothing is sent
// because of a difference.
//
// Plain C++: the protocol object owns it; the windows reach it through the
// protocol object.
#pragma once

#include "Dumps.h"
#include "Parameters.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class MirageProtocol;

// One field of the copy, where it lives and its value before and after.
struct FieldChange {
    Area area = Area::Config;
    int half = 0;  // Program, Wavesample: 0 lower, 1 upper
    int index = 0; // program 0-3, wavesample 0-7
    int parameter = 0;
    int before = 0;
    int after = 0;

    bool sameField(const FieldChange& o) const
    {
        return area == o.area && parameter == o.parameter &&
               (area == Area::Config || (half == o.half && index == o.index));
    }
};

// "L1".."U8" for a wavesample, "Program L1".."Program U4" for a program,
// nothing for the configuration.
std::string contextText(Area area, int half, int index);
// "Fine Tune L1 2B → 2C": the name, the context and the values as shown.
std::string describeChange(const FieldChange& c);
// The first three described, then "…and N more".
std::string describeChanges(const std::vector<FieldChange>& changes);

// The fields of the parameter table that differ between two copies of a
// dump (the configuration dump, or the program dump of `half`, which holds
// both the programs and the wavesamples of the half).
std::vector<FieldChange> dumpDifferences(bool config, int half, const std::uint8_t* before,
                                         const std::uint8_t* after);

// A rotate of a wavesample's data on the instrument (front-panel functions
// 19 and 20): nothing of it is in the copy. It is taken back by rotating the
// same wavesample the other way by the same amount.
struct Rotation {
    int half = 0;
    int wavesample = 0; // 0-7
    bool left = false;
    int amount = 0; // 1-255 steps of Inc from 00
};

// "Rotate L1 Left 05 (Hex)"
std::string describeRotation(const Rotation& r);

struct Edit {
    std::string name; // as the menu shows it after "Undo " and "Redo "
    std::vector<FieldChange> changes;
    std::optional<Rotation> rotation;
};

// What shows a long undo or redo and lets the user stop it between two
// steps: made when the replay begins, with what it does and about how many
// steps it sends, and dropped when it ends.
class ReplayProgress {
public:
    virtual ~ReplayProgress() = default;
    virtual void Stepped() = 0;
    virtual bool Stopped() const = 0;
};
using ReplayWatch = std::function<std::unique_ptr<ReplayProgress>(const std::string& text, int steps)>;

class EditHistory {
public:
    explicit EditHistory(MirageProtocol& m);

    // The most edits kept; the oldest go first.
    static constexpr std::size_t MaxEdits = 500;
    // Rotates are kept in the history (a setting: the undo of a rotate
    // assumes the instrument counts the amount from 00 at each direction).
    bool RotationsUndoable = true;

    // An action begins: `name` names the edit (else it is named after the
    // change of `parameter`, else after its first change). Nested actions
    // join the outermost.
    void Begin(std::string name = {}, int parameter = 0);
    // The action ends: what it changed becomes one edit (nothing when it
    // changed nothing); the redo list and the drift marks go.
    void End();
    class Action {
    public:
        Action(EditHistory& h, std::string name = {}, int parameter = 0) : h_(h) { h_.Begin(std::move(name), parameter); }
        ~Action() { h_.End(); }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        EditHistory& h_;
    };
    bool Recording() const { return depth_ > 0; }

    bool CanUndo() const { return !undo_.empty() && !replaying_; }
    bool CanRedo() const { return !redo_.empty() && !replaying_; }
    // "Undo Fine Tune L1 2B → 2C"; "Undo" / "Redo" alone when there is none.
    std::string UndoText() const;
    std::string RedoText() const;
    const std::vector<Edit>& UndoList() const { return undo_; }
    const std::vector<Edit>& RedoList() const { return redo_; }

    // A rotate carried out on the instrument becomes one edit.
    void RecordRotation(const Rotation& r);
    // New sample data went into the instrument (a wavesample or sound sent,
    // a disk load): a rotate before it can no longer be taken back.
    void SampleDataReplaced();

    // Takes the last edit back (or makes the last undone one again) on the
    // instrument and in the copy, as one sequence of the conversation.
    // `watch`, when given, shows its progress; when the user stops it, the
    // edit stays where it was, part-way back (the copy still follows every
    // step sent), and the next Undo or Redo carries on from there.
    void Undo(const ReplayWatch& watch = {});
    void Redo(const ReplayWatch& watch = {});

    // A fresh dump is about to replace the copy (called by the receive
    // dispatcher before it copies the dump in).
    void DumpArriving(bool config, int half, const std::uint8_t* fresh);

    // A sound is being loaded into the instrument (a disk load, a reboot, a
    // program dump sent): the next dump of what it replaces is not compared
    // with the copy, and the edits and differences of what it replaces go
    // (an undo would step the new sound's fields to the old sound's values).
    // The news says how many edits left.
    void Forget(bool config, bool lower, bool upper);

    // The differences found since the last edit (or ClearDrift).
    const std::vector<FieldChange>& Drift() const { return drift_; }
    // "Changed on the Mirage: Master Tune 60 → 63", or "" without drift.
    std::string DriftText() const;
    // Every difference, one a line, for a tooltip or a box.
    std::string DriftList() const;
    bool Drifted(Area area, int half, int index, int parameter) const;
    void ClearDrift();

    // What the history last did, for the status line: "Undone: …",
    // "Redone: …", an undo that could not be done or was stopped, edits that
    // left with a replaced half. Empty again after the next edit.
    const std::string& News() const { return news_; }

    // Runs after the lists, the drift, the copy (through an undo or redo)
    // or the news changed. Returns an id for RemoveListener.
    enum class Change { Lists, Drift, Copy, News };
    int AddListener(std::function<void(Change)> fn);
    void RemoveListener(int id);

private:
    struct Copy {
        std::array<std::uint8_t, ConfigDumpSize> config{};
        std::array<std::uint8_t, ProgramBufferSize> lower{};
        std::array<std::uint8_t, ProgramBufferSize> upper{};
    };
    Copy takeCopy() const;
    static void merge(std::vector<FieldChange>& into, const std::vector<FieldChange>& more);
    void replay(bool undo, const ReplayWatch& watch);
    // Both return false when the user stopped them.
    bool stepTo(const std::vector<FieldChange>& changes, bool undo, ReplayProgress* progress);
    bool rotate(const Rotation& r, bool undo, ReplayProgress* progress);
    int nextValue(const FieldChange& c, int target) const;
    void sendStep(const FieldChange& c, bool up, int next);
    bool selectContext(const FieldChange& c);
    int stepsTo(const Edit& edit, bool undo) const;
    std::string outOfRange(const Edit& edit, bool undo) const;
    std::string notReached(const Edit& edit, bool undo) const;
    void say(std::string news);
    void pause(ReplayProgress* progress, int ms);
    void pushEdit(Edit edit);
    int get(const FieldChange& c) const;
    void set(const FieldChange& c, int parameter, int value);
    void notify(Change c);

    MirageProtocol& m_;
    int depth_ = 0;
    bool replaying_ = false;
    std::string name_;
    int parameter_ = 0;
    Copy before_;
    std::vector<FieldChange> pending_; // changes of the open action before a dump replaced the copy
    std::vector<Edit> undo_;
    std::vector<Edit> redo_;
    std::vector<FieldChange> drift_;
    std::vector<FieldChange> actionDrift_; // found while the open action ran
    std::string news_;
    std::array<bool, 3> seen_{}; // config, lower, upper: a dump has arrived since start
    std::vector<std::pair<int, std::function<void(Change)>>> listeners_;
    int nextListener_ = 1;
};

} // namespace corvane
