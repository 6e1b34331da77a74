#pragma once

#include <QStringList>
#include <optional>

// What the delayed launcher was asked to do: wait, then start the monitor (for one drive).
struct DelayRequest
{
    int seconds = 5;
    int drive = -1;
};

// "seconds [digit]"; the wait is held to 2..60 seconds. Nothing when the seconds are missing
// or not a number.
std::optional<DelayRequest> ParseDelayArguments(const QStringList& arguments);

// The monitor's command line for the request.
QStringList MonitorArguments(const DelayRequest& request);
