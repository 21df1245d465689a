#include "tests/support/source_literals.h"

#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>

namespace belmora::test {
namespace {

// Decodes the escapes of a literal's body.
std::string Unescape(const std::string& body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 == body.size()) {
      out += body[i];
      continue;
    }
    const char c = body[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '0': out += '\0'; break;
      case 'x': {
        size_t end = i + 1;
        while (end < body.size() && std::isxdigit(static_cast<unsigned char>(body[end]))) ++end;
        out += char(std::stoi(body.substr(i + 1, end - i - 1), nullptr, 16));
        i = end - 1;
        break;
      }
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<SourceLiteral> StringLiterals(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string s = buffer.str();
  std::vector<SourceLiteral> out;
  int line = 1;
  bool joinable = false;  // only blanks and comments since the last literal
  auto countLines = [&](size_t from, size_t to) {
    for (size_t k = from; k < to && k < s.size(); ++k) line += s[k] == '\n';
  };
  size_t i = 0;
  bool lineStart = true;  // only blanks since the start of the line
  while (i < s.size()) {
    const char c = s[i];
    // Preprocessor lines (include paths) hold no texts.
    if (c == '#' && lineStart) {
      i = s.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (c == '\n') lineStart = true;
    else if (c != ' ' && c != '\t') lineStart = false;
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
      i = s.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const size_t end = s.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? s.size() : end + 2;
      countLines(i, stop);
      i = stop;
      continue;
    }
    if (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1])))) {
      size_t j = i + 1;
      while (j < s.size() && s[j] != '\'' && s[j] != '\n') j += s[j] == '\\' ? 2 : 1;
      i = j + 1;
      joinable = false;
      continue;
    }
    if (c == '"') {
      // A raw string: R"delim( ... )delim", perhaps with an encoding prefix.
      const bool raw = i > 0 && s[i - 1] == 'R';
      std::string text, written;
      size_t end;
      const int startLine = line;
      if (raw) {
        const size_t open = s.find('(', i);
        const std::string close = ")" + s.substr(i + 1, open - i - 1) + "\"";
        const size_t stop = s.find(close, open);
        text = written = s.substr(open + 1, stop - open - 1);
        end = stop + close.size();
      } else {
        size_t j = i + 1;
        while (j < s.size() && s[j] != '"' && s[j] != '\n') j += s[j] == '\\' ? 2 : 1;
        written = s.substr(i + 1, j - i - 1);
        text = Unescape(written);
        end = j + 1;
      }
      countLines(i, end);
      if (joinable && !out.empty()) {
        out.back().Text += text;
        out.back().Written += written;
      } else {
        out.push_back({path, startLine, text, raw, written});
      }
      joinable = true;
      i = end;
      continue;
    }
    if (c == '\n') ++line;
    if (!std::isspace(static_cast<unsigned char>(c))) joinable = false;
    ++i;
  }
  return out;
}

std::vector<std::string> PrintfConversions(const std::string& format) {
  static const std::regex conversion(
      R"(%[-+ #0]*(\*|[0-9]+)?(\.(\*|[0-9]+))?(hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGcspaA%])");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(format.begin(), format.end(), conversion);
       it != std::sregex_iterator(); ++it)
    out.push_back(it->str());
  return out;
}

}  // namespace belmora::test
