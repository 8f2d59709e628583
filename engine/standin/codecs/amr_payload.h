// AMR and AMR-WB frames in their two outer forms:
// - the storage form of files: a TOC byte (frame type << 3 | quality << 2)
//   and the speech bits padded to whole bytes, after the "#!AMR\n" or
//   "#!AMR-WB\n" magic line;
// - the RTP payload (RFC 4867), which this engine sends in the
//   bandwidth-efficient form (the default when SDP does not ask for
//   octet-align=1): a 4-bit mode request, a 6-bit TOC entry per frame
//   (follow bit, frame type, quality), then every frame's speech bits back to
//   back, padded to a whole byte. It receives that form and the
//   octet-aligned one (mode request and TOC entries in whole bytes, each
//   frame padded to a byte), without interleaving or CRCs.
// The codec libraries take and give the storage form; these functions
// translate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace standin::amr {

enum class Band { kNarrow, kWide };

constexpr int kNoData = 15;
// The most frames a payload may carry (1.28 s): a no-data frame takes six
// bits, so a datagram of them would otherwise decode to minutes of audio.
constexpr std::size_t kMaxFramesPerPayload = 64;
// Mode request "none" in a payload's first four bits.
constexpr int kNoModeRequest = 15;

// Speech bits of frame type `type` (0 for no-data frames); -1 for a type
// this band does not define.
int FrameBits(Band band, int type);
// The bit rate in bit/s of speech frame type `type`; 0 for other types.
int ModeRate(Band band, int type);
// The speech frame type for a wanted bit rate: an exact match, else the
// fastest mode not above it, else the band's fastest mode.
int ModeForRate(Band band, int rate);
// Bytes of the storage frame that begins with `toc`; -1 for an undefined type.
int StorageFrameSize(Band band, std::uint8_t toc);
std::string_view MagicLine(Band band);

// Appends the payload carrying one storage frame; false (nothing appended)
// when the frame's type is undefined or `size` does not match it.
bool StorageFrameToPayload(Band band, const std::uint8_t* frame, std::size_t size,
                           std::vector<std::uint8_t>& payload);
// Appends the bandwidth-efficient payload carrying the storage frames
// `frames` (back to back, `size` bytes) in their order; false (nothing
// appended) when they are not whole frames of defined types, or more than
// kMaxFramesPerPayload.
bool StorageFramesToPayload(Band band, const std::uint8_t* frames, std::size_t size,
                            std::vector<std::uint8_t>& payload);
enum class Packing { kBandwidthEfficient, kOctetAligned };

// Appends the payload's frames in storage form, back to back, and adds their
// number to `frames`; false (nothing appended) for a payload that neither
// packing accounts for exactly: empty, an undefined frame type, too many
// frames, too few bytes, or bytes left over. The packing is told by the
// payload's shape; `packing`, when given, is set to the one used.
bool PayloadToStorageFrames(Band band, const std::uint8_t* payload, std::size_t size,
                            std::vector<std::uint8_t>& storage, int* frames,
                            Packing* packing = nullptr);

}  // namespace standin::amr
