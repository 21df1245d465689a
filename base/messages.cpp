#include "base/messages.h"

#include <cstdarg>
#include <cstdio>

namespace belmora {

void Show(Host& host, Message m, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, m);
  std::vsnprintf(buffer, sizeof buffer, m.Text, args);
  va_end(args);
  host.ShowMessage(buffer, m.Caption, m.Kind);
}

std::string FormatMessage(Message m, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, m);
  std::vsnprintf(buffer, sizeof buffer, m.Text, args);
  va_end(args);
  return buffer;
}

Answer AskQuestion(Host& host, const Message& m, Buttons buttons) {
  return host.Ask(m.Text, m.Caption, buttons);
}

}  // namespace belmora
