#pragma once

#include "skin/SkinModel.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

// The element kinds of a skin mode, and the keys each is read from (P is the row's prefix):
//   Meter    P (picture), PX, PY, PFrames, PMaskColor, the speed key
//   Lamp     P (picture), PX, PY, PMaskColor; a fixed number of frames
//   Readout  PValSW, PValX, PValY, PValB, PValFZ; drawn with the mode's digit strip
//   Graph    PSW, PX, PY, PW, PH, PType, PDeep, PColor; full mode only
//   Text     P (the value's name), PX, PY, PW, PH, PFont, PSize, PColor, PAlign, PFormat
enum class SkinElementKind : std::uint8_t
{
    Meter,
    Lamp,
    Readout,
    Graph,
    Text
};

// What an element shows, named after the field of SkinRenderInputs it comes from.
enum class SkinInput : std::uint8_t
{
    CpuUsage,
    MemoryLoad,
    SwapLoad,
    FreeResources, // turned round by the mode's ResRevSW where that applies
    PingTime,
    PingLevel,
    Pinging,
    DiskReadActive,
    DiskWriteActive,
    DiskActive,
    NetXactActive,
    NetRecvActive,
    NetSendActive,
    NetActive,
    DiskReadPos,
    DiskWritePos,
    NetRecvPos,
    NetSendPos,
    TempPos,
    Temperature,
    TempAlarm,
    BatteryPercent,
    BatteryCharging,
    DiskSpacePercent,
    CpuHistory,
    MemHistory,
    SwapHistory,
    DiskReadHistory,
    DiskWriteHistory,
    NetRecvHistory,
    NetSendHistory,
    TempHistory,
    BatteryHistory,
    GpuLoad,
    GpuMemoryLoad,
    GpuTempPos,
    GpuTemperature,
    FanPos,
    FanRpm,
    GpuHistory,
    GpuMemHistory,
    Text // a text element: its value is named by the skin
};

// The values that only exist as text, named in skins as SkinTextValueName gives them.
enum class SkinTextValue : std::uint8_t
{
    Host,
    Kernel,
    Uptime,
    Time,
    GpuName,
    TempName,
    BatteryState,
    NetAddress,
    Proc1Name,
    Proc2Name,
    Proc3Name,
    Proc4Name,
    Proc5Name,
    Proc1Share,
    Proc2Share,
    Proc3Share,
    Proc4Share,
    Proc5Share
};
constexpr std::size_t SkinTextValueCount = std::size_t(SkinTextValue::Proc5Share) + 1;

// When a definition file reads a row: the base elements, then the throughput meters (whose
// place beside the float keys differs by mode), then the sensor elements, then those of the
// graphics processor, the fan and the texts. Each came last in its time so that a skin
// without them reads as it always did.
enum class SkinStage : std::uint8_t
{
    Base,
    Throughput,
    Sensor,
    Machine
};

// One element of a skin mode. The rows stand in the order a definition file is read; a frame
// draws them by DrawRank.
struct SkinElementRow
{
    SkinElementKind Kind;
    int Index; // in the mode's array of its kind: SkinMeter, SkinLamp, ..., the text's number
    const char* Prefix;
    SkinStage Stage;
    int DrawRank;
    SkinInput Input;
    int LampFrames = 0;                  // lamps: the frames of the picture
    const char* SpeedKey = nullptr;      // meters
    const char* FullSpeedKey = nullptr;  // meters whose full mode reads another key
};

std::span<const SkinElementRow> SkinElements();
// The rows in the order a frame draws them.
std::span<const SkinElementRow* const> SkinElementsByDrawRank();
// The row of that kind and index; every index of the model's arrays has one.
const SkinElementRow& SkinElementOf(SkinElementKind kind, int index);

QString SkinElementPrefix(const SkinElementRow& row);
// The mode defines the element of that row (its picture exists, its switch is on, ...).
bool SkinElementEnabled(const TSkinModeRecord& mode, const SkinElementRow& row);
// The input's name, as the skin tool takes it.
const char* SkinInputName(SkinInput input);

// The name a text element gives a string value ("host", "proc1.name"), and the reverse.
const char* SkinTextValueName(SkinTextValue value);
std::optional<SkinTextValue> SkinTextValueNamed(const QString& name);
// The number a text element names ("cpu", "gpu.temp"); none for any other name.
std::optional<SkinInput> SkinTextNumberNamed(const QString& name);
// Every name a text element may give: the numbers', then the strings'.
QStringList SkinTextNames();
