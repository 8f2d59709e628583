// The built module as a host meets it: registered into a registry file of
// the test's own through its exported DllRegisterServer, created by ProgID
// through the platform's activation (registry lookup and dlopen), used
// through its interfaces with the stand-in voice engine.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "host/call_session.h"
#include "medley/media_handler.h"
#include "platform/activation.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "platform/guid.h"
#include "platform/registry.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_registry.h"

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

using EntryPoint = HRESULT (*)();

std::string RealPath(const char* path) {
  char resolved[PATH_MAX];
  return ::realpath(path, resolved) ? resolved : path;
}

// The module's own exported entry point, as regsvr32 would call it.
HRESULT CallEntryPoint(const char* name) {
  void* module = ::dlopen(MEDLEY_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    ADD_FAILURE() << ::dlerror();
    return E_FAIL;
  }
  auto entry = reinterpret_cast<EntryPoint>(::dlsym(module, name));
  HRESULT hr = entry ? entry() : E_FAIL;
  ::dlclose(module);
  return hr;
}

class ActivationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CallEntryPoint("DllRegisterServer"), S_OK);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    CoFreeUnusedLibraries();
  }

  ComPtr<IMediaHandler> Create(const char* progId = MEDLEY_PROGID) {
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(platform::AsciiToWide(progId).c_str(), &clsid), S_OK);
    ComPtr<IMediaHandler> handler;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaHandler,
                               handler.ReceiveVoid()),
              S_OK);
    return handler;
  }

  TempRegistry registry_;
};

TEST_F(ActivationTest, RegistrationNamesTheBuiltModule) {
  std::string path;
  ASSERT_EQ(platform::ReadClassRegistryValue(
                "CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}\\InprocServer32", "", &path),
            S_OK);
  EXPECT_EQ(path, RealPath(MEDLEY_MODULE_FILE));
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "a second initialisation on the thread";
  CoUninitialize();
}

TEST_F(ActivationTest, ProgIdsResolveThroughTheRegistry) {
  struct Row {
    const char* progId;
    HRESULT expected;
  };
  const Row rows[] = {
      {"Medley.GipsMediaHandler", S_OK},
      {"Medley.GipsMediaHandler.1", S_OK},
      {"MEDLEY.gipsmediahandler", S_OK},  // keys ignore letter case
      {"Medley.GipsMediaHandler.2", CO_E_CLASSSTRING},
      {"Medley.GipsMediaHandler\\CLSID", CO_E_CLASSSTRING},
      {"", CO_E_CLASSSTRING},
  };
  for (const Row& row : rows) {
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(platform::AsciiToWide(row.progId).c_str(), &clsid), row.expected)
        << row.progId;
    if (row.expected == S_OK) {
      EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_GipsMediaHandler)) << row.progId;
    }
  }
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromProgID(MEDLEY_OLESTR("Medley.GipsMediaHandler"), nullptr), E_INVALIDARG);
}

TEST_F(ActivationTest, ClassesThatCannotBeServedGiveTheRuntimesCodes) {
  const GUID missingLibrary = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  const GUID noEntryPoint = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
  const GUID noPath = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};
  const GUID unknown = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}};
  auto server = [](const GUID& clsid) {
    return "CLSID\\" + platform::GuidToString(clsid) + "\\InprocServer32";
  };
  ASSERT_EQ(platform::EditClassRegistry([&](platform::ClassRegistryEditor& e) {
              e.SetValue(server(missingLibrary), "", registry_.Directory() + "/no-such-library.so");
              e.SetValue(server(noEntryPoint), "", MEDLEY_ENGINE_FILE);
              return e.CreateKey(server(noPath));
            }),
            S_OK);
  struct Row {
    const char* name;
    GUID clsid;
    DWORD context;
    HRESULT expected;
  };
  const Row rows[] = {
      {"not registered", unknown, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
      {"no server path", noPath, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
      {"out of process only", CLSID_GipsMediaHandler, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
      {"library missing", missingLibrary, CLSCTX_ALL, CO_E_DLLNOTFOUND},
      {"library without entry point", noEntryPoint, CLSCTX_INPROC_SERVER, CO_E_ERRORINDLL},
  };
  for (const Row& row : rows) {
    void* object = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CoCreateInstance(row.clsid, nullptr, row.context, IID_IUnknown, &object),
              row.expected)
        << row.name;
    EXPECT_EQ(object, nullptr) << row.name;
  }
  EXPECT_EQ(CoCreateInstance(CLSID_GipsMediaHandler, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr),
            E_POINTER);
}

TEST_F(ActivationTest, TheModuleStaysWhileItsObjectsLive) {
  ComPtr<IMediaHandler> handler = Create();
  ASSERT_TRUE(handler);
  void* module = ::dlopen(MEDLEY_MODULE_FILE, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(module, nullptr);
  auto canUnloadNow = reinterpret_cast<EntryPoint>(::dlsym(module, "DllCanUnloadNow"));
  ASSERT_NE(canUnloadNow, nullptr);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ComPtr<IMediaHandlerEx> extended;
  ASSERT_EQ(handler.As(&extended), S_OK);
  handler.Reset();
  CoFreeUnusedLibraries();  // the extended pointer still holds the object
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(extended->SetReserved(1), S_OK);
  extended.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  ::dlclose(module);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Create("Medley.GipsMediaHandler.1")) << "created again after the unload";
}

TEST_F(ActivationTest, TwoObjectsCallEachOtherThroughTheReferenceHost) {
  tools::CallParty caller;
  tools::CallParty callee;
  caller.name = "caller";
  caller.handler = Create();
  callee.name = "callee";
  callee.handler = Create();
  ASSERT_TRUE(caller.handler && callee.handler);
  caller.preferredCodecs = {"PCMU", "PCMA", "telephone-event"};
  callee.preferredCodecs = {"PCMA", "PCMU", "telephone-event"};
  const std::vector<int> ports = test_support::FreeRtpPorts(2);
  ASSERT_EQ(ports.size(), 2u);
  caller.network->Settings().preferred_audio_rtp_port = ports[0];
  callee.network->Settings().preferred_audio_rtp_port = ports[1];
  tools::CallSession session(caller, callee);
  ASSERT_EQ(session.Prepare(caller), S_OK);
  ASSERT_EQ(session.Prepare(callee), S_OK);
  EXPECT_NE(caller.network->Settings().voice_engine, nullptr) << "Init hands the engine over";
  EXPECT_EQ(session.Connect(), S_OK);
  for (const tools::CallStep& step : session.Steps())
    EXPECT_EQ(step.result, S_OK) << step.party << " " << step.operation;
  EXPECT_EQ(session.Offer().Session().media.at(0).formats, platform::AsciiToWide("0 8 101"));
  EXPECT_EQ(session.Answer().Session().media.at(0).formats, platform::AsciiToWide("8 0 101"));
  EXPECT_EQ(session.HangUp(), S_OK);
}

}  // namespace
