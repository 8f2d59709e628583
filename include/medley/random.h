// Random numbers and random text.
//
// cRandomizer draws from the Park-Miller minimal standard generator. Its
// seed is one value shared by the whole process (every cRandomizer draws
// from the same stream); it is set from the calendar time on the first draw.
// Draws are serialised: each generator holds its own lock while drawing and
// the shared seed is updated atomically.
//
// cRandomUtils turns those numbers into text by pattern: 'a' gives a
// lowercase letter, 'A' an uppercase letter, '#' a decimal digit, and every
// other pattern character stands for itself.
#pragma once

#include <cstdint>

#include "medley/export.h"
#include "medley/mutex.h"
#include "medley/ortus_string.h"

class MEDLEY_API cRandomizer {
 public:
  cRandomizer();
  ~cRandomizer();

  // 0 to 2,147,483,646.
  unsigned NextRandom();

  // Sets the shared seed (0 means "from the clock on the next draw").
  static void SetSeedForTesting(std::int32_t seed);

 private:
  cMutex lock_;
};

class MEDLEY_API cRandomUtils {
 public:
  cRandomUtils();
  ~cRandomUtils();

  // One character per pattern character and a NUL (strlen(pattern) + 1
  // bytes). An empty or null pattern writes nothing at all.
  void Sequence(char* out, const char* pattern);
  // The same, appended to `out`: letters and literals as characters, digits
  // through the string's integer append.
  void Sequence(Ortus::String& out, const char* pattern);
  // `length` lowercase letters and a NUL; nothing at all for length <= 0.
  void AsciiSequence(char* out, std::int32_t length);
  // `length` lowercase hexadecimal digits and a NUL: groups of four digits
  // (each followed by '-' when `dashes` is set and counting as five
  // characters), then single digits '0' to '7'. Never ends with '-'. A
  // length of 0 writes only the NUL; a negative length writes nothing.
  void HexSequence(char* out, std::int32_t length, bool dashes);
  // The current UTC time in seconds since 1970 as decimal digits, the
  // pattern's characters, then kIdDomain.
  Ortus::String GenerateId(const char* pattern);

  // Suffix of every GenerateId result.
  static constexpr const char* kIdDomain = "@medley.invalid";

 private:
  char PatternCharacter(char pattern);

  cRandomizer randomizer_;
};
