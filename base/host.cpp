#include "base/host.h"

#include <cstdarg>
#include <cstdio>

namespace belmora {

void MessageBoxF(Host& host, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  host.ShowMessage(buffer, kMessageCaption, MessageKind::kInformation);
}

std::string ProgressLabel(const ProgressRecord& record) {
  char label[96];
  std::snprintf(label, sizeof label, "Setor Nº. : %06d   Nº do quadro : %06u", record.Sector,
                record.FrameNumber);
  return label;
}

}  // namespace belmora
