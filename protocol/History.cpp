#include "History.h"
#include "Listeners.h"

#include "MirageProtocol.h"

#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace corvane {

namespace {

const char* const Arrow = " \xE2\x86\x92 ";      // →
const char* const Ellipsis = "\xE2\x80\xA6";     // …
constexpr std::size_t NamedChanges = 3;
// Enough steps for every field of a context to cross its whole range.
constexpr int MaxReplaySteps = 8192;
// How often the windows show the values of a long undo or redo as it runs.
constexpr long long RedisplayEveryMs = 150;

MirageProtocol::Arrival arrivalOf(const FieldChange& c)
{
    return c.area == Area::Config ? MirageProtocol::Arrival::Config : MirageProtocol::ProgramArrival(c.half);
}

int fieldPosition(Area area, int index, int offset)
{
    switch (area) {
    case Area::Config: return offset;
    case Area::Program: return programFieldPos(index, offset);
    case Area::Wavesample: return wavesampleFieldPos(index, offset);
    }
    return offset;
}

bool sameContext(const FieldChange& a, const FieldChange& b)
{
    return a.area == b.area && (a.area == Area::Config || (a.half == b.half && a.index == b.index));
}

} // namespace

std::string contextText(Area area, int half, int index)
{
    const std::string h = half == 0 ? "L" : "U";
    switch (area) {
    case Area::Config: return {};
    case Area::Program: return "Program " + h + std::to_string(index + 1);
    case Area::Wavesample: return h + std::to_string(index + 1);
    }
    return {};
}

std::string describeChange(const FieldChange& c)
{
    const ParameterInfo* p = findParameter(c.parameter);
    if (!p)
        return {};
    std::string text = parameterName(c.parameter);
    const std::string context = contextText(c.area, c.half, c.index);
    if (!context.empty())
        text += " " + context;
    return text + " " + shownText(*p, c.before) + Arrow + shownText(*p, c.after);
}

std::string describeChanges(const std::vector<FieldChange>& changes)
{
    std::string text;
    for (std::size_t i = 0; i < changes.size() && i < NamedChanges; ++i)
        text += (i ? ", " : "") + describeChange(changes[i]);
    if (changes.size() > NamedChanges)
        text += std::string(" ") + Ellipsis + "and " + std::to_string(changes.size() - NamedChanges) + " more";
    return text;
}

std::string describeRotation(const Rotation& r)
{
    return "Rotate " + contextText(Area::Wavesample, r.half, r.wavesample) + (r.left ? " Left " : " Right ") +
           hexByte(static_cast<std::uint8_t>(r.amount)) + " (Hex)";
}

std::vector<FieldChange> dumpDifferences(bool config, int half, const std::uint8_t* before,
                                         const std::uint8_t* after)
{
    std::vector<FieldChange> out;
    const std::size_t size = config ? ConfigDumpSize : ProgramDumpSize;
    for (const ParameterInfo& p : parameterTable()) {
        if ((p.area == Area::Config) != config)
            continue;
        const int count = p.area == Area::Config ? 1 : p.area == Area::Program ? 4 : 8;
        for (int index = 0; index < count; ++index) {
            const int pos = fieldPosition(p.area, index, p.position);
            const int a = getNibblePair(before, size, pos);
            const int b = getNibblePair(after, size, pos);
            if (a != b)
                out.push_back({p.area, config ? 0 : half, config ? 0 : index, p.number, a, b});
        }
    }
    return out;
}

EditHistory::EditHistory(MirageProtocol& m) : m_(m) {}

EditHistory::Copy EditHistory::takeCopy() const
{
    Copy c;
    std::memcpy(c.config.data(), m_.ConfigDump, ConfigDumpSize);
    std::memcpy(c.lower.data(), m_.LowerProgramDump, ProgramBufferSize);
    std::memcpy(c.upper.data(), m_.UpperProgramDump, ProgramBufferSize);
    return c;
}

void EditHistory::merge(std::vector<FieldChange>& into, const std::vector<FieldChange>& more)
{
    for (const FieldChange& c : more) {
        auto it = std::find_if(into.begin(), into.end(), [&](const FieldChange& o) { return o.sameField(c); });
        if (it == into.end())
            into.push_back(c);
        else
            it->after = c.after;
    }
    std::erase_if(into, [](const FieldChange& c) { return c.before == c.after; });
}

void EditHistory::Begin(std::string name, int parameter)
{
    if (depth_++ > 0)
        return;
    name_ = std::move(name);
    parameter_ = parameter;
    before_ = takeCopy();
    pending_.clear();
    actionDrift_.clear();
}

void EditHistory::End()
{
    if (depth_ == 0 || --depth_ > 0)
        return;
    const Copy now = takeCopy();
    std::vector<FieldChange> changes = std::move(pending_);
    pending_.clear();
    merge(changes, dumpDifferences(true, 0, before_.config.data(), now.config.data()));
    merge(changes, dumpDifferences(false, 0, before_.lower.data(), now.lower.data()));
    merge(changes, dumpDifferences(false, 1, before_.upper.data(), now.upper.data()));
    if (changes.empty())
        return;
    std::string name = name_;
    if (name.empty()) {
        auto primary = std::find_if(changes.begin(), changes.end(),
                                    [this](const FieldChange& c) { return c.parameter == parameter_; });
        name = describeChange(primary != changes.end() ? *primary : changes.front());
    }
    pushEdit({std::move(name), std::move(changes), std::nullopt});
}

void EditHistory::pushEdit(Edit edit)
{
    undo_.push_back(std::move(edit));
    if (undo_.size() > MaxEdits)
        undo_.erase(undo_.begin());
    redo_.clear();
    // The marks of differences found before this edit go; those the action
    // itself found (a fetch before its first step) stay.
    const bool driftChanged = !drift_.empty() || !actionDrift_.empty();
    drift_ = std::move(actionDrift_);
    actionDrift_.clear();
    notify(Change::Lists);
    if (driftChanged)
        notify(Change::Drift);
    say({});
}

void EditHistory::say(std::string news)
{
    if (news.empty() && news_.empty())
        return;
    news_ = std::move(news);
    notify(Change::News);
}

void EditHistory::RecordRotation(const Rotation& r)
{
    if (!RotationsUndoable || r.amount <= 0 || replaying_)
        return;
    actionDrift_.clear();
    pushEdit({describeRotation(r), {}, r});
}

void EditHistory::SampleDataReplaced()
{
    const auto rotation = [](const Edit& e) { return e.rotation.has_value(); };
    const std::size_t removed = std::erase_if(undo_, rotation) + std::erase_if(redo_, rotation);
    if (removed > 0)
        notify(Change::Lists);
}

std::string EditHistory::UndoText() const
{
    return undo_.empty() ? "Undo" : "Undo " + undo_.back().name;
}

std::string EditHistory::RedoText() const
{
    return redo_.empty() ? "Redo" : "Redo " + redo_.back().name;
}

void EditHistory::Undo(const ReplayWatch& watch) { replay(true, watch); }
void EditHistory::Redo(const ReplayWatch& watch) { replay(false, watch); }

void EditHistory::replay(bool undo, const ReplayWatch& watch)
{
    std::vector<Edit>& from = undo ? undo_ : redo_;
    if (from.empty() || replaying_ || depth_ > 0)
        return;
    replaying_ = true;
    Edit edit = std::move(from.back());
    from.pop_back();
    notify(Change::Lists);
    m_.Converse([this, edit, undo, watch] {
        const std::string verb = undo ? "undo" : "redo";
        // A value no step reaches (a dump brought it from beyond the range
        // a press keeps to) cannot be brought back: nothing is sent, and the
        // edit, which would refuse every time, leaves the history.
        if (const std::string why = outOfRange(edit, undo); !why.empty()) {
            replaying_ = false;
            notify(Change::Lists);
            say("Could not " + verb + " " + edit.name + ": " + why + " Nothing was sent; the edit left the history.");
            return;
        }
        std::unique_ptr<ReplayProgress> progress;
        if (watch)
            progress = watch((undo ? "Undo " : "Redo ") + edit.name, stepsTo(edit, undo));
        const bool done = edit.rotation ? rotate(*edit.rotation, undo, progress.get())
                                        : stepTo(edit.changes, undo, progress.get());
        progress.reset();
        // Stopped part-way, the edit stays where it was: the next Undo (or
        // Redo) carries on from the values the copy now holds. A field the
        // instrument would not step all the way (a page pointer held by
        // another) leaves it neither done nor to carry on.
        const std::string missed = done && !edit.rotation ? notReached(edit, undo) : std::string();
        if (missed.empty())
            (done == undo ? redo_ : undo_).push_back(edit);
        replaying_ = false;
        const bool driftChanged = !drift_.empty();
        drift_.clear();
        // The windows that show the values redisplay, as for a dump.
        bool touched[3] = {};
        for (const FieldChange& c : edit.changes)
            touched[c.area == Area::Config ? 0 : 1 + c.half] = true;
        if (touched[0])
            m_.AnnounceCopy(MirageProtocol::Arrival::Config);
        if (touched[1])
            m_.AnnounceCopy(MirageProtocol::Arrival::LowerProgram);
        if (touched[2])
            m_.AnnounceCopy(MirageProtocol::Arrival::UpperProgram);
        notify(Change::Copy);
        notify(Change::Lists);
        if (driftChanged)
            notify(Change::Drift);
        const std::string Verb = undo ? "Undo" : "Redo";
        if (!done)
            say(Verb + " stopped part-way: choose " + Verb + " again to carry on.");
        else if (!missed.empty())
            say("Could not " + verb + " " + edit.name + ": " + missed + " The edit left the history.");
        else
            say((undo ? "Undone: " : "Redone: ") + edit.name);
    });
}

// Why a field of `edit` cannot be stepped to its value before (undo) or
// after it at all: a plain value beyond the range a press keeps to. Empty
// when every target lies within reach.
std::string EditHistory::outOfRange(const Edit& edit, bool undo) const
{
    if (edit.rotation)
        return {};
    for (const FieldChange& c : edit.changes) {
        const ParameterInfo* p = findParameter(c.parameter);
        if (!p || p->kind != StepKind::Plain)
            continue;
        const int target = shownValue(*p, undo ? c.before : c.after);
        if (target < p->shownMin || target > p->shownMax)
            return "a step reaches " + std::to_string(p->shownMin) + " to " + std::to_string(p->shownMax) + ", not " +
                   std::to_string(target) + ".";
    }
    return {};
}

// The first field of `edit` that the replay left short of its value before
// (undo) or after it, said as the windows show it; empty when all arrived.
std::string EditHistory::notReached(const Edit& edit, bool undo) const
{
    for (const FieldChange& c : edit.changes) {
        const ParameterInfo* p = findParameter(c.parameter);
        if (!p)
            continue;
        const int target = undo ? c.before : c.after;
        const int now = get(c);
        if (shownText(*p, now) == shownText(*p, target))
            continue;
        std::string field = parameterName(c.parameter);
        const std::string context = contextText(c.area, c.half, c.index);
        if (!context.empty())
            field += " " + context;
        return field + " stopped at " + shownText(*p, now) + ", not " + shownText(*p, target) +
               " (the Mirage refused the steps beyond).";
    }
    return {};
}

int EditHistory::get(const FieldChange& c) const
{
    const ParameterInfo* p = findParameter(c.parameter);
    if (!p)
        return 0;
    const int pos = fieldPosition(c.area, c.index, p->position);
    return c.area == Area::Config ? m_.GetConfigParam(pos) : m_.GetParam(c.half, pos);
}

void EditHistory::set(const FieldChange& c, int parameter, int value)
{
    const ParameterInfo* p = findParameter(parameter);
    if (!p)
        return;
    const int pos = fieldPosition(c.area, c.index, p->position);
    if (c.area == Area::Config)
        m_.SetConfigParam(pos, value);
    else
        m_.SetParam(c.half, pos, value);
}

// The value one step of `c` towards `target` gives, as the instrument
// applies it; -1 when no step is to be sent now (already there as shown, or
// refused by the instrument at this moment).
int EditHistory::nextValue(const FieldChange& c, int target) const
{
    const ParameterInfo* p = findParameter(c.parameter);
    const int now = get(c);
    if (!p || now == target)
        return -1;
    const bool up = target > now;
    switch (p->kind) {
    case StepKind::Switch: {
        const int next = target != 0 ? 1 : 0;
        return next == now ? -1 : next;
    }
    case StepKind::Plain:
        // A step moves the shown value by one: a stored value between two
        // steps comes back as the value it shows.
        return shownValue(*p, now) == shownValue(*p, target) ? -1 : plainStep(*p, now, up);
    default: {
        auto page = [&](int parameter) { return get({c.area, c.half, c.index, parameter, 0, 0}); };
        return pageStep(p->kind, {page(60), page(61), page(62), page(63)}, up);
    }
    }
}

// Sends one step of `c` and applies it to the copy, with the loop reset a
// start or end page step makes on the instrument.
void EditHistory::sendStep(const FieldChange& c, bool up, int next)
{
    const ParameterInfo* p = findParameter(c.parameter);
    m_.SendParameterStep(c.parameter, up);
    set(c, c.parameter, next);
    if (p->kind == StepKind::StartPage || p->kind == StepKind::EndPage) {
        const int loop = loopResetPage(get({c.area, c.half, c.index, 60, 0, 0}), get({c.area, c.half, c.index, 61, 0, 0}));
        set(c, 62, loop);
        set(c, 63, loop);
        set(c, 64, 0xFF);
    } else if (p->kind == StepKind::LoopEnd) {
        set(c, 64, 0xFF);
    }
}

// Selects the program or wavesample `c` lives in; false for the
// configuration, which needs no selection.
bool EditHistory::selectContext(const FieldChange& c)
{
    if (c.area == Area::Program)
        m_.SelectProgram(c.half, c.index);
    else if (c.area == Area::Wavesample)
        m_.SelectWavesample(c.index + 8 * c.half);
    return c.area != Area::Config;
}

// Steps every field of `changes` to its value before (undo) or after the
// edit, context by context, each step sent and applied to the copy as the
// instrument applies it. A step the instrument would refuse now (a page
// pointer held by its neighbour) waits for a later round, after the other
// fields have moved.
bool EditHistory::stepTo(const std::vector<FieldChange>& changes, bool undo, ReplayProgress* progress)
{
    bool stopped = false;
    long long shownAt = m_.seamsRef().clockMs();
    const int savedHalf = m_.CurrentHalf;
    const int savedWavesample = m_.CurrentWavesample;
    const int savedProgram[2] = {m_.CurrentLowerProgram, m_.CurrentUpperProgram};
    bool selected = false;
    std::vector<const FieldChange*> contexts;
    for (const FieldChange& c : changes)
        if (std::none_of(contexts.begin(), contexts.end(), [&](const FieldChange* k) { return sameContext(*k, c); }))
            contexts.push_back(&c);

    for (std::size_t k = 0; k < contexts.size() && !stopped; ++k) {
        selected = selectContext(*contexts[k]) || selected;
        int steps = 0;
        for (bool moved = true; moved && steps < MaxReplaySteps && !stopped;) {
            moved = false;
            for (const FieldChange& c : changes) {
                if (!sameContext(c, *contexts[k]))
                    continue;
                if (progress && progress->Stopped()) {
                    stopped = true;
                    break;
                }
                const int target = undo ? c.before : c.after;
                const int next = nextValue(c, target);
                if (next < 0)
                    continue;
                sendStep(c, target > get(c), next);
                if (progress && m_.seamsRef().clockMs() - shownAt >= RedisplayEveryMs) {
                    m_.AnnounceCopy(arrivalOf(c));
                    shownAt = m_.seamsRef().clockMs();
                }
                pause(progress, m_.StepWaitMs);
                moved = true;
                ++steps;
            }
        }
    }
    if (selected) {
        // The selection the windows rely on, put back: the wavesample, then
        // the programs, the current half's last.
        m_.SelectWavesample(savedWavesample + 8 * savedHalf);
        m_.SelectProgram(1 - savedHalf, savedProgram[1 - savedHalf]);
        m_.SelectProgram(savedHalf, savedProgram[savedHalf]);
    }
    return !stopped;
}

// A wait between two steps; with progress shown, the user's Cancel gets
// through and the step counts.
void EditHistory::pause(ReplayProgress* progress, int ms)
{
    if (!progress) {
        m_.Wait(ms);
        return;
    }
    progress->Stepped();
    m_.WaitAcceptingInput(ms);
}

// The rotate again, on the wavesample it was made on, the other way round
// for an undo: the direction, the instrument's time to enter the function,
// the amount counted up from 00, Enter. Stopped before Enter, the function
// is left with Abort and nothing has moved.
bool EditHistory::rotate(const Rotation& r, bool undo, ReplayProgress* progress)
{
    const int savedIndex = m_.CurrentWavesample + 8 * m_.CurrentHalf;
    m_.SelectWavesample(r.wavesample + 8 * r.half);
    const bool left = r.left != undo;
    m_.SendSysEx(keyCodeMessage({left ? key::RotateLeft[0] : key::RotateRight[0],
                                 left ? key::RotateLeft[1] : key::RotateRight[1]}));
    pause(progress, key::RotateSettleMs);
    bool stopped = false;
    for (int i = 0; i < r.amount && !stopped; ++i) {
        stopped = progress && progress->Stopped();
        if (!stopped) {
            m_.SendSysEx(keyCodeMessage({key::Inc}));
            pause(progress, m_.StepWaitMs);
        }
    }
    stopped = stopped || (progress && progress->Stopped());
    m_.SendSysEx(keyCodeMessage({stopped ? key::Abort : key::Enter}));
    m_.Wait(m_.StepWaitMs);
    m_.SelectWavesample(savedIndex);
    return !stopped;
}

// About how many steps the replay of `edit` sends: what the progress shows.
int EditHistory::stepsTo(const Edit& edit, bool undo) const
{
    if (edit.rotation)
        return edit.rotation->amount + 1;
    int steps = 0;
    for (const FieldChange& c : edit.changes) {
        const ParameterInfo* p = findParameter(c.parameter);
        if (!p)
            continue;
        const int now = get(c);
        const int target = undo ? c.before : c.after;
        if (p->kind == StepKind::Switch)
            steps += (now != 0) != (target != 0) ? 1 : 0;
        else if (p->kind == StepKind::Plain)
            steps += std::abs(shownValue(*p, target) - shownValue(*p, now));
        else
            steps += std::abs(target - now);
    }
    return steps;
}

void EditHistory::DumpArriving(bool config, int half, const std::uint8_t* fresh)
{
    const std::size_t slot = config ? 0 : half == 0 ? 1 : 2;
    const std::uint8_t* copy = config ? m_.ConfigDump : half == 0 ? m_.LowerProgramDump : m_.UpperProgramDump;
    std::uint8_t* kept = slot == 0 ? before_.config.data() : slot == 1 ? before_.lower.data() : before_.upper.data();
    const std::size_t size = config ? ConfigDumpSize : ProgramDumpSize;
    if (depth_ > 0) {
        // What the open action changed so far is kept; from here on it is
        // measured against the fresh dump.
        merge(pending_, dumpDifferences(config, half, kept, copy));
        std::memcpy(kept, fresh, size);
    }
    if (seen_[slot]) {
        const std::vector<FieldChange> found = dumpDifferences(config, half, copy, fresh);
        if (!found.empty()) {
            merge(drift_, found);
            if (depth_ > 0)
                merge(actionDrift_, found);
            notify(Change::Drift);
        }
    }
    seen_[slot] = true;
}

void EditHistory::Forget(bool config, bool lower, bool upper)
{
    seen_[0] = seen_[0] && !config;
    seen_[1] = seen_[1] && !lower;
    seen_[2] = seen_[2] && !upper;
    const auto gone = [&](const FieldChange& c) { return c.area == Area::Config ? config : c.half == 0 ? lower : upper; };
    // An edit goes with what it changed; one that changed something else as
    // well keeps that part.
    std::size_t left = 0;
    for (std::vector<Edit>* list : {&undo_, &redo_})
        left += std::erase_if(*list, [&](Edit& e) {
            if (e.rotation)
                return e.rotation->half == 0 ? lower : upper;
            const std::size_t had = e.changes.size();
            std::erase_if(e.changes, gone);
            return had > 0 && e.changes.empty();
        });
    const std::size_t drifted = std::erase_if(drift_, gone);
    std::erase_if(actionDrift_, gone);
    if (drifted > 0)
        notify(Change::Drift);
    if (left == 0)
        return;
    notify(Change::Lists);
    const std::string what = config && lower && upper ? "Mirage rebooted: "
                             : lower && upper          ? "Both halves replaced: "
                             : lower                   ? "Lower half replaced: "
                             : upper                   ? "Upper half replaced: "
                                                       : "Configuration replaced: ";
    const char* of = config && lower && upper ? (left == 1 ? " edit" : " edits")
                     : lower && upper        ? " of their edits"
                                             : " of its edits";
    say(what + std::to_string(left) + of + " left the history.");
}

std::string EditHistory::DriftText() const
{
    return drift_.empty() ? std::string() : "Changed on the Mirage: " + describeChanges(drift_);
}

std::string EditHistory::DriftList() const
{
    std::string text;
    for (const FieldChange& c : drift_)
        text += (text.empty() ? "" : "\n") + describeChange(c);
    return text;
}

bool EditHistory::Drifted(Area area, int half, int index, int parameter) const
{
    const FieldChange probe{area, half, index, parameter, 0, 0};
    return std::any_of(drift_.begin(), drift_.end(), [&](const FieldChange& c) { return c.sameField(probe); });
}

void EditHistory::ClearDrift()
{
    if (drift_.empty())
        return;
    drift_.clear();
    notify(Change::Drift);
}

int EditHistory::AddListener(std::function<void(Change)> fn)
{
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(fn));
    return id;
}

void EditHistory::RemoveListener(int id)
{
    std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void EditHistory::notify(Change c) { callListeners(listeners_, c); }

} // namespace corvane
