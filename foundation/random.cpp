// cRandomizer (Park-Miller minimal standard generator, Schrage's form) and
// cRandomUtils (random text by pattern, identifiers).
#include "medley/random.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "medley/ortus_date.h"

namespace {

// The one seed of the process; 0 until the first draw.
std::atomic<std::int32_t> sharedSeed{0};

std::int32_t NextSeed(std::int32_t seed) {
  const std::int32_t q = seed / 127773;
  const std::int32_t r = seed - q * 127773;
  std::int32_t next = 16807 * r - 2836 * q;
  if (next < 0) next += 0x7FFFFFFF;
  return next;
}

}  // namespace

cRandomizer::cRandomizer() = default;
cRandomizer::~cRandomizer() = default;

unsigned cRandomizer::NextRandom() {
  cScopedLock hold(lock_);
  std::int32_t seed = sharedSeed.load();
  std::int32_t next;
  do {
    const std::int32_t current =
        seed != 0 ? seed
                  : static_cast<std::int32_t>(static_cast<std::uint32_t>(std::time(nullptr)));
    next = NextSeed(current);
  } while (!sharedSeed.compare_exchange_weak(seed, next));
  return static_cast<unsigned>(next) & 0x7FFFFFFFu;
}

void cRandomizer::SetSeedForTesting(std::int32_t seed) { sharedSeed.store(seed); }

cRandomUtils::cRandomUtils() = default;
cRandomUtils::~cRandomUtils() = default;

char cRandomUtils::PatternCharacter(char pattern) {
  switch (pattern) {
    case 'a':
      return static_cast<char>('a' + randomizer_.NextRandom() % 26);
    case 'A':
      return static_cast<char>('A' + randomizer_.NextRandom() % 26);
    case '#':
      return static_cast<char>('0' + randomizer_.NextRandom() % 10);
    default:
      return pattern;
  }
}

void cRandomUtils::Sequence(char* out, const char* pattern) {
  if (!out || !pattern || !*pattern) return;
  for (; *pattern; ++pattern) *out++ = PatternCharacter(*pattern);
  *out = '\0';
}

void cRandomUtils::Sequence(Ortus::String& out, const char* pattern) {
  if (!pattern) return;
  for (; *pattern; ++pattern) {
    if (*pattern == '#') {
      out << static_cast<int>(randomizer_.NextRandom() % 10);
    } else {
      out << PatternCharacter(*pattern);
    }
  }
}

void cRandomUtils::AsciiSequence(char* out, std::int32_t length) {
  if (!out || length <= 0) return;
  for (std::int32_t i = 0; i < length; ++i) out[i] = PatternCharacter('a');
  out[length] = '\0';
}

void cRandomUtils::HexSequence(char* out, std::int32_t length, bool dashes) {
  if (!out || length < 0) return;
  const std::int32_t group = dashes ? 5 : 4;
  static const char kDigits[] = "0123456789abcdef";
  std::int32_t left = length;
  while (left > group) {
    const unsigned value = randomizer_.NextRandom() >> 16;  // 0 to 32767
    for (int shift = 12; shift >= 0; shift -= 4) *out++ = kDigits[(value >> shift) & 15];
    if (dashes) *out++ = '-';
    left -= group;
  }
  while (left > 0) {
    *out++ = kDigits[randomizer_.NextRandom() >> 28];  // '0' to '7'
    --left;
  }
  *out = '\0';
}

Ortus::String cRandomUtils::GenerateId(const char* pattern) {
  Ortus::Date now;
  now.now(false);
  Ortus::String id("", -1);
  id << static_cast<unsigned>(now.asEpoch());
  if (pattern) {
    for (; *pattern; ++pattern) id << PatternCharacter(*pattern);
  }
  id << kIdDomain;
  return id;
}
