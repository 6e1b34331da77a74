#include "ui/WavePlayer.h"

#include <QFileInfo>
#include <algorithm>

TCustomLWavePlayer::TCustomLWavePlayer(AudioOutFactory device, QObject* parent)
    : QObject(parent), m_factory(std::move(device)), m_block(new char[2 * DefaultBufferSize])
{}

TCustomLWavePlayer::~TCustomLWavePlayer()
{
    if (m_device)
        m_device->Close();
}

void TCustomLWavePlayer::SetBufferSize(int bytes)
{
    const int size = bytes & ~3;
    if (size < MinBufferSize || size > MaxBufferSize || size == m_bufferSize || m_open)
        return;
    m_bufferSize = size;
    m_block.reset(new char[2 * static_cast<std::size_t>(size)]);
}

void TCustomLWavePlayer::ReportError(const QString& message)
{
    if (OnError)
        OnError(this, message);
}

void TCustomLWavePlayer::StartPlayback(const WaveFormat& format, qint64 bytes)
{
    if (!m_device) {
        m_device = m_factory();
        m_device->OnBufferDone = [this](int index) {
            BufferDone(index);
        };
        m_device->OnDrained = [this] {
            CloseDevice();
        };
    }
    const AudioOutResult opened = m_device->Open(format);
    if (opened != AudioOutResult::Ok) {
        m_deviceError = m_device->LastErrorText();
        ReportError(AudioOutResultName(opened));
        return;
    }
    m_open = true;
    m_bytesToPlay = bytes;
    m_queued = 0;
    m_lastWritten = 1;
    FillBuffer(0);
    FillBuffer(1);
    if (m_queued == 0)
        CloseDevice();
}

void TCustomLWavePlayer::FillBuffer(int index)
{
    if (m_bytesToPlay <= 0 || m_queued >= 2)
        return;
    char* buffer = Buffer(index);
    const qint64 read = ReadSource(buffer, std::min<qint64>(m_bufferSize, m_bytesToPlay));
    if (read <= 0) {
        // The file ended early: nothing more will come.
        m_bytesToPlay = 0;
        return;
    }
    m_bytesToPlay -= read;
    const AudioOutResult written = m_device->Write(index, buffer, static_cast<std::size_t>(read));
    if (written != AudioOutResult::Ok) {
        m_deviceError = m_device->LastErrorText();
        ReportError(AudioOutResultName(written));
        return;
    }
    ++m_queued;
    m_lastWritten = index;
}

void TCustomLWavePlayer::BufferDone(int index)
{
    Q_UNUSED(index);
    if (!m_open)
        return;
    m_queued = std::max(m_queued - 1, 0);
    if (m_bytesToPlay <= 0) {
        if (m_queued == 0)
            m_device->Drain();
    } else if (m_queued < 2) {
        FillBuffer(1 - m_lastWritten);
        if (m_queued == 0)
            m_device->Drain();
    }
}

void TCustomLWavePlayer::CloseDevice()
{
    if (!m_open)
        return;
    m_device->Close();
    m_open = false;
    if (OnDone)
        OnDone(this);
}

void TCustomLWavePlayer::Stop()
{
    if (!m_open)
        return;
    m_bytesToPlay = 0;
    // Every buffer comes back at once, the device is closed and OnDone fires before this returns.
    m_device->Reset();
    if (m_open && m_queued == 0)
        CloseDevice();
}

void TLWaveStreamPlayer::SetSource(std::unique_ptr<QIODevice> stream, const WaveFileLayout& layout)
{
    m_stream = std::move(stream);
    m_layout = layout;
}

void TLWaveStreamPlayer::DropSource()
{
    m_stream.reset();
    m_layout = {};
}

void TLWaveStreamPlayer::Play(qint64 offset, qint64 length)
{
    if (!m_stream || Playing())
        return;
    const qint64 start = m_layout.DataStart + std::clamp<qint64>(offset, 0, m_layout.DataLength);
    if (!m_stream->seek(start))
        return;
    m_end = m_layout.DataStart + m_layout.DataLength;
    StartPlayback(m_layout.Format, std::min(length, m_end - start));
}

qint64 TLWaveStreamPlayer::ReadSource(char* data, qint64 maxBytes)
{
    const qint64 left = m_end - m_stream->pos();
    return left <= 0 ? 0 : m_stream->read(data, std::min(maxBytes, left));
}

void TLWaveFilePlayer::SetFileName(const QString& fileName)
{
    Stop();
    DropSource();
    m_fileName = fileName;
    auto file = std::make_unique<QFile>(fileName);
    // The player reads whole buffers; a buffer of the file's own would only hold them twice.
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        ReportError(QStringLiteral("Stream.Read(FileHeader)"));
        return;
    }
    QString error;
    const std::optional<WaveFileLayout> layout = ParseWaveFile(*file, error);
    if (!layout) {
        ReportError(error);
        return;
    }
    SetSource(std::move(file), *layout);
}

void PlayWaveFile(TLWaveFilePlayer& player, const QString& path)
{
    if (player.Playing())
        player.Stop();
    const qint64 size = QFileInfo(path).size();
    if (size <= 0)
        return;
    player.SetBufferSize(size >= TCustomLWavePlayer::MinBufferSize &&
                                 size <= TCustomLWavePlayer::MaxBufferSize
                             ? static_cast<int>(size)
                             : TCustomLWavePlayer::DefaultBufferSize);
    player.SetFileName(path);
    player.Play(0, player.Length());
}
