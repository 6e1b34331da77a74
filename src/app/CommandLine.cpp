#include "app/CommandLine.h"

int TargetDriveFromArguments(const QStringList& arguments)
{
    int drive = -1;
    for (const QString& argument : arguments) {
        if (argument.size() >= 4 &&
            argument.startsWith(QLatin1String("/D:"), Qt::CaseInsensitive) &&
            argument.at(3).isDigit() && argument.at(3).unicode() < 128)
            drive = argument.at(3).digitValue();
    }
    return drive;
}

bool IsAddinPackageArgument(const QString& argument)
{
    return argument.endsWith(QLatin1String(".pma"), Qt::CaseInsensitive) && argument.size() > 4;
}

bool IsAllowSecondInstanceArgument(const QString& argument)
{
    return argument.compare(QLatin1String("/M"), Qt::CaseInsensitive) == 0;
}
