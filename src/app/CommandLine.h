#pragma once

#include <QString>
#include <QStringList>

// The drive digit of the last "/D:" argument (only the one character after the colon counts:
// "/D:12" is drive 1), or -1 when there is none. A "/D:" without a digit is ignored.
int TargetDriveFromArguments(const QStringList& arguments);

// The name of "--instance NAME": an instance with its own settings file (Pulsmir-NAME.ini) and
// its own single-instance marker, so that several run side by side. `name` is empty without
// one; `error` says why a given name is refused (only A-Z, a-z, 0-9, '_' and '-', 1 to 32 of
// them).
struct InstanceChoice
{
    QString name;
    QString error;
};
InstanceChoice InstanceFromArguments(const QStringList& arguments);

// The name of a named instance's own file of the kind `stem` names ("Pulsmir" for its settings
// and autostart entry, the executable's name for its marker): "Pulsmir-nas". A drive instance's
// have "_" and the digit ("Pulsmir_3.ini"), so "--instance 3" never takes "/D:3"'s.
QString NamedInstanceStem(const QString& stem, const QString& instanceName);

// The window title an instance's window has and is found by: "Pulsmir", or "Pulsmir NAME".
QString InstanceWindowTitle(const QString& instanceName);

// An add-in package to install: a file whose extension is ".pma", in any case.
bool IsAddinPackageArgument(const QString& argument);

// "/M": run even when another instance runs.
bool IsAllowSecondInstanceArgument(const QString& argument);
