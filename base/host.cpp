#include "base/host.h"

#include <cstdarg>
#include <cstdio>

#include "base/language.h"
#include "base/messages.h"

namespace belmora {

void MessageBoxF(Host& host, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, Tr(format), args);
  va_end(args);
  host.ShowMessage(buffer, Tr(kMessageCaption), MessageKind::kInformation);
}

std::string ProgressLabel(const ProgressRecord& record) {
  char label[96];
  std::snprintf(label, sizeof label, Tr(msg::kProgressLabel), record.Sector, record.FrameNumber);
  return label;
}

}  // namespace belmora
