// Numbers as the dialogs' edit boxes show them.
#pragma once

#include <cstdio>
#include <string>

namespace belmora {

// Up to 15 significant digits, without trailing zeros ("15", "29.97").
inline std::string EditText(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

}  // namespace belmora
