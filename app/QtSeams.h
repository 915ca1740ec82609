// The program's real seams: a wait that keeps the windows painting, Qt's
// message boxes, colour chooser and file dialog, and a media player.
#pragma once

#include "Seams.h"

#include <map>
#include <memory>

class QMediaPlayer;
class QAudioOutput;
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
    bool mediaOpen(const std::string& path) override;
    std::string chooseFolder(const std::string& caption) override;
    void mediaPlay(const std::string& path) override;
    void mediaStop() override;

private:
    QMediaPlayer* player();
    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::map<int, QTimer*> timers_;
    bool unattended_ = false;
    int nextTimer_ = 1;
};

} // namespace corvane
