// One row of cDebugPrint::DumpMemory's hex dump. Internal to the protocol
// library; exposed for its tests.
#pragma once

#include "medley/auto_char_ptr.h"

// Appends the row of `rowLength` bytes at `data` (the row starting at
// `offset` of the dump) to `out`: "%04x (%5d) > ", "%02x " per byte, three
// spaces per byte missing up to `bytesPerLine`, and with `withCharacters` a
// blank and one character per byte ('.' for unprintable ones) padded with a
// space per missing byte. False when an append fails.
bool AppendDumpRow(cAutoCharPtr& out, const unsigned char* data, unsigned offset,
                   unsigned rowLength, unsigned bytesPerLine, bool withCharacters);

// Whether DumpMemory shows `byte` as itself.
bool IsDumpPrintable(unsigned char byte);
