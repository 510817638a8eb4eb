#include "TSoundPlayer.h"

#include "WavFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QMediaDevices>

namespace quorvane {

namespace {

// A sound is never reported as playing for longer than its length and this much, so a sink
// that never signals its end cannot hold back every later alarm.
constexpr qint64 kEndMarginMs = 2000;

QString Local(const std::string &s)
{
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

QAudioFormat::SampleFormat SampleFormat(const WavFile &wav)
{
    if (wav.Float)
        return QAudioFormat::Float;
    switch (wav.BitsPerSample) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    default:
        return QAudioFormat::Int32;
    }
}

} // namespace

TSoundPlayer::TSoundPlayer(QObject *parent)
    : QObject(parent)
{ }

TSoundPlayer::~TSoundPlayer()
{
    Close();
}

void TSoundPlayer::Close()
{
    if (FSink) {
        FSink->stop();
        delete FSink;
        FSink = nullptr;
    }
    delete FBuffer;
    FBuffer = nullptr;
    FData.clear();
}

bool TSoundPlayer::IsPlaying()
{
    if (!FSink)
        return false;
    const qint64 elapsed = FStarted.elapsed();
    // A sink that failed (a stream refused, a server gone) plays nothing more.
    if (elapsed > FLimitMs || FSink->error() != QAudio::NoError)
        return false;
    // The sink turns idle once it has been handed the last samples, which a sound server with a
    // deep buffer (or a busy machine) can take well before they are heard: a sound plays for its
    // own length at least.
    return elapsed < FSoundMs || FSink->state() == QAudio::ActiveState;
}

void TSoundPlayer::Play(const std::string &path)
{
    Close();
    QFile file(Local(path));
    if (!file.open(QIODevice::ReadOnly))
        throw EMCIDeviceError(
            "Cannot open the sound \"" + path + "\": " + file.errorString().toStdString());
    FData = file.readAll();
    file.close();

    WavFile wav;
    const std::string why = ParseWav(FData.constData(), static_cast<size_t>(FData.size()), wav);
    if (!why.empty()) {
        FData.clear();
        throw EMCIDeviceError("Cannot play the sound \"" + path + "\": " + why + ".");
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        FData.clear();
        throw EMCIDeviceError(
            "Cannot play the sound \"" + path + "\": there is no sound output device.");
    }
    QAudioFormat format;
    format.setChannelCount(wav.Channels);
    format.setSampleRate(wav.SampleRate);
    format.setSampleFormat(SampleFormat(wav));
    if (!device.isFormatSupported(format)) {
        FData.clear();
        throw EMCIDeviceError("Cannot play the sound \"" + path + "\": the sound output \""
            + device.description().toStdString() + "\" does not take its format.");
    }

    // Chunks after the samples (tags, cue points) must not be played as noise.
    FData.truncate(static_cast<qsizetype>(wav.DataOffset + wav.DataSize));
    FBuffer = new QBuffer(&FData);
    FBuffer->open(QIODevice::ReadOnly);
    FBuffer->seek(static_cast<qint64>(wav.DataOffset));
    FSink = new QAudioSink(device, format);
    // A short buffer keeps the end of the sound, and so IsPlaying, close to what is heard.
    FSink->setBufferSize(format.bytesForDuration(200000));
    FSoundMs = static_cast<qint64>(wav.Seconds() * 1000);
    FLimitMs = FSoundMs + kEndMarginMs;
    FStarted.start();
    FSink->start(FBuffer);
}

} // namespace quorvane
