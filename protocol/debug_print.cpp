// cDebugPrint::DumpMemory: a hex dump, one trace line per row.
#include "medley/auto_char_ptr.h"

#include <cstring>

#include "platform/trace.h"
#include "protocol/dump_row.h"

bool IsDumpPrintable(unsigned char byte) {
  if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
      (byte >= '0' && byte <= '9')) {
    return true;
  }
  static const char kPunctuation[] = "|'\".,?!*#=$-&()[]{}\\/@><;: ";
  static const unsigned char kLatin1[] = {0xA3, 0xF6, 0xE4, 0xE5, 0xD6, 0xC4, 0xC5};
  if (byte != 0 && std::strchr(kPunctuation, byte)) return true;
  for (unsigned char latin : kLatin1) {
    if (byte == latin) return true;
  }
  return false;
}

bool AppendDumpRow(cAutoCharPtr& out, const unsigned char* data, unsigned offset,
                   unsigned rowLength, unsigned bytesPerLine, bool withCharacters) {
  if (!out.Append("%04x (%5d) > ", offset, static_cast<int>(offset))) return false;
  for (unsigned i = 0; i < rowLength; ++i) {
    if (!out.Append("%02x ", data[i])) return false;
  }
  for (unsigned i = rowLength; i < bytesPerLine; ++i) {
    if (!out.AppendRaw("   ", 3)) return false;
  }
  if (!withCharacters) return true;
  if (!out.AppendRaw(" ", 1)) return false;
  for (unsigned i = 0; i < rowLength; ++i) {
    const char shown = IsDumpPrintable(data[i]) ? static_cast<char>(data[i]) : '.';
    if (!out.AppendRaw(&shown, 1)) return false;
  }
  for (unsigned i = rowLength; i < bytesPerLine; ++i) {
    if (!out.AppendRaw(" ", 1)) return false;
  }
  return true;
}

bool cDebugPrint::DumpMemory(const char* data, unsigned length, bool withCharacters,
                             unsigned bytesPerLine) {
  if (bytesPerLine == 0 || (!data && length > 0)) return false;
  cAutoCharPtr row;
  if (!row.Initialize(512, 400000, 450000)) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (unsigned offset = 0; offset < length;) {
    const unsigned rowLength = length - offset < bytesPerLine ? length - offset : bytesPerLine;
    if (AppendDumpRow(row, bytes + offset, offset, rowLength, bytesPerLine, withCharacters)) {
      platform::Trace("cDebugPrint::DumpMemory, %s", row.Ptr());
    }
    row.Reset();
    offset += rowLength;
  }
  return true;
}
