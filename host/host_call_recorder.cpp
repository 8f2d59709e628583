#include "host/host_call_recorder.h"

#include <stdexcept>
#include <string>

namespace host {

HostCallRecorder::HostCallRecorder(std::span<const char* const> members) {
  members_.reserve(members.size());
  index_.reserve(members.size());
  for (const char* name : members) {
    index_.emplace(name, members_.size());
    members_.push_back(Member{name});
  }
}

HostCallRecorder::Member* HostCallRecorder::Find(std::string_view name) noexcept {
  auto found = index_.find(name);
  return found == index_.end() ? nullptr : &members_[found->second];
}

size_t HostCallRecorder::IndexOf(std::string_view name) const {
  auto found = index_.find(name);
  if (found == index_.end())
    throw std::invalid_argument("no interface member named " + std::string(name));
  return found->second;
}

HRESULT HostCallRecorder::Enter(std::string_view name) noexcept {
  Member* member = Find(name);
  if (!member) return E_UNEXPECTED;
  ++member->calls;
  if (member->code == S_OK) return S_OK;
  if (member->successes_left > 0) {
    --member->successes_left;
    return S_OK;
  }
  return member->code;
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
