// medley register / unregister: the component's self-registration into a
// registry file, and what they say when they cannot do it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"
#include "tools/commands.h"

namespace tools {
namespace {

// Points MEDLEY_REGISTRY (and optionally MEDLEY_MODULE) at values of this
// test for its lifetime, in a temporary folder of its own.
class ScopedRegistry {
 public:
  explicit ScopedRegistry(const char* module = nullptr) {
    EXPECT_FALSE(folder_.Path().empty());
    ::setenv("MEDLEY_REGISTRY", File().c_str(), 1);
    if (module) ::setenv("MEDLEY_MODULE", module, 1);
  }
  ~ScopedRegistry() {
    ::unsetenv("MEDLEY_REGISTRY");
    ::unsetenv("MEDLEY_MODULE");
  }
  std::string File() const { return folder_.File("registry"); }
  std::string Text() const {
    std::ifstream in(File());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  test_support::TempFolder folder_{"medley-register"};
};

TEST(RegisterCommand, RegistersTheClassAndUnregistersItAgain) {
  ScopedRegistry registry;
  std::ostringstream out, err;
  ASSERT_EQ(RunRegister({}, out, err), 0) << err.str();
  EXPECT_NE(registry.Text().find("Medley.GipsMediaHandler"), std::string::npos);
  EXPECT_NE(registry.Text().find("{35930323-C68D-47A6-B757-5C4E70CCC35F}"), std::string::npos);
  EXPECT_NE(out.str().find(registry.File()), std::string::npos) << out.str();

  ASSERT_EQ(RunUnregister({}, out, err), 0) << err.str();
  EXPECT_EQ(registry.Text().find("Medley.GipsMediaHandler"), std::string::npos);
  EXPECT_EQ(registry.Text().find("{35930323-C68D-47A6-B757-5C4E70CCC35F}"), std::string::npos);
}

TEST(RegisterCommand, SaysWhyItCannotRegister) {
  struct Row {
    int (*run)(const Arguments&, std::ostream&, std::ostream&);
    Arguments args;
    const char* module;
    int status;
    const char* error;
  };
  const Row rows[] = {
      {RunRegister, {"extra"}, nullptr, 2, "unexpected argument 'extra'"},
      {RunUnregister, {"extra"}, nullptr, 2, "unexpected argument 'extra'"},
      {RunRegister, {}, "/nonexistent/libmedley.so", 1, "cannot load /nonexistent/libmedley.so"},
      // A shared library that is not the component.
      {RunRegister, {}, "libdl.so.2", 1, "has no DllRegisterServer"},
  };
  for (const Row& row : rows) {
    ScopedRegistry registry(row.module);
    std::ostringstream out, err;
    EXPECT_EQ(row.run(row.args, out, err), row.status) << row.error;
    EXPECT_NE(err.str().find(row.error), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(registry.File()));
  }
}

}  // namespace
}  // namespace tools
