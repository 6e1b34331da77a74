#include "core/FreeSystemResources.h"

#include "core/PerfError.h"
#include "platform/FreeResources.h"

TFreeResources GetFreeResources(FreeResources& resources)
{
    switch (resources.Load()) {
    case FreeResources::Step::UserLibrary:
        throw EPerfError(QStringLiteral("Faild to call User.exe"));
    case FreeResources::Step::Function:
        throw EPerfError(QStringLiteral("Faild to call function"));
    case FreeResources::Step::Kernel32:
        throw EPerfError(QStringLiteral("Faild to call Kernel32.dll"));
    case FreeResources::Step::QtThunk:
        throw EPerfError(QStringLiteral("Faild to call QT_Thunk"));
    case FreeResources::Step::Ok:
        break;
    }
    return {resources.GetFreeSystemResources(0), resources.GetFreeSystemResources(1),
            resources.GetFreeSystemResources(2)};
}
