// AMR frames between their storage form and RTP payloads of both packings.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standin/codecs/amr_payload.h"

namespace {

using namespace standin::amr;
using Bytes = std::vector<std::uint8_t>;

// A storage frame of `type` with random speech bits and zero padding.
Bytes StorageFrame(Band band, int type, int quality, std::mt19937& random) {
  int bits = FrameBits(band, type);
  Bytes frame = {static_cast<std::uint8_t>((type << 3) | (quality << 2))};
  for (int i = 0; i < (bits + 7) / 8; ++i) frame.push_back(static_cast<std::uint8_t>(random()));
  if (bits % 8) frame.back() &= static_cast<std::uint8_t>(0xFF << (8 - bits % 8));
  return frame;
}

Bytes PackBits(const std::vector<int>& bits) {
  Bytes bytes;
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (i % 8 == 0) bytes.push_back(0);
    if (bits[i]) bytes.back() |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return bytes;
}

TEST(AmrPayloadTest, EveryFrameTypeRoundTrips) {
  struct Row {
    Band band;
    std::vector<int> types;
  } rows[] = {{Band::kNarrow, {0, 1, 2, 3, 4, 5, 6, 7, 8, 15}},
              {Band::kWide, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15}}};
  std::mt19937 random(4867);
  for (const Row& row : rows) {
    for (int type : row.types) {
      for (int quality : {0, 1}) {
        SCOPED_TRACE("type " + std::to_string(type) + " quality " + std::to_string(quality));
        Bytes frame = StorageFrame(row.band, type, quality, random);
        ASSERT_EQ(static_cast<int>(frame.size()), StorageFrameSize(row.band, frame[0]));
        Bytes payload;
        ASSERT_TRUE(StorageFrameToPayload(row.band, frame.data(), frame.size(), payload));
        EXPECT_EQ(payload.size(),
                  static_cast<std::size_t>((10 + FrameBits(row.band, type) + 7) / 8));
        Bytes back;
        int frames = 0;
        Packing packing = Packing::kOctetAligned;
        ASSERT_TRUE(PayloadToStorageFrames(row.band, payload.data(), payload.size(), back, &frames,
                                           &packing));
        EXPECT_EQ(frames, 1);
        EXPECT_EQ(back, frame);
        EXPECT_EQ(packing, Packing::kBandwidthEfficient);
      }
    }
  }
}

// The octet-aligned payload (RFC 4867 4.4) of storage frames, as peers such
// as GStreamer's packer send it: a CMR byte, a TOC byte per frame, then the
// frames' speech bytes.
Bytes OctetAligned(const std::vector<Bytes>& frames, int modeRequest = kNoModeRequest) {
  Bytes payload = {static_cast<std::uint8_t>(modeRequest << 4)};
  for (std::size_t i = 0; i < frames.size(); ++i)
    payload.push_back(
        static_cast<std::uint8_t>((i + 1 < frames.size() ? 0x80 : 0) | (frames[i][0] & 0x7C)));
  for (const Bytes& frame : frames) payload.insert(payload.end(), frame.begin() + 1, frame.end());
  return payload;
}

TEST(AmrPayloadTest, OctetAlignedPayloadsAreToldByTheirShape) {
  struct Row {
    const char* what;
    Band band;
    std::vector<int> types;
  } rows[] = {
      {"12.2", Band::kNarrow, {7}},
      {"4.75, which also fits the other packing", Band::kNarrow, {0}},
      {"two speech frames and no data", Band::kNarrow, {7, 5, 15}},
      {"SID", Band::kNarrow, {8}},
      {"23.85", Band::kWide, {8}},
      {"6.60", Band::kWide, {0}},
      {"12.65 and SID", Band::kWide, {2, 9}},
      {"speech lost", Band::kWide, {14}},
  };
  std::mt19937 random(4);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<Bytes> frames;
    Bytes expected;
    for (int type : row.types) {
      frames.push_back(StorageFrame(row.band, type, 1, random));
      expected.insert(expected.end(), frames.back().begin(), frames.back().end());
    }
    const Bytes payload = OctetAligned(frames, row.band == Band::kNarrow ? 7 : 8);
    Bytes storage;
    int count = 0;
    Packing packing = Packing::kBandwidthEfficient;
    ASSERT_TRUE(PayloadToStorageFrames(row.band, payload.data(), payload.size(), storage, &count,
                                       &packing));
    EXPECT_EQ(packing, Packing::kOctetAligned);
    EXPECT_EQ(count, static_cast<int>(row.types.size()));
    EXPECT_EQ(storage, expected);

    // Reserved bits set or a byte too many: neither packing accounts for it.
    std::vector<Bytes> spoiled = {payload, payload};
    spoiled[0][0] |= 0x01;
    spoiled[1].push_back(0);
    for (const Bytes& bad : spoiled) {
      Bytes untouched;
      int none = 0;
      EXPECT_FALSE(PayloadToStorageFrames(row.band, bad.data(), bad.size(), untouched, &none));
      EXPECT_TRUE(untouched.empty());
    }
  }
}

TEST(AmrPayloadTest, BitLayoutOfA122Frame) {
  Bytes frame(32, 0);
  frame[0] = (7 << 3) | (1 << 2);
  frame[1] = 0xFF;
  Bytes payload;
  ASSERT_TRUE(StorageFrameToPayload(Band::kNarrow, frame.data(), frame.size(), payload));
  // Mode request 1111, follow 0, type 0111, quality 1, then the speech bits.
  ASSERT_EQ(payload.size(), 32u);
  EXPECT_EQ(payload[0], 0xF3);
  EXPECT_EQ(payload[1], 0xFF);
  EXPECT_EQ(payload[2], 0xC0);
  EXPECT_EQ(payload[31], 0x00);
}

TEST(AmrPayloadTest, PayloadWithTwoFramesGivesBoth) {
  // Mode request 15; TOC 1 0111 1 (12.2, more follows); TOC 0 1111 1 (no
  // data); 244 speech bits of ones; padding.
  std::vector<int> bits = {1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1};
  for (int i = 0; i < 244; ++i) bits.push_back(1);
  Bytes payload = PackBits(bits);
  Bytes storage;
  int frames = 0;
  ASSERT_TRUE(
      PayloadToStorageFrames(Band::kNarrow, payload.data(), payload.size(), storage, &frames));
  ASSERT_EQ(frames, 2);
  ASSERT_EQ(storage.size(), 32u + 1u);
  EXPECT_EQ(storage[0], (7 << 3) | (1 << 2));
  EXPECT_EQ(storage[1], 0xFF);
  EXPECT_EQ(storage[31], 0xF0);  // 244 bits: the last byte holds 4
  EXPECT_EQ(storage[32], (15 << 3) | (1 << 2));
}

TEST(AmrPayloadTest, MalformedPayloadsAreRefused) {
  Bytes good122(32, 0);
  good122[0] = 0xF0 | 0x03;  // mode request 15, follow 0, type 0111...
  good122[1] = 0xC0;         // ...quality 1
  struct Row {
    const char* what;
    Band band;
    Bytes payload;
  } rows[] = {
      {"empty", Band::kNarrow, {}},
      {"no room for a TOC", Band::kNarrow, {0xF0}},
      {"narrowband type 9", Band::kNarrow, {0xF4, 0xC0}},
      {"wideband type 10", Band::kWide, {0xF5, 0x00}},
      {"speech cut short", Band::kNarrow, Bytes(good122.begin(), good122.begin() + 20)},
      {"a spare byte after the speech", Band::kNarrow,
       [&] {
         Bytes b = good122;
         b.push_back(0);
         return b;
       }()},
      {"a follow bit with no frame after it", Band::kNarrow, {0xF8 | 0x07, 0xC0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes storage = {0xAB};
    int frames = 0;
    EXPECT_FALSE(
        PayloadToStorageFrames(row.band, row.payload.data(), row.payload.size(), storage, &frames));
    EXPECT_EQ(storage, Bytes{0xAB});
    EXPECT_EQ(frames, 0);
  }
  Bytes sanity;
  int frames = 0;
  EXPECT_TRUE(
      PayloadToStorageFrames(Band::kNarrow, good122.data(), good122.size(), sanity, &frames));

  Bytes payload;
  const Bytes badFrames[] = {{}, {9 << 3}, {(7 << 3) | 4, 0, 0}};
  for (const Bytes& frame : badFrames)
    EXPECT_FALSE(StorageFrameToPayload(Band::kNarrow, frame.data(), frame.size(), payload));
  EXPECT_TRUE(payload.empty());
}

TEST(AmrPayloadTest, FramesPerPayloadAreCapped) {
  for (std::size_t count : {kMaxFramesPerPayload, kMaxFramesPerPayload + 1}) {
    SCOPED_TRACE(count);
    std::vector<int> bits = {1, 1, 1, 1};
    for (std::size_t i = 0; i < count; ++i)
      bits.insert(bits.end(), {i + 1 < count ? 1 : 0, 1, 1, 1, 1, 1});  // no-data frames
    Bytes payload = PackBits(bits);
    Bytes storage;
    int frames = 0;
    bool accepted =
        PayloadToStorageFrames(Band::kWide, payload.data(), payload.size(), storage, &frames);
    EXPECT_EQ(accepted, count == kMaxFramesPerPayload);
    EXPECT_EQ(static_cast<std::size_t>(frames), accepted ? count : 0);
  }
}

TEST(AmrPayloadTest, ModeForRate) {
  struct Row {
    Band band;
    int rate;
    int mode;
  } rows[] = {
      {Band::kNarrow, 12200, 7}, {Band::kNarrow, 4750, 0}, {Band::kNarrow, 7950, 5},
      {Band::kNarrow, 9000, 5},  {Band::kNarrow, 0, 7},    {Band::kNarrow, 99999, 7},
      {Band::kWide, 23850, 8},   {Band::kWide, 6600, 0},   {Band::kWide, 20000, 6},
      {Band::kWide, 1, 8},
  };
  for (const Row& row : rows) EXPECT_EQ(ModeForRate(row.band, row.rate), row.mode) << row.rate;
}

}  // namespace
