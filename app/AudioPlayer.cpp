#include "AudioPlayer.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace corvane {

namespace {

// Beside the program, where a package puts it, or in the build tree.
QStringList moduleCandidates()
{
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList out{dir + "/corvane_audio_output", dir + "/../lib/corvane/corvane_audio_output"};
#ifdef CORVANE_AUDIO_MODULE_DIR
    out << QStringLiteral(CORVANE_AUDIO_MODULE_DIR "/corvane_audio_output");
#endif
    return out;
}

} // namespace

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
