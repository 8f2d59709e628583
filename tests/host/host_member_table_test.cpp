#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_call_recorder.h"

namespace host {
namespace {

// Names that share their first or last eight bytes and differ in length,
// as interface members do, plus the shortest names possible.
constexpr const char* kNames[] = {
    "GetMedia",    "GetMediaAttribute",  "GetMediaAttributeCount", "AddMedia", "AddMediaAttribute",
    "PutMedia",    "get_AttributeCount", "GetAttribute",           "A",        "",
    "get_LocalIp", "put_LocalIp",
};

TEST(HostMemberTable, FindsEveryNameFromAnyCopyAndRefusesOthers) {
  HostMemberTable table(kNames);
  ASSERT_EQ(table.Size(), std::size(kNames));
  for (size_t i = 0; i < std::size(kNames); ++i) {
    std::string copy = kNames[i];  // another address than the literal
    EXPECT_EQ(table.Find(kNames[i]), i) << kNames[i];
    EXPECT_EQ(table.Find(copy), i) << kNames[i];
  }
  for (const char* unknown : {"GetMediaX", "getmedia", "GetMediaAttributeCoun", "B", "AddMedia "})
    EXPECT_EQ(table.Find(unknown), HostMemberTable::npos) << unknown;
}

TEST(HostMemberTable, EmptyAndLargeTables) {
  HostMemberTable empty(std::span<const char* const>{});
  EXPECT_EQ(empty.Find("GetMedia"), HostMemberTable::npos);
  EXPECT_EQ(empty.Find(""), HostMemberTable::npos);

  std::vector<std::string> storage;
  for (int i = 0; i < 500; ++i) storage.push_back("Member" + std::to_string(i));
  std::vector<const char*> names;
  for (const std::string& name : storage) names.push_back(name.c_str());
  HostMemberTable large(names);
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(large.Find(storage[i]), i);
  EXPECT_EQ(large.Find("Member500"), HostMemberTable::npos);
}

TEST(HostCallRecorder, UnknownMemberIsRefusedAndNotCounted) {
  HostMemberTable table(kNames);
  HostCallRecorder recorder(table);
  EXPECT_EQ(recorder.Enter("NoSuchMember"), E_UNEXPECTED);
  EXPECT_EQ(recorder.Enter("GetMedia"), S_OK);
  EXPECT_EQ(recorder.TotalCallCount(), 1);
  EXPECT_THROW(recorder.CallCount("NoSuchMember"), std::invalid_argument);
}

}  // namespace
}  // namespace host
