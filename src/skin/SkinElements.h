#pragma once

#include "skin/SkinModel.h"

#include <QString>
#include <cstdint>
#include <span>

// The element kinds of a skin mode, and the keys each is read from (P is the row's prefix):
//   Meter    P (picture), PX, PY, PFrames, PMaskColor, the speed key
//   Lamp     P (picture), PX, PY, PMaskColor; a fixed number of frames
//   Readout  PValSW, PValX, PValY, PValB, PValFZ; drawn with the mode's digit strip
//   Graph    PSW, PX, PY, PW, PH, PType, PDeep, PColor; full mode only
enum class SkinElementKind : std::uint8_t
{
    Meter,
    Lamp,
    Readout,
    Graph
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
    BatteryHistory
};

// When a definition file reads a row: the base elements, then the throughput meters (whose
// place beside the float keys differs by mode), then the sensor elements, which came last so
// that a skin without them reads as it always did.
enum class SkinStage : std::uint8_t
{
    Base,
    Throughput,
    Sensor
};

// One element of a skin mode. The rows stand in the order a definition file is read; a frame
// draws them by DrawRank.
struct SkinElementRow
{
    SkinElementKind Kind;
    int Index; // in the mode's array of its kind: SkinMeter, SkinLamp, ...
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
// The input's name, as the skin tool takes it.
const char* SkinInputName(SkinInput input);
