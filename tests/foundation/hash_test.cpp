#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/sha1_compress.h"
#include "medley/hash_engine.h"
#include "tests/support/temp_folder.h"

namespace {

struct KnownAnswer {
  std::string message;
  const char* md5;
  const char* sha1;
};

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::vector<KnownAnswer> KnownAnswers() {
  return {
      {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"a", "0cc175b9c0f1b6a831c399e269772661", "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0",
       "c12252ceda8be8994d5fa0290a47231c1d16aae3"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b",
       "32d10c7b8cf96570ca04ce37f2a19d84240d3a89"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f", "761c457bf73b14d27e9e9265c46f4b4dda11f940"},
      {Repeat("1234567890", 8), "57edf4a22be3c955ac49da2e2107b67a",
       "50abf5706a150990a08b2c5ea40fa0e585554732"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "8215ef0796a20bcaaae116d3876c664a", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string("abc\0def", 7), "a5e4d5963ae44c1f4bfb37b1a3d55a3c",
       "487b1975d97215516d7267dff3557c0676956056"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
}

// Hashes the message whole (seed 0) or in pieces of random sizes, in an
// engine that has been used and reset before.
std::string Digest(hash_type_t type, const std::string& message, unsigned seed = 0) {
  cHashEngine engine;
  EXPECT_TRUE(engine.Initialize(type));
  if (seed) {
    engine.Consume("noise", 5);
    engine.Reset();
  }
  std::mt19937 random(seed);
  for (std::size_t at = 0; at < message.size();) {
    const std::size_t piece =
        seed ? std::min<std::size_t>(random() % 150, message.size() - at) : message.size();
    engine.Consume(message.data() + at, static_cast<unsigned>(piece));
    at += piece;
  }
  char text[48];
  engine.Output(text);
  return text;
}

// Runs the known-answer table on every SHA-1 compression path available.
class HashKnownAnswerTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::strcmp(GetParam(), "accelerated") == 0) {
      if (!sha1_compress::Accelerated()) GTEST_SKIP() << "no SHA extensions on this processor";
      sha1_compress::SetForTesting(sha1_compress::Accelerated());
    } else {
      sha1_compress::SetForTesting(sha1_compress::Portable);
    }
  }
  void TearDown() override { sha1_compress::SetForTesting(nullptr); }
};

TEST_P(HashKnownAnswerTest, Table) {
  unsigned seed = 1;
  for (const KnownAnswer& answer : KnownAnswers()) {
    const std::string label = answer.message.substr(0, 20);
    EXPECT_EQ(Digest(HASH_MD5, answer.message), answer.md5) << label;
    EXPECT_EQ(Digest(HASH_SHA1, answer.message), answer.sha1) << label;
    EXPECT_EQ(Digest(HASH_MD5, answer.message, seed), answer.md5) << label;
    EXPECT_EQ(Digest(HASH_SHA1, answer.message, seed++), answer.sha1) << label;
  }
  SHA1 sha1;
  for (int i = 0; i < 10; ++i) sha1 << Repeat("01234567", 8).c_str();
  unsigned words[5];
  ASSERT_TRUE(sha1.Result(words));
  const unsigned expected[5] = {0xdea356a2, 0xcddd90c7, 0xa7ecedc5, 0xebb56393, 0x4f460452};
  EXPECT_EQ(std::vector<unsigned>(words, words + 5), std::vector<unsigned>(expected, expected + 5));
}

INSTANTIATE_TEST_SUITE_P(Paths, HashKnownAnswerTest, testing::Values("portable", "accelerated"));

TEST(HashTest, AcceleratedMatchesPortableOnRandomInput) {
  const sha1_compress::Function accelerated = sha1_compress::Accelerated();
  if (!accelerated) GTEST_SKIP() << "no SHA extensions on this processor";
  std::mt19937 random(7);
  std::vector<unsigned char> blocks(64 * 9);
  for (int round = 0; round < 200; ++round) {
    for (auto& byte : blocks) byte = static_cast<unsigned char>(random());
    std::uint32_t a[5], b[5];
    for (int i = 0; i < 5; ++i) a[i] = b[i] = static_cast<std::uint32_t>(random());
    const std::size_t count = 1 + random() % 9;
    sha1_compress::Portable(a, blocks.data(), count);
    accelerated(b, blocks.data(), count);
    ASSERT_EQ(std::vector<std::uint32_t>(a, a + 5), std::vector<std::uint32_t>(b, b + 5));
  }
}

TEST(HashTest, NamesAndSizes) {
  const struct {
    const char* name;
    hash_type_t type;
  } names[] = {{"md5", HASH_MD5},   {"MD5", HASH_MD5},    {"mD-5", HASH_MD5},   {"MD-5", HASH_MD5},
               {"sha1", HASH_SHA1}, {"SHA-1", HASH_SHA1}, {"Sha-1", HASH_NONE}, {"Sha1", HASH_NONE},
               {"sha", HASH_NONE},  {"", HASH_NONE},      {nullptr, HASH_NONE}};
  for (const auto& n : names)
    EXPECT_EQ(cHashEngine::ParseHashType(n.name), n.type) << (n.name ? n.name : "null");
  EXPECT_STREQ(cHashEngine::NameHashType(HASH_SHA1), "sha-1");
  EXPECT_STREQ(cHashEngine::NameHashType(HASH_MD5), "md5");
  EXPECT_EQ(cHashEngine::NameHashType(HASH_NONE), nullptr);
  EXPECT_EQ(cHashEngine::NameHashType(static_cast<hash_type_t>(7)), nullptr);

  cHashEngine engine;
  EXPECT_FALSE(engine.Initialize("sha"));
  EXPECT_FALSE(engine.Initialize(static_cast<hash_type_t>(9)));
  EXPECT_TRUE(engine.Initialize("MD5"));
  EXPECT_EQ(engine.HashSize(), 32u);
  EXPECT_TRUE(engine.Initialize(static_cast<hash_type_t>(9)));  // keeps the MD5 engine
  EXPECT_EQ(engine.HashSize(), 32u);
  EXPECT_TRUE(engine.Initialize(HASH_SHA1));
  EXPECT_EQ(engine.HashSize(), 40u);

  const struct {
    hash_type_t type;
    std::size_t size;
    unsigned char first, last;
  } raw[] = {{HASH_MD5, 16, 0x90, 0x72}, {HASH_SHA1, 20, 0xa9, 0x9d}};
  for (const auto& r : raw) {
    cHashEngine e;
    e.Initialize(r.type);
    e.Consume("abc", 3);
    unsigned char bytes[24];
    std::memset(bytes, 0xEE, sizeof bytes);
    e.RawOutput(reinterpret_cast<char*>(bytes));
    EXPECT_EQ(bytes[0], r.first);
    EXPECT_EQ(bytes[r.size - 1], r.last);
    EXPECT_EQ(bytes[r.size], 0xEE);
  }
}

TEST(HashTest, Sha1FinishesOnce) {
  SHA1 sha1;
  sha1 << "abc";
  unsigned first[5], second[5];
  ASSERT_TRUE(sha1.Result(first));
  ASSERT_TRUE(sha1.Result(second));
  EXPECT_EQ(std::memcmp(first, second, sizeof first), 0);
  EXPECT_EQ(first[0], 0xa9993e36u);
  sha1.Input('x');
  EXPECT_FALSE(sha1.Result(second));
  sha1.Reset();
  sha1.Input(static_cast<unsigned char>('a'));
  sha1 << 'b' << static_cast<unsigned char>('c');
  ASSERT_TRUE(sha1.Result(second));
  EXPECT_EQ(std::memcmp(first, second, sizeof first), 0);
}

TEST(HashTest, Md5IgnoresEmptyAndNegativeCounts) {
  md5_state_t state;
  md5_init(&state);
  md5_append(&state, reinterpret_cast<const md5_byte_t*>("abc"), 0);
  md5_append(&state, reinterpret_cast<const md5_byte_t*>("abc"), -3);
  md5_append(&state, reinterpret_cast<const md5_byte_t*>("abc"), 3);
  md5_byte_t digest[16];
  md5_finish(&state, digest);
  EXPECT_EQ(digest[0], 0x90);
  EXPECT_EQ(state.count[0], 512u);  // padded to one block including the count
}

// Writes files into a folder of the test's own, removed when the test ends.
class HashFileTest : public testing::Test {
 protected:
  std::string Write(const std::string& content) {
    const std::string name = folder_.File("file" + std::to_string(++written_));
    std::ofstream(name, std::ios::binary) << content;
    return name;
  }
  test_support::TempFolder folder_{"medley-hash"};
  int written_ = 0;
};

TEST_F(HashFileTest, HashesWholeFiles) {
  std::string multiBlock;
  for (int i = 0; i < 13 * 256; ++i) multiBlock += static_cast<char>(i);
  multiBlock += "xyz";  // 3331 bytes: three full reads and a short one
  const struct {
    std::string content;
    hash_type_t type;
    const char* expected;
  } cases[] = {
      {"", HASH_MD5, "d41d8cd98f00b204e9800998ecf8427e"},
      {"", HASH_SHA1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {multiBlock, HASH_MD5, "d076789c8ed549939999d0e873acab58"},
      {multiBlock, HASH_SHA1, "0a1c552873e6166d065a862542f7362a61dd4bdc"},
  };
  for (const auto& c : cases) {
    const std::string path = Write(c.content);
    cHashEngine engine;
    engine.Initialize(c.type);
    unsigned bytes = 12345;
    char text[48] = {};
    EXPECT_TRUE(engine.HashFile(path.c_str(), &bytes, text));
    EXPECT_EQ(bytes, c.content.size());
    EXPECT_STREQ(text, c.expected);
  }
}

TEST_F(HashFileTest, RefusesWhatCannotBeRead) {
  cHashEngine engine;
  engine.Initialize(HASH_MD5);
  unsigned bytes = 7;
  char text[48] = "unchanged";
  EXPECT_FALSE(engine.HashFile("/nonexistent/medley/file", &bytes, text));
  EXPECT_FALSE(engine.HashFile(folder_.Path().c_str(), &bytes, text));  // a directory
  EXPECT_EQ(bytes, 7u);
  EXPECT_STREQ(text, "unchanged");

  // Bytes consumed before the call are part of the digest.
  const std::string path = Write("bc");
  engine.Consume("a", 1);
  EXPECT_TRUE(engine.HashFile(path.c_str(), &bytes, text));
  EXPECT_STREQ(text, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(bytes, 2u);
}

}  // namespace
