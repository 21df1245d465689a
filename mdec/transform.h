// Quantization and the 8x8 transforms, in the scalar and the packed integer
// arithmetic. Blocks are 64 signed 16-bit values in row-major order.
#pragma once

#include <cstdint>

namespace belmora {

using Blocks6 = int16_t[6][64];

// Zigzag levels -> natural-order coefficients, all six blocks.
void Dequantize(const Blocks6& levels, Blocks6& coefs, int scale);
// The same for one block with its own scale.
void DequantizeBlock(const int16_t* levels, int16_t* coefs, int scale);
// Natural-order coefficients -> zigzag levels, all six blocks.
void Quantize(const Blocks6& coefs, Blocks6& levels, int scale);

// One block. The scalar inverse with `evenColumnsOnly` computes output
// columns 0, 2, 4, 6 and leaves the others as they were.
void InverseTransformScalar(int16_t* block, bool evenColumnsOnly = false);
void ForwardTransformScalar(int16_t* block);

// The packed variant, in portable code and (on x86-64) in SSE2 intrinsics;
// the two give identical results. The unsuffixed ones pick the fastest.
void InverseTransformPackedPortable(int16_t* block);
void ForwardTransformPackedPortable(int16_t* block);
#if defined(__SSE2__)
#define BELMORA_HAVE_SSE2 1
void InverseTransformPackedSse2(int16_t* block);
void ForwardTransformPackedSse2(int16_t* block);
#endif
void InverseTransformPacked(int16_t* block);
void ForwardTransformPacked(int16_t* block);

// One variant of the transforms, chosen once when a codec starts:
// `InverseBlock` is the decoder's fast step for one block whose levels past
// scan position `last` are zero (only the rows that can be non-zero are
// worked; the scalar variant with `evenColumnsOnly` computes output columns
// 0, 2, 4, 6 only); `Inverse` and `Forward` work all six blocks of a
// macroblock (Cr, Cb, Y0..Y3), the scalar inverse with `halfWidth` computing
// only the even columns of the luma blocks.
enum class TransformVariant { kPacked, kScalar };
struct TransformSet {
  void (*InverseBlock)(int16_t* block, bool evenColumnsOnly, int last);
  void (*Inverse)(Blocks6& blocks, bool halfWidth);
  void (*Forward)(Blocks6& blocks);
};
TransformSet SelectTransforms(TransformVariant variant);

}  // namespace belmora
