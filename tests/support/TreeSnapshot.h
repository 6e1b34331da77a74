#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// Every file, folder and link below a folder with its kind, permissions and a hash of its
// content, sorted: two snapshots are equal when the tree is byte for byte the same.
inline QStringList TreeSnapshot(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString line = root.relativeFilePath(info.filePath()) + u' ' +
                       QString::number(static_cast<int>(info.permissions()), 16) + u' ';
        if (info.isSymLink()) {
            line += QStringLiteral("link ") + info.symLinkTarget();
        } else if (info.isDir()) {
            line += QStringLiteral("folder");
        } else {
            QFile file(info.filePath());
            file.open(QIODevice::ReadOnly);
            line += QString::fromLatin1(
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        }
        lines << line;
    }
    lines.sort();
    return lines;
}
