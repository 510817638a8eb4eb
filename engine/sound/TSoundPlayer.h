#pragma once

#include "Exception.h"
#include "Seams.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <memory>

class QAudioSink;
class QBuffer;

namespace quorvane {

class EMCIDeviceError : public Exception
{
public:
    using Exception::Exception;
};

// Plays one WAV file at a time in the background on the default sound output. Needs the Qt
// event loop of the thread it lives on.
class TSoundPlayer final : public QObject, public ISoundPlayer
{
public:
    explicit TSoundPlayer(QObject *parent = nullptr);
    ~TSoundPlayer() override;

    bool IsPlaying() override;
    void Play(const std::string &path) override;

private:
    void Close();

    QAudioSink *FSink = nullptr;
    QBuffer *FBuffer = nullptr;
    QByteArray FData;
    QElapsedTimer FStarted;
    qint64 FSoundMs = 0;
    qint64 FLimitMs = 0;
};

} // namespace quorvane
