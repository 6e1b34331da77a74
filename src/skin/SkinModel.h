#pragma once

#include "skin/Bitmap24.h"
#include "skin/DeltaStrip.h"
#include "skin/Mask8.h"

#include <array>

// The parts of a loaded skin. Every field starts as the model reset leaves it.

// A meter or lamp: frames stacked top to bottom in one image.
struct TSkinElement
{
    bool Enabled = false; // the image file existed
    int X = 0;
    int Y = 0;
    int Width = 0;
    int FrameHeight = 0;
    int Frames = 0;
    bool MaskFlag = false;
    SkinColor MaskColor = 0; // with MaskFlag, pixels of this colour are not drawn
    DeltaStrip Strip;
};

// A number drawn with the mode's digit strip.
struct TSkinReadout
{
    bool Enabled = false;
    int X = 0;
    int Y = 0;
    int B = 0; // character cells
    bool FZ = false;
};

// The digit strip: glyphs 0 to 9 and the filler glyph in slot 10; slots 11 and 12 stay empty.
struct TSkinFont
{
    static constexpr int FillerGlyph = 10;

    bool Enabled = false;
    int GlyphWidth = 0;
    int GlyphHeight = 0;
    bool MaskFlag = false;
    SkinColor MaskColor = 0;
    std::array<Bitmap24, 13> Glyphs;
    std::array<Mask8, 13> GlyphMasks;
};

struct TSkinGraph
{
    bool Enabled = false;
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
    SkinColor Color = 0xFFFFFF;
    int Type = 0;
    int Deep = 32;
};

// Indexes of the element arrays; the meter order is also that of MeterPositions.
enum SkinMeter
{
    MeterCPU,
    MeterMEM,
    MeterSWP,
    MeterRES,
    MeterDRM,
    MeterDWM,
    MeterNInM,
    MeterNOutM,
    MeterTMP, // processor temperature, over the range the options set
    MeterBAT, // battery charge
    MeterDSK, // disk space in use
    MeterCount
};
enum SkinLamp
{
    LampDR,
    LampDW,
    LampDRW,
    LampNTrans,
    LampNIn,
    LampNOut,
    LampNIO,
    LampPNG,
    LampPNGING,
    LampTMPALM, // the temperature reached the alarm level
    LampBATCHG, // charging, or on mains
    LampCount
};
enum SkinReadoutIndex
{
    ReadoutCPU,
    ReadoutMEM,
    ReadoutSWP,
    ReadoutRES,
    ReadoutPNG,
    ReadoutTMP,
    ReadoutBAT,
    ReadoutDSK,
    ReadoutCount
};
enum SkinGraphIndex
{
    GraphCPU,
    GraphMEM,
    GraphSwap,
    GraphDiskR,
    GraphDiskW,
    GraphNetI,
    GraphNetO,
    GraphTemp,
    GraphBatt,
    GraphCount
};

// One display mode of a skin. Only the full mode's graphs are ever read.
struct TSkinModeRecord
{
    bool Enable = false;
    TSkinFont Font;
    Bitmap24 Background;
    bool BgMaskFlag = false;
    SkinColor BgMaskColor = 0;
    std::array<TSkinElement, MeterCount> Meters;
    std::array<int, MeterCount> Speeds{};
    std::array<TSkinElement, LampCount> Lamps;
    std::array<TSkinReadout, ReadoutCount> Readouts;
    bool ResRevSW = false;
    bool FloatSW = false;
    int FloatPosX = 0;
    int FloatPosY = 0;
    std::array<TSkinGraph, GraphCount> Graphs;
    // The brightness, in percent, that an element keeps while its input is missing (a sensor
    // the machine does not have); its read-outs show dashes instead.
    static constexpr int DefaultMissingDim = 40;
    int MissingDim = DefaultMissingDim;
};
