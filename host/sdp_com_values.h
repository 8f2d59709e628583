// Conversions between the BSTR arguments of ISdpContent and the values of an
// SdpSession. Values written through the interface are checked so that the
// printed text always reads back as the same session.
#pragma once

#include <optional>
#include <vector>

#include "host/sdp_session.h"
#include "medley/com_base.h"
#include "platform/wide_text.h"

namespace host {

// A count or position as the interface's 32-bit LONG (clamped).
LONG ToLong(size_t value);

// Text for a line's value: E_INVALIDARG when it holds a control character
// other than a tab; trailing spaces and tabs are dropped. A null BSTR is empty.
HRESULT CleanText(BSTR value, platform::OleString* out);
// One field of a line (origin, connection, transport): non-empty, no white space.
HRESULT CleanToken(BSTR value, platform::OleString* out);

// Reads an optional line value: empty text when the line is absent.
HRESULT ReadOptionalText(const std::optional<platform::OleString>& value, BSTR* out);
// Writes an optional line value; empty text removes the line.
HRESULT WriteOptionalText(std::optional<platform::OleString>& slot, BSTR value);
// Reads the first of repeatable lines (b=, e=, p=): empty text when there is none.
HRESULT ReadFirstText(const std::vector<platform::OleString>& values, BSTR* out);
// Replaces repeatable lines by one line holding `value`; empty text removes them all.
HRESULT WriteOnlyText(std::vector<platform::OleString>& values, BSTR value);
// Appends an attribute: E_INVALIDARG when it is empty or not line text.
HRESULT AppendAttribute(std::vector<platform::OleString>& attributes, BSTR value);

// Copies `count` texts into the BSTRs at `outs`, all or none: on failure
// every out is null. E_POINTER when any out pointer is null.
HRESULT CopyAllToBstrs(const platform::OleStringView* texts, BSTR* const* outs, size_t count);

// c= values: absent reads as three empty texts; three empty texts remove
// the line, otherwise all three must be tokens.
HRESULT ReadConnection(const std::optional<SdpConnection>& connection, BSTR* network_type,
                       BSTR* address_type, BSTR* address);
HRESULT WriteConnection(std::optional<SdpConnection>& connection, BSTR network_type,
                        BSTR address_type, BSTR address);

}  // namespace host
