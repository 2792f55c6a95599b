// The software blitter's pixel loops: every blend mode, alpha plane, brightness, transparent key and 16-bit
// layout, unscaled and scaled, on locked pixel memory. The drawers' frame finds the pointers and calls these.
#pragma once
#include <cstdint>

#include "graphics/color_format.h"

namespace blit {

// What the loops draw with, read from the draw state and the DirectDraw layer once per call.
struct Settings {
  int blendMode = 0;
  int param = 255;
  uint32_t bright = 0xFFFFFFFF;  // byte 0 blue, 1 green, 2 red; all ones means no brightness
  int trans = 0;                 // transparent flag as the caller gave it
  uint32_t key = 0;              // packed screen value of the transparent colour
  bool lowPrecision = false;
  bool mmx = true;               // the use-MMX flag: selects the MMX formulas where they exist
  bool simd = true;              // SSE2 fast paths; off runs the plain loops of the same formulas
  bool avx2 = true;              // with simd: AVX2 forms where the processor has them
  const ColorFormat* screen = nullptr;
  const uint32_t* mul = nullptr;  // the blend multiply table, 256 rows of 256: [i][j] = (i * j) >> 8

  bool brightOn() const { return bright != 0xFFFFFFFF; }
};

// Three images and the alpha plane for an unscaled draw of w by h pixels. bg may equal dst.
struct Job {
  uint8_t* dst = nullptr;
  intptr_t dstPitch = 0;
  const uint8_t* src = nullptr;
  intptr_t srcPitch = 0;
  const uint8_t* bg = nullptr;
  intptr_t bgPitch = 0;
  const uint8_t* alpha = nullptr;  // null: the source has no alpha plane
  intptr_t alphaPitch = 0;
  int w = 0, h = 0;
};

enum class Outcome {
  Drawn,         // the loops ran
  Nothing,       // the settings draw nothing
  HardwareCopy,  // no arithmetic needed: the caller copies (keyed when transparent)
};

// How the source is prepared before it meets the background, as a loop nest reads it.
enum class Var : uint8_t {
  Plain,      // 256 steps through the multiply table (the parameter's row)
  Bright,     // the brightness rows first, then 256 steps
  Low,        // sixteenths
  LowBright,  // sixteenths, brightness by per-channel sixteenths
  LowSpecial, // 16-bit sixteenths at an exact factor: alpha q = 8 (halves), add/subtract with a plane q = 16
  Mmx,        // the MMX formulas (alpha and add, no brightness, full precision)
};

// The loop nest an unscaled draw runs: chosen once per call, then run.
struct Nest {
  Outcome outcome = Outcome::Nothing;  // only Drawn runs a nest
  int mode = 0;                        // 0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply, 8 exclusive-or
  bool plane = false;                  // reads the alpha plane (a = 0 leaves the pixel)
  Var var = Var::Plain;
  bool key = false;                    // tests the transparent key
};

// The nest for these settings (the screen's depth and layout included) with or without an alpha plane.
Nest ChooseUnscaled(const Settings& settings, bool hasPlane);
// Runs a Drawn nest of ChooseUnscaled over the job.
void RunUnscaled(const Job& job, const Settings& settings, const Nest& nest);
// Unscaled graph drawing on 16- and 32-bit screens (other depths draw nothing): ChooseUnscaled, then RunUnscaled.
Outcome DrawUnscaled(const Job& job, const Settings& settings);

// One axis of a scaled draw, in 16.16 fixed point, worked in 64 bits so no size overflows.
struct ScaledAxis {
  int64_t step = 0;   // destination pixels per source pixel << 16
  int64_t skip = 0;   // destination pixels clipped off at the near edge
  int64_t first = 0;  // first source pixel drawn, counted from the edge where drawing starts
  int64_t count = 0;  // source pixels the clipped span reads, first one included
};
// destSize: the unclipped destination size; clipSkip/clipSize: what the clip rectangle cut off at the near edge
// and what remains.
ScaledAxis MakeScaledAxis(int64_t destSize, int64_t graphSize, int64_t clipSkip, int64_t clipSize);

// A scaled draw: src and alpha point at the first source pixel read (row `first` of the vertical axis, column
// `first` of the horizontal one); srcStepX is +1 or -1 (mirrored) pixels; srcPitch/alphaPitch are negative on a
// mirrored vertical axis. w and h are the clipped destination size.
struct ScaledJob {
  uint8_t* dst = nullptr;
  intptr_t dstPitch = 0;
  const uint8_t* bg = nullptr;
  intptr_t bgPitch = 0;
  const uint8_t* src = nullptr;
  intptr_t srcPitch = 0;
  const uint8_t* alpha = nullptr;
  intptr_t alphaPitch = 0;
  int srcStepX = 1;
  int w = 0, h = 0;
  ScaledAxis x, y;
};

// The nest of a scaled draw, by the scaled drawer's own rules (an alpha plane always in full precision, the general
// 16-bit layout keeping it; 8-bit screens copy indices, keyed on the flag's lowest bit). Never HardwareCopy.
Nest ChooseScaled(const Settings& settings, bool hasPlane);
// Runs a Drawn nest of ChooseScaled over the job.
void RunScaled(const ScaledJob& job, const Settings& settings, const Nest& nest);
// Scaled graph drawing on 8-, 16- and 32-bit screens: ChooseScaled, then RunScaled.
Outcome DrawScaled(const ScaledJob& job, const Settings& settings);

// Plain copies: the hardware copy's work when the caller does it in software (and the opaque fill of the
// primitives). keyed compares only the screen's colour bits with the key.
void CopyPixels(const Job& job, int bytesPerPixel, bool keyed, uint32_t key, uint32_t keyMask, bool simd);

// The 16-bit layouts the loops tell apart.
enum class Layout16 { R5G6B5, X1R5G5B5, General };
Layout16 ClassifyLayout16(const ColorFormat& screen);

// The key test's mask: the screen's red, green and blue bits (8-bit screens compare the whole index).
uint32_t ColourBits(const ColorFormat& screen);

}  // namespace blit
