#include "app/CommandLine.h"

#include <QRegularExpression>

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

InstanceChoice InstanceFromArguments(const QStringList& arguments)
{
    InstanceChoice choice;
    const int at = static_cast<int>(arguments.indexOf(QStringLiteral("--instance")));
    if (at < 0)
        return choice;
    const QString name = at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    if (allowed.match(name).hasMatch())
        choice.name = name;
    else
        choice.error = QStringLiteral("the instance name \"%1\" is not 1 to 32 of the letters A-Z, "
                                      "a-z, the digits, '_' and '-'")
                           .arg(name);
    return choice;
}

QString NamedInstanceStem(const QString& stem, const QString& instanceName)
{
    return stem + u'-' + instanceName;
}

QString InstanceWindowTitle(const QString& instanceName)
{
    return instanceName.isEmpty() ? QStringLiteral("Pulsmir")
                                  : QStringLiteral("Pulsmir ") + instanceName;
}

bool IsAddinPackageArgument(const QString& argument)
{
    return argument.endsWith(QLatin1String(".pma"), Qt::CaseInsensitive) && argument.size() > 4;
}

bool IsAllowSecondInstanceArgument(const QString& argument)
{
    return argument.compare(QLatin1String("/M"), Qt::CaseInsensitive) == 0;
}
