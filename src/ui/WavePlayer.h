#pragma once

#include "platform/AudioOut.h"
#include "ui/WaveFile.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// Plays a sound through the wave-out device from two alternating buffers, refilled from the
// source as the device is done with them, so a long sound needs little memory. One sound at a
// time; everything happens on the thread that plays.
class TCustomLWavePlayer : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultBufferSize = 32768;
    static constexpr int MinBufferSize = 4096;
    static constexpr int MaxBufferSize = 1048576;

    explicit TCustomLWavePlayer(AudioOutFactory device = &OpenSystemAudioOut,
                                QObject* parent = nullptr);
    ~TCustomLWavePlayer() override;

    int BufferSize() const { return m_bufferSize; }
    // Taken as a multiple of 4 between 4096 and 1,048,576 bytes, and only while not playing.
    void SetBufferSize(int bytes);

    // The device is open.
    bool Playing() const { return m_open; }
    void Stop();

    std::function<void(QObject* sender)> OnDone;
    std::function<void(QObject* sender, const QString& message)> OnError;
    // The device's own words on its last failure.
    QString DeviceErrorText() const { return m_deviceError; }

protected:
    void StartPlayback(const WaveFormat& format, qint64 bytes);
    virtual qint64 ReadSource(char* data, qint64 maxBytes) = 0;
    void ReportError(const QString& message);

private:
    void FillBuffer(int index);
    void BufferDone(int index);
    void CloseDevice();
    char* Buffer(int index) { return m_block.get() + static_cast<qsizetype>(index) * m_bufferSize; }

    AudioOutFactory m_factory;
    std::unique_ptr<AudioOut> m_device;
    int m_bufferSize = DefaultBufferSize;
    // Both buffers; pages are touched only as a sound fills them.
    std::unique_ptr<char[]> m_block;
    bool m_open = false;
    qint64 m_bytesToPlay = 0;
    int m_queued = 0;
    int m_lastWritten = 1;
    QString m_deviceError;
};

// The player with a seekable source: the "data" chunk of an open WAV file.
class TLWaveStreamPlayer : public TCustomLWavePlayer
{
    Q_OBJECT

public:
    using TCustomLWavePlayer::TCustomLWavePlayer;

    // Plays `length` bytes from `offset` into the data; only with a source and while not playing.
    void Play(qint64 offset, qint64 length);
    // Bytes of sound in the source; 0 without one.
    qint64 Length() const { return m_stream ? m_layout.DataLength : 0; }

protected:
    void SetSource(std::unique_ptr<QIODevice> stream, const WaveFileLayout& layout);
    void DropSource();
    qint64 ReadSource(char* data, qint64 maxBytes) override;

private:
    std::unique_ptr<QIODevice> m_stream;
    WaveFileLayout m_layout;
    qint64 m_end = 0;
};

// The player of one WAV file: naming the file opens and reads it.
class TLWaveFilePlayer : public TLWaveStreamPlayer
{
    Q_OBJECT

public:
    using TLWaveStreamPlayer::TLWaveStreamPlayer;

    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName);

private:
    QString m_fileName;
};

// Plays a whole file, after stopping what plays, with buffers as large as the file when it
// holds between 4 KiB and 1 MiB, else of 32 KiB.
void PlayWaveFile(TLWaveFilePlayer& player, const QString& path);
