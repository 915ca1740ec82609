// The shared mechanism of the editor windows.
//
// An editor describes its fields once, as a table: where the field lives in
// a dump, the Mirage parameter number, the step on the stored value, how the
// stored value is shown, and the range. The fields come from the parameter
// table the emulator steps by (StepField::of), so an editor and the
// instrument agree on every step and range. One FieldStepper binds the table
// to the window's controls and serves every up-down and switch box of the
// window:
//
//   step(control, up)   checks the step against the stored value's range,
//                       sends the parameter-step message, applies the same
//                       step to the stored dump, redisplays;
//   stepTo(control, v)  steps a field towards a stored value, each step as
//                       one click (preset recall);
//   typeIn(control, t)  a value typed into the focused box, walked there
//                       as stepTo does, with progress and Escape;
//   toggle(box, before) sends the switch message, stores 0 or 1;
//   showAll()           loads the controls from the dumps and sends nothing;
//   showSwitch(box, asClick)  a switch from the dump; where a window counts
//                       a changed tick as a click, it also sends.
//
// Field positions are resolved through a DumpTarget each time they are
// used, so one table serves the configuration dump, a program of either half
// (the current program) and a wavesample of either half (the current
// wavesample) alike; a field may also have a target of its own (one row of
// sixteen wavesamples). Controls may belong to a row of such a table, of
// which only the current row is enabled (enableRow).
//
// Every step, walk and toggle is an action of the edit history (one edit
// each; a caller's own action around them, a recall, joins them into one),
// and the boxes of fields found changed on the instrument are marked.
#pragma once

#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QLineEdit;

namespace corvane {

class MirageProtocol;
struct FieldChange;
class TSwitchBox;
class TUpDown;

// Which dump, and which block in it, a table addresses.
struct DumpTarget {
    enum class Kind { Config, Program, Wavesample };
    Kind kind = Kind::Config;
    int half = 0;  // Program, Wavesample: 0 lower, 1 upper
    int index = 0; // Program: 0-3; Wavesample: 0-7

    static DumpTarget Config() { return {}; }
    static DumpTarget Program(int half, int program) { return {Kind::Program, half, program}; }
    static DumpTarget Wavesample(int half, int wavesample) { return {Kind::Wavesample, half, wavesample}; }

    // Dump position of a field: Config takes the offset as the position,
    // Program adds 966 + 72 * program, Wavesample 22 + 48 * wavesample.
    int position(int offset) const;
    int get(const MirageProtocol& m, int offset) const;
    bool set(MirageProtocol& m, int offset, int value) const;
    // The single byte at the field's position (switch fields).
    int byte(const MirageProtocol& m, int offset) const;
    // Its dump has arrived since the ports were opened.
    bool known(const MirageProtocol& m) const;
};

// Stored value -> shown value: stored / divisor + addend (integer division).
struct Shown {
    int divisor = 1;
    int addend = 0;
    int operator()(int stored) const { return stored / divisor + addend; }
};

// Two upper-case hex digits: the text of fields shown in hex.
QString hexText(int stored);

// One up-down field of an editor table.
struct StepField {
    int offset;    // position in the dump target
    int parameter; // Mirage parameter number
    int step;      // change of the stored value per click
    Shown shown;   // display transform
    int min;       // range, in shown values
    int max;

    // The field of a parameter as the instrument steps it.
    static StepField of(int parameter);
};

// One switch field: judged by the single byte at its position (0 off, 1 on,
// anything else leaves the box as it is), written back as 0 or 1. Some
// windows judge the whole nibble-pair value instead.
struct SwitchField {
    int offset;
    int parameter;
    bool wholeValue = false;

    static SwitchField of(int parameter);
};

class FieldStepper {
public:
    using TargetFn = std::function<DumpTarget()>;
    // Runs after a field has been shown (for labels and graphs that follow
    // the value); gets the stored value.
    using AfterFn = std::function<void(int stored)>;
    using TextFn = std::function<QString(int stored)>;
    // The range (shown values) a field may now take, when it depends on
    // other fields (page pointers bounded by their neighbours).
    using LimitsFn = std::function<std::pair<int, int>()>;

    // Everything a binding may add to its field.
    struct Options {
        AfterFn after;     // after the field is shown
        TextFn text;       // the box's text for a stored value
        TargetFn target;   // a target of the field's own, else the stepper's
        LimitsFn limits;   // a range that depends on other fields
        int group = -1;    // after a step, every field of the group is shown
        // The step message types the parameter's digits without the
        // parameter key first (both forms step the same parameter).
        bool typedDigits = false;
        // Runs before a step that will be sent, inside the conversation
        // (a selection the instrument must have before the step reaches it).
        std::function<void()> before;
        int row = -1;      // the table row the control belongs to (enableRow)
    };

    // Everything a binding may add to its switch.
    struct SwitchOptions {
        std::function<void()> after; // after a toggle was sent and stored
        TargetFn target;             // a target of the switch's own
        int row = -1;                // the table row the box belongs to
        // Read from the whole nibble pair, 0 off and anything else on,
        // rather than from the single byte (0 off, 1 on, else unchanged).
        bool nonZeroOn = false;
    };

    // `protocol`: where the dumps and SendParameterStep live; `target`:
    // where the table's fields are now.
    FieldStepper(MirageProtocol& protocol, TargetFn target);
    explicit FieldStepper(MirageProtocol& protocol) : FieldStepper(protocol, [] { return DumpTarget::Config(); }) {}
    ~FieldStepper();
    FieldStepper(const FieldStepper&) = delete;
    FieldStepper& operator=(const FieldStepper&) = delete;

    // Marks the value boxes whose fields were found changed on the
    // instrument (and unmarks the rest); the window's strip names them.
    // Runs by itself whenever the differences change.
    void showMarks();
    // One of the fields this stepper shows is the field `c` changes (in
    // the program or wavesample shown now).
    bool shows(const FieldChange& c) const;

    // Binds a field to its up-down (given the field's range) and value box
    // (either may be null).
    void add(const StepField& f, TUpDown* upDown, QLineEdit* box, Options options);
    void add(const StepField& f, TUpDown* upDown, QLineEdit* box, AfterFn after = {}, TextFn text = {});
    void addSwitch(const SwitchField& f, TSwitchBox* box, std::function<void()> after = {});
    void addSwitch(const SwitchField& f, TSwitchBox* box, SwitchOptions options);

    // Enables the up-downs and switch boxes of `row` and disables those of
    // every other row; -1 (or a row no control has) leaves every row
    // disabled. Controls outside the rows are left alone.
    void enableRow(int row);

    // Runs after every step that was sent, inside the same conversation
    // (a window's wait after a step, a graph), for clicks and for each step
    // of stepTo alike.
    void setAfterStep(std::function<void(const TUpDown*, bool up)> fn) { afterStep_ = std::move(fn); }

    // The step routine: one click of `upDown`. The step is judged on the
    // stored value, as the instrument judges it: at an end of the range
    // nothing is sent or stored and the up-down goes back to the stored
    // value. Returns whether the step was sent.
    bool step(const TUpDown* upDown, bool up);
    // Steps `upDown`'s field towards `stored`: (stored - now) / step steps,
    // rounded toward zero, each one click (sent, stored, shown, the
    // after-step hook), each followed by a wait of `waitMs`. Stops at a
    // refused step or when `stop` says so. Returns the number of steps sent.
    // With `stop` the run is one the user may stop: its waits let input
    // through. `stepped` runs after each step sent.
    int stepTo(const TUpDown* upDown, int stored, int waitMs, const std::function<bool()>& stop = {},
               const std::function<void()>& stepped = {});
    // How many steps stepTo would send.
    int stepsTo(const TUpDown* upDown, int stored) const;
    // A value typed into the focused box of `upDown` (as the box shows
    // values: decimal, or hex where the box shows hex): the field is walked
    // there with the window's own step messages, with progress and Escape
    // when it takes more than a second. A value out of range, or one the
    // steps cannot reach, beeps and sends nothing. Returns whether it was
    // taken.
    bool typeIn(const TUpDown* upDown, const QString& typed);
    // The stored value a typed text stands for, or -1.
    int storedFor(const TUpDown* upDown, const QString& typed) const;
    // One user toggle of `box`; `before` is its state before the toggle.
    void toggle(const TSwitchBox* box, bool before);

    // Shows one field from the dump; with `setPosition` the up-down follows.
    void show(const TUpDown* upDown, bool setPosition = true);
    // Sets a switch box from the dump. With `asClick`, a tick that changes
    // counts as the user's toggle: the value is stored again and the switch
    // message sent. Returns whether the tick changed.
    bool showSwitch(const TSwitchBox* box, bool asClick = false);
    // Loads every bound control from the dump. Sends nothing.
    void showAll();
    // Re-applies every field's range (after a change of the fields its
    // limits depend on).
    void applyLimits();

    int stored(const TUpDown* upDown) const;
    DumpTarget target() const { return target_(); }
    DumpTarget target(const TUpDown* upDown) const;

private:
    struct StepBinding {
        StepField field;
        TUpDown* upDown;
        QLineEdit* box;
        Options options;
    };
    struct SwitchBinding {
        SwitchField field;
        TSwitchBox* box;
        SwitchOptions options;
    };
    const StepBinding* find(const TUpDown* upDown) const;
    const SwitchBinding* find(const TSwitchBox* box) const;
    DumpTarget targetOf(const StepBinding& b) const;
    DumpTarget targetOf(const SwitchBinding& b) const;
    std::pair<int, int> rangeOf(const StepBinding& b) const;
    // The stored value one step leads to, or -1 when the step is refused.
    int next(const StepBinding& b, int stored, bool up) const;
    bool stepOnce(const StepBinding& b, bool up);
    void display(const StepBinding& b, bool setPosition) const;
    void displayAfterStep(const StepBinding& b);

    MirageProtocol& m_;
    TargetFn target_;
    std::vector<StepBinding> steps_;
    std::vector<SwitchBinding> switches_;
    std::function<void(const TUpDown*, bool)> afterStep_;
    int historyListener_ = 0;
};

} // namespace corvane
