// The registry file's text form and its key tree.
#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

using Strings = std::vector<std::string>;

TEST(RegistryFileText, AcceptedTextsPrintInTheirNormalForm) {
  struct Row {
    const char* name;
    std::string text;
    std::string printed;
  };
  const Row rows[] = {
      {"empty file", "", "REGEDIT4\n"},
      {"header only, CRLF and comments", "; written by hand\r\nREGEDIT4\r\n\r\n;[ignored]\r\n",
       "REGEDIT4\n"},
      {"parents are created, default value first",
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\A\\B]\n\"Name\"=\"x\"\n@=\"default\"\n",
       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\n\n[HKEY_CLASSES_ROOT\\A\\B]\n@=\"default\"\n"
       "\"Name\"=\"x\"\n"},
      {"escapes and spaces around =",
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\K]\n\"a \\\"q\\\"\" = \"C:\\\\dir\\\\x.dll\"  \n",
       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\K]\n\"a \\\"q\\\"\"=\"C:\\\\dir\\\\x.dll\"\n"},
      {"a key named twice in another case keeps its first spelling",
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\Clsid]\n@=\"1\"\n[HKEY_CLASSES_ROOT\\CLSID]\n@=\"2\"\n",
       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Clsid]\n@=\"2\"\n"},
      {"tree order: a key's subtree before a longer sibling",
       "REGEDIT4\n[HKEY_CLASSES_ROOT\\P.1]\n[HKEY_CLASSES_ROOT\\P\\CLSID]\n[HKEY_CLASSES_ROOT\\p]"
       "\n",
       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\P]\n\n[HKEY_CLASSES_ROOT\\P\\CLSID]\n\n"
       "[HKEY_CLASSES_ROOT\\P.1]\n"},
  };
  for (const Row& row : rows) {
    RegistryFile::ParseOutcome parsed = RegistryFile::Parse(row.text);
    ASSERT_TRUE(parsed.Ok()) << row.name << ": " << parsed.error;
    EXPECT_EQ(parsed.registry.Print(), row.printed) << row.name;
    RegistryFile::ParseOutcome again = RegistryFile::Parse(row.printed);
    ASSERT_TRUE(again.Ok()) << row.name;
    EXPECT_EQ(again.registry, parsed.registry) << row.name;
  }
}

TEST(RegistryFileText, RefusesTextItCannotKeepAndNamesTheLine) {
  struct Row {
    std::string text;
    const char* error;
  };
  const Row rows[] = {
      {"[HKEY_CLASSES_ROOT\\A]\n", "line 1: the file must start with REGEDIT4"},
      {"Windows Registry Editor Version 5.00\n", "line 1: the file must start with REGEDIT4"},
      {"REGEDIT4\n@=\"x\"\n", "line 2: a value must follow a [key]"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n",
       "line 2: keys must lie below HKEY_CLASSES_ROOT"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT]\n", "line 2: keys must lie below HKEY_CLASSES_ROOT"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A\\\\B]\n",
       "line 2: the key path has an empty part or a control character"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A\n", "line 2: a key line ends with ']'"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"n\"=dword:00000001\n",
       "line 3: only string values are supported"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\n@=\"unterminated\n",
       "line 4: the value is not a properly quoted string"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"tab\\t\"\n",
       "line 3: the value is not a properly quoted string"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"n\" \"v\"\n",
       "line 3: expected '=' after the value name"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"v\" extra\n",
       "line 3: unexpected text after the value"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n-\n", "line 3: expected a [key] or a value"},
  };
  for (const Row& row : rows) {
    RegistryFile::ParseOutcome parsed = RegistryFile::Parse(row.text);
    EXPECT_EQ(parsed.error, row.error) << row.text;
    EXPECT_EQ(parsed.registry.Print(), "REGEDIT4\n") << "nothing is kept from refused text";
  }
}

TEST(RegistryFileText, ValuesWithQuotesAndBackslashesSurviveARoundTrip) {
  RegistryFile registry;
  const std::string awkward = "C:\\Program Files\\\"Medley\"\\medley.dll\\";
  registry.SetValue("CLSID\\{X}\\InprocServer32", "", awkward);
  registry.SetValue("CLSID\\{X}\\InprocServer32", "Threading\"Model", "\\");
  RegistryFile::ParseOutcome parsed = RegistryFile::Parse(registry.Print());
  ASSERT_TRUE(parsed.Ok()) << parsed.error;
  ASSERT_NE(parsed.registry.FindValue("clsid\\{x}\\inprocserver32", ""), nullptr);
  EXPECT_EQ(*parsed.registry.FindValue("clsid\\{x}\\inprocserver32", ""), awkward);
  EXPECT_EQ(*parsed.registry.FindValue("CLSID\\{X}\\InprocServer32", "threading\"model"), "\\");
}

TEST(RegistryFileTree, DeleteTreeRemovesExactlyTheSubtree) {
  auto make = [] {
    RegistryFile registry;
    for (const char* key :
         {"CLSID\\{A}\\InprocServer32", "CLSID\\{A}\\Implemented Categories\\{C}", "CLSID\\{A}X",
          "CLSID\\{B}", "Medley.Handler\\CLSID", "Medley.Handler.1\\CLSID"})
      registry.CreateKey(key);
    return registry;
  };
  struct Row {
    const char* deleted;
    bool existed;
    Strings left;  // subkeys of CLSID, then the top-level keys checked
  };
  const Row rows[] = {
      {"CLSID\\{A}", true, {"{A}X", "{B}", "Medley.Handler", "Medley.Handler.1"}},
      {"clsid\\{a}", true, {"{A}X", "{B}", "Medley.Handler", "Medley.Handler.1"}},
      {"Medley.Handler", true, {"{A}", "{A}X", "{B}", "Medley.Handler.1"}},
      {"CLSID\\{Z}", false, {"{A}", "{A}X", "{B}", "Medley.Handler", "Medley.Handler.1"}},
  };
  for (const Row& row : rows) {
    RegistryFile registry = make();
    EXPECT_EQ(registry.DeleteTree(row.deleted), row.existed) << row.deleted;
    Strings left = registry.Subkeys("CLSID");
    for (const char* top : {"Medley.Handler", "Medley.Handler.1"})
      if (registry.HasKey(top)) left.push_back(top);
    EXPECT_EQ(left, row.left) << row.deleted;
    EXPECT_TRUE(registry.HasKey("CLSID")) << row.deleted;
  }
  EXPECT_EQ(make().Subkeys("clsid\\{a}"), (Strings{"Implemented Categories", "InprocServer32"}));
  EXPECT_TRUE(make().Subkeys("missing").empty());
}

TEST(RegistryFileTree, ValueNamesIgnoreLetterCaseAndKeepTheirFirstSpelling) {
  RegistryFile registry;
  registry.SetValue("K", "ThreadingModel", "Free");
  registry.SetValue("k", "THREADINGMODEL", "Apartment");
  EXPECT_EQ(registry.Print(),
            "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\K]\n\"ThreadingModel\"=\"Apartment\"\n");
  EXPECT_TRUE(registry.DeleteValue("K", "threadingmodel"));
  EXPECT_FALSE(registry.DeleteValue("K", "threadingmodel"));
  EXPECT_FALSE(registry.DeleteValue("missing", ""));
  EXPECT_EQ(registry.FindValue("K", ""), nullptr);
  EXPECT_TRUE(registry.HasKey("K"));
}

TEST(RegistryFileTree, ValidityOfPathsNamesAndValues) {
  struct Row {
    std::string text;
    bool key;
    bool value;
  };
  const Row rows[] = {
      {"CLSID\\{35930323-C68D-47A6-B757-5C4E70CCC35F}\\Implemented Categories", true, true},
      {"", false, true},
      {"\\A", false, true},
      {"A\\", false, true},
      {"A]B", false, true},
      {"line\nbreak", false, false},
      {std::string("nul\0x", 5), false, false},
      {"/opt/m\xc3\xa9"
       "dley/libmedley.so",
       true, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RegistryFile::IsValidKeyPath(row.text), row.key) << row.text;
    EXPECT_EQ(RegistryFile::IsValidValue(row.text), row.value) << row.text;
    EXPECT_EQ(RegistryFile::IsValidValueName(row.text), row.value) << row.text;
  }
}

}  // namespace
}  // namespace platform
