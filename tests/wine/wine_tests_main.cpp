// The Wine test host: checks the component as a Windows host meets it, its
// exported video functions included.
//
//   medley_wine_tests.exe --module PATH [--audio none|null|pulse] [--unregistered]
//
// PATH is medley.dll as regsvr32 registered it. --audio tells what the sound
// system offers (no device, ALSA's null device, or a PulseAudio null sink
// through Wine's PulseAudio driver: then only the sound checks run). --unregistered checks
// that regsvr32 /u removed the class and the type library.
#include <cstdio>
#include <string>

#include "platform/wide_text.h"
#include "tests/wine/wine_checks.h"

namespace wine_tests {

bool Checks::Expect(bool ok, const std::string& what, const std::string& detail) {
  if (ok) {
    ++passed_;
    std::printf("ok   %s\n", what.c_str());
  } else {
    ++failed_;
    std::printf("FAIL %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

bool Checks::ExpectHr(HRESULT actual, HRESULT expected, const std::string& what) {
  return Expect(actual == expected, what, "got " + Hex(actual) + ", expected " + Hex(expected));
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; text && *text; ++text) narrow += *text < 128 ? static_cast<char>(*text) : '?';
  return narrow;
}

}  // namespace wine_tests

int main(int argc, char** argv) {
  wine_tests::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      options.modulePath = platform::NarrowToWide(argv[++i]);
    } else if (arg == "--audio" && i + 1 < argc) {
      std::string setup = argv[++i];
      options.audio = setup == "null"    ? wine_tests::AudioSetup::kNullDevice
                      : setup == "pulse" ? wine_tests::AudioSetup::kSoundServer
                                         : wine_tests::AudioSetup::kNoDevice;
    } else if (arg == "--unregistered") {
      options.unregistered = true;
    } else {
      std::fprintf(stderr,
                   "usage: medley_wine_tests --module PATH [--audio none|null|pulse] "
                   "[--unregistered]\n");
      return 2;
    }
  }
  if (options.modulePath.empty()) {
    std::fprintf(stderr, "medley_wine_tests: --module is required\n");
    return 2;
  }

  wine_tests::Checks checks;
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  checks.ExpectHr(hr, S_OK, "CoInitializeEx, apartment threaded");
  if (options.unregistered) {
    wine_tests::CheckUnregistration(checks, options);
  } else if (options.audio == wine_tests::AudioSetup::kSoundServer) {
    wine_tests::CheckSoundServer(checks);
  } else {
    wine_tests::CheckRegistration(checks, options);
    wine_tests::CheckTypeLibrary(checks, options);
    wine_tests::CheckObject(checks);
    wine_tests::CheckPortProbe(checks);
    wine_tests::CheckWholeCall(checks);
    wine_tests::CheckMixer(checks, options);
    wine_tests::CheckTimers(checks);
    wine_tests::CheckVideo(checks, options);
    wine_tests::CheckLocalTime(checks);
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  std::printf("%d passed, %d failed\n", checks.Passed(), checks.Failed());
  return checks.Failed() == 0 ? 0 : 1;
}
