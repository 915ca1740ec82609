// The small player of a sound held in memory: a raised panel named
// "MediaPlayer1" with Play and Stop ("bnPlay", "bnStop") and beside them
// the "Loop" tick ("cbPlayLoop"), or "No audio output" ("lbNoOutput") where
// the computer has none. The sound plays through the seams' audio output;
// the window's handlers of Play and Stop call play() and stop().
#pragma once

#include "PlaySound.h"

#include <QFrame>

#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QToolButton;

namespace corvane {

class Seams;

class TPlayerPanel : public QFrame {
    Q_OBJECT
public:
    TPlayerPanel(QWidget* parent, Seams& seams);

    static constexpr int Width = 164;
    static constexpr int Height = 32;

    QToolButton* bnPlay;
    QToolButton* bnStop;
    QCheckBox* cbPlayLoop; // ticked: the loop repeats until Stop; unticked: once through
    QLabel* lbNoOutput;

    // Takes `sound` to play and asks whether there is an output to play it
    // on: Play is enabled, or "No audio output" shown with the reason as
    // Play's tooltip.
    void offer(PlaySound sound);
    // Stops and lets go of the sound: nothing to play.
    void withdraw();
    void play();
    void stop();
    const std::optional<PlaySound>& sound() const { return sound_; }

protected:
    // A window closed while its loop plays would leave it playing with no
    // Stop to press.
    void hideEvent(QHideEvent* event) override;

private:
    void showOutput(const std::string& problem);

    Seams& seams_;
    std::optional<PlaySound> sound_;
};

} // namespace corvane
