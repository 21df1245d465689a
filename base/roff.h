// Text for manual pages in roff: both programs write theirs from the
// options they register.
#pragma once

#include <string>

namespace belmora {

// `text` safe for roff: backslashes and hyphens escaped, a line starting
// with a dot or a quote guarded.
std::string RoffText(const std::string& text);

}  // namespace belmora
