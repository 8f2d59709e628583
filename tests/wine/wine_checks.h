// The Wine test host's checks: each section runs against the component as
// registered in the Wine prefix and reached through the real COM runtime.
// A check prints one line ("ok" or "FAIL" with what differed); the program
// ends with "N passed, M failed" and fails when any check did.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "medley/com_base.h"

namespace wine_tests {

class Checks {
 public:
  // Records one check; answers `ok` so a caller can stop a section early.
  bool Expect(bool ok, const std::string& what, const std::string& detail = {});
  bool ExpectHr(HRESULT actual, HRESULT expected, const std::string& what);
  int Passed() const { return passed_; }
  int Failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

std::string Hex(HRESULT hr);
std::string Narrow(const wchar_t* text);

// What the sound system offers in this run.
// kSoundServer: a PulseAudio null sink whose monitor is the default source.
enum class AudioSetup { kNoDevice, kNullDevice, kSoundServer };

struct Options {
  std::wstring modulePath;  // medley.dll as registered
  AudioSetup audio = AudioSetup::kNoDevice;
  bool unregistered = false;  // after regsvr32 /u
};

void CheckRegistration(Checks& checks, const Options& options);
void CheckUnregistration(Checks& checks, const Options& options);
void CheckTypeLibrary(Checks& checks, const Options& options);
void CheckObject(Checks& checks);
void CheckPortProbe(Checks& checks);
void CheckWholeCall(Checks& checks);
void CheckMixer(Checks& checks, const Options& options);
void CheckTimers(Checks& checks);
void CheckVideo(Checks& checks, const Options& options);
void CheckLocalTime(Checks& checks);
void CheckSoundServer(Checks& checks);

}  // namespace wine_tests
