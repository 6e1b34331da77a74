#pragma once

#include "skin/Bitmap24.h"

#include <cstdint>
#include <memory>
#include <vector>

// The frames of a meter or lamp picture, stacked top to bottom, kept as one base frame whole
// and every frame as the runs of pixels in which it differs from the base. The base shows at
// each pixel what most frames show there: a needle meter's dial without its needle, so each
// frame differs from it by its own needle alone. A needle or bar meter repeats most of its
// face from frame to frame, so this holds a 101-frame strip in a small part of its bitmap; a
// strip whose frames differ everywhere costs about what the bitmap does. Copies share their
// data.
class DeltaStrip
{
public:
    DeltaStrip() = default;
    // Frames of frameHeight rows from the top of the picture; rows below the last whole frame
    // are dropped, since no frame shows them. Empty unless frames and frameHeight are positive
    // and the picture holds at least one frame.
    DeltaStrip(const Bitmap24& picture, int frames, int frameHeight);

    bool IsEmpty() const { return !m_data; }
    int Width() const;
    int FrameHeight() const;
    int Frames() const;
    // What the strip holds in memory.
    std::int64_t ByteSize() const;

    // Writes columns [x, x + count) of row y of the frame, blue, green, red, to out. The
    // arguments must lie inside the strip.
    void ComposeRow(int frame, int y, int x, int count, std::uint8_t* out) const;
    // The whole frame as a bitmap.
    Bitmap24 Frame(int frame) const;

private:
    struct Run
    {
        std::uint16_t row;
        std::uint16_t x;
        std::uint16_t length;
        std::uint16_t pixel; // the run's first pixel among its frame's
    };
    struct Data
    {
        Bitmap24 first; // the base frame, or every frame when whole
        int frames = 0;
        int frameHeight = 0;
        bool whole = false;
        std::vector<std::uint32_t> frameRuns;   // first run of each frame, then the end
        std::vector<std::uint32_t> framePixels; // offset of each frame's first pixel byte
        std::vector<Run> runs;                  // by frame, then row, then x
        std::vector<std::uint8_t> pixels;
    };
    // The base and the runs of every frame; false when a frame differs in too many pixels.
    static bool FindRuns(const Bitmap24& picture, Data& data);

    std::shared_ptr<const Data> m_data;
};
