// Ortus::String: block management, construction, assignment, observers,
// editing and comparison. Search lives in ortus_string_search.cpp, number
// parsing and formatting in ortus_string_number.cpp.
#include "medley/ortus_string.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/string_block.h"

namespace Ortus {

const std::size_t StringBlock::kHeaderSize = sizeof(StringBlock);

namespace {

constexpr std::uint32_t kNullShrinkCharacters = 1024;

// Adopts `buffer` into a new block; frees it when that fails.
StringBlock* AdoptBuffer(char* buffer) {
  const std::size_t length = std::strlen(buffer);
  StringBlock* block = length <= kMaxBlockCharacters ? NewStringBlock(0) : nullptr;
  if (!block) {
    std::free(buffer);
    return nullptr;
  }
  block->external = buffer;
  block->end = static_cast<std::uint32_t>(length);
  return block;
}

StringBlock* CopyBytes(const char* text, std::uint64_t length) {
  StringBlock* block = NewStringBlock(length);
  if (block) {
    std::memcpy(block->Inline(), text, length);
    block->end = static_cast<std::uint32_t>(length);
  }
  return block;
}

// The block a new copy of a string uses: the same one while its count has
// room, else a private copy of the visible text (null when that fails).
StringBlock* Share(StringBlock* block) {
  if (!block) return nullptr;
  if (block->refs < String::kMaxShares) {
    ++block->refs;
    return block;
  }
  StringBlock* copy = CopyBytes(block->Text() + block->start, block->Length());
  if (copy) {
    copy->format = block->format;
    copy->isNull = block->isNull;
  }
  return copy;
}

}  // namespace

StringBlock* NewStringBlock(std::uint64_t characters) {
  if (characters > kMaxBlockCharacters) return nullptr;
  const std::uint64_t bytes = StringBlock::kHeaderSize + characters + 1;
  auto* block = static_cast<StringBlock*>(std::calloc(1, static_cast<std::size_t>(bytes)));
  if (!block) return nullptr;
  block->refs = 1;
  block->size = static_cast<std::uint32_t>(bytes);
  block->format = kDefaultNumberFormat;
  return block;
}

String::String() : block_(nullptr) {}

String::String(const char* text, int length) : block_(nullptr) {
  if (!text || length == 0) return;
  const std::uint64_t count = length < 0 ? std::strlen(text) : static_cast<std::uint64_t>(length);
  block_ = CopyBytes(text, count);
}

String::String(char* buffer) : block_(buffer ? AdoptBuffer(buffer) : nullptr) {}

String::String(const String& other) : block_(Share(other.block_)) {}

String::~String() { Dereference(); }

String& String::operator=(const String& other) {
  if (this == &other || block_ == other.block_) return *this;
  StringBlock* shared = Share(other.block_);
  Dereference();
  block_ = shared;
  return *this;
}

String& String::operator=(char* buffer) {
  if (!buffer) {
    MakeNull();
    return *this;
  }
  if (block_ && block_->external == buffer) return *this;
  Dereference();
  block_ = AdoptBuffer(buffer);
  return *this;
}

String& String::operator=(const char* text) {
  if (!text) {
    MakeNull();
    return *this;
  }
  if (Owns(text)) {
    const std::string copy(text);
    return *this = copy.c_str();
  }
  if (block_ && block_->refs == 1 && !block_->external) {
    std::memset(block_->Inline(), 0, block_->end);
    block_->start = 0;
    block_->end = 0;
    block_->isNull = 0;
    return AppendBytes(text, std::strlen(text));
  }
  Dereference();
  block_ = CopyBytes(text, std::strlen(text));
  return *this;
}

// The analyser follows neither the block across the shrinking realloc (block_
// keeps it) nor the other strings that share a block: no leak either way.
// NOLINTBEGIN(clang-analyzer-unix.Malloc)
void String::MakeNull() {
  if (!block_) return;
  if (block_->refs != 1) {
    Dereference();
    return;
  }
  if (block_->external) {
    std::free(block_->external);
    block_->external = nullptr;
  }
  if (block_->Capacity() > kNullShrinkCharacters) {
    const std::size_t bytes = StringBlock::kHeaderSize + kNullShrinkCharacters + 1;
    if (auto* smaller = static_cast<StringBlock*>(std::realloc(block_, bytes))) {
      block_ = smaller;
      block_->size = static_cast<std::uint32_t>(bytes);
    }
  }
  std::memset(block_->Inline(), 0, std::min<std::uint32_t>(block_->Capacity(), block_->end) + 1);
  block_->start = 0;
  block_->end = 0;
  block_->format = kDefaultNumberFormat;
  block_->isNull = 1;
}

void String::Dereference() {
  if (!block_) return;
  if (--block_->refs == 0) {
    std::free(block_->external);
    std::free(block_);
  }
  block_ = nullptr;
}
// NOLINTEND(clang-analyzer-unix.Malloc)

bool String::Detach(unsigned extra) {
  StringBlock* block = block_;
  if (!block) {
    block_ = NewStringBlock(static_cast<std::uint64_t>(extra) + kBlockSlack);
    return block_ != nullptr;
  }
  const std::uint32_t length = block->Length();
  if (block->external || block->refs > 1) {
    StringBlock* copy = NewStringBlock(static_cast<std::uint64_t>(length) + extra + kBlockSlack);
    if (!copy) {
      Dereference();
      return false;
    }
    std::memcpy(copy->Inline(), block->Text() + block->start, length);
    copy->end = length;
    // An adopted text stays this string's own; a shared block's copy starts
    // with the default format.
    if (block->external) copy->format = block->format;
    Dereference();
    block_ = copy;
    return true;
  }
  if (block->start != 0) {
    char* text = block->Inline();
    std::memmove(text, text + block->start, length);
    std::memset(text + length, 0, block->start);
    block->start = 0;
    block->end = length;
  }
  block->isNull = 0;
  if (block->Capacity() - block->end < extra) {
    const std::uint64_t grow = std::max<std::uint64_t>(static_cast<std::uint64_t>(extra) + 1, 32);
    const std::uint64_t bytes = block->size + grow;
    StringBlock* bigger = nullptr;
    if (bytes - StringBlock::kHeaderSize - 1 <= kMaxBlockCharacters) {
      bigger = static_cast<StringBlock*>(std::realloc(block, static_cast<std::size_t>(bytes)));
    }
    if (!bigger) {
      Dereference();
      return false;
    }
    std::memset(reinterpret_cast<char*>(bigger) + bigger->size, 0, static_cast<std::size_t>(grow));
    bigger->size = static_cast<std::uint32_t>(bytes);
    block_ = bigger;
  }
  return true;
}

bool String::Owns(const char* pointer) const {
  if (!block_ || !pointer) return false;
  const auto at = reinterpret_cast<std::uintptr_t>(pointer);
  const auto base = reinterpret_cast<std::uintptr_t>(block_);
  if (at >= base && at < base + block_->size) return true;
  const auto external = reinterpret_cast<std::uintptr_t>(block_->external);
  return block_->external && at >= external && at <= external + block_->end;
}

bool String::isNull() const { return !block_ || block_->isNull; }

bool String::isEmpty() const { return isNull() || block_->Length() == 0; }

unsigned String::Length() const { return block_ ? block_->Length() : 0; }

const char* String::Ptr() const { return isNull() ? nullptr : block_->Text() + block_->start; }

char& String::operator[](unsigned index) {
  thread_local char orphan;
  if (isNull() || index >= Length()) {
    char& scratch = block_ ? block_->scratch : orphan;
    scratch = 0;
    return scratch;
  }
  if (!Detach(0)) {
    orphan = 0;
    return orphan;
  }
  return block_->Inline()[index];
}

char& String::operator[](int index) {
  return index < 0 ? (*this)[~0u] : (*this)[static_cast<unsigned>(index)];
}

char String::operator[](unsigned index) const {
  return !isNull() && index < Length() ? Ptr()[index] : '\0';
}

char String::operator[](int index) const {
  return index < 0 ? '\0' : (*this)[static_cast<unsigned>(index)];
}

String String::subString(unsigned start, int count) const {
  String result;
  if (isNull() || start >= Length()) return result;
  const std::uint32_t rest = Length() - start;
  const std::uint32_t take = count < 0 || static_cast<std::uint32_t>(count) > rest
                                 ? rest
                                 : static_cast<std::uint32_t>(count);
  if (take > 0) result.block_ = CopyBytes(Ptr() + start, take);
  return result;
}

String& String::eatFromBeginning(unsigned count) {
  if (isNull()) return *this;
  if (block_->refs > 1 && !Detach(0)) return *this;
  block_->start += std::min<std::uint32_t>(count, block_->Length());
  return *this;
}

String& String::InsertBytes(const char* text, std::uint64_t length, unsigned position) {
  if (isNull() || position > Length() || !text || length == 0) return *this;
  if (length > kMaxBlockCharacters) {
    Dereference();
    return *this;
  }
  std::string holder;
  if (Owns(text)) {
    holder.assign(text, static_cast<std::size_t>(length));
    text = holder.data();
  }
  if (!Detach(static_cast<unsigned>(length))) return *this;
  char* chars = block_->Inline();
  std::memmove(chars + position + length, chars + position, block_->end - position);
  std::memcpy(chars + position, text, static_cast<std::size_t>(length));
  block_->end += static_cast<std::uint32_t>(length);
  return *this;
}

String& String::Insert(char c, unsigned position) { return InsertBytes(&c, 1, position); }

String& String::Insert(const char* text, unsigned position) {
  return text ? InsertBytes(text, std::strlen(text), position) : *this;
}

String& String::Insert(const String& text, unsigned position) {
  return text.isNull() ? *this : InsertBytes(text.Ptr(), text.Length(), position);
}

String& String::Remove(unsigned position, unsigned count) {
  if (isNull() || position > Length() || count == 0) return *this;
  const std::uint32_t length = Length();
  const std::uint32_t take = std::min<std::uint32_t>(count, length - position);
  if (take == 0 || !Detach(0)) return *this;
  char* chars = block_->Inline();
  std::memmove(chars + position, chars + position + take, length - position - take);
  std::memset(chars + length - take, 0, take);
  block_->end = length - take;
  return *this;
}

String& String::trimWhiteSpace() {
  if (isNull()) return *this;
  auto blank = [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; };
  const char* chars = Ptr();
  const std::uint32_t length = Length();
  std::uint32_t lead = 0;
  while (lead < length && blank(chars[lead])) ++lead;
  std::uint32_t trail = 0;
  while (trail < length - lead && blank(chars[length - 1 - trail])) ++trail;
  if ((lead == 0 && trail == 0) || !Detach(0)) return *this;
  std::memset(block_->Inline() + length - trail, 0, trail);
  block_->end = length - trail;
  block_->start = lead;
  return *this;
}

String String::toUpper() const {
  String copy(*this);
  if (!copy.isEmpty() && copy.Detach(0)) {
    char* chars = copy.block_->Inline();
    for (std::uint32_t i = 0; i < copy.block_->end; ++i) {
      chars[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(chars[i])));
    }
  }
  return copy;
}

String String::toLower() const {
  String copy(*this);
  if (!copy.isEmpty() && copy.Detach(0)) {
    char* chars = copy.block_->Inline();
    for (std::uint32_t i = 0; i < copy.block_->end; ++i) {
      chars[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(chars[i])));
    }
  }
  return copy;
}

String& String::AppendBytes(const char* data, std::uint64_t length) {
  if (!data) return *this;
  if (length > kMaxBlockCharacters) {
    Dereference();
    return *this;
  }
  std::string holder;
  if (length > 0 && Owns(data)) {
    holder.assign(data, static_cast<std::size_t>(length));
    data = holder.data();
  }
  if (!Detach(static_cast<unsigned>(length))) return *this;
  std::memcpy(block_->Inline() + block_->end, data, static_cast<std::size_t>(length));
  block_->end += static_cast<std::uint32_t>(length);
  return *this;
}

String& String::operator<<(const char* text) {
  return text ? AppendBytes(text, std::strlen(text)) : *this;
}

String& String::Append(const char* data, unsigned length) { return AppendBytes(data, length); }

String& String::operator<<(const String& other) {
  return other.isNull() ? AppendBytes("", 0) : AppendBytes(other.Ptr(), other.Length());
}

String& String::operator<<(char c) { return AppendBytes(&c, 1); }

String& String::operator<<(NumberFormat format) {
  const unsigned room = block_ ? 0u : std::max<unsigned>(11u, format.width);
  if (!Detach(room)) return *this;
  block_->format = format;
  block_->isNull = 1;
  return *this;
}

int String::Compare(const char* text, unsigned length, bool otherNull) const {
  const bool thisNull = isNull();
  if (thisNull || otherNull) return thisNull == otherNull ? 0 : (thisNull ? -1 : 1);
  const char* chars = Ptr();
  const std::uint32_t own = Length();
  const std::uint32_t common = std::min<std::uint32_t>(own, length);
  for (std::uint32_t i = 0; i < common; ++i) {
    const auto a = static_cast<signed char>(chars[i]);
    const auto b = static_cast<signed char>(text[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return own == length ? 0 : (own < length ? -1 : 1);
}

bool String::operator==(const String& other) const {
  if (block_ == other.block_) return true;
  return Compare(other.Ptr(), other.Length(), other.isNull()) == 0;
}

bool String::operator==(const char* other) const {
  return Compare(other, other ? static_cast<unsigned>(std::strlen(other)) : 0, !other) == 0;
}

bool String::operator<(const String& other) const {
  return Compare(other.Ptr(), other.Length(), other.isNull()) < 0;
}

bool String::operator<(const char* other) const {
  return Compare(other, other ? static_cast<unsigned>(std::strlen(other)) : 0, !other) < 0;
}

bool String::operator>(const String& other) const {
  return Compare(other.Ptr(), other.Length(), other.isNull()) > 0;
}

bool String::operator>(const char* other) const {
  return Compare(other, other ? static_cast<unsigned>(std::strlen(other)) : 0, !other) > 0;
}

}  // namespace Ortus
