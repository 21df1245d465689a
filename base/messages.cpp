#include "base/messages.h"

#include <cstdarg>
#include <cstdio>

#include "base/language.h"

namespace belmora {

void Show(Host& host, Message m, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, m);
  std::vsnprintf(buffer, sizeof buffer, Tr(m.Text), args);
  va_end(args);
  host.ShowMessage(buffer, Tr(m.Caption), m.Kind);
}

std::string FormatMessage(Message m, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, m);
  std::vsnprintf(buffer, sizeof buffer, Tr(m.Text), args);
  va_end(args);
  return buffer;
}

Answer AskQuestion(Host& host, const Message& m, Buttons buttons) {
  return host.Ask(Tr(m.Text), Tr(m.Caption), buttons);
}

}  // namespace belmora
