// Counts the calls each interface member of a reference-host object receives
// and lets a test make chosen members fail with a chosen code, so that tests
// can check that failures of host calls are passed on unchanged.
// Used on the host's apartment thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "medley/com_base.h"

namespace host {

// The member names of one interface and a lookup from name to position,
// built once per class and shared by all its objects, so that creating a
// host object costs one small allocation and every call reads one slot.
class HostMemberTable {
 public:
  // `members` names the interface members, e.g. "get_LocalIp"; the strings
  // must outlive the table (string literals).
  explicit HostMemberTable(std::span<const char* const> members);

  size_t Size() const { return names_.size(); }
  // The position of `name`, or npos when the interface has no such member.
  size_t Find(std::string_view name) const noexcept;
  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  size_t Slot(std::string_view name) const noexcept;

  std::vector<std::string_view> names_;
  // Open addressing: each slot holds a position in names_ plus one, 0 when
  // free. The slot count is a power of two at least four times the name
  // count; the multiplier is chosen so that the names rarely share a slot.
  std::vector<std::uint32_t> slots_;
  int bits_ = 0;
  std::uint64_t multiplier_ = 1;
};

// The table of `kNames` (an array of string literals), built on first use.
template <const auto& kNames>
const HostMemberTable& MemberTableOf() {
  static const HostMemberTable table(kNames);
  return table;
}

class HostCallRecorder {
 public:
  explicit HostCallRecorder(const HostMemberTable& members);

  // Records one call of `member` and answers the code a test arranged for
  // it, or S_OK. A member the recorder does not know gives E_UNEXPECTED.
  [[nodiscard]] HRESULT Enter(std::string_view member) noexcept;

  // From now on `member` answers `code` without doing its work, after
  // `successes_first` further calls that still succeed. S_OK removes the
  // arrangement. Throws std::invalid_argument for an unknown member name,
  // so that a misspelt name fails the test instead of never firing.
  void SimulateError(std::string_view member, HRESULT code, int successes_first = 0);
  void ClearSimulatedErrors();

  // Calls of `member` since construction or the last ResetCallCounts.
  // Throws std::invalid_argument for an unknown member name.
  int CallCount(std::string_view member) const;
  int TotalCallCount() const;
  void ResetCallCounts();

 private:
  struct Member {
    int calls = 0;
    HRESULT code = S_OK;
    int successes_left = 0;
  };
  // The position of `name` in the table; throws std::invalid_argument.
  size_t IndexOf(std::string_view name) const;

  const HostMemberTable& table_;
  std::vector<Member> members_;
};

}  // namespace host
