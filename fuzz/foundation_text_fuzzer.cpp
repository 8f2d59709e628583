// Feeds arbitrary bytes to the text parsers and editors of the foundation
// library: String number parsing, search and replace, Date's ISO 8601 and
// RFC 2822 readers, strcasestr. The first byte chooses bases and positions;
// the rest is the text (NUL bytes included, as String allows).
#include <cstddef>
#include <cstdint>
#include <string>

#include "medley/ortus_date.h"
#include "medley/ortus_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const unsigned control = data[0];
  const char* text = reinterpret_cast<const char*>(data + 1);
  const int length = static_cast<int>(size - 1);
  const Ortus::String input(text, length);

  static const int kBases[] = {0, 2, 8, 10, 16, 36, 37, -1};
  bool ok = false;
  (void)input.toNumber(7, kBases[control & 7], &ok);
  (void)input.toNumber64(kBases[(control >> 3) & 7], 7);

  Ortus::Date date;
  (void)date.fromISO8601(input);
  (void)date.asISO8601(true);
  (void)date.fromRFC2822(input);
  (void)date.asRFC2822(control & 1);
  (void)date.asEpoch();
  (void)date.getYear();

  // Search and edit with needles cut from the input itself.
  const unsigned cut = length > 0 ? control % static_cast<unsigned>(length + 1) : 0;
  const Ortus::String needle = input.subString(cut, control & 3);
  const auto sensitivity = control & 0x40 ? Ortus::CASE_INSENSITIVE : Ortus::CASE_SENSITIVE;
  (void)input.Find(needle, control & 7, sensitivity);
  (void)input.rFind(needle, control & 7, sensitivity);
  Ortus::String edited(input);
  edited.Replace(needle, input.subString(0, control & 15), sensitivity, control >> 4,
                 control & 0x80);
  edited.Insert(needle, cut).Remove(control & 31, control >> 3).trimWhiteSpace();
  edited.eatFromBeginning(control & 7);
  edited << control << input;

  const std::string terminated(text, static_cast<std::size_t>(length));
  const std::string head = terminated.substr(0, control & 7);
  (void)Ortus::strcasestr(terminated.c_str(), head.c_str());
  return 0;
}
