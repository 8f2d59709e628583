// cAutoCharPtr: exact-fit growable byte buffer with a movable read position.
#include "medley/auto_char_ptr.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t kCopyShrinkLimit = 400000;
constexpr std::uint32_t kCopyAbsoluteMaximum = 450000;
// Formatted text up to this size is formatted once, on the stack.
constexpr std::size_t kStackFormatSize = 256;

}  // namespace

cAutoCharPtr::cAutoCharPtr()
    : lineEnding_(LINE_ENDING_CRLF),
      buffer_(nullptr),
      start_(0),
      initialSize_(0),
      capacity_(0),
      end_(0),
      shrinkLimit_(0),
      absoluteMaximum_(0) {}

cAutoCharPtr::~cAutoCharPtr() { std::free(buffer_); }

void cAutoCharPtr::Release() {
  std::free(buffer_);
  buffer_ = nullptr;
  start_ = 0;
  end_ = 0;
  capacity_ = 0;
}

bool cAutoCharPtr::Initialize(std::uint32_t initialSize, std::uint32_t shrinkLimit,
                              std::uint32_t absoluteMaximum) {
  Release();
  initialSize_ = initialSize;
  shrinkLimit_ = shrinkLimit;
  absoluteMaximum_ = absoluteMaximum;
  buffer_ = static_cast<char*>(std::calloc(static_cast<std::size_t>(initialSize) + 1, 1));
  if (!buffer_) return false;
  capacity_ = initialSize;
  return true;
}

bool cAutoCharPtr::Initialize(const cAutoCharPtr* other) {
  if (!other || !other->buffer_ || other->Length() == 0) return false;
  const std::uint64_t size = static_cast<std::uint64_t>(other->Length()) + 2;
  if (size > 0xFFFFFFFFu) return false;
  // The source may be this very object, whose block Initialize frees.
  const std::string content(other->Ptr(), other->Length());
  return Initialize(static_cast<std::uint32_t>(size), kCopyShrinkLimit, kCopyAbsoluteMaximum) &&
         AppendRaw(content.data(), static_cast<std::uint32_t>(content.size()));
}

bool cAutoCharPtr::Reset() {
  if (!buffer_) return Initialize(initialSize_, shrinkLimit_, absoluteMaximum_);
  if (capacity_ <= shrinkLimit_) {
    start_ = 0;
    end_ = 0;
    std::memset(buffer_, 0, static_cast<std::size_t>(capacity_) + 1);
    return true;
  }
  return Initialize(initialSize_, shrinkLimit_, absoluteMaximum_);
}

bool cAutoCharPtr::MakeRoom(std::uint32_t count) {
  if (!buffer_) return false;
  if (static_cast<std::uint64_t>(end_) + start_ + count > capacity_ && !Normalize(0)) return false;
  const std::uint64_t needed = static_cast<std::uint64_t>(end_) + count;
  if (needed <= capacity_) return true;
  if (needed > absoluteMaximum_) return false;
  auto* grown = static_cast<char*>(std::realloc(buffer_, static_cast<std::size_t>(needed) + 1));
  if (!grown) {
    Release();
    return false;
  }
  buffer_ = grown;
  std::memset(buffer_ + end_, 0, static_cast<std::size_t>(needed) + 1 - end_);
  capacity_ = static_cast<std::uint32_t>(needed);
  return true;
}

bool cAutoCharPtr::AppendRaw(const char* data, std::uint32_t length) {
  if (!data && length > 0) return false;
  // The data may lie in this buffer, which MakeRoom may move.
  std::string holder;
  if (length > 0 && buffer_ && data >= buffer_ && data <= buffer_ + capacity_) {
    holder.assign(data, length);
    data = holder.data();
  }
  if (!MakeRoom(length)) return false;
  if (length > 0) std::memcpy(buffer_ + end_, data, length);
  end_ += length;
  buffer_[end_] = '\0';
  return true;
}

bool cAutoCharPtr::AppendLineEnding() {
  return lineEnding_ == LINE_ENDING_LF ? AppendRaw("\n", 1) : AppendRaw("\r\n", 2);
}

// Formats once into a private buffer (the arguments may point into this
// buffer, which growing moves), then copies the text in.
bool cAutoCharPtr::AppendFormatted(const char* format, va_list arguments, bool withLineEnding) {
  if (!format) return false;
  char small[kStackFormatSize];
  va_list measure;
  va_copy(measure, arguments);
  const int length = portable_vsnprintf(small, sizeof small, format, measure);
  va_end(measure);
  if (length < 0) return false;
  const std::uint32_t ending = withLineEnding ? (lineEnding_ == LINE_ENDING_LF ? 1u : 2u) : 0u;
  if (static_cast<std::uint64_t>(length) + ending > 0xFFFFFFFFu) return false;
  const char* text = small;
  std::string large;
  if (static_cast<std::size_t>(length) >= sizeof small) {
    large.resize(static_cast<std::size_t>(length) + 1);
    va_list again;
    va_copy(again, arguments);
    const int written = portable_vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    if (written != length) return false;
    text = large.data();
  }
  if (!MakeRoom(static_cast<std::uint32_t>(length) + ending)) return false;
  std::memcpy(buffer_ + end_, text, static_cast<std::size_t>(length));
  end_ += static_cast<std::uint32_t>(length);
  buffer_[end_] = '\0';
  return withLineEnding ? AppendLineEnding() : true;
}

bool cAutoCharPtr::Append(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const bool appended = AppendFormatted(format, arguments, false);
  va_end(arguments);
  return appended;
}

bool cAutoCharPtr::AppendLine(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const bool appended = AppendFormatted(format, arguments, true);
  va_end(arguments);
  return appended;
}

std::uint32_t cAutoCharPtr::ReadFromDescriptor(std::FILE* stream, std::uint32_t length) {
  if (!stream || !MakeRoom(length)) return 0;
  const std::size_t got = std::fread(buffer_ + end_, 1, length, stream);
  end_ += static_cast<std::uint32_t>(got);
  buffer_[end_] = '\0';
  return static_cast<std::uint32_t>(got);
}

bool cAutoCharPtr::Normalize(std::uint32_t count) {
  if (start_ == 0 && count == 0) return true;
  if (static_cast<std::uint64_t>(start_) + count > end_) return false;
  const std::uint32_t from = start_ + count;
  std::memmove(buffer_, buffer_ + from, end_ - from);
  end_ -= from;
  start_ = 0;
  buffer_[end_] = '\0';
  return true;
}

bool cAutoCharPtr::RemoveFromBeginning(std::uint32_t count) {
  if (static_cast<std::uint64_t>(start_) + count > end_) return false;
  const std::int64_t room = static_cast<std::int64_t>(capacity_) - end_ - start_;
  if (room >= static_cast<std::int64_t>(count)) return Normalize(count);
  start_ += count;
  return true;
}

bool cAutoCharPtr::operator==(const cAutoCharPtr& other) const {
  const char* a = Ptr() ? Ptr() : "";
  const char* b = other.Ptr() ? other.Ptr() : "";
  for (;; ++a, ++b) {
    const int ca = std::tolower(static_cast<unsigned char>(*a));
    const int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}
