#include "host/host_call_recorder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>

namespace host {

namespace {

// Eight bytes of `text` from `offset` as one number; shorter text is read
// byte by byte.
std::uint64_t Load(std::string_view text, size_t offset) {
  std::uint64_t word = 0;
  if (text.size() - offset >= 8) {
    std::memcpy(&word, text.data() + offset, 8);
    return word;
  }
  for (size_t i = offset; i < text.size(); ++i)
    word = (word << 8) | static_cast<unsigned char>(text[i]);
  return word;
}

}  // namespace

HostMemberTable::HostMemberTable(std::span<const char* const> members)
    : names_(members.begin(), members.end()), slots_(std::bit_ceil(members.size() * 4 + 2), 0) {
  bits_ = std::countr_zero(slots_.size());
  // Look for a multiplier that puts every name in a slot of its own, so that
  // a lookup reads one slot; after a bounded search, collisions are probed.
  for (std::uint64_t candidate = 0x9E3779B97F4A7C15ull, tries = 0; tries < 256;
       candidate += 0x632BE59BD9B4E019ull, ++tries) {
    multiplier_ = candidate | 1;
    std::fill(slots_.begin(), slots_.end(), 0);
    bool distinct = true;
    for (size_t i = 0; i < names_.size(); ++i) {
      size_t slot = Slot(names_[i]);
      if (slots_[slot] != 0) distinct = false;
      while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
      slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
    if (distinct) break;
  }
}

// The first and the last eight bytes and the length decide the slot; member
// names that share both ends differ in length.
size_t HostMemberTable::Slot(std::string_view name) const noexcept {
  std::uint64_t key = name.size();
  if (!name.empty()) {
    std::uint64_t head = Load(name, 0);
    std::uint64_t tail = Load(name, name.size() > 8 ? name.size() - 8 : 0);
    key ^= head ^ std::rotl(tail, 29);
  }
  return static_cast<size_t>((key * multiplier_) >> (64 - bits_));
}

size_t HostMemberTable::Find(std::string_view name) const noexcept {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = Slot(name); slots_[slot] != 0; slot = (slot + 1) & mask) {
    size_t index = slots_[slot] - 1;
    // Callers pass the same literals the table was built from, and the
    // linker merges equal literals: comparing addresses usually suffices.
    const std::string_view& known = names_[index];
    if (known.size() == name.size() &&
        (known.data() == name.data() || std::memcmp(known.data(), name.data(), name.size()) == 0))
      return index;
  }
  return npos;
}

HostCallRecorder::HostCallRecorder(const HostMemberTable& members)
    : table_(members), members_(members.Size()) {}

size_t HostCallRecorder::IndexOf(std::string_view name) const {
  size_t index = table_.Find(name);
  if (index == HostMemberTable::npos)
    throw std::invalid_argument("no interface member named " + std::string(name));
  return index;
}

HRESULT HostCallRecorder::Enter(std::string_view name) noexcept {
  size_t index = table_.Find(name);
  if (index == HostMemberTable::npos) return E_UNEXPECTED;
  Member& member = members_[index];
  ++member.calls;
  if (member.code == S_OK) return S_OK;
  if (member.successes_left > 0) {
    --member.successes_left;
    return S_OK;
  }
  return member.code;
}

void HostCallRecorder::SimulateError(std::string_view name, HRESULT code, int successes_first) {
  Member& member = members_[IndexOf(name)];
  member.code = code;
  member.successes_left = successes_first > 0 ? successes_first : 0;
}

void HostCallRecorder::ClearSimulatedErrors() {
  for (Member& member : members_) member.code = S_OK;
}

int HostCallRecorder::CallCount(std::string_view name) const {
  return members_[IndexOf(name)].calls;
}

int HostCallRecorder::TotalCallCount() const {
  int total = 0;
  for (const Member& member : members_) total += member.calls;
  return total;
}

void HostCallRecorder::ResetCallCounts() {
  for (Member& member : members_) member.calls = 0;
}

}  // namespace host
