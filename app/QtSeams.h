// The program's real seams: a wait that keeps the windows painting, Qt's
// message boxes, colour chooser and file dialog, and the audio output.
#pragma once

#include "AudioPlayer.h"
#include "Seams.h"

#include <map>

class QTimer;

namespace corvane {

class QtSeams : public Seams {
public:
    QtSeams();
    ~QtSeams() override;

    // Unattended runs (the screenshot run) show no modal box: each report
    // goes to the standard error stream and is answered OK, or No where it
    // asks, so nothing waits for a user who is not there.
    void setUnattended(bool on) { unattended_ = on; }

    void wait(int ms) override;
    void waitAcceptingInput(int ms) override;
    int startTimer(int ms, std::function<void()> fn) override;
    void cancelTimer(int id) override;
    BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxButtons buttons) override;
    void beep() override;
    bool chooseColour(std::uint32_t initial, std::uint32_t& chosen) override;
    std::string openFileName(const std::string& filter) override;
    std::string saveFileName(const std::string& filter, const std::string& suggested) override;
    std::string chooseFolder(const std::string& caption) override;
    std::string audioOutputProblem() override { return player_.problem(); }
    std::string playSound(const PlaySound& sound) override { return player_.play(sound); }
    void stopSound() override { player_.stop(); }
    const AudioPlayer& player() const { return player_; }

private:
    AudioPlayer player_;
    std::map<int, QTimer*> timers_;
    bool unattended_ = false;
    int nextTimer_ = 1;
};

} // namespace corvane
