#include "audio/codec_descriptor.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/wide_text.h"

namespace {

using platform::OleString;

OleString Wide(const std::string& utf8) { return platform::NarrowToWide(utf8); }

bool RestIsZero(const EngineCodecRecord& record, size_t from) {
  for (size_t i = from; i < sizeof record.name; ++i)
    if (record.name[i] != '\0') return false;
  return true;
}

// Names longer than the record's 31 bytes are cut at the last whole UTF-8
// character that fits.
TEST(CodecDescriptorTest, NameGoesIntoTheRecordAsUtf8) {
  const std::string a31(31, 'a');
  struct Row {
    std::string name;      // UTF-8
    std::string expected;  // bytes in the record
  } rows[] = {
      {"PCMU", "PCMU"},
      {"", ""},
      {a31, a31},
      {a31 + "b", a31},
      {"G.711 \xC2\xB5-law", "G.711 \xC2\xB5-law"},
      {std::string(30, 'a') + "\xC3\xA9", std::string(30, 'a')},      // 2-byte é across 31
      {std::string(29, 'a') + "\xE2\x82\xAC", std::string(29, 'a')},  // 3-byte € across 31
      {std::string(28, 'a') + "\xE2\x82\xAC", std::string(28, 'a') + "\xE2\x82\xAC"},  // fits
      {std::string(28, 'a') + "\xF0\x9F\x8E\xB5", std::string(28, 'a')},  // surrogate pair
      {"\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
  };
  for (const Row& row : rows) {
    CodecDescriptor codec(97, Wide(row.name), 16000, 320, 1, 23850);
    EngineCodecRecord record = codec.ToEngineRecord();
    EXPECT_EQ(std::string(record.name), row.expected) << row.name;
    EXPECT_TRUE(RestIsZero(record, row.expected.size())) << row.name;
  }
  EngineCodecRecord record =
      CodecDescriptor(97, MEDLEY_OLESTR("X"), 16000, 320, 1, 23850).ToEngineRecord();
  EXPECT_EQ((std::vector<int>{record.payloadType, record.frequency, record.packetSize,
                              record.channels, record.rate}),
            (std::vector<int>{97, 16000, 320, 1, 23850}));
  EXPECT_EQ(std::string(CodecDescriptor().ToEngineRecord().name), "") << "null name";
}

TEST(CodecDescriptorTest, RecordNameIsWidenedIntoANewBstr) {
  struct Row {
    std::string bytes;  // the record's name field, up to 32 bytes
    OleString expected;
  } rows[] = {
      {"AMRWB", MEDLEY_OLESTR("AMRWB")},
      {"", OleString()},
      {"\xC3\xA9t\xC3\xA9", Wide("\xC3\xA9t\xC3\xA9")},
      {"ok\xFFok", OleString(MEDLEY_OLESTR("ok")) + OLECHAR(0xFFFD) + MEDLEY_OLESTR("ok")},
      {std::string(32, 'z'), Wide(std::string(32, 'z'))},  // no NUL: the whole field
  };
  for (const Row& row : rows) {
    EngineCodecRecord record = {-5, {}, 8000, 160, 2, 64000};
    std::memcpy(record.name, row.bytes.data(), row.bytes.size());
    CodecDescriptor codec = CodecDescriptor::FromEngineRecord(record);
    EXPECT_EQ(OleString(codec.Name()), row.expected) << row.bytes;
    ASSERT_NE(codec.name, nullptr);
    EXPECT_EQ(SysStringLen(codec.name), row.expected.size());
    EXPECT_EQ((std::vector<LONG>{codec.payloadType, codec.frequency, codec.packetSize,
                                 codec.channels, codec.rate}),
              (std::vector<LONG>{-5, 8000, 160, 2, 64000}));
  }
}

TEST(CodecDescriptorTest, CopiesOwnTheirName) {
  CodecDescriptor original(0, MEDLEY_OLESTR("PCMU"), 8000, 160, 1, 64000);
  CodecDescriptor copy(original), assigned(8, MEDLEY_OLESTR("PCMA"), 8000, 160, 1, 64000);
  assigned = original;
  assigned = assigned;
  for (const CodecDescriptor* c : {&copy, &assigned}) {
    EXPECT_NE(c->name, original.name);
    EXPECT_EQ(c->Name(), MEDLEY_OLESTR("PCMU"));
  }
  CodecDescriptor moved(std::move(copy));
  EXPECT_EQ(copy.name, nullptr);
  EXPECT_EQ(moved.Name(), MEDLEY_OLESTR("PCMU"));
}

}  // namespace
