// DllRegisterServer and DllUnregisterServer on the class registry file.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "component/entry_points.h"
#include "platform/registry.h"
#include "tests/support/temp_registry.h"

namespace {

// The registry this module writes, for a module at `path`.
std::string Registered(const std::string& path) {
  const std::string key = "[HKEY_CLASSES_ROOT\\CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}";
  return "REGEDIT4\n"
         "\n[HKEY_CLASSES_ROOT\\CLSID]\n" +
         ("\n" + key + "]\n@=\"KsMedley GipsMediaHandler Class\"\n") +
         ("\n" + key + "\\Implemented Categories]\n") +
         ("\n" + key + "\\Implemented Categories\\{12E45602-3ACF-4907-BEB8-C4FBD9DBB20B}]\n") +
         ("\n" + key + "\\InprocServer32]\n@=\"" + path +
          "\"\n\"ThreadingModel\"=\"Apartment\"\n") +
         ("\n" + key + "\\ProgID]\n@=\"Medley.GipsMediaHandler.1\"\n") +
         ("\n" + key + "\\TypeLib]\n@=\"{45D06C87-66E5-471E-9371-A8ADC9BF02B0}\"\n") +
         ("\n" + key + "\\VersionIndependentProgID]\n@=\"Medley.GipsMediaHandler\"\n") +
         "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler]\n@=\"KsMedley GipsMediaHandler Class\"\n"
         "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler\\CLSID]\n"
         "@=\"{35930323-C68D-47A6-B757-5C4E70CCC35F}\"\n"
         "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler\\CurVer]\n@=\"Medley.GipsMediaHandler.1\"\n"
         "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler.1]\n@=\"KsMedley GipsMediaHandler Class\"\n"
         "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler.1\\CLSID]\n"
         "@=\"{35930323-C68D-47A6-B757-5C4E70CCC35F}\"\n";
}

// Linked in statically, the module is this test program.
std::string ThisProgram() {
  char path[PATH_MAX];
  return ::realpath("/proc/self/exe", path) ? path : "";
}

TEST(Registration, WritesExactlyTheClassDataWithThisModulesPath) {
  TempRegistry registry;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(registry.Text(), Registered(ThisProgram()));
  ASSERT_EQ(DllRegisterServer(), S_OK) << "registering twice";
  EXPECT_EQ(registry.Text(), Registered(ThisProgram()));

  // An old registration of the class, under another spelling, is replaced whole.
  registry.Write(
      "REGEDIT4\n[HKEY_CLASSES_ROOT\\CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}\\InprocServer32]"
      "\n"
      "@=\"/old/libmedley.so\"\n\"ThreadingModel\"=\"Both\"\n"
      "[HKEY_CLASSES_ROOT\\clsid\\{35930323-c68d-47a6-b757-5c4e70ccc35f}\\LocalServer32]\n"
      "@=\"/old/medley-server\"\n");
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(registry.Text(), Registered(ThisProgram())) << "nothing old is left in the class key";
}

TEST(Registration, UnregistrationRemovesTheClassKeyWholeAndOnlyWhatIsOurs) {
  struct Row {
    const char* name;
    std::string before;  // written before registering
    std::string extra;   // added under the class key after registering
    std::string after;
  };
  const std::string other =
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-0000000000AA}]\n@=\"Another class\"\n";
  const Row rows[] = {
      {"alone", "", "", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n"},
      {"beside another class, with keys added under ours and a ProgID's",
       "REGEDIT4\n" + other + "[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler\\Shell]\n",
       "[HKEY_CLASSES_ROOT\\CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}\\Extra\\Deeper]\n",
       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID]\n\n" + other +
           "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler]\n@=\"KsMedley GipsMediaHandler Class\"\n"
           "\n[HKEY_CLASSES_ROOT\\Medley.GipsMediaHandler\\Shell]\n"},
  };
  for (const Row& row : rows) {
    TempRegistry registry;
    if (!row.before.empty()) registry.Write(row.before);
    ASSERT_EQ(DllRegisterServer(), S_OK) << row.name;
    if (!row.extra.empty()) registry.Write(registry.Text() + row.extra);
    EXPECT_EQ(DllUnregisterServer(), S_OK) << row.name;
    EXPECT_EQ(registry.Text(), row.after) << row.name;
    EXPECT_EQ(DllUnregisterServer(), S_OK) << row.name << ": again";
    EXPECT_EQ(registry.Text(), row.after) << row.name << ": again";
  }
}

TEST(Registration, AMissingRegistryIsNotCreatedAndAnUnreadableOneIsLeftAlone) {
  TempRegistry registry;
  EXPECT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_FALSE(registry.Exists());
  registry.Write("REGEDIT4\n[HKEY_CLASSES_ROOT\\CLSID]\n\"broken\n");
  const std::string before = registry.Text();
  EXPECT_EQ(DllRegisterServer(), REGDB_E_READREGDB);
  EXPECT_EQ(DllUnregisterServer(), REGDB_E_READREGDB);
  EXPECT_EQ(registry.Text(), before);
}

}  // namespace
