// The SSSE3 colour conversion; this file alone is compiled for SSSE3 and is
// called only when the processor has it.
#include "mdec/colour_simd.h"

namespace belmora {

#if defined(BELMORA_HAVE_SSE2)
void StoreMacroblockSsse3(const Blocks6& work, FrameImage& img, int column, int row, bool half) {
#if defined(__SSSE3__)
  StoreMacroblockSimd<true>(work, img, column, row, half);
#else
  StoreMacroblockSimd<false>(work, img, column, row, half);
#endif
}
#endif

}  // namespace belmora
