#pragma once

#include <QIconEngine>
#include <QPixmap>
#include <QString>
#include <map>
#include <vector>

// A picture file meant as an icon, or none: a file far too large for one (or not a file at
// all) is not decoded. A format named up front spares Qt from loading every picture plugin to
// sniff the file.
QPixmap LoadIconFile(const QString& file, const QByteArray& format = {});

// One state of the shipped tray art, read from its files only at the sides a tray asks for:
// a session shows one size, and one without a notification area none at all. A request is
// served by the smallest file as large, scaled down, or the largest, as Qt's own icons do.
class TrayArtEngine : public QIconEngine
{
public:
    // Picture files by their side in pixels; fallback serves what none of them can.
    TrayArtEngine(std::map<int, QString> files, QPixmap fallback);

    QIconEngine* clone() const override;
    QString key() const override;
    bool isNull() override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;

private:
    // The art that serves a request of this side, read at the first request; a file that
    // turns out to be no picture of its side is dropped for the next one.
    QPixmap Art(int side);

    std::map<int, QString> m_files;
    std::map<int, QPixmap> m_read;
    QPixmap m_fallback;
};
