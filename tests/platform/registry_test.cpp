// Editing and reading the class registry file: atomic, locked, all or nothing.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_registry.h"

namespace platform {
namespace {

HRESULT Set(std::string_view key, std::string_view name = "", std::string_view value = "x") {
  return EditClassRegistry(
      [&](ClassRegistryEditor& editor) { return editor.SetValue(key, name, value); });
}

TEST(RegistryFilePath, ComesFromTheEnvironmentOrTheHomeDirectory) {
  TempRegistry registry;
  EXPECT_EQ(RegistryFilePath(), registry.Path());
  ::setenv("MEDLEY_REGISTRY", "", 1);
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(RegistryFilePath(), "/home/tester/.config/medley/registry");
  ::setenv("HOME", home.c_str(), 1);
}

// The written text itself is checked with the registration tests.
TEST(ClassRegistryEdit, CreatesDirectoriesAndReadsBackIgnoringLetterCase) {
  TempRegistry registry("config/medley/registry");
  ASSERT_EQ(Set("CLSID\\{A}\\InprocServer32", "ThreadingModel", "Apartment"), S_OK);
  EXPECT_TRUE(registry.Exists());
  std::string value;
  EXPECT_EQ(ReadClassRegistryValue("clsid\\{a}\\inprocserver32", "threadingmodel", &value), S_OK);
  EXPECT_EQ(value, "Apartment");
  EXPECT_TRUE(ClassRegistryKeyExists("CLSID\\{A}"));
  EXPECT_FALSE(ClassRegistryKeyExists("CLSID\\{B}"));
  // A key that is there without the value, and a key that is not there.
  EXPECT_EQ(ReadClassRegistryValue("CLSID\\{A}\\InprocServer32", "", &value), REGDB_E_KEYMISSING);
  EXPECT_EQ(ReadClassRegistryValue("CLSID\\{B}", "", &value), REGDB_E_KEYMISSING);
  EXPECT_EQ(ReadClassRegistryValue("CLSID", "", nullptr), E_POINTER);
}

TEST(ClassRegistryEdit, AFailedEditOrABadArgumentLeavesTheFileAsItWas) {
  TempRegistry registry;
  ASSERT_EQ(Set("Kept"), S_OK);
  const std::string before = registry.Text();

  struct Row {
    const char* name;
    std::function<HRESULT(ClassRegistryEditor&)> edit;
    HRESULT expected;
  };
  const Row rows[] = {
      {"edit fails after a change",
       [](ClassRegistryEditor& e) {
         e.SetValue("Added", "", "x");
         return E_ACCESSDENIED;
       },
       E_ACCESSDENIED},
      {"empty key part", [](ClassRegistryEditor& e) { return e.SetValue("A\\\\B", "", "x"); },
       E_INVALIDARG},
      {"line break in a value", [](ClassRegistryEditor& e) { return e.SetValue("A", "", "x\ny"); },
       E_INVALIDARG},
      {"control character in a name",
       [](ClassRegistryEditor& e) { return e.SetValue("A", "\t", "x"); }, E_INVALIDARG},
      {"empty key", [](ClassRegistryEditor& e) { return e.DeleteTree(""); }, E_INVALIDARG},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EditClassRegistry(row.edit), row.expected) << row.name;
    EXPECT_EQ(registry.Text(), before) << row.name;
  }
}

TEST(ClassRegistryEdit, AFileThatIsNoRegistryIsNeitherUsedNorOverwritten) {
  TempRegistry registry;
  EXPECT_EQ(EditClassRegistry([](ClassRegistryEditor& e) { return e.DeleteTree("Nothing"); }),
            S_OK);
  EXPECT_FALSE(registry.Exists()) << "an edit that changes nothing writes nothing";
  registry.Write("this is not a registry\n");
  EXPECT_EQ(Set("A"), REGDB_E_READREGDB);
  EXPECT_EQ(registry.Text(), "this is not a registry\n");
  std::string value;
  EXPECT_EQ(ReadClassRegistryValue("A", "", &value), REGDB_E_READREGDB);
  EXPECT_FALSE(ClassRegistryKeyExists("A"));
}

TEST(ClassRegistryEdit, DeleteKeyUnlessParentKeepsKeysWithSubkeys) {
  TempRegistry registry;
  ASSERT_EQ(Set("P\\Child"), S_OK);
  ASSERT_EQ(Set("Q"), S_OK);
  std::vector<HRESULT> results;
  ASSERT_EQ(EditClassRegistry([&](ClassRegistryEditor& e) {
              for (const char* key : {"P", "q", "R"})
                results.push_back(e.DeleteKeyUnlessParent(key));
              return S_OK;
            }),
            S_OK);
  EXPECT_EQ(results, (std::vector<HRESULT>{S_FALSE, S_OK, S_OK}));
  EXPECT_TRUE(ClassRegistryKeyExists("P\\Child"));
  EXPECT_FALSE(ClassRegistryKeyExists("Q"));
}

TEST(ClassRegistryEdit, ConcurrentEditorsLoseNoKeys) {
  TempRegistry registry;
  auto key = [](int t, int i) { return "K" + std::to_string(t) + "_" + std::to_string(i); };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) Set(key(t, i));
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 15; ++i) EXPECT_TRUE(ClassRegistryKeyExists(key(t, i)));
}

TEST(ClassRegistryEdit, AFileWhereADirectoryShouldBeGivesAWriteError) {
  TempRegistry registry("plain-file/registry");
  std::ofstream(registry.Directory() + "/plain-file") << "in the way";
  EXPECT_EQ(Set("A"), REGDB_E_WRITEREGDB);
  std::string value;
  EXPECT_EQ(ReadClassRegistryValue("A", "", &value), REGDB_E_KEYMISSING);
}

}  // namespace
}  // namespace platform
