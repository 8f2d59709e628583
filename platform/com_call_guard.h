// The exception guard of COM methods: no exception crosses the COM boundary,
// and the standard ones become the COM codes a host expects.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>

#include "medley/com_base.h"

namespace platform {

// Runs `body` (returning HRESULT): running out of memory gives
// E_OUTOFMEMORY; out-of-range, range and invalid-argument errors give
// E_INVALIDARG; bad-exception, overflow and any other error E_UNEXPECTED.
template <class Body>
HRESULT GuardComCall(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::out_of_range&) {
    return E_INVALIDARG;
  } catch (const std::range_error&) {
    return E_INVALIDARG;
  } catch (const std::invalid_argument&) {
    return E_INVALIDARG;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace platform
