#pragma once

#include "platform/linux/ProcStats.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>

// A sysfs value is at most a page; anything larger is not one (a forged or sparse file).
inline constexpr size_t MaxSysfsFileSize = 64 * 1024;

// The first line of a small sysfs file, without its line end; empty when it cannot be read.
QString ReadSysfsLine(const QString& path);

// The number a sysfs file holds, alone on its line; nothing for anything else.
std::optional<double> SysfsNumber(std::string_view text);

// The number file holds, read once now; nothing when it cannot be read or is no number.
std::optional<double> ReadSysfsNumber(ProcFile& file);

// hwmon0, hwmon2, hwmon10 in the kernel's order, not the alphabet's.
QStringList NumberedEntries(const QString& folder, const QString& prefix);

// The name the symbolic link at path points to, without its folder ("amdgpu" for a device's
// driver link); empty when path is no link. A link is read without opening anything.
QString LinkName(const QString& path);

// Whether a device's power/runtime_status file says the driver has suspended it: reading any
// other of its files would wake it. Reading this one does not.
bool ReadsSuspended(ProcFile& runtimeStatus);
