// The shared mechanism of the editor windows.
//
// An editor describes its fields once, as a table: where the field lives in
// a dump, the Mirage parameter number, the step on the stored value, how the
// stored value is shown, and the up-down's range. One FieldStepper binds the
// table to the window's controls and serves every up-down and switch box of
// the window:
//
//   step(control, up)   sends the parameter-step message, applies the same
//                       step to the stored dump, redisplays the field;
//   toggle(box, before) sends the switch message, stores 0 or 1;
//   showAll()           loads the controls from the dumps and sends nothing.
//
// Field positions are resolved through a DumpTarget each time they are
// used, so one table serves the configuration dump, a program of either half
// (the current program) and a wavesample of either half (the current
// wavesample) alike.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QLineEdit;

namespace corvane {

class MirageProtocol;
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
    void set(MirageProtocol& m, int offset, int value) const;
    // The single byte at the field's position (switch fields).
    int byte(const MirageProtocol& m, int offset) const;
};

// Stored value -> shown value: stored / divisor + addend (integer division).
struct Shown {
    int divisor = 1;
    int addend = 0;
    int operator()(int stored) const { return stored / divisor + addend; }
};

// One up-down field of an editor table.
struct StepField {
    int offset;    // position in the dump target
    int parameter; // Mirage parameter number
    int step;      // change of the stored value per click
    Shown shown;   // display transform
    int min;       // up-down range, in shown values
    int max;
};

// One switch field: judged by the single byte at its position (0 off, 1 on,
// anything else leaves the box as it is), written back as 0 or 1.
struct SwitchField {
    int offset;
    int parameter;
};

class FieldStepper {
public:
    using TargetFn = std::function<DumpTarget()>;
    // Runs after a field has been shown (for labels and graphs that follow
    // the value); gets the stored value.
    using AfterFn = std::function<void(int stored)>;

    // `protocol`: where the dumps and SendParameterStep live (the main
    // window); `target`: where the table's fields are now.
    FieldStepper(MirageProtocol& protocol, TargetFn target);
    explicit FieldStepper(MirageProtocol& protocol) : FieldStepper(protocol, [] { return DumpTarget::Config(); }) {}

    // Binds a field to its up-down (given the field's range) and value box
    // (either may be null). `text` overrides the box's text for a stored value.
    void add(const StepField& f, TUpDown* upDown, QLineEdit* box, AfterFn after = {},
             std::function<QString(int stored)> text = {});
    void addSwitch(const SwitchField& f, TSwitchBox* box, std::function<void()> after = {});

    // The step routine: one click of `upDown`.
    void step(const TUpDown* upDown, bool up);
    // One user toggle of `box`; `before` is its state before the toggle.
    void toggle(const TSwitchBox* box, bool before);

    // Shows one field from the dump; with `setPosition` the up-down follows.
    void show(const TUpDown* upDown, bool setPosition = true);
    void showSwitch(const TSwitchBox* box);
    // Loads every bound control from the dump. Sends nothing.
    void showAll();

    int stored(const TUpDown* upDown) const;
    DumpTarget target() const { return target_(); }

private:
    struct StepBinding {
        StepField field;
        TUpDown* upDown;
        QLineEdit* box;
        AfterFn after;
        std::function<QString(int)> text;
    };
    struct SwitchBinding {
        SwitchField field;
        TSwitchBox* box;
        std::function<void()> after;
    };
    const StepBinding* find(const TUpDown* upDown) const;
    const SwitchBinding* find(const TSwitchBox* box) const;
    void display(const StepBinding& b, bool setPosition) const;

    MirageProtocol& m_;
    TargetFn target_;
    std::vector<StepBinding> steps_;
    std::vector<SwitchBinding> switches_;
};

} // namespace corvane
