// The layouts, one line each, in the order a sector is tried on them: the
// most particular first. A new layout is a file of this folder and a line
// here.
#include "str/layouts/movie_layout.h"

#define BELMORA_LAYOUTS(LAYOUT)     \
  LAYOUT(Ff8Layout)                 \
  LAYOUT(Ff9Layout)                 \
  LAYOUT(ChronoCrossLayout)         \
  LAYOUT(IkiLayout)                 \
  LAYOUT(LainLayout)                \
  LAYOUT(Version1Layout)            \
  LAYOUT(StandardLayout)            \
  LAYOUT(Ff7Layout)                 \
  LAYOUT(LainInStandardSectorsLayout)

namespace belmora {

#define BELMORA_DECLARE(name) const MovieLayout& name();
BELMORA_LAYOUTS(BELMORA_DECLARE)
#undef BELMORA_DECLARE

std::span<const MovieLayout* const> AllLayouts() {
#define BELMORA_ENTRY(name) &name(),
  static const MovieLayout* const all[] = {BELMORA_LAYOUTS(BELMORA_ENTRY)};
#undef BELMORA_ENTRY
  return all;
}

}  // namespace belmora
