#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// The fuzzer's bytes as a deep copy, so nothing keeps a pointer into libFuzzer's buffer.
inline QByteArray FuzzBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
