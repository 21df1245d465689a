// Colour conversion of one decoded macroblock: the six blocks of samples
// (Cr, Cb, Y0..Y3) into the picture's 24-bit blue-green-red pixels, the
// 16 x 16 area at (column, row), or 8 x 16 with `halfWidth` (even luma
// columns only). The variants give identical pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mdec/frame_image.h"
#include "mdec/transform.h"

namespace belmora {

using ColourStore = void (*)(const Blocks6& samples, FrameImage& image, int column, int row,
                             bool halfWidth);

// The plain reference, one pixel at a time.
void StoreMacroblockPlain(const Blocks6& samples, FrameImage& image, int column, int row,
                          bool halfWidth);
#if defined(BELMORA_HAVE_SSE2)
// Eight pixels at a time in SSE2.
void StoreMacroblockSse2(const Blocks6& samples, FrameImage& image, int column, int row,
                         bool halfWidth);
// The same with SSSE3's byte shuffle packing the pixels; only where the
// processor has SSSE3.
void StoreMacroblockSsse3(const Blocks6& samples, FrameImage& image, int column, int row,
                          bool halfWidth);
bool ProcessorHasSsse3();
// Sixteen pixels at a time in AVX2; only where the processor has AVX2.
void StoreMacroblockAvx2(const Blocks6& samples, FrameImage& image, int column, int row,
                         bool halfWidth);
bool ProcessorHasAvx2();
#endif

// The fastest variant this processor runs.
ColourStore SelectColourStore();

// The encoder's way back: the 16 x 16 blue-green-red pixels at (x, y) of a
// picture (top row first, `stride` bytes a row) into the six blocks, luma
// as 4 x luma - 512 and each chroma sample the sum of its four pixels',
// every term truncated as the exact encoder prescribes.
void PictureToSamplesPlain(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& samples);
#if defined(BELMORA_HAVE_SSE2)
void PictureToSamplesSse2(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& samples);
#endif
// The fastest variant (chosen when the program is built: SSE2 on x86-64).
void PictureToSamples(const uint8_t* bgr, size_t stride, int x, int y, Blocks6& samples);

}  // namespace belmora
