#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class PerfDataSource;

// The network interface list the shell builds at start-up (NT family only), offered in the
// options for NTTargetNIC. A target that is not among the interfaces switches NTMultiNIC off
// and clears NTTargetNIC. A reader failure is logged and ends the list where it happened.
struct TNicListResult
{
    QStringList Names;
    bool MultiNic = false;
    QString TargetNic;
};

TNicListResult BuildNicList(PerfDataSource& source, bool multiNic, const QString& targetNic,
                            const std::function<void(const QString&)>& log,
                            const std::function<void(const QString&)>& status);
