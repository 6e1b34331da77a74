#include "platform/AppPaths.h"

#include <QDir>

namespace {

QString CleanFolder(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

AppPaths::AppPaths(QString programFolder, QString executableFolder)
    : m_programFolder(CleanFolder(programFolder)), m_executableFolder(CleanFolder(executableFolder))
{}

AppPaths AppPaths::FromEnvironment(const QString& executableFolder)
{
    QString home = qEnvironmentVariable("PULSMIR_HOME");
    return AppPaths(home.isEmpty() ? executableFolder : home, executableFolder);
}

QString AppPaths::File(const QString& name) const
{
    return m_programFolder + QLatin1Char('/') + name;
}
