#pragma once

#include <QtGlobal>

// Physical memory that programs can still get, in bytes (0 when unknown).
quint64 AvailablePhysicalMemoryBytes();
