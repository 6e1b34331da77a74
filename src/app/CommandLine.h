#pragma once

#include <QString>
#include <QStringList>

// The drive digit of the last "/D:" argument (only the one character after the colon counts:
// "/D:12" is drive 1), or -1 when there is none. A "/D:" without a digit is ignored.
int TargetDriveFromArguments(const QStringList& arguments);

// An add-in package to install: a file whose extension is ".pma", in any case.
bool IsAddinPackageArgument(const QString& argument);

// "/M": run even when another instance runs.
bool IsAllowSecondInstanceArgument(const QString& argument);
