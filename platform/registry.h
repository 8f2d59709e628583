// The class registry (HKEY_CLASSES_ROOT) as self-registration and activation
// use it. On Windows it is the system registry. Elsewhere it is a text file
// (platform/registry_file.h) at RegistryFilePath(): edits read the file,
// change it and write it back atomically (a temporary file renamed over it)
// under an exclusive lock on "<file>.lock", so concurrent registrations do not
// lose each other's keys, and a reader sees the file before or after an edit,
// never half of one.
//
// Key paths are below HKEY_CLASSES_ROOT, with '\' between parts; letter case
// is ignored. The value name "" is a key's default value. Texts are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "medley/com_base.h"

#if defined(_WIN32)
#include <olectl.h>  // SELFREG_E_CLASS, SELFREG_E_TYPELIB
#else
constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150u);
constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
constexpr HRESULT REGDB_E_KEYMISSING = static_cast<HRESULT>(0x80040152u);
#endif

namespace platform {

// The operations of one edit. Each answers S_OK or a failure; a key path or
// value that cannot be stored gives E_INVALIDARG.
class ClassRegistryEditor {
 public:
  // Creates the key and its missing parents.
  virtual HRESULT CreateKey(std::string_view key) = 0;
  // Creates the key when needed and sets the string value.
  virtual HRESULT SetValue(std::string_view key, std::string_view name, std::string_view value) = 0;
  // Removes the key with all its subkeys and values; S_OK when it was not there.
  virtual HRESULT DeleteTree(std::string_view key) = 0;
  // Removes the key (and its values) unless it has subkeys; S_OK when it was
  // not there, S_FALSE when it was kept.
  virtual HRESULT DeleteKeyUnlessParent(std::string_view key) = 0;

 protected:
  ~ClassRegistryEditor() = default;
};

// Runs `edit` on the class registry and returns its result. On the file, the
// changes are written only when `edit` succeeds (a failure leaves the file as
// it was); the system registry keeps every change made before the failure.
// A file that exists but cannot be read as a registry is left alone:
// REGDB_E_READREGDB. A file that cannot be written: REGDB_E_WRITEREGDB.
HRESULT EditClassRegistry(const std::function<HRESULT(ClassRegistryEditor&)>& edit);

// Reads one string value: S_OK, REGDB_E_KEYMISSING when the key or the value
// is not there, REGDB_E_READREGDB when the registry cannot be read.
HRESULT ReadClassRegistryValue(std::string_view key, std::string_view name, std::string* value);

// Whether the key exists (false also when the registry cannot be read).
bool ClassRegistryKeyExists(std::string_view key);

// The registry file: $MEDLEY_REGISTRY when set and not empty, else
// ~/.config/medley/registry. Empty on Windows, which has a real registry.
std::string RegistryFilePath();

}  // namespace platform
