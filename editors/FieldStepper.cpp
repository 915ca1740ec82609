#include "FieldStepper.h"

#include "MirageProtocol.h"
#include "SwitchBox.h"
#include "UpDown.h"

#include <QLineEdit>

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

void DumpTarget::set(MirageProtocol& m, int offset, int value) const
{
    const int pos = position(offset);
    if (kind == Kind::Config)
        m.SetConfigParam(pos, value);
    else
        m.SetParam(half, pos, value);
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

FieldStepper::FieldStepper(MirageProtocol& protocol, TargetFn target) : m_(protocol), target_(std::move(target)) {}

void FieldStepper::add(const StepField& f, TUpDown* upDown, QLineEdit* box, AfterFn after,
                       std::function<QString(int)> text)
{
    if (upDown)
        upDown->setRange(f.min, f.max);
    steps_.push_back({f, upDown, box, std::move(after), std::move(text)});
}

void FieldStepper::addSwitch(const SwitchField& f, TSwitchBox* box, std::function<void()> after)
{
    switches_.push_back({f, box, std::move(after)});
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

void FieldStepper::step(const TUpDown* upDown, bool up)
{
    const StepBinding* b = find(upDown);
    if (!b)
        return;
    const DumpTarget t = target_();
    // The new value comes from the stored field, not from the up-down.
    const int v = t.get(m_, b->field.offset);
    m_.SendParameterStep(b->field.parameter, up);
    t.set(m_, b->field.offset, up ? v + b->field.step : v - b->field.step);
    display(*b, false);
}

void FieldStepper::toggle(const TSwitchBox* box, bool before)
{
    const SwitchBinding* b = find(box);
    if (!b)
        return;
    m_.SendParameterStep(b->field.parameter, !before);
    target_().set(m_, b->field.offset, before ? 0 : 1);
    if (b->after)
        b->after();
}

void FieldStepper::display(const StepBinding& b, bool setPosition) const
{
    const int v = target_().get(m_, b.field.offset);
    if (b.box)
        b.box->setText(b.text ? b.text(v) : QString::number(b.field.shown(v)));
    if (setPosition && b.upDown)
        b.upDown->setPosition(b.field.shown(v));
    if (b.after)
        b.after(v);
}

void FieldStepper::show(const TUpDown* upDown, bool setPosition)
{
    if (const StepBinding* b = find(upDown))
        display(*b, setPosition);
}

void FieldStepper::showSwitch(const TSwitchBox* box)
{
    const SwitchBinding* b = find(box);
    if (!b)
        return;
    const int v = target_().byte(m_, b->field.offset);
    if (v == 0)
        b->box->setChecked(false);
    else if (v == 1)
        b->box->setChecked(true);
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
    return b ? target_().get(m_, b->field.offset) : 0;
}

} // namespace corvane
