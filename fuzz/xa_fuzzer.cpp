// XA ADPCM sector decoding. The input starts with the output rate (signed
// 32-bit, folded into -1 .. 192000) and a byte choosing the output format
// (bit 0: stereo, bit 1: 16 bits); the rest is a run of 2336-byte sector
// images (subheader, copy, data area; a short last one is zero-filled),
// decoded one after the other. The sector's own coding byte picks stereo or
// mono sound and its rate.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "str/sector.h"
#include "xa/xa_codec.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FieldReader in(data, size);
  int32_t rate = int32_t(in.U32());
  if (rate < -1 || rate > 192000) rate = int32_t(uint32_t(rate) % 192002u) - 1;
  const uint8_t format = in.U8();
  const int channels = (format & 1) ? 2 : 1, bits = (format & 2) ? 16 : 8;
  const size_t count = std::max<size_t>(1, (in.RestSize() + kSectorImageSize - 1) / kSectorImageSize);
  std::vector<uint8_t> sectors(count * kSectorImageSize, 0);
  std::copy(in.Rest(), in.Rest() + in.RestSize(), sectors.begin());

  XaDecoderState state;
  XaSetOutputFormat(state, rate, channels, bits);
  for (size_t s = 0; s < count; s++) {
    // Exactly the room the decoder asks for, so that any write past it is caught.
    std::vector<uint8_t> out(XaMaxOutputBytes(state));
    int32_t written = -1;
    XaDecodeSector(state, &sectors[s * kSectorImageSize], out.data(), written);
    FUZZ_CHECK(written >= 0 && size_t(written) <= out.size());
    FUZZ_CHECK(written % (channels * bits / 8) == 0);
    FUZZ_CHECK(state.Position >= 0);
  }
  return 0;
}
