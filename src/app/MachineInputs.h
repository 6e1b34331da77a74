#pragma once

#include "core/ProcessShares.h"
#include "core/SensorReadings.h"
#include "platform/MachineIdentity.h"
#include "skin/SkinRenderer.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QTime>
#include <optional>
#include <vector>

struct TSettings;

// The graphics card's and the fan's inputs of a frame from the latest readings: a card that
// sleeps, or none, leaves its inputs missing; temperatures span the options' range, the fan its
// own or the options' top speed.
void FillGpuAndFanInputs(const SensorReadings& sensors, const TSettings& settings,
                         SkinRenderInputs& in);

// What the text values of a frame are made from; each is gathered by the window only while a
// text of the skin shows it.
struct TextValueSources
{
    const SensorReadings* Sensors = nullptr;
    const std::vector<ProcessShare>* Processes = nullptr; // busiest first
    QString Host;
    QString Kernel;
    QString NetAddress;
    std::optional<std::int64_t> UptimeSeconds;
    QTime Now;
    QLocale Locale;
};

// The values only shown as text: "12:34" for the time, "3 d 04:05" (or "4:05") for the
// uptime, "12.5 %" for a process's share; what is not known is empty, which a text shows as
// missing.
void FillTextValues(const TextValueSources& from, SkinRenderInputs& in);

// Gathers the text values for the window: the machine's names once, its address now and then
// (only for a skin that shows it), the clock and the uptime at each frame.
class TTextValueFeed
{
public:
    static constexpr int AddressRefreshMs = 10000;

    void Fill(const SensorReadings& sensors, const std::vector<ProcessShare>& processes,
              bool showsAddress, SkinRenderInputs& in);

private:
    std::optional<MachineIdentity> m_identity;
    QString m_address;
    QElapsedTimer m_addressAge;
};
