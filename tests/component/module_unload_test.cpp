// The built module loaded and unloaded the way a host does it, many times
// over: dlopen, a whole call through DllGetClassObject and the reference
// host, every reference released, DllCanUnloadNow, dlclose. Afterwards
// neither the module nor the voice engine library may stay mapped, and no
// thread or file descriptor may be left behind.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/call_session.h"
#include "medley/audio_control.h"
#include "medley/media_handler.h"
#include "platform/com_ptr.h"
#include "tests/support/free_port.h"

#if defined(__SANITIZE_ADDRESS__)
// This program unloads the component on purpose. What the component and the
// libraries unloaded with it keep for the life of the process (never
// destroyed, for threads that end during exit) is then left behind with
// nothing to name it, often with a stack that cannot be walked through the
// unmapped code: no leak check at exit here. Whatever the component leaks
// while loaded is checked by the suites that link it.
extern "C" __attribute__((visibility("default"), used)) int __lsan_is_turned_off() { return 1; }
#endif

namespace {

using platform::ComPtr;

constexpr int kRounds = 100;
constexpr const char* kModuleName = "libmedley.so";
constexpr const char* kEngineName = "libGIPSVoiceEngineDLL.so";

// Entries of a /proc/self folder, "." and ".." left out (the descriptor
// that reads the folder counts itself, the same each time).
int CountEntries(const char* folder) {
  DIR* dir = ::opendir(folder);
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  ::closedir(dir);
  return count;
}

bool IsLoaded(const char* name) {
  void* handle = ::dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  ::dlclose(handle);
  return true;
}

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT (*)();

ComPtr<IMediaHandler> Create(IClassFactory* factory) {
  ComPtr<IMediaHandler> handler;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMediaHandler, handler.ReceiveVoid()), S_OK);
  return handler;
}

// One round: load, call, release, unload.
void LoadCallAndUnload() {
  void* module = ::dlopen(MEDLEY_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << ::dlerror();
  auto getClassObject = reinterpret_cast<GetClassObject>(::dlsym(module, "DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<CanUnloadNow>(::dlsym(module, "DllCanUnloadNow"));
  ASSERT_TRUE(getClassObject && canUnloadNow);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_GipsMediaHandler, IID_IClassFactory, factory.ReceiveVoid()),
              S_OK);
    tools::CallParty caller, callee;
    caller.name = "caller";
    callee.name = "callee";
    caller.handler = Create(factory.Get());
    callee.handler = Create(factory.Get());
    ASSERT_TRUE(caller.handler && callee.handler);
    caller.preferredCodecs = callee.preferredCodecs = {"PCMU", "telephone-event"};
    // Each side probes from its own free port, so that they do not pick the
    // same, nor one another process of the test is about to take.
    const std::vector<int> ports = test_support::FreeRtpPorts(2);
    ASSERT_EQ(ports.size(), 2u);
    caller.network->Settings().preferred_audio_rtp_port = ports[0];
    callee.network->Settings().preferred_audio_rtp_port = ports[1];
    tools::CallSession session(caller, callee);
    ASSERT_EQ(session.Prepare(caller), S_OK);
    ASSERT_EQ(session.Prepare(callee), S_OK);
    EXPECT_EQ(session.Connect(), S_OK);
    // A key tone starts the tone timer on this thread.
    ComPtr<IAudioControl> audio;
    ASSERT_EQ(caller.handler.As(&audio), S_OK);
    EXPECT_EQ(audio->StartDtmfTone('5', caller.channel), S_OK);
    audio.Reset();
    EXPECT_EQ(session.HangUp(), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
  }
  EXPECT_EQ(canUnloadNow(), S_OK);
  EXPECT_EQ(::dlclose(module), 0);
}

TEST(ModuleUnload, LeavesNoMappingThreadOrDescriptorBehind) {
  ASSERT_FALSE(IsLoaded(kModuleName));
  const int threads = CountEntries("/proc/self/task");
  const int descriptors = CountEntries("/proc/self/fd");
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    LoadCallAndUnload();
    if (HasFatalFailure() || HasNonfatalFailure()) return;
    ASSERT_FALSE(IsLoaded(kModuleName));
    ASSERT_FALSE(IsLoaded(kEngineName));
    ASSERT_EQ(CountEntries("/proc/self/task"), threads);
    ASSERT_EQ(CountEntries("/proc/self/fd"), descriptors);
  }
}

}  // namespace
