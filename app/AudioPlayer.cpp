#include "AudioPlayer.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace corvane {

namespace {

QStringList& extraFolders()
{
    static QStringList folders;
    return folders;
}

// Where the installed tree keeps it, by the path from the program's folder
// (the prefix may be anywhere); beside the program, as in the build; then
// any folder a test program named.
QStringList moduleCandidates()
{
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList out{dir + "/" CORVANE_AUDIO_MODULE_RELDIR "/corvane_audio_output", dir + "/corvane_audio_output"};
    for (const QString& folder : extraFolders())
        out << folder + "/corvane_audio_output";
    return out;
}

} // namespace

void AudioPlayer::addModuleFolder(const std::string& folder)
{
    extraFolders() << QString::fromStdString(folder);
}

AudioPlayer::AudioPlayer() = default;

AudioPlayer::~AudioPlayer() { stop(); }

AudioOutput* AudioPlayer::output() const
{
    if (loaded_)
        return output_.get();
    loaded_ = true;
    QString why;
    for (const QString& path : moduleCandidates()) {
        // Never unloaded: the output it made lives until the program ends.
        QLibrary module(path);
        const auto make = reinterpret_cast<MakeAudioOutput>(module.resolve("corvane_make_audio_output"));
        if (make) {
            modulePath_ = module.fileName().toStdString();
            output_.reset(make());
            return output_.get();
        }
        if (why.isEmpty())
            why = module.errorString();
    }
    loadProblem_ = "The audio output could not be loaded (" + why.toStdString() + ").";
    return nullptr;
}

std::string AudioPlayer::problem() const
{
    AudioOutput* out = output();
    return out ? out->problem() : loadProblem_;
}

std::string AudioPlayer::modulePath() const
{
    output();
    return modulePath_;
}

std::string AudioPlayer::play(const PlaySound& sound)
{
    AudioOutput* out = output();
    return out ? out->play(sound) : loadProblem_;
}

void AudioPlayer::stop()
{
    // Nothing plays before the module is loaded.
    if (output_)
        output_->stop();
}

} // namespace corvane
