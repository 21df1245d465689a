// The result of an operation that has no numeric result of its own. A
// failure has already been reported to the user where it was found; the
// caller only decides what to do next.
#pragma once

namespace belmora {

enum class [[nodiscard]] Status {
  kOk,
  kFailed,     // reported where it happened
  kCancelled,  // the user stopped it
};

inline bool Ok(Status s) {
  return s == Status::kOk;
}

}  // namespace belmora
