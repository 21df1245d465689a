#include "platform/message_sink.h"

#include <cstdarg>
#include <cstdio>

namespace belmora {

int MessageBoxF(MessageSink& sink, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return sink.Show(buffer, kMessageCaption);
}

}  // namespace belmora
