#pragma once

#include "app/DebugLog.h"
#include "skin/Bitmap24.h"
#include "skin/GraphRaster.h"
#include "skin/SkinModel.h"

#include <QRect>
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
    // Changes whenever any history changes (a graph step, a skin load). While it stays the
    // same the graphs look the same, so the renderer may reuse them; 0 means draw every time.
    std::uint64_t HistoryStamp = 0;
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
    void ResetMeterPositions()
    {
        MeterPositions.fill(0);
        m_graphCache = GraphCache();
    }

    // Whether the last frame copied its graphs instead of drawing them.
    bool ReusedGraphs() const { return m_reusedGraphs; }

    // CPU, MEM, SWP, RES, DRM, DWM, NInM, NOutM, shared by both modes.
    std::array<int, MeterCount> MeterPositions{};

private:
    void DrawFrame(const TSkinModeRecord& mode, const SkinRenderInputs& in, Bitmap24& surface);
    void DrawGraphs(const TSkinModeRecord& mode, const SkinRenderInputs& in, Bitmap24& surface);
    bool GraphsStandAlone(const TSkinModeRecord& mode) const;

    // The graphs as last drawn: the pixels of each graph's area, reused while the histories
    // and the layout are unchanged. Drawing them is most of a frame's work, yet they change
    // only at a graph step.
    struct GraphCache
    {
        const TSkinModeRecord* Mode = nullptr;
        std::uint64_t Stamp = 0;
        bool MultiCpu = false;
        int CpuCount = 0;
        QSize SurfaceSize;
        std::vector<QRect> Areas;
        std::vector<Bitmap24> Pixels;
    };

    TaggedLog m_log;
    GraphScratch m_scratch;
    GraphCache m_graphCache;
    bool m_reusedGraphs = false;
};
