#pragma once

#include "platform/AppPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh, empty program folder for one test, removed afterwards.
class TempProgramFolder
{
public:
    TempProgramFolder() { EXPECT_TRUE(m_dir.isValid()); }

    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }
    AppPaths Paths() const { return AppPaths(Path(), Path()); }

    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFileInfo info(File(name));
        QDir().mkpath(info.absolutePath());
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray Read(const QString& name) const
    {
        QFile file(File(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool Exists(const QString& name) const { return QFileInfo::exists(File(name)); }

private:
    QTemporaryDir m_dir;
};
