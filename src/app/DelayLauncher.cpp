#include "app/DelayLauncher.h"

#include <algorithm>

std::optional<DelayRequest> ParseDelayArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int seconds = arguments.at(0).toInt(&ok);
    if (!ok)
        return std::nullopt;
    DelayRequest request;
    request.seconds = std::clamp(seconds, 2, 60);
    if (arguments.size() > 1) {
        const QString& digit = arguments.at(1);
        if (digit.size() != 1 || !digit.at(0).isDigit() || digit.at(0).unicode() >= 128)
            return std::nullopt;
        request.drive = digit.at(0).digitValue();
    }
    return request;
}

QStringList MonitorArguments(const DelayRequest& request)
{
    if (request.drive < 0)
        return {};
    return {QStringLiteral("/M"), QStringLiteral("/D:%1").arg(request.drive)};
}
