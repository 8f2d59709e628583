// cAutoCharPtr: the growable byte buffer of the protocol support classes,
// the formatter it uses (portable_snprintf, portable_vsnprintf) and the hex
// dump built on it (cDebugPrint).
//
// The content runs from a read position (start) to end inside one heap
// block of capacity + 1 bytes, and stays NUL-terminated; binary content is
// allowed, every length is explicit. Dropping a prefix is cheap when room is
// short (only start moves). The block grows exactly to what an append needs,
// never past the owner's absolute maximum. Every operation reports failure
// by its result and leaves the content as it was, except that a failed
// reallocation loses the block (Reset starts afresh).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "medley/export.h"

#if defined(__MINGW_PRINTF_FORMAT)
#define MEDLEY_PRINTF_FORMAT(format_index, first_arg) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, format_index, first_arg)))
#else
#define MEDLEY_PRINTF_FORMAT(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))
#endif

// As the standard snprintf and vsnprintf: the result is the length the
// complete output needs; at most size - 1 characters and a NUL are written.
MEDLEY_API int portable_snprintf(char* buffer, std::size_t size, const char* format, ...)
    MEDLEY_PRINTF_FORMAT(3, 4);
MEDLEY_API int portable_vsnprintf(char* buffer, std::size_t size, const char* format,
                                  va_list arguments);

enum line_ending_t {
  LINE_ENDING_LF = 0,    // a line ends with LF
  LINE_ENDING_CRLF = 1,  // CR LF
};

class MEDLEY_API cAutoCharPtr {
 public:
  // No block, all sizes 0, CR LF line endings.
  cAutoCharPtr();
  ~cAutoCharPtr();
  cAutoCharPtr(const cAutoCharPtr&) = delete;
  cAutoCharPtr& operator=(const cAutoCharPtr&) = delete;

  // Frees any block and allocates `initialSize` + 1 zeroed bytes. `Reset`
  // keeps a block of at most `shrinkLimit` bytes; no append may make the end
  // exceed `absoluteMaximum`. False when the allocation fails.
  bool Initialize(std::uint32_t initialSize, std::uint32_t shrinkLimit,
                  std::uint32_t absoluteMaximum);
  // A copy of `other`'s content (sizes: its length + 2, 400000, 450000).
  // False when other is null, empty or has no block.
  bool Initialize(const cAutoCharPtr* other);

  void SetLineEnding(line_ending_t ending) { lineEnding_ = ending; }

  // Empties the buffer, keeping a block up to the shrink limit.
  bool Reset();

  bool Append(const char* format, ...) MEDLEY_PRINTF_FORMAT(2, 3);
  // Formatted text followed by the line ending.
  bool AppendLine(const char* format, ...) MEDLEY_PRINTF_FORMAT(2, 3);
  bool AppendRaw(const char* data, std::uint32_t length);
  bool AppendLineEnding();

  // Reads up to `length` bytes from `stream` onto the end; the count read
  // (0 on any failure).
  std::uint32_t ReadFromDescriptor(std::FILE* stream, std::uint32_t length);

  // Drops `count` bytes from the front (moving only the read position when
  // room is short). False when the content is shorter.
  bool RemoveFromBeginning(std::uint32_t count);
  // Drops `count` bytes from the front and moves the rest to the start of
  // the block. False when the content is shorter.
  bool Normalize(std::uint32_t count);

  std::uint32_t Length() const { return end_ - start_; }
  std::uint32_t BufferSize() const { return capacity_; }
  // The first content byte; null when there is no block.
  char* Ptr() const { return buffer_ ? buffer_ + start_ : nullptr; }

  // The contents compare equal as NUL-terminated strings ignoring case.
  bool operator==(const cAutoCharPtr& other) const;

 private:
  bool MakeRoom(std::uint32_t count);
  bool AppendFormatted(const char* format, va_list arguments, bool withLineEnding);
  void Release();

  line_ending_t lineEnding_;
  char* buffer_;
  std::uint32_t start_;
  std::uint32_t initialSize_;
  std::uint32_t capacity_;
  std::uint32_t end_;
  std::uint32_t shrinkLimit_;
  std::uint32_t absoluteMaximum_;
};

// A hex dump of memory, row by row.
class MEDLEY_API cDebugPrint {
 public:
  // Formats `length` bytes in rows of `bytesPerLine`: "%04x (%5d) > " with
  // the row's offset, "%02x " per byte (three spaces for each byte missing
  // from a short last row) and, with `withCharacters`, a blank and one
  // printable character (or '.') per byte. The rows go to the trace hook.
  // False when the scratch buffer cannot be set up, or for a zero
  // `bytesPerLine` or null data.
  static bool DumpMemory(const char* data, unsigned length, bool withCharacters,
                         unsigned bytesPerLine);
};
