#include "core/PerfMonitorCounterValue.h"

#include "core/PerfBlock.h"
#include "core/PerfError.h"
#include "platform/PerfDataLayout.h"

#include <cstdio>

using namespace PerfLayout;

namespace {

[[noreturn]] void InvalidType()
{
    throw EPerfError(QStringLiteral("Invalid counter type"));
}

[[noreturn]] void BaseType()
{
    throw EPerfError(QStringLiteral("PerfUtils Internal error (Perf_COUNTER_BASE)"));
}

} // namespace

void TPerfMonitorCounterValue::Sample(std::int64_t raw, std::int64_t base, std::uint32_t type,
                                      bool isNew, std::int64_t sampleTime, std::int64_t interval,
                                      std::int64_t elapsed)
{
    const bool delta = (type & DeltaCounter) != 0;
    if (delta && !isNew) {
        PreviousRawValue = RawValue;
        if (HasBase)
            PreviousBaseValue = BaseValue;
        HasPrevious = true;
    }
    SampleTime = sampleTime;
    Interval = interval;
    Elapsed = elapsed;
    RawValue = raw;
    CounterType = type;
    if (HasBase)
        BaseValue = base;
    ++SampleCount;
    if (delta && isNew) {
        FirstRawValue = RawValue;
        FirstBaseValue = BaseValue;
    }
}

long double TPerfMonitorCounterValue::GetValue() const
{
    long double value = 0;
    switch (CounterType & TypeMask) {
    case TypeNumber:
        value = static_cast<long double>(RawValue);
        break;
    case TypeCounter: {
        const bool delta = (CounterType & DeltaCounter) != 0;
        // Differences of counters that wrapped stay exact in 64 bits.
        const auto d = static_cast<long double>(
            delta ? static_cast<std::int64_t>(static_cast<std::uint64_t>(RawValue) -
                                              static_cast<std::uint64_t>(PreviousRawValue))
                  : RawValue);
        long double b = 0;
        if (HasBase)
            b = static_cast<long double>(
                delta ? static_cast<std::int64_t>(static_cast<std::uint64_t>(BaseValue) -
                                                  static_cast<std::uint64_t>(PreviousBaseValue))
                      : BaseValue);
        switch (CounterType & SubtypeMask) {
        case CounterValue:
            value = d;
            break;
        case CounterRate:
            value = Interval == 0 ? 0 : d / static_cast<long double>(Interval);
            break;
        case CounterFraction:
            value = b == 0 ? 0 : d / b;
            break;
        case CounterBase:
            BaseType();
        case CounterElapsed:
            value = (static_cast<long double>(CurrentFileTime()) - d) / 10000000.0L;
            break;
        case CounterQueueLen:
            value = -4.0L;
            break;
        case CounterHistogram:
            value = -5.0L;
            break;
        default:
            value = 0;
            break;
        }
        break;
    }
    case TypeText:
        InvalidType();
    default:
        value = 0;
        break;
    }
    if (CounterType & InverseCounter)
        value = 1 - value;
    switch (CounterType & DisplayMask) {
    case DisplayPerSec:
        value *= 10000000.0L;
        break;
    case DisplayPercent:
        value *= 100.0L;
        break;
    default:
        break;
    }
    return value;
}

std::int64_t TPerfMonitorCounterValue::AsInteger() const
{
    switch (CounterType & TypeMask) {
    case TypeNumber:
        return RawValue;
    case TypeCounter:
        switch (CounterType & SubtypeMask) {
        case CounterValue:
            return RawValue;
        case CounterRate:
            return -1;
        case CounterFraction:
            return -2;
        case CounterBase:
            BaseType();
        case CounterElapsed:
            return -3;
        case CounterQueueLen:
            return -4;
        case CounterHistogram:
            return -5;
        default:
            return 0;
        }
    case TypeText:
        InvalidType();
    default:
        return 0;
    }
}

int TPerfMonitorCounterValue::FormatCounterText(char* buffer, int size) const
{
    return std::snprintf(buffer, static_cast<size_t>(size), "%f", static_cast<double>(GetValue()));
}

QString TPerfMonitorCounterValue::AsText() const
{
    switch (CounterType & TypeMask) {
    case TypeNumber:
        switch (CounterType & SubtypeMask) {
        case NumberHex:
            return QString::number(static_cast<quint64>(RawValue), 16).toUpper();
        case NumberDecimal:
            return QString::asprintf("%.0f", static_cast<double>(GetValue()));
        case NumberDec1000:
            return QString::asprintf("%.3f", static_cast<double>(GetValue() / 1000));
        default:
            return {};
        }
    case TypeCounter: {
        char text[352];
        FormatCounterText(text, sizeof(text));
        return QString::fromLatin1(text);
    }
    case TypeText:
        InvalidType();
    default:
        return QStringLiteral("0");
    }
}
