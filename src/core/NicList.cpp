#include "core/NicList.h"

#include "core/PerfObjects.h"

TNicListResult BuildNicList(PerfDataSource& source, bool multiNic, const QString& targetNic,
                            const std::function<void(const QString&)>& log,
                            const std::function<void(const QString&)>& status)
{
    TNicListResult result{{}, multiNic, targetNic};
    log(QStringLiteral("..NIC List Initialize"));
    bool found = false;
    // A reader that fails part way still leaves the settings and the log as for the interfaces
    // found so far.
    try {
        status(QStringLiteral("Connecting to Perf.System"));
        TPerfObjects objects(source);
        const int objectCount = objects.Count();
        log(QStringLiteral("..NIC List Initialize(%1Objects)").arg(objectCount));
        status(QStringLiteral("Get NIC Information..."));
        for (int i = 0; i < objectCount && !found; ++i) {
            if (objects.Names(i) != QStringLiteral("Network Interface"))
                continue;
            TPerfInstances instances(source);
            instances.SetObjectName(QStringLiteral("Network Interface"));
            const int count = instances.Count();
            log(QStringLiteral("..NIC List Initialize(%1Instances)").arg(count));
            for (int n = 0; n < count; ++n) {
                const QString name = instances.Names(n);
                result.Names << name;
                log(QStringLiteral("..NIC List Initialize(") + name + QStringLiteral(" Add)"));
                if (name == targetNic)
                    found = true;
            }
        }
    } catch (const std::exception& e) {
        log(QStringLiteral("[TRAP] NIC List : ") + QString::fromStdString(e.what()));
    }
    if (!found) {
        result.MultiNic = false;
        result.TargetNic.clear();
    }
    if (result.Names.isEmpty())
        log(QStringLiteral("..<!>NIC not Found"));
    return result;
}
