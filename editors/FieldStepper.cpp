#include "FieldStepper.h"

#include "HexText.h"
#include "MirageProtocol.h"
#include "Parameters.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "ValueBox.h"
#include "WalkPanel.h"

#include <QLineEdit>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace corvane {

int DumpTarget::position(int offset) const
{
    switch (kind) {
    case Kind::Config: return offset;
    case Kind::Program: return programFieldPos(index, offset);
    case Kind::Wavesample: return wavesampleFieldPos(index, offset);
    }
    return offset;
}

int DumpTarget::get(const MirageProtocol& m, int offset) const
{
    const int pos = position(offset);
    return kind == Kind::Config ? m.GetConfigParam(pos) : m.GetParam(half, pos);
}

bool DumpTarget::set(MirageProtocol& m, int offset, int value) const
{
    const int pos = position(offset);
    return kind == Kind::Config ? m.SetConfigParam(pos, value) : m.SetParam(half, pos, value);
}

int DumpTarget::byte(const MirageProtocol& m, int offset) const
{
    const int pos = position(offset);
    if (pos < 0)
        return -1;
    const auto p = static_cast<std::size_t>(pos);
    if (kind == Kind::Config)
        return p < ConfigDumpSize ? m.ConfigDump[p] : -1;
    const std::uint8_t* dump = half == 0 ? m.LowerProgramDump : m.UpperProgramDump;
    return p < ProgramBufferSize ? dump[p] : -1;
}

bool DumpTarget::known(const MirageProtocol& m) const
{
    return m.Received(kind == Kind::Config ? MirageProtocol::Arrival::Config : MirageProtocol::ProgramArrival(half));
}

QString hexText(int stored) { return QString::fromStdString(hexNumber(stored)); }

StepField StepField::of(int parameter)
{
    const ParameterInfo* p = findParameter(parameter);
    if (!p)
        return {0, parameter, 0, {}, 0, 0}; // a field that never steps
    return {p->position, p->number, p->step, {p->divisor, p->addend}, p->shownMin, p->shownMax};
}

SwitchField SwitchField::of(int parameter)
{
    const ParameterInfo* p = findParameter(parameter);
    return {p ? p->position : 0, parameter};
}

FieldStepper::FieldStepper(MirageProtocol& protocol, TargetFn target) : m_(protocol), target_(std::move(target))
{
    historyListener_ = m_.History().AddListener([this](EditHistory::Change c) {
        if (c == EditHistory::Change::Drift)
            showMarks();
    });
}

FieldStepper::~FieldStepper() { m_.History().RemoveListener(historyListener_); }

namespace {
Area areaOf(const DumpTarget& t)
{
    return t.kind == DumpTarget::Kind::Config    ? Area::Config
           : t.kind == DumpTarget::Kind::Program ? Area::Program
                                                 : Area::Wavesample;
}
} // namespace

bool FieldStepper::shows(const FieldChange& c) const
{
    auto same = [&c](const DumpTarget& t, int parameter) {
        return parameter == c.parameter && areaOf(t) == c.area &&
               (c.area == Area::Config || (t.half == c.half && t.index == c.index));
    };
    for (const auto& b : steps_)
        if (same(targetOf(b), b.field.parameter))
            return true;
    for (const auto& b : switches_)
        if (same(targetOf(b), b.field.parameter))
            return true;
    return false;
}

void FieldStepper::showMarks()
{
    const EditHistory& h = m_.History();
    QWidget* window = nullptr;
    QStringList marked;
    for (const auto& b : steps_) {
        auto* box = qobject_cast<TValueBox*>(b.box);
        if (!box)
            continue;
        window = box->window();
        const DumpTarget t = targetOf(b);
        const bool on = h.Drifted(areaOf(t), t.half, t.index, b.field.parameter);
        box->setMarked(on);
        if (on)
            marked << box->objectName();
    }
    for (const auto& b : switches_) {
        if (!b.box)
            continue;
        window = b.box->window();
        const DumpTarget t = targetOf(b);
        const bool on = h.Drifted(areaOf(t), t.half, t.index, b.field.parameter);
        b.box->setMarked(on);
        if (on)
            marked << b.box->objectName();
    }
    if (!window)
        return;
    if (!marked.isEmpty())
        TDriftStrip::of(window)->showDrift(QString::fromStdString(h.DriftText()), QString::fromStdString(h.DriftList()));
    else if (auto* strip = window->findChild<TDriftStrip*>("lbDrift", Qt::FindDirectChildrenOnly))
        strip->showDrift({}, {});
}

void FieldStepper::add(const StepField& f, TUpDown* upDown, QLineEdit* box, Options options)
{
    steps_.push_back({f, upDown, box, std::move(options)});
    if (upDown) {
        const auto [min, max] = rangeOf(steps_.back());
        upDown->setRange(min, max);
        upDown->OnTyped = [this, upDown](const QString& text) { return typeIn(upDown, text); };
    }
}

void FieldStepper::add(const StepField& f, TUpDown* upDown, QLineEdit* box, AfterFn after, TextFn text)
{
    Options o;
    o.after = std::move(after);
    o.text = std::move(text);
    add(f, upDown, box, std::move(o));
}

void FieldStepper::addSwitch(const SwitchField& f, TSwitchBox* box, std::function<void()> after)
{
    SwitchOptions o;
    o.after = std::move(after);
    addSwitch(f, box, std::move(o));
}

void FieldStepper::addSwitch(const SwitchField& f, TSwitchBox* box, SwitchOptions options)
{
    switches_.push_back({f, box, std::move(options)});
}

void FieldStepper::enableRow(int row)
{
    for (const auto& b : steps_)
        if (b.options.row >= 0 && b.upDown)
            b.upDown->setEnabled(b.options.row == row);
    for (const auto& b : switches_)
        if (b.options.row >= 0 && b.box)
            b.box->setEnabled(b.options.row == row);
}

const FieldStepper::StepBinding* FieldStepper::find(const TUpDown* upDown) const
{
    for (const auto& b : steps_)
        if (b.upDown == upDown)
            return &b;
    return nullptr;
}

const FieldStepper::SwitchBinding* FieldStepper::find(const TSwitchBox* box) const
{
    for (const auto& b : switches_)
        if (b.box == box)
            return &b;
    return nullptr;
}

DumpTarget FieldStepper::targetOf(const StepBinding& b) const
{
    return b.options.target ? b.options.target() : target_();
}

DumpTarget FieldStepper::targetOf(const SwitchBinding& b) const
{
    return b.options.target ? b.options.target() : target_();
}

DumpTarget FieldStepper::target(const TUpDown* upDown) const
{
    const StepBinding* b = find(upDown);
    return b ? targetOf(*b) : target_();
}

std::pair<int, int> FieldStepper::rangeOf(const StepBinding& b) const
{
    if (!b.options.limits)
        return {b.field.min, b.field.max};
    // A neighbour's limit never widens the field's own range.
    const auto [lo, hi] = b.options.limits();
    return {std::max(lo, b.field.min), std::min(hi, b.field.max)};
}

int FieldStepper::next(const StepBinding& b, int stored, bool up) const
{
    const auto [min, max] = rangeOf(b);
    const int shown = b.field.shown(stored);
    const int n = up ? stored + b.field.step : stored - b.field.step;
    const bool inRange = up ? shown < max : shown > min;
    return inRange && n >= 0 && n <= 255 ? n : -1;
}

bool FieldStepper::stepOnce(const StepBinding& b, bool up)
{
    const DumpTarget t = targetOf(b);
    const int v = t.get(m_, b.field.offset);
    const int n = next(b, v, up);
    if (n < 0) {
        // Refused as the instrument would refuse it: the up-down goes back
        // to what is stored.
        display(b, true);
        return false;
    }
    if (b.options.before)
        b.options.before();
    if (b.options.typedDigits)
        m_.SendSysEx(typedStepMessage(b.field.parameter, up));
    else
        m_.SendParameterStep(b.field.parameter, up);
    t.set(m_, b.field.offset, n);
    displayAfterStep(b);
    return true;
}

bool FieldStepper::step(const TUpDown* upDown, bool up)
{
    const StepBinding* b = find(upDown);
    if (!b)
        return false;
    auto sent = std::make_shared<bool>(false);
    m_.Converse([this, b, upDown, up, sent] {
        EditHistory::Action edit(m_.History(), {}, b->field.parameter);
        *sent = stepOnce(*b, up);
        if (*sent && afterStep_)
            afterStep_(upDown, up);
    });
    return *sent;
}

int FieldStepper::stepsTo(const TUpDown* upDown, int stored) const
{
    const StepBinding* b = find(upDown);
    if (!b || b->field.step <= 0)
        return 0;
    return std::abs((stored - targetOf(*b).get(m_, b->field.offset)) / b->field.step); // toward zero
}

int FieldStepper::stepTo(const TUpDown* upDown, int stored, int waitMs, const std::function<bool()>& stop,
                         const std::function<void()>& stepped)
{
    const StepBinding* b = find(upDown);
    if (!b)
        return 0;
    auto count = std::make_shared<int>(0);
    m_.Converse([this, b, stored, waitMs, stop, stepped, count] {
        EditHistory::Action edit(m_.History(), {}, b->field.parameter);
        const int now = targetOf(*b).get(m_, b->field.offset);
        const int steps = b->field.step > 0 ? (stored - now) / b->field.step : 0; // toward zero
        for (int i = 0; i < std::abs(steps); ++i) {
            if (stop && stop())
                return;
            if (!stepOnce(*b, steps > 0))
                return;
            ++*count;
            if (afterStep_)
                afterStep_(b->upDown, steps > 0);
            if (stepped)
                stepped();
            // A run the user may stop lets the keys and Cancel through.
            if (stop)
                m_.WaitAcceptingInput(waitMs);
            else
                m_.Wait(waitMs);
        }
    });
    return *count;
}

int FieldStepper::storedFor(const TUpDown* upDown, const QString& typed) const
{
    const StepBinding* b = find(upDown);
    if (!b || b->field.step <= 0)
        return -1;
    auto plain = [](QString t) {
        t = t.trimmed().toUpper();
        while (t.size() > 1 && t.startsWith('0'))
            t.remove(0, 1);
        return t;
    };
    const QString wanted = plain(typed);
    const auto [min, max] = rangeOf(*b);
    const int now = targetOf(*b).get(m_, b->field.offset);
    // Only values the steps reach from the stored one: a shown value that
    // several stored ones give is the one on the way.
    for (int v = now % b->field.step; v <= 255; v += b->field.step) {
        const int shown = b->field.shown(v);
        const QString text = b->options.text ? b->options.text(v) : QString::number(shown);
        if (shown >= min && shown <= max && plain(text) == wanted)
            return v;
    }
    return -1;
}

bool FieldStepper::typeIn(const TUpDown* upDown, const QString& typed)
{
    const StepBinding* b = find(upDown);
    const int stored = storedFor(upDown, typed);
    if (!b || stored < 0) {
        m_.seamsRef().beep();
        if (b)
            display(*b, true);
        return false;
    }
    QWidget* window = b->upDown->window();
    m_.Converse([this, b, stored, window] {
        EditHistory::Action edit(m_.History(), {}, b->field.parameter);
        const QString shown = b->options.text ? b->options.text(stored) : QString::number(b->field.shown(stored));
        Walk walk(window, m_, QString("%1 to %2").arg(parameterName(b->field.parameter), shown),
                  stepsTo(b->upDown, stored));
        stepTo(b->upDown, stored, m_.StepWaitMs, [&walk] { return walk.Stopped(); }, [&walk] { walk.Stepped(); });
        display(*b, true);
    });
    return true;
}

void FieldStepper::toggle(const TSwitchBox* box, bool before)
{
    const SwitchBinding* b = find(box);
    if (!b)
        return;
    m_.Converse([this, b, before] {
        EditHistory::Action edit(m_.History(), {}, b->field.parameter);
        m_.SendParameterStep(b->field.parameter, !before);
        targetOf(*b).set(m_, b->field.offset, before ? 0 : 1);
        if (b->options.after)
            b->options.after();
    });
}

void FieldStepper::display(const StepBinding& b, bool setPosition) const
{
    const int v = targetOf(b).get(m_, b.field.offset);
    if (setPosition && b.upDown) {
        const auto [min, max] = rangeOf(b);
        b.upDown->setRange(min, max);
        b.upDown->setPosition(b.field.shown(v));
    }
    if (auto* box = qobject_cast<TValueBox*>(b.box)) {
        const DumpTarget t = targetOf(b);
        box->setMarked(m_.History().Drifted(areaOf(t), t.half, t.index, b.field.parameter));
    }
    if (b.box) {
        // Unchanged text is not set again: a redisplay after each step of a
        // long recall then repaints only the boxes that moved. A value no
        // dump has brought is not known: "XX", never the zero of an empty
        // buffer.
        const QString text = !targetOf(b).known(m_) ? QStringLiteral("XX")
                             : b.options.text      ? b.options.text(v)
                                                   : QString::number(b.field.shown(v));
        if (b.box->text() != text)
            b.box->setText(text);
    }
    if (b.options.after)
        b.options.after(v);
}

void FieldStepper::displayAfterStep(const StepBinding& b)
{
    bool limited = false;
    for (const auto& other : steps_)
        limited = limited || static_cast<bool>(other.options.limits);
    if (b.options.group < 0) {
        display(b, true);
    } else {
        for (const auto& other : steps_)
            if (other.options.group == b.options.group)
                display(other, true);
    }
    if (limited)
        applyLimits();
}

void FieldStepper::applyLimits()
{
    for (const auto& b : steps_)
        if (b.options.limits && b.upDown) {
            const auto [min, max] = rangeOf(b);
            b.upDown->setRange(min, max);
            b.upDown->setPosition(b.field.shown(targetOf(b).get(m_, b.field.offset)));
        }
}

void FieldStepper::show(const TUpDown* upDown, bool setPosition)
{
    if (const StepBinding* b = find(upDown))
        display(*b, setPosition);
}

bool FieldStepper::showSwitch(const TSwitchBox* box, bool asClick)
{
    const SwitchBinding* b = find(box);
    if (!b)
        return false;
    const DumpTarget t = targetOf(*b);
    b->box->setMarked(m_.History().Drifted(areaOf(t), t.half, t.index, b->field.parameter));
    // nonZeroOn: the whole value, 0 off and anything else on. wholeValue:
    // the whole value, 0 off, 1 on, anything else leaves the box. Else the
    // single byte at the position, judged the same way.
    int v = b->field.wholeValue || b->options.nonZeroOn ? t.get(m_, b->field.offset) : t.byte(m_, b->field.offset);
    if (b->options.nonZeroOn)
        v = v != 0 ? 1 : 0;
    if (v != 0 && v != 1)
        return false;
    const bool before = b->box->isChecked();
    if (before == (v == 1))
        return false;
    b->box->setChecked(v == 1);
    if (asClick)
        toggle(box, before);
    return true;
}

void FieldStepper::showAll()
{
    for (const auto& b : steps_)
        display(b, true);
    for (const auto& b : switches_)
        showSwitch(b.box);
}

int FieldStepper::stored(const TUpDown* upDown) const
{
    const StepBinding* b = find(upDown);
    return b ? targetOf(*b).get(m_, b->field.offset) : 0;
}

} // namespace corvane
