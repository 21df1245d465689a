#include "tests/support/xa_builder.h"

#include <algorithm>
#include <cstring>

#include "str/sector.h"
#include "tests/support/audio.h"
#include "tests/support/str_builder.h"
#include "xa/xa_codec.h"

namespace belmora::test {

std::vector<uint8_t> BuildXaFile(const XaFileRecipe& recipe,
                                 std::vector<std::vector<std::vector<uint8_t>>>* images) {
  const size_t count = recipe.Channels.size();
  std::vector<ArraySource> sources;
  std::vector<XaEncoderState> encoders(count);
  sources.reserve(count);
  for (size_t k = 0; k < count; k++) {
    const auto& c = recipe.Channels[k];
    sources.emplace_back(c.Left, c.Right);
    XaEncodeSetup(encoders[k], sources[k], IsHalfRate(c.Coding) ? 18900 : 37800,
                  IsStereo(c.Coding) ? 2 : 1);
  }
  if (images) images->assign(count, {});
  StrBuilder b(recipe.SectorSize, true);
  int most = 0;
  for (const auto& c : recipe.Channels) most = std::max(most, c.Sectors);
  for (int round = 0; round < most; round++) {
    for (size_t k = 0; k < count; k++) {
      const auto& c = recipe.Channels[k];
      if (round >= c.Sectors) continue;
      const Subheader sub = AudioSubheader(uint8_t(c.Channel), uint8_t(c.Coding));
      uint8_t image[kSectorImageSize] = {};
      sub.Store(image);
      sub.Store(image + 4);
      XaEncodeSector(encoders[k], image);
      b.AddRaw(sub, std::vector<uint8_t>(image + 8, image + kSectorImageSize));
      if (images) (*images)[k].emplace_back(image, image + kSectorImageSize);
    }
  }
  return b.Bytes();
}

}  // namespace belmora::test
