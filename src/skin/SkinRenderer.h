#pragma once

#include "log/DebugLog.h"
#include "skin/Bitmap24.h"
#include "skin/GraphRaster.h"
#include "skin/SkinElements.h"
#include "skin/SkinModel.h"

#include <QRect>
#include <QRegion>
#include <QString>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

class TSkinSystem;

// Every value a frame is drawn from. The sampling tick fills it from the measurement core, the
// ping prober and the settings; the renderer only reads it. Histories are newest first, values
// 0..100, as long as the graph's depth.
struct SkinRenderInputs
{
    bool FullMode = false;
    std::vector<std::uint32_t> CpuUsage = {0}; // [0] the average, then one per processor
    int MemoryLoad = 0;
    int SwapLoad = 0;
    int FreeResources = 0;
    bool IsNT = true;
    bool DiskReadActive = false;
    bool DiskWriteActive = false;
    bool DiskActive = false;
    bool NetXactActive = false;
    bool NetRecvActive = false;
    bool NetSendActive = false;
    bool NetActive = false;
    int PingLevel = 0;
    static constexpr int NoPingReply = 888888;
    int PingTime = 0; // milliseconds; NoPingReply when there was no reply
    bool Pinging = false;
    int DiskReadPos = 0;
    int DiskWritePos = 0;
    int NetRecvPos = 0;
    int NetSendPos = 0;
    int CpuCount = 1;
    std::vector<std::vector<int>> CpuHistory = {{}}; // [0] the average, then per processor
    std::vector<int> MemHistory;
    std::vector<int> SwapHistory;
    std::vector<int> DiskReadHistory;
    std::vector<int> DiskWriteHistory;
    std::vector<int> NetRecvHistory;
    std::vector<int> NetSendHistory;
    // The sensors; a value of NoSensorValue is a sensor the system does not offer, whose
    // read-out stays empty, meter stays at 0 and lamp stays off.
    static constexpr int NoSensorValue = -1;
    int TempPos = 0;                  // 0..100 over the temperature range of the options
    int Temperature = NoSensorValue;  // whole °C
    bool TempAlarm = false;           // at or above the alarm level
    int BatteryPercent = NoSensorValue;
    bool BatteryCharging = false;     // charging, or on mains
    int DiskSpacePercent = NoSensorValue;
    std::vector<int> TempHistory;     // temperature positions
    std::vector<int> BatteryHistory;
    // The chosen graphics processor and fan, NoSensorValue where there is none (or it sleeps).
    int GpuLoad = NoSensorValue;        // percent
    int GpuMemoryLoad = NoSensorValue;  // percent of its memory in use
    int GpuTemperature = NoSensorValue; // whole °C
    int GpuTempPos = NoSensorValue;     // 0..100 over the temperature range of the options
    int FanRpm = NoSensorValue;
    int FanPos = NoSensorValue;         // 0..100 over the fan's range
    std::vector<int> GpuHistory;        // load
    std::vector<int> GpuMemHistory;
    // The values only shown as text, by SkinTextValue; an empty one is missing.
    std::array<QString, SkinTextValueCount> Texts;
    bool NTMultiCPU = false;
    bool LinearOFF = false;
    // Changes whenever any history changes (a graph step, a skin load). While it stays the
    // same the graphs look the same, so the renderer may reuse them; 0 means draw every time.
    std::uint64_t HistoryStamp = 0;
};

// The history a graph input names; CpuHistory is the average's.
const std::vector<int>& SkinInputHistory(const SkinRenderInputs& in, SkinInput input);
std::vector<int>& SkinInputHistory(SkinRenderInputs& in, SkinInput input);

// An error inside a frame; HelpContext is the number the log line reports.
class ESkinDrawError : public std::runtime_error
{
public:
    explicit ESkinDrawError(const std::string& message, int helpContext = 0)
        : std::runtime_error(message), HelpContext(helpContext)
    {}
    int HelpContext;
};

// Draws the frames of the loaded skin onto the window's surface and keeps the displayed meter
// positions between frames. The first frame is drawn whole; after it only what changed is
// drawn again: the elements whose frame, value or history differs, on the background, with
// everything that overlaps them. Never throws: an error ends the frame where it happened and is
// logged; the caller repaints what the frame reports as changed whatever happened.
class TSkinRenderer
{
public:
    explicit TSkinRenderer(TaggedLog log = {}) : m_log(std::move(log)) {}

    // Returns the areas of the surface the frame changed; none when it looks as the last one.
    const std::vector<QRect>& RenderSkin(const TSkinSystem& skin, const SkinRenderInputs& inputs,
                                         Bitmap24& surface);
    // The next frame is drawn whole. Needed after anything else drew on the surface or the
    // skin's elements changed under the same surface.
    void Invalidate() { m_shown.Valid = false; }
    // Every skin switch starts the meters from 0 again; a mode change keeps them.
    void ResetMeterPositions()
    {
        MeterPositions.fill(0);
        Invalidate();
    }

    // CPU, MEM, SWP, RES, DRM, DWM, NInM, NOutM, TMP, BAT, DSK, shared by both modes.
    std::array<int, MeterCount> MeterPositions{};

    // The line a text element shows for the inputs: its value through its format, or the
    // mode's missing mark.
    static QString TextLine(const TSkinModeRecord& mode, const TSkinText& text,
                            const SkinRenderInputs& in);
    // Every part of a surface of that size the mode's elements may draw on, whatever the
    // inputs: the only parts a frame ever puts the background back on.
    static QRegion ElementAreas(const TSkinModeRecord& mode, QSize size);

private:
    // One drawing step of a frame, in drawing order: what it shows and where it may draw.
    struct FrameOp
    {
        enum Kind : std::uint8_t
        {
            Meter,
            Lamp,
            Readout,
            Graph,
            Text
        };
        Kind What = Meter;
        std::uint8_t Index = 0;
        bool Redraw = false;
        bool Missing = false;   // its input is missing
        std::int64_t Value = 0; // the position, the lamp's position or the number
        std::int64_t Key = 0;   // equal keys draw equal pixels: frame, number or history stamp
        QRect Area;             // cut to the surface; empty when it draws nothing there
        QString Line;           // a text's line; equal lines draw equal pixels
    };
    // The frame on the surface, as far as drawing the next one needs it.
    struct ShownFrame
    {
        bool Valid = false;
        const TSkinModeRecord* Mode = nullptr;
        const std::uint8_t* Pixels = nullptr;
        QSize Size;
        bool FullMode = false;
        bool MultiCpu = false;
        int CpuCount = 0;
        std::vector<FrameOp> Ops;
    };

    void DrawFrame(const TSkinModeRecord& mode, const SkinRenderInputs& in, Bitmap24& surface);
    void PlanFrame(const TSkinModeRecord& mode, const SkinRenderInputs& in, QSize size);
    bool ShowsSameLayout(const TSkinModeRecord& mode, const SkinRenderInputs& in,
                         const Bitmap24& surface) const;
    void MarkRedraws();
    void DrawOp(const TSkinModeRecord& mode, const SkinRenderInputs& in, const FrameOp& op,
                Bitmap24& surface);

    TaggedLog m_log;
    GraphScratch m_scratch;
    ShownFrame m_shown;
    std::vector<FrameOp> m_ops;   // the frame being drawn
    std::vector<QRect> m_changed; // the areas it changed
    std::array<int, MeterCount> m_nextPositions{};
    bool m_planned = false;
};
