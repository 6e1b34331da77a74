#pragma once

#include "skin/Bitmap24.h"
#include "skin/BitmapPatches.h"
#include "skin/DeltaStrip.h"
#include "skin/Mask8.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class SkinTypeface;
enum class SkinInput : std::uint8_t;
enum class SkinTextValue : std::uint8_t;

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

// A line of text in a box, bound to a value by name: a number through the format, or a string.
struct TSkinText
{
    enum class Alignment : std::uint8_t
    {
        Left,
        Center,
        Right
    };
    bool Enabled = false;
    QString Value;                       // the value's name, as the skin gives it
    std::optional<SkinInput> Number;     // the value, when it names a number
    std::optional<SkinTextValue> String; // or a string; neither for an unknown name
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
    int Size = 12; // pixels
    SkinColor Color = 0xFFFFFF;
    Alignment Align = Alignment::Left;
    QString Format; // printf-like; empty for the value as it is
    std::shared_ptr<const SkinTypeface> Face;
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
    MeterGPU, // the chosen graphics processor's load
    MeterGPUMEM,
    MeterGPUTMP, // its temperature, over the temperature range of the options
    MeterFAN,    // the chosen fan, over its range
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
    ReadoutGPU,
    ReadoutGPUMEM,
    ReadoutGPUTMP,
    ReadoutFAN, // revolutions per minute
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
    GraphGpu,
    GraphGpuMem,
    GraphCount
};
constexpr int TextCount = 16;

// One display mode of a skin. Only the full mode's graphs are ever read.
struct TSkinModeRecord
{
    bool Enable = false;
    TSkinFont Font;
    Bitmap24 Background;
    // Once the window's surface was made from the background: the background under the
    // elements only (see TSkinSystem::ReleaseBackground), and Background empty.
    BitmapPatches BackgroundUnderElements;
    bool BackgroundReleased = false;
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
    std::array<TSkinText, TextCount> Texts;
    // What a text shows for a value that is missing.
    static constexpr const char* DefaultMissingText = "--";
    QString MissingText = QString::fromLatin1(DefaultMissingText);
    // The brightness, in percent, that an element keeps while its input is missing (a sensor
    // the machine does not have); its read-outs show dashes instead.
    static constexpr int DefaultMissingDim = 40;
    int MissingDim = DefaultMissingDim;
};
