// MdecCodec::DecodeFrame on a raw frame buffer. The input starts with the
// call's parameters: width and height (signed 16-bit), then a byte whose
// bit 0 asks for the half-width view and bit 1 for the scalar transforms;
// the rest is the frame buffer. Every frame is decoded twice, by the fast
// steps and by the plain reference steps, which must agree bit for bit.
#include <vector>

#include "fuzz/fuzz_common.h"
#include "mdec/codec.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FieldReader in(data, size);
  const int width = int16_t(in.U16());
  const int height = int16_t(in.U16());
  const uint8_t flags = in.U8();
  const bool halfWidth = flags & 1;
  const TransformVariant variant = (flags & 2) ? TransformVariant::kScalar : TransformVariant::kPacked;
  // A copy of exactly the buffer's size, so that any read past it is caught.
  const std::vector<uint8_t> frame(in.Rest(), in.Rest() + in.RestSize());

  MdecCodec fast, reference;
  fast.Init({variant, true});
  reference.Init({variant, false});
  FrameImage a, b;
  const int ra = fast.DecodeFrame(frame, width, height, halfWidth, a);
  const int rb = reference.DecodeFrame(frame, width, height, halfWidth, b);
  FUZZ_CHECK(ra == rb);
  FUZZ_CHECK(ra == 0 || ra == -1);
  if (ra == 0) {
    FUZZ_CHECK(a.Width == b.Width && a.Height == b.Height);
    FUZZ_CHECK(a.Width >= width && a.Height >= height && a.Width % 16 == 0 && a.Height % 16 == 0);
    FUZZ_CHECK(a.Pixels == b.Pixels);
  }
  return 0;
}
