// The result of an operation. A failure has already been reported to the
// user where it was found; the caller only decides what to do next.
#pragma once

#include <cassert>
#include <optional>
#include <utility>

namespace belmora {

enum class [[nodiscard]] Status {
  kOk,
  kFailed,     // reported where it happened
  kCancelled,  // the user stopped it
};

inline bool Ok(Status s) {
  return s == Status::kOk;
}

// A value, or the Status that says why there is none. A run that stopped
// part way (the user's stop, or a failure after some of the work was done)
// may still carry what it did: then status() says how it ended and the
// value what was done before.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  // Nothing done: `stop` is kFailed or kCancelled.
  Result(Status stop) : status_(stop) { assert(stop != Status::kOk); }
  // Stopped part way with what was done.
  Result(Status stop, T done) : status_(stop), value_(std::move(done)) {}

  bool Ok() const { return status_ == Status::kOk; }
  Status status() const { return status_; }
  bool has_value() const { return value_.has_value(); }

  const T& value() const {
    assert(value_);
    return *value_;
  }
  T& value() {
    assert(value_);
    return *value_;
  }
  const T& operator*() const { return value(); }
  T& operator*() { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }

 private:
  Status status_ = Status::kOk;
  std::optional<T> value_;
};

}  // namespace belmora
