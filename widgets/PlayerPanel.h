// The small player of a WAV file: a raised panel with Play and Stop only,
// named "MediaPlayer1", "bnPlay" and "bnStop".
#pragma once

#include "Named.h"

#include <QFrame>
#include <QStyle>
#include <QToolButton>

namespace corvane {

inline QFrame* makePlayerPanel(QWidget* parent, int x, int y, QToolButton*& play, QToolButton*& stop)
{
    auto* panel = named(new QFrame(parent), "MediaPlayer1");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(x, y, 60, 32);
    play = named(new QToolButton(panel), "bnPlay");
    play->setIcon(panel->style()->standardIcon(QStyle::SP_MediaPlay));
    play->setToolTip("Play");
    play->setGeometry(3, 3, 26, 26);
    stop = named(new QToolButton(panel), "bnStop");
    stop->setIcon(panel->style()->standardIcon(QStyle::SP_MediaStop));
    stop->setToolTip("Stop");
    stop->setGeometry(31, 3, 26, 26);
    return panel;
}

} // namespace corvane
