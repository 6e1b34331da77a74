#include "ui/TrayArt.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

namespace {

// Tray icons are a few KiB and at most 256 pixels a side; anything far larger is no icon, and
// is not decoded.
constexpr qint64 MaxIconFileSize = qint64(1) << 20;
constexpr int MaxIconSide = 1024;

} // namespace

QPixmap LoadIconFile(const QString& file, const QByteArray& format)
{
    // Opening a pipe to read it would wait for a writer.
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > MaxIconFileSize)
        return {};
    QImageReader reader(file, format);
    reader.setAutoDetectImageFormat(format.isEmpty());
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > MaxIconSide || size.height() > MaxIconSide))
        return {};
    return QPixmap::fromImage(reader.read());
}

TrayArtEngine::TrayArtEngine(std::map<int, QString> files, QPixmap fallback)
    : m_files(std::move(files)), m_fallback(std::move(fallback))
{}

QIconEngine* TrayArtEngine::clone() const
{
    return new TrayArtEngine(*this);
}

QString TrayArtEngine::key() const
{
    return QStringLiteral("TrayArtEngine");
}

bool TrayArtEngine::isNull()
{
    return m_files.empty() && m_fallback.isNull();
}

QList<QSize> TrayArtEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    QList<QSize> sizes;
    for (const auto& [side, file] : m_files)
        sizes.append(QSize(side, side));
    if (sizes.isEmpty() && !m_fallback.isNull())
        sizes.append(m_fallback.size());
    return sizes;
}

QPixmap TrayArtEngine::Art(int side)
{
    while (!m_files.empty()) {
        auto file = m_files.lower_bound(side);
        if (file == m_files.end())
            file = std::prev(m_files.end());
        if (const auto read = m_read.find(file->first); read != m_read.end())
            return read->second;
        QPixmap art = LoadIconFile(file->second, "png");
        if (art.size() == QSize(file->first, file->first))
            return m_read[file->first] = art;
        m_files.erase(file);
    }
    return m_fallback;
}

QSize TrayArtEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    const QPixmap art = Art(std::max(size.width(), size.height()));
    return art.isNull() ? QSize() : art.size().boundedTo(size);
}

QPixmap TrayArtEngine::pixmap(const QSize& size, QIcon::Mode, QIcon::State)
{
    const QPixmap art = Art(std::max(size.width(), size.height()));
    if (art.isNull() || art.size() == art.size().boundedTo(size))
        return art;
    return art.scaled(art.size().boundedTo(size), Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void TrayArtEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                          QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    QPixmap art = pixmap(rect.size() * ratio, mode, state);
    art.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect.topLeft(), art);
}
