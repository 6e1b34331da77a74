#pragma once

#include "skin/Bitmap24.h"
#include "skin/GraphRaster.h"
#include "skin/SkinModel.h"

#include <cstdint>
#include <optional>
#include <span>

// The drawing steps of a frame, on 24-bit bitmaps by direct row access. Every coordinate may
// lie anywhere in the int range; whatever falls outside the destination is cut away, and no
// step takes longer for a far-out element than for one at the edge.

// Copies a w x h block of src at (sx, sy) to dst at (dx, dy), cut to both bitmaps. The masked
// copy takes a pixel only where the first byte of the mask's pixel is 255.
void PlainCopy(const Bitmap24& src, std::int64_t sx, std::int64_t sy, std::int64_t w,
               std::int64_t h, Bitmap24& dst, std::int64_t dx, std::int64_t dy);
void MaskedCopy(const Bitmap24& src, const Mask8& mask, std::int64_t sx, std::int64_t sy,
                std::int64_t w, std::int64_t h, Bitmap24& dst, std::int64_t dx, std::int64_t dy);

// Moves a displayed meter position toward its target by the skin's speed and draws the meter.
// An absent element keeps its position. A negative speed counts as 0, since it would drive the
// meter away from its target for ever.
void StepMeter(const TSkinElement& e, int speed, int& position, std::int64_t target, bool linearOff,
               Bitmap24& surface);
// Pure arithmetic of StepMeter, for the tick and for tests.
int NextMeterPosition(int speed, int position, std::int64_t target, bool linearOff);

// Draws the frame for a position 0..100 (clamped): frame (Frames - 1) * v div 100.
void DrawMeter(const TSkinElement& e, std::int64_t value, Bitmap24& surface);
// The frame DrawMeter shows for a position, or -1 when it draws nothing.
std::int64_t MeterFrame(const TSkinElement& e, std::int64_t value);

// Right-aligned decimal in B cells, cut from the left, padded with the filler glyph or with 0.
// Negative values show as 0.
void DrawReadout(const TSkinFont& font, const TSkinReadout& readout, std::int64_t value,
                 Bitmap24& surface);
// The glyph of character cell i (1 = leftmost) of a read-out, 0..9 or the filler.
int ReadoutGlyph(const TSkinReadout& readout, std::int64_t value, std::int64_t cell);

// A read-out whose value is missing: a dash in each character cell, in the colour of the
// digits, on the filler glyph.
void DrawMissingReadout(const TSkinFont& font, const TSkinReadout& readout, Bitmap24& surface);

// Scales the pixels of the area (cut to the surface) to percent of their brightness, except
// those of the colour keep, which stay as they are, and which no dimmed pixel becomes.
void DimArea(Bitmap24& surface, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
             int percent, std::optional<SkinColor> keep);

// A history graph, newest sample (index 0) at the right edge. Types: 0 line, 1 line with a
// 2-pixel pen, 2 filled area, 3 vertical bars; others draw nothing.
void DrawGraph(const TSkinGraph& graph, std::span<const int> history, Bitmap24& surface);
void DrawGraph(const TSkinGraph& graph, std::span<const int> history, Bitmap24& surface,
               GraphScratch& scratch);
