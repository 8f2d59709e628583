#include <gtest/gtest.h>

#include <sstream>

#include "tools/commands.h"

namespace tools {
namespace {

TEST(CodecsCommand, ListsTheStandInCatalogueOneLineEach) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCodecs({}, out, err), 0) << err.str();
  std::istringstream lines(out.str());
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(lines, line)) rows.push_back(line);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0].rfind("# ", 0), 0u) << "the version line comes first";
  EXPECT_NE(out.str().find("0    PCMU               8000     160     20   1   64000"),
            std::string::npos);
  EXPECT_NE(out.str().find("telephone-event"), std::string::npos);
  EXPECT_TRUE(err.str().empty());
}

TEST(CodecsCommand, RefusesArguments) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCodecs({"extra"}, out, err), 2);
  EXPECT_NE(err.str().find("unexpected argument 'extra'"), std::string::npos);
}

TEST(CommandTable, EveryCommandHasHelp) {
  for (const Command& command : AllCommands()) {
    EXPECT_NE(std::string(command.help).find(std::string("medley ") + command.name),
              std::string::npos)
        << command.name;
    EXPECT_NE(command.run, nullptr);
  }
}

}  // namespace
}  // namespace tools
