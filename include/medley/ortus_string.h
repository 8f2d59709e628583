// Ortus::String: the foundation library's reference-counted, copy-on-write
// string of 8-bit characters.
//
// A String is one pointer to a shared block (header, then the text) or null.
// Copies share the block until one of them is modified; the first modifying
// operation gives that string a block of its own. Null (no block, or the
// block's null flag set), empty (a block holding no characters) and
// non-empty are distinct states.
//
// Allocation failure inside a modifying operation turns the string null and
// the operation has no further effect. Positions and counts out of range are
// clamped or ignored as each operation states; nothing reads or writes
// outside the block.
//
// Not thread-safe: a String and the blocks it shares are used by one thread
// at a time (reference counts are plain 16-bit counters).
#pragma once

#include <cstdint>

#include "medley/export.h"

namespace Ortus {

// How a String formats the integers appended to it. Passed by value.
struct NumberFormat {
  unsigned char base;      // 2 to 36; any other value means 10
  unsigned char reserved;  // stored and copied with the format, used by no conversion
  unsigned char width;     // minimum width; see the integer appends
  char fill;               // padding character; 0 pads with spaces
};

enum case_sensitivity_t {
  CASE_SENSITIVE = 0,    // bytes compared exactly
  CASE_INSENSITIVE = 1,  // characters compared after tolower
};

struct StringBlock;

class MEDLEY_API String {
 public:
  String();
  // Copies `length` bytes of `text`; -1 (or any negative length) copies up
  // to the terminating NUL. A null text or a length of 0 gives a null string;
  // an empty text with -1 gives an empty, non-null string.
  String(const char* text, int length = -1);
  // Adopts a NUL-terminated buffer allocated with malloc; the string frees it
  // with free. Only pass heap buffers here. A null buffer gives a null string.
  explicit String(char* buffer);
  String(const String& other);
  ~String();

  String& operator=(const String& other);
  // Adopts `buffer` as the constructor does; null makes the string null.
  String& operator=(char* buffer);
  // Copies `text`; null makes the string null (keeping an exclusive block).
  String& operator=(const char* text);

  bool operator!() const { return isNull(); }
  bool isNull() const;
  bool isEmpty() const;
  // end - start, read from the block even while the null flag is set.
  unsigned Length() const;
  // First visible character, or null for a null string.
  const char* Ptr() const;
  operator const char*() const { return Ptr(); }

  // Makes the string writable and returns its character at `index`. An
  // index at or past the length, a null string or a string that cannot be
  // made writable yields a scratch byte that belongs to no text.
  char& operator[](unsigned index);
  char& operator[](int index);
  // The character at `index`; 0 past the end.
  char operator[](unsigned index) const;
  char operator[](int index) const;

  // Integer value of the trimmed text in `base` (0: by prefix). `ok`, when
  // given, is set to whether a number was read.
  int toNumber(int defaultValue = 0, int base = 10, bool* ok = nullptr) const;
  std::int64_t toNumber64(int base = 10, std::int64_t defaultValue = 0) const;

  // Copy of `count` characters from `start`; a negative count, or one past
  // the end, takes the rest. A start at or beyond the length gives null.
  String subString(unsigned start, int count = -1) const;
  String& eatFromBeginning(unsigned count);
  String& Insert(char c, unsigned position);
  String& Insert(const char* text, unsigned position);
  String& Insert(const String& text, unsigned position);
  String& Remove(unsigned position, unsigned count);
  String& Replace(const String& find, const String& replacement,
                  case_sensitivity_t sensitivity = CASE_SENSITIVE, unsigned start = 0,
                  bool all = true);
  String& Replace(const char* find, const char* replacement,
                  case_sensitivity_t sensitivity = CASE_SENSITIVE, unsigned start = 0,
                  bool all = true);
  String& trimWhiteSpace();
  String toUpper() const;
  String toLower() const;

  // Positions relative to `start` (found index - start), or -1.
  int Find(char needle, unsigned start = 0, case_sensitivity_t sensitivity = CASE_SENSITIVE) const;
  int Find(const char* needle, unsigned start = 0,
           case_sensitivity_t sensitivity = CASE_SENSITIVE) const;
  int Find(const String& needle, unsigned start = 0,
           case_sensitivity_t sensitivity = CASE_SENSITIVE) const;
  int rFind(char needle, unsigned start = 0, case_sensitivity_t sensitivity = CASE_SENSITIVE) const;
  int rFind(const char* needle, unsigned start = 0,
            case_sensitivity_t sensitivity = CASE_SENSITIVE) const;
  int rFind(const String& needle, unsigned start = 0,
            case_sensitivity_t sensitivity = CASE_SENSITIVE) const;

  // Appends; a null string becomes non-null.
  String& operator<<(const char* text);
  String& operator+=(const char* text) { return *this << text; }
  String& Append(const char* data, unsigned length);
  String& operator<<(const String& other);
  String& operator+=(const String& other) { return *this << other; }
  String& operator<<(char c);
  String& operator<<(int value);
  String& operator<<(std::int64_t value);
  String& operator<<(unsigned value);
  String& operator<<(std::uint64_t value);
  // Stores the format; the string reads as null until the next append.
  String& operator<<(NumberFormat format);

  bool operator==(const String& other) const;
  bool operator==(const char* other) const;
  bool operator!=(const String& other) const { return !(*this == other); }
  bool operator!=(const char* other) const { return !(*this == other); }
  bool operator<(const String& other) const;
  bool operator<(const char* other) const;
  bool operator>(const String& other) const;
  bool operator>(const char* other) const;
  bool operator<=(const String& other) const { return *this == other || *this < other; }
  bool operator<=(const char* other) const { return *this == other || *this < other; }
  bool operator>=(const String& other) const { return *this == other || *this > other; }
  bool operator>=(const char* other) const { return *this == other || *this > other; }

  // Highest reference count a block takes; a further copy gets its own block.
  static constexpr unsigned kMaxShares = 0xFFFF;

 protected:
  // Makes the block exclusive and able to take `extra` more characters.
  // False (and the string null) when that needs memory that is not there.
  bool Detach(unsigned extra);
  // Lets go of the block: the last user frees it.
  void Dereference();

 private:
  String& AppendBytes(const char* data, std::uint64_t length);
  String& InsertBytes(const char* text, std::uint64_t length, unsigned position);
  String& ReplaceBytes(const char* find, unsigned findLength, const char* replacement,
                       unsigned replacementLength, case_sensitivity_t sensitivity, unsigned start,
                       bool all);
  String& AppendSigned(std::int64_t value);
  String& AppendUnsigned(std::uint64_t value);
  int FindBytes(const char* needle, unsigned length, unsigned start, case_sensitivity_t s) const;
  int rFindBytes(const char* needle, unsigned length, unsigned start, case_sensitivity_t s) const;
  int Compare(const char* text, unsigned length, bool otherNull) const;
  void MakeNull();
  bool Owns(const char* pointer) const;

  StringBlock* block_;
};

// Copies at most `limit` bytes of `text`, stopping before the first NUL, into
// a new malloc buffer with a terminator. Null when allocation fails or text
// is null.
MEDLEY_API char* strndup(const char* text, unsigned limit);

// Where `needle` starts in `haystack`, comparing after toupper, or null. The
// haystack is scanned once: a mismatch abandons the match under way and
// scanning resumes after the mismatching character. An empty needle gives null.
MEDLEY_API const char* strcasestr(const char* haystack, const char* needle);

}  // namespace Ortus
