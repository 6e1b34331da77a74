#pragma once

#include <QString>
#include <cstdint>

// One sampled counter of one instance (or of an object without instances): the raw values of
// this and the previous collect and the monitor's times, all 100-ns units.
class TPerfMonitorCounterValue
{
public:
    std::uint32_t CounterType = 0;
    bool HasBase = false;
    bool Seen = false;
    QString InstanceName;
    QString InstanceKey;
    bool HasPrevious = false;
    std::int64_t SampleCount = 0;
    std::int64_t FirstRawValue = 0;
    std::int64_t FirstBaseValue = 0;
    std::int64_t PreviousRawValue = 0;
    std::int64_t PreviousBaseValue = 0;
    std::int64_t RawValue = 0;
    std::int64_t BaseValue = 0;
    std::int64_t SampleTime = 0;
    std::int64_t Interval = 0;
    std::int64_t Elapsed = 0;

    // The counter's value by its type word, as the platform's counter types define it.
    long double GetValue() const;
    // Number types give the raw value; counter types give markers for what is not a number.
    std::int64_t AsInteger() const;
    QString AsText() const;
    // AsText of a counter type ("%f") without building a string, for the sampling path.
    int FormatCounterText(char* buffer, int size) const;

    // Samples a new raw value; `isNew` for a record created in this collect.
    void Sample(std::int64_t raw, std::int64_t base, std::uint32_t type, bool isNew,
                std::int64_t sampleTime, std::int64_t interval, std::int64_t elapsed);
};
