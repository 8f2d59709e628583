// The class registry is the system registry's HKEY_CLASSES_ROOT.
#include <new>

#include "platform/registry.h"
#include "platform/wide_text.h"

namespace platform {

namespace {

HRESULT FromWin32(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

// The key's own handle, closed with the object.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  HKEY* Receive() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class SystemEditor final : public ClassRegistryEditor {
 public:
  HRESULT CreateKey(std::string_view key) override {
    OpenKey created;
    return Create(key, &created);
  }

  HRESULT SetValue(std::string_view key, std::string_view name, std::string_view value) override {
    OpenKey created;
    HRESULT hr = Create(key, &created);
    if (FAILED(hr)) return hr;
    OleString wideName = NarrowToWide(name);
    OleString wideValue = NarrowToWide(value);
    return FromWin32(RegSetValueExW(created.Get(), wideName.empty() ? nullptr : wideName.c_str(), 0,
                                    REG_SZ, reinterpret_cast<const BYTE*>(wideValue.c_str()),
                                    static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t))));
  }

  HRESULT DeleteTree(std::string_view key) override {
    if (key.empty()) return E_INVALIDARG;
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, NarrowToWide(key).c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(status);
  }

  HRESULT DeleteKeyUnlessParent(std::string_view key) override {
    if (key.empty()) return E_INVALIDARG;
    OleString path = NarrowToWide(key);
    DWORD subkeys = 0;
    {
      OpenKey opened;
      LSTATUS status =
          RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, opened.Receive());
      if (status == ERROR_FILE_NOT_FOUND) return S_OK;
      if (status != ERROR_SUCCESS) return FromWin32(status);
      status = RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) return FromWin32(status);
    }
    if (subkeys > 0) return S_FALSE;
    return FromWin32(RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()));
  }

 private:
  static HRESULT Create(std::string_view key, OpenKey* created) {
    if (key.empty()) return E_INVALIDARG;
    return FromWin32(RegCreateKeyExW(HKEY_CLASSES_ROOT, NarrowToWide(key).c_str(), 0, nullptr, 0,
                                     KEY_WRITE | KEY_READ, nullptr, created->Receive(), nullptr));
  }
};

}  // namespace

std::string RegistryFilePath() { return {}; }

HRESULT EditClassRegistry(const std::function<HRESULT(ClassRegistryEditor&)>& edit) {
  try {
    SystemEditor editor;
    return edit(editor);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ReadClassRegistryValue(std::string_view key, std::string_view name, std::string* value) {
  if (!value) return E_POINTER;
  try {
    OleString path = NarrowToWide(key);
    OleString wideName = NarrowToWide(name);
    const wchar_t* valueName = wideName.empty() ? nullptr : wideName.c_str();
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, RRF_RT_REG_SZ,
                                  nullptr, nullptr, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return REGDB_E_KEYMISSING;
    if (status != ERROR_SUCCESS) return REGDB_E_READREGDB;
    OleString text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), valueName, RRF_RT_REG_SZ, nullptr,
                          text.data(), &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return REGDB_E_KEYMISSING;
    if (status != ERROR_SUCCESS) return REGDB_E_READREGDB;
    text.resize(WideLength(text.c_str()));
    *value = WideToNarrow(text);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

bool ClassRegistryKeyExists(std::string_view key) {
  if (key.empty()) return false;
  OpenKey opened;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, NarrowToWide(key).c_str(), 0, KEY_READ,
                       opened.Receive()) == ERROR_SUCCESS;
}

}  // namespace platform
