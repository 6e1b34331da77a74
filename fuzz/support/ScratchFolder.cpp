#include "support/ScratchFolder.h"

#include "support/FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ScratchFolder::ScratchFolder() : m_dir(QDir::temp().filePath(QStringLiteral("pulsmir-fuzz-XXXXXX")))
{
    FUZZ_CHECK(m_dir.isValid(), "cannot make the scratch folder");
}

QString ScratchFolder::Write(const QString& name, const QByteArray& bytes) const
{
    const QString path = File(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a scratch file");
    FUZZ_CHECK(file.write(bytes) == bytes.size(), "cannot write a scratch file");
    return path;
}

void ScratchFolder::Copy(const QString& source, const QString& name) const
{
    QFile file(source);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "a fixture is missing");
    Write(name, file.readAll());
}

QString ScratchFolder::Fresh(const QString& name) const
{
    const QString path = File(name);
    QDir(path).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(path), "cannot make a scratch folder");
    return path;
}
