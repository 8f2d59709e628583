// The outcome of reading text: either the value or a one-line reason that
// names the line at fault ("line 3: o= needs six fields ...").
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace host {

template <class T>
class [[nodiscard]] ParseResult {
 public:
  static ParseResult Success(T value) {
    ParseResult result;
    result.value_.emplace(std::move(value));
    return result;
  }
  static ParseResult Failure(const std::string& reason) {
    ParseResult result;
    result.error_ = reason;
    return result;
  }

  bool Ok() const { return value_.has_value(); }
  explicit operator bool() const { return Ok(); }

  // Throws std::bad_optional_access when the text was refused.
  T& Value() & { return value_.value(); }
  const T& Value() const& { return value_.value(); }
  T&& Value() && { return std::move(value_).value(); }

  // Empty on success.
  const std::string& ErrorMessage() const { return error_; }

 private:
  ParseResult() = default;

  std::optional<T> value_;
  std::string error_;
};

}  // namespace host
