// The string literals of C++ source files, for the tests that check where
// the program's texts live.
#pragma once

#include <string>
#include <vector>

namespace belmora::test {

struct SourceLiteral {
  std::string File;
  int Line = 0;       // where the (first piece of the) literal starts
  std::string Text;   // escapes decoded, adjacent pieces joined
  bool Raw = false;   // a raw string (R"(...)"), kept as written
  std::string Written;  // the pieces as the source has them, escapes and all
};

// Every string literal of `path`; comments and character literals are
// skipped, literals side by side are joined.
std::vector<SourceLiteral> StringLiterals(const std::string& path);

// The printf conversions of `format`, in order ("%d", "%.2f", "%s", ...).
std::vector<std::string> PrintfConversions(const std::string& format);

}  // namespace belmora::test
