#include "PlayerPanel.h"

#include "Named.h"
#include "Seams.h"

#include <QCheckBox>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace corvane {

namespace {
constexpr const char* const PlayTip = "Play";
constexpr const char* const LoopTip = "Play the loop again and again until Stop, as a held key does";
} // namespace

TPlayerPanel::TPlayerPanel(QWidget* parent, Seams& seams) : QFrame(parent), seams_(seams)
{
    setObjectName("MediaPlayer1");
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    resize(Width, Height);
    bnPlay = named(new QToolButton(this), "bnPlay");
    bnPlay->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    bnPlay->setToolTip(PlayTip);
    bnPlay->setGeometry(3, 3, 26, 26);
    bnStop = named(new QToolButton(this), "bnStop");
    bnStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    bnStop->setToolTip("Stop");
    bnStop->setGeometry(31, 3, 26, 26);
    cbPlayLoop = named(new QCheckBox("Loop", this), "cbPlayLoop");
    cbPlayLoop->setChecked(true);
    cbPlayLoop->setToolTip(LoopTip);
    cbPlayLoop->setGeometry(66, 7, Width - 70, 18);
    // Over the Loop tick's place, on two lines where one is too narrow.
    lbNoOutput = namedLabel(this, "lbNoOutput", "No audio output", 62, 2, Width - 64, Height - 4);
    lbNoOutput->setWordWrap(true);
    lbNoOutput->hide();
    withdraw();
}

void TPlayerPanel::offer(PlaySound sound)
{
    cbPlayLoop->setEnabled(validLoop(sound.loop, sound.samples.size()).has_value());
    sound_ = std::move(sound);
    showOutput(seams_.audioOutputProblem());
}

void TPlayerPanel::withdraw()
{
    if (sound_)
        seams_.stopSound();
    sound_.reset();
    for (QWidget* w : std::initializer_list<QWidget*>{bnPlay, bnStop, cbPlayLoop})
        w->setEnabled(false);
}

// Without an output nothing is raised: the panel says so, and why.
void TPlayerPanel::showOutput(const std::string& problem)
{
    const bool can = problem.empty();
    bnPlay->setEnabled(can);
    bnStop->setEnabled(can);
    bnPlay->setToolTip(can ? QString(PlayTip) : QString::fromStdString(problem));
    lbNoOutput->setToolTip(QString::fromStdString(problem));
    lbNoOutput->setVisible(!can);
    cbPlayLoop->setVisible(can);
}

void TPlayerPanel::play()
{
    if (!sound_)
        return;
    PlaySound sound = *sound_;
    if (!cbPlayLoop->isChecked())
        sound.loop.reset();
    const std::string problem = seams_.playSound(sound);
    if (!problem.empty())
        showOutput(problem);
}

void TPlayerPanel::stop() { seams_.stopSound(); }

void TPlayerPanel::hideEvent(QHideEvent* event)
{
    if (sound_)
        seams_.stopSound();
    QFrame::hideEvent(event);
}

} // namespace corvane
