// XA ADPCM sector decoding. The input starts with the output rate (signed
// 32-bit, folded into -1 .. 384000); the rest is a run of 2336-byte sector
// images (subheader, copy, data area; a short last one is zero-filled),
// decoded one after the other in each of the four output formats (mono or
// stereo, 8 or 16 bits). The sector's own coding byte picks stereo or mono
// sound and its rate.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "str/sector.h"
#include "xa/xa_codec.h"

using namespace belmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FieldReader in(data, size);
  int32_t rate = int32_t(in.U32());
  if (rate < -1 || rate > 384000) rate = int32_t(uint32_t(rate) % 384002u) - 1;
  const size_t count = std::max<size_t>(1, (in.RestSize() + kSectorImageSize - 1) / kSectorImageSize);
  std::vector<uint8_t> sectors(count * kSectorImageSize, 0);
  std::copy(in.Rest(), in.Rest() + in.RestSize(), sectors.begin());

  for (int channels = 1; channels <= 2; channels++) {
    for (int bits : {8, 16}) {
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
    }
  }
  return 0;
}
