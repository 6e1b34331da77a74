#pragma once

#include "app/DebugLog.h"
#include "skin/Bitmap24.h"
#include "skin/GraphRaster.h"
#include "skin/SkinModel.h"

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
    int PingTime = 0; // milliseconds; 888888 when there was no reply
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
    bool NTMultiCPU = false;
    bool LinearOFF = false;
};

// An error inside a frame; HelpContext is the number the log line reports.
class ESkinDrawError : public std::runtime_error
{
public:
    explicit ESkinDrawError(const std::string& message, int helpContext = 0)
        : std::runtime_error(message), HelpContext(helpContext)
    {}
    int HelpContext;
};

// Draws whole frames of the loaded skin onto the window's surface and keeps the displayed
// meter positions between frames. Never throws: an error ends the frame where it happened and
// is logged; the caller repaints the surface whatever happened.
class TSkinRenderer
{
public:
    explicit TSkinRenderer(TaggedLog log = {}) : m_log(std::move(log)) {}

    void RenderSkin(const TSkinSystem& skin, const SkinRenderInputs& inputs, Bitmap24& surface);
    // Every skin switch starts the meters from 0 again; a mode change keeps them.
    void ResetMeterPositions() { MeterPositions.fill(0); }

    // CPU, MEM, SWP, RES, DRM, DWM, NInM, NOutM, shared by both modes.
    std::array<int, MeterCount> MeterPositions{};

private:
    void DrawFrame(const TSkinModeRecord& mode, const SkinRenderInputs& in, Bitmap24& surface);

    TaggedLog m_log;
    GraphScratch m_scratch;
};
