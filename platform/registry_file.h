// The class registry as a text file, for systems without a registry of their
// own: the keys below HKEY_CLASSES_ROOT with their string values, written in
// the layout of a REGEDIT4 export so that a Windows developer can read and
// edit it:
//
//   REGEDIT4
//
//   [HKEY_CLASSES_ROOT\CLSID\{35930323-C68D-47A6-B757-5C4E70CCC35F}\InprocServer32]
//   @="/opt/medley/libmedley.so"
//   "ThreadingModel"="Apartment"
//
// Key paths are given below HKEY_CLASSES_ROOT with '\' between their parts
// ("CLSID\{...}\InprocServer32"). Letter case is kept as first written and
// ignored when keys or value names are compared, as on Windows. The value
// name "" is the key's default value ("@" in the text). Keys are printed in
// tree order; a key's parents always exist.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class RegistryFile {
 public:
  // Why a text was refused: "line 3: ..." (empty when it was accepted).
  struct ParseOutcome;

  RegistryFile() = default;

  // Reads the text form. An empty text is an empty registry; otherwise the
  // first line that is not blank must be "REGEDIT4". Lines starting with ';'
  // are comments. Values are strings, with '\\' and '\"' as the only escapes.
  static ParseOutcome Parse(std::string_view text);
  // The text form: "REGEDIT4", then each key and its values, a blank line
  // before each key.
  std::string Print() const;

  // Whether `path` and `name` can be stored and read back: parts not empty,
  // no control characters, no ']' in a key; no control characters in a
  // value name.
  static bool IsValidKeyPath(std::string_view path);
  static bool IsValidValueName(std::string_view name);
  static bool IsValidValue(std::string_view value);

  bool HasKey(std::string_view path) const;
  // The value, or null when the key or the value is missing.
  const std::string* FindValue(std::string_view path, std::string_view name) const;
  // The names of the key's direct subkeys, in tree order.
  std::vector<std::string> Subkeys(std::string_view path) const;

  // Create the key (and its parents) when missing. The caller checks the
  // texts with the IsValid functions first.
  void CreateKey(std::string_view path);
  void SetValue(std::string_view path, std::string_view name, std::string_view value);
  // False when there was no such value.
  bool DeleteValue(std::string_view path, std::string_view name);
  // Removes the key with all its subkeys and values; false when it was not
  // there.
  bool DeleteTree(std::string_view path);

  bool operator==(const RegistryFile& other) const;

 private:
  // Orders key paths part by part, letter case ignored, so that a key comes
  // right before its subkeys.
  struct PathLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using Values = std::map<std::string, std::string, NameLess>;

  // Each key under its path as first written.
  std::map<std::string, Values, PathLess> keys_;
};

struct RegistryFile::ParseOutcome {
  RegistryFile registry;
  std::string error;
  bool Ok() const { return error.empty(); }
};

}  // namespace platform
