// The platform's COM base: the COM and OLE Automation basics, and
// InterfaceIdOf, which maps an interface type to its identifier for ComPtr
// and QueryInterface helpers. Each interface's own header specialises
// InterfaceIdOf beside the interface; IUnknown's is here. Platform code
// includes this header, never the interfaces of the host contract.
#pragma once

#include "medley/com_base.h"

template <class T>
struct InterfaceIdOf;
template <>
struct InterfaceIdOf<IUnknown> {
  static constexpr const IID& value = IID_IUnknown;
};
