#include "platform/registry_file.h"

#include <algorithm>
#include <iterator>

namespace platform {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT";

unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// The separator sorts before every other character, so a key's subtree
// comes before a sibling whose name continues where the key's ends.
unsigned char PathOrder(char c) { return c == '\\' ? 0 : Fold(c); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Fold(x) == Fold(y); });
}

// Whether `path` lies strictly below `key`.
bool IsBelow(std::string_view path, std::string_view key) {
  return path.size() > key.size() + 1 && path[key.size()] == '\\' &&
         EqualsNoCase(path.substr(0, key.size()), key);
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Reads a quoted string at the start of `text` and removes it from `text`.
// False for a missing quote or an unknown escape.
bool TakeQuoted(std::string_view& text, std::string* out) {
  if (text.empty() || text.front() != '"') return false;
  out->clear();
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return true;
    }
    if (c == '\\') {
      if (i + 1 == text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return false;
      c = text[++i];
    }
    *out += c;
  }
  return false;
}

}  // namespace

bool RegistryFile::PathLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return PathOrder(x) < PathOrder(y); });
}

bool RegistryFile::NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

bool RegistryFile::IsValidKeyPath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  if (path.find("\\\\") != std::string_view::npos) return false;
  return !HasControlCharacter(path) && path.find(']') == std::string_view::npos;
}

bool RegistryFile::IsValidValueName(std::string_view name) { return !HasControlCharacter(name); }

bool RegistryFile::IsValidValue(std::string_view value) { return !HasControlCharacter(value); }

RegistryFile::ParseOutcome RegistryFile::Parse(std::string_view text) {
  ParseOutcome outcome;
  RegistryFile& registry = outcome.registry;
  bool headerSeen = false;
  std::string currentKey;
  size_t lineNumber = 0;
  auto fail = [&](std::string_view reason) {
    outcome.error = "line " + std::to_string(lineNumber) + ": " + std::string(reason);
    outcome.registry = RegistryFile();
    return std::move(outcome);
  };

  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;

    if (!headerSeen) {
      if (line != kHeader) return fail("the file must start with REGEDIT4");
      headerSeen = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return fail("a key line ends with ']'");
      std::string_view full = line.substr(1, line.size() - 2);
      if (!IsBelow(full, kRoot)) return fail("keys must lie below HKEY_CLASSES_ROOT");
      std::string_view path = full.substr(kRoot.size() + 1);
      if (!IsValidKeyPath(path))
        return fail("the key path has an empty part or a control character");
      registry.CreateKey(path);
      currentKey = path;
      continue;
    }
    if (line.front() != '@' && line.front() != '"') return fail("expected a [key] or a value");
    if (currentKey.empty()) return fail("a value must follow a [key]");
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!TakeQuoted(line, &name)) {
      return fail("the value name is not a properly quoted string");
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return fail("expected '=' after the value name");
    line = Trim(line.substr(1));
    std::string value;
    if (line.empty() || line.front() != '"') return fail("only string values are supported");
    if (!TakeQuoted(line, &value)) return fail("the value is not a properly quoted string");
    if (!Trim(line).empty()) return fail("unexpected text after the value");
    if (!IsValidValueName(name) || !IsValidValue(value))
      return fail("control character in a value");
    registry.SetValue(currentKey, name, value);
  }
  return outcome;
}

std::string RegistryFile::Print() const {
  std::string out(kHeader);
  out += '\n';
  for (const auto& [path, values] : keys_) {
    out += "\n[";
    out += kRoot;
    out += '\\';
    out += path;
    out += "]\n";
    for (const auto& [name, value] : values) {
      if (name.empty())
        out += '@';
      else
        AppendQuoted(out, name);
      out += '=';
      AppendQuoted(out, value);
      out += '\n';
    }
  }
  return out;
}

bool RegistryFile::HasKey(std::string_view path) const { return keys_.find(path) != keys_.end(); }

const std::string* RegistryFile::FindValue(std::string_view path, std::string_view name) const {
  auto key = keys_.find(path);
  if (key == keys_.end()) return nullptr;
  auto value = key->second.find(name);
  return value == key->second.end() ? nullptr : &value->second;
}

std::vector<std::string> RegistryFile::Subkeys(std::string_view path) const {
  std::vector<std::string> names;
  for (auto it = keys_.upper_bound(path); it != keys_.end() && IsBelow(it->first, path); ++it) {
    std::string_view rest = std::string_view(it->first).substr(path.size() + 1);
    if (rest.find('\\') == std::string_view::npos) names.emplace_back(rest);
  }
  return names;
}

void RegistryFile::CreateKey(std::string_view path) {
  for (size_t end = path.find('\\'); end != std::string_view::npos; end = path.find('\\', end + 1))
    keys_.try_emplace(std::string(path.substr(0, end)));
  keys_.try_emplace(std::string(path));
}

void RegistryFile::SetValue(std::string_view path, std::string_view name, std::string_view value) {
  CreateKey(path);
  Values& values = keys_.find(path)->second;
  auto existing = values.find(name);
  if (existing != values.end())
    existing->second = value;
  else
    values.emplace(std::string(name), std::string(value));
}

bool RegistryFile::DeleteValue(std::string_view path, std::string_view name) {
  auto key = keys_.find(path);
  if (key == keys_.end()) return false;
  auto value = key->second.find(name);
  if (value == key->second.end()) return false;
  key->second.erase(value);
  return true;
}

bool RegistryFile::DeleteTree(std::string_view path) {
  auto first = keys_.find(path);
  if (first == keys_.end()) return false;
  auto last = std::next(first);
  while (last != keys_.end() && IsBelow(last->first, path)) ++last;
  keys_.erase(first, last);
  return true;
}

bool RegistryFile::operator==(const RegistryFile& other) const { return Print() == other.Print(); }

}  // namespace platform
