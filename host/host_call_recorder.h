// Counts the calls each interface member of a reference-host object receives
// and lets a test make chosen members fail with a chosen code, so that tests
// can check that failures of host calls are passed on unchanged.
// Used on the host's apartment thread only.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "medley/com_base.h"

namespace host {

class HostCallRecorder {
 public:
  // `members` names the interface members of the object, e.g. "get_LocalIp";
  // the strings must outlive the recorder (string literals).
  explicit HostCallRecorder(std::span<const char* const> members);

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
    std::string_view name;
    int calls = 0;
    HRESULT code = S_OK;
    int successes_left = 0;
  };
  Member* Find(std::string_view name) noexcept;
  // The position of `name` in members_; throws std::invalid_argument.
  size_t IndexOf(std::string_view name) const;

  std::vector<Member> members_;
  // Position of each name in members_: every host call looks its member up.
  std::unordered_map<std::string_view, size_t> index_;
};

}  // namespace host
