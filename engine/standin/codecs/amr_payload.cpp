#include "engine/standin/codecs/amr_payload.h"

#include <array>

namespace standin::amr {
namespace {

// Speech bits per frame type; -1 marks types a band does not define. The
// narrowband SID is type 8, the wideband SID type 9 and wideband type 14
// ("speech lost") carries no bits.
constexpr std::array<int, 16> kNarrowBits = {95, 103, 118, 134, 148, 159, 204, 244,
                                             39, -1,  -1,  -1,  -1,  -1,  -1,  0};
constexpr std::array<int, 16> kWideBits = {132, 177, 253, 285, 317, 365, 397, 461,
                                           477, 40,  -1,  -1,  -1,  -1,  0,   0};
constexpr std::array<int, 8> kNarrowRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr std::array<int, 9> kWideRates = {6600,  8850,  12650, 14250, 15850,
                                           18250, 19850, 23050, 23850};

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), bits_(size * 8) {}
  std::size_t Left() const { return bits_ - position_; }
  // Callers check Left() first.
  int Take(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i, ++position_)
      value = (value << 1) | ((data_[position_ / 8] >> (7 - position_ % 8)) & 1);
    return value;
  }
  void Skip(std::size_t count) { position_ += count; }

 private:
  const std::uint8_t* data_;
  std::size_t bits_;
  std::size_t position_ = 0;
};

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(int value, int count) {
    for (int i = count - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }
  void PutBit(int bit) {
    if (used_ % 8 == 0) out_.push_back(0);
    if (bit) out_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
    ++used_;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::size_t used_ = 0;
};

std::uint8_t StorageToc(int type, int quality) {
  return static_cast<std::uint8_t>((type << 3) | (quality << 2));
}

}  // namespace

int FrameBits(Band band, int type) {
  if (type < 0 || type > 15) return -1;
  return band == Band::kNarrow ? kNarrowBits[type] : kWideBits[type];
}

int ModeRate(Band band, int type) {
  if (band == Band::kNarrow)
    return type >= 0 && type < static_cast<int>(kNarrowRates.size()) ? kNarrowRates[type] : 0;
  return type >= 0 && type < static_cast<int>(kWideRates.size()) ? kWideRates[type] : 0;
}

int ModeForRate(Band band, int rate) {
  int modes = band == Band::kNarrow ? static_cast<int>(kNarrowRates.size())
                                    : static_cast<int>(kWideRates.size());
  int best = -1;
  for (int type = 0; type < modes; ++type)
    if (ModeRate(band, type) <= rate) best = type;
  return best < 0 ? modes - 1 : best;
}

int StorageFrameSize(Band band, std::uint8_t toc) {
  int bits = FrameBits(band, (toc >> 3) & 0x0F);
  return bits < 0 ? -1 : 1 + (bits + 7) / 8;
}

std::string_view MagicLine(Band band) {
  return band == Band::kNarrow ? std::string_view("#!AMR\n") : std::string_view("#!AMR-WB\n");
}

bool StorageFrameToPayload(Band band, const std::uint8_t* frame, std::size_t size,
                           std::vector<std::uint8_t>& payload) {
  if (size == 0) return false;
  int expected = StorageFrameSize(band, frame[0]);
  if (expected < 0 || static_cast<std::size_t>(expected) != size) return false;
  return StorageFramesToPayload(band, frame, size, payload);
}

bool StorageFramesToPayload(Band band, const std::uint8_t* frames, std::size_t size,
                            std::vector<std::uint8_t>& payload) {
  // Check the whole run first, so nothing is appended for a bad one.
  std::size_t count = 0;
  for (std::size_t at = 0; at < size; ++count) {
    const int frameSize = StorageFrameSize(band, frames[at]);
    if (frameSize < 0 || static_cast<std::size_t>(frameSize) > size - at ||
        count == kMaxFramesPerPayload)
      return false;
    at += static_cast<std::size_t>(frameSize);
  }
  if (count == 0) return false;
  BitWriter writer(payload);
  writer.Put(kNoModeRequest, 4);
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    writer.PutBit(i + 1 < count ? 1 : 0);  // follow: another entry comes
    writer.Put((frames[at] >> 3) & 0x0F, 4);
    writer.PutBit((frames[at] >> 2) & 1);
    at += static_cast<std::size_t>(StorageFrameSize(band, frames[at]));
  }
  for (at = 0; at < size;) {
    const std::size_t frameSize = static_cast<std::size_t>(StorageFrameSize(band, frames[at]));
    BitReader speech(frames + at + 1, frameSize - 1);
    const int bits = FrameBits(band, (frames[at] >> 3) & 0x0F);
    for (int i = 0; i < bits; ++i) writer.PutBit(speech.Take(1));
    at += frameSize;
  }
  return true;
}

namespace {

// One frame found in a payload: its TOC fields and where its speech bits begin.
struct PayloadFrame {
  int type;
  int quality;
  std::size_t speechBit;
};

// A reading of a payload in one packing. `oddities` counts what a careful
// sender would not send: padding bits set, a CMR that names no mode, frames
// marked damaged (Q = 0).
struct Reading {
  std::vector<PayloadFrame> frames;
  int oddities = 0;
};

bool IsModeRequest(Band band, int request) {
  return request == kNoModeRequest || ModeRate(band, request) > 0;
}

// RFC 4867 4.3: CMR(4), 6-bit TOC entries (F, FT, Q), the speech bits of
// every frame back to back, zero padding to a byte boundary.
bool ReadBandwidthEfficient(Band band, const std::uint8_t* payload, std::size_t size,
                            Reading* reading) {
  BitReader reader(payload, size);
  if (!IsModeRequest(band, reader.Take(4))) ++reading->oddities;
  std::vector<PayloadFrame>& frames = reading->frames;
  bool follow = true;
  while (follow) {
    if (reader.Left() < 6 || frames.size() == kMaxFramesPerPayload) return false;
    follow = reader.Take(1) != 0;
    const int type = reader.Take(4);
    const int quality = reader.Take(1);
    if (FrameBits(band, type) < 0) return false;
    frames.push_back({type, quality, 0});
  }
  std::size_t bit = size * 8 - reader.Left();
  for (PayloadFrame& frame : frames) {
    frame.speechBit = bit;
    bit += static_cast<std::size_t>(FrameBits(band, frame.type));
  }
  if (bit > size * 8 || size * 8 - bit >= 8) return false;
  BitReader padding(payload, size);
  padding.Skip(bit);
  if (padding.Take(static_cast<int>(padding.Left())) != 0) ++reading->oddities;
  return true;
}

// RFC 4867 4.4 without interleaving or CRCs: a CMR byte (4 bits, 4 reserved),
// one TOC byte per frame (F, FT, Q, two padding bits), then each frame's
// speech bits padded to whole bytes. Reserved and padding bits must be
// zero here, which keeps bandwidth-efficient payloads from passing as
// octet-aligned ones by chance.
bool ReadOctetAligned(Band band, const std::uint8_t* payload, std::size_t size, Reading* reading) {
  if (!IsModeRequest(band, payload[0] >> 4)) ++reading->oddities;
  if (payload[0] & 0x0F) return false;
  std::vector<PayloadFrame>& frames = reading->frames;
  std::size_t at = 1;
  bool follow = true;
  while (follow) {
    if (at >= size || frames.size() == kMaxFramesPerPayload) return false;
    const std::uint8_t toc = payload[at++];
    follow = (toc & 0x80) != 0;
    const int type = (toc >> 3) & 0x0F;
    if (FrameBits(band, type) < 0) return false;
    if (toc & 0x03) return false;
    frames.push_back({type, (toc >> 2) & 1, 0});
  }
  for (PayloadFrame& frame : frames) {
    frame.speechBit = at * 8;
    at += static_cast<std::size_t>((FrameBits(band, frame.type) + 7) / 8);
  }
  return at == size;
}

}  // namespace

bool PayloadToStorageFrames(Band band, const std::uint8_t* payload, std::size_t size,
                            std::vector<std::uint8_t>& storage, int* frames, Packing* packing) {
  if (size == 0 || size > 65535) return false;
  // Nothing says which packing a peer chose (SDP's octet-align is not told
  // to the engine), so the payload's shape decides: the reading whose TOC
  // and frame sizes account exactly for its length. When both do, the one
  // a careful sender would have written; on a tie, bandwidth-efficient.
  Reading efficient, aligned;
  const bool efficientFits = ReadBandwidthEfficient(band, payload, size, &efficient);
  const bool alignedFits = ReadOctetAligned(band, payload, size, &aligned);
  if (!efficientFits && !alignedFits) return false;
  for (Reading* reading : {&efficient, &aligned})
    for (const PayloadFrame& frame : reading->frames)
      if (frame.quality == 0) ++reading->oddities;
  const bool useAligned = alignedFits && (!efficientFits || aligned.oddities < efficient.oddities);
  const Reading& chosen = useAligned ? aligned : efficient;

  for (const PayloadFrame& frame : chosen.frames) {
    storage.push_back(StorageToc(frame.type, frame.quality));
    BitReader reader(payload, size);
    reader.Skip(frame.speechBit);
    std::vector<std::uint8_t> speech;
    BitWriter writer(speech);
    const int bits = FrameBits(band, frame.type);
    for (int i = 0; i < bits; ++i) writer.PutBit(reader.Take(1));
    storage.insert(storage.end(), speech.begin(), speech.end());
  }
  *frames += static_cast<int>(chosen.frames.size());
  if (packing) *packing = useAligned ? Packing::kOctetAligned : Packing::kBandwidthEfficient;
  return true;
}

}  // namespace standin::amr
