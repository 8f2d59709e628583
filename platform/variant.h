// The VARIANT that property bags return values in: the system's own on
// Windows; elsewhere the same layout with the few value kinds this code
// reads, and VariantInit / VariantClear.
#pragma once

#include "medley/com_base.h"

#if !defined(_WIN32)

using VARTYPE = USHORT;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_BOOL = 11,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    SHORT iVal;
    VARIANT_BOOL boolVal;
    BSTR bstrVal;
    // Sizes the union as on Windows (two pointers).
    struct {
      void* pvRecord;
      void* pRecInfo;
    } brecVal;
  };
};
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*));

// Marks the variant empty without freeing anything.
void VariantInit(VARIANT* variant);
// Frees what the variant owns (a BSTR) and marks it empty. E_INVALIDARG for
// null.
HRESULT VariantClear(VARIANT* variant);

#endif  // !_WIN32
