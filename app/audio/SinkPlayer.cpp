// The audio output module: Qt Multimedia's low-level sink on the system's
// default output, fed the samples already in memory. The program loads it
// when a window first asks about playing (AudioPlayer), so Qt Multimedia and
// the sound server's libraries are not loaded at start.
#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

constexpr const char* const NoDevice = "No audio output device was found.";
constexpr const char* const NoFormat = "The audio output takes no format this sound can be played in.";

QAudioFormat wavesampleFormat(int rate)
{
    QAudioFormat f;
    f.setSampleFormat(QAudioFormat::UInt8);
    f.setChannelCount(1);
    f.setSampleRate(rate);
    return f;
}

std::string sinkProblem(QAudio::Error error)
{
    switch (error) {
    case QAudio::NoError:
    case QAudio::UnderrunError:
        return {};
    case QAudio::OpenError:
        return "The audio output could not be opened.";
    case QAudio::IOError:
        return "The audio output could not be written to.";
    case QAudio::FatalError:
        break;
    }
    return "The audio output failed.";
}

// One 8-bit sample as a frame of `format`: every channel the same value.
void writeFrame(char* out, std::uint8_t sample, const QAudioFormat& format)
{
    const float v = (static_cast<int>(sample) - 128) / 128.0f;
    const int bytes = format.bytesPerSample();
    for (int c = 0; c < format.channelCount(); ++c, out += bytes) {
        switch (format.sampleFormat()) {
        case QAudioFormat::UInt8:
            *out = static_cast<char>(sample);
            break;
        case QAudioFormat::Int16: {
            const auto s = static_cast<qint16>(v * 32767);
            std::memcpy(out, &s, sizeof s);
            break;
        }
        case QAudioFormat::Int32: {
            const auto s = static_cast<qint32>(v * 2147483647.0);
            std::memcpy(out, &s, sizeof s);
            break;
        }
        default:
            std::memcpy(out, &v, sizeof v);
            break;
        }
    }
}

} // namespace

// The samples as the sink pulls them: the feeder's bytes as they are when
// the output takes 8-bit mono at the sound's rate, otherwise each sample
// held for as many frames of the output's own format as its time spans.
class SoundSource : public QIODevice {
public:
    SoundSource(PlaySound sound, const QAudioFormat& format) : feeder_(std::move(sound)), format_(format)
    {
        direct_ = format == wavesampleFormat(feeder_.rate());
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool ended() const { return ended_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 n = 0;
        if (direct_)
            n = static_cast<qint64>(
                feeder_.read(reinterpret_cast<std::uint8_t*>(data), static_cast<std::size_t>(maxSize)));
        else
            n = convert(data, maxSize);
        ended_ = n == 0 && feeder_.atEnd();
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 convert(char* data, qint64 maxSize)
    {
        const int frameBytes = format_.bytesPerFrame();
        qint64 n = 0;
        for (; frameBytes > 0 && n + frameBytes <= maxSize; n += frameBytes) {
            if (!started_ && feeder_.read(&held_, 1) == 0)
                return n;
            started_ = true;
            // Each output frame moves on by rate / output rate samples.
            for (; due_ >= format_.sampleRate(); due_ -= format_.sampleRate())
                if (feeder_.read(&held_, 1) == 0)
                    return n;
            writeFrame(data + n, held_, format_);
            due_ += feeder_.rate();
        }
        return n;
    }

    SampleFeeder feeder_;
    QAudioFormat format_;
    bool direct_ = true;
    bool ended_ = false;
    bool started_ = false;
    std::uint8_t held_ = 0x80;
    long long due_ = 0;
};

class SinkPlayer : public AudioOutput {
public:
    ~SinkPlayer() override { stop(); }
    std::string problem() const override;
    std::string play(const PlaySound& sound) override;
    void stop() override;

private:
    // The sink is made only when something is played, and made again for
    // every sound: the rate is part of its format.
    std::unique_ptr<SoundSource> source_;
    std::unique_ptr<QAudioSink> sink_;
};

std::string SinkPlayer::problem() const
{
    return QMediaDevices::defaultAudioOutput().isNull() ? NoDevice : std::string();
}

std::string SinkPlayer::play(const PlaySound& sound)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return NoDevice;
    QAudioFormat format = wavesampleFormat(sound.rate);
    if (sound.rate <= 0 || !device.isFormatSupported(format))
        format = device.preferredFormat();
    if (!format.isValid() || sound.rate <= 0)
        return NoFormat;
    source_ = std::make_unique<SoundSource>(sound, format);
    sink_ = std::make_unique<QAudioSink>(device, format);
    // A sound played once through lets the output go when it has ended:
    // the sink turns idle when it has taken the last samples, and plays
    // what it holds of them within the time of its buffer.
    QObject::connect(
        sink_.get(), &QAudioSink::stateChanged, sink_.get(),
        [this](QAudio::State state) {
            if (state != QAudio::IdleState || !source_ || !source_->ended())
                return;
            const qint64 heldMs = sink_->format().durationForBytes(static_cast<qint32>(sink_->bufferSize())) / 1000;
            QTimer::singleShot(heldMs + 100, sink_.get(), [this] { sink_->stop(); });
        },
        Qt::QueuedConnection);
    sink_->start(source_.get());
    const std::string problem = sinkProblem(sink_->error());
    if (!problem.empty())
        stop();
    return problem;
}

void SinkPlayer::stop()
{
    if (sink_)
        sink_->stop();
    sink_.reset();
    source_.reset();
}

} // namespace corvane

extern "C" Q_DECL_EXPORT corvane::AudioOutput* corvane_make_audio_output() { return new corvane::SinkPlayer; }
