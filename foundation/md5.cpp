// MD5 (RFC 1321). The block function is written for the compiler to keep
// the four chaining words and the message words in registers; G is summed
// from two disjoint terms so that its halves can be computed in parallel.
#include "medley/hash_engine.h"

#include <cstdint>
#include <cstring>

namespace {

inline std::uint32_t Load32LE(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

#define MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);   \
  (a) = Rotl((a), (s)) + (b)

// G(b, c, d) = (b & d) | (c & ~d); the two terms never share a bit.
#define MD5_STEP_G(a, b, c, d, x, t, s) \
  (a) += (x) + (t) + ((c) & ~(d));      \
  (a) += (b) & (d);                     \
  (a) = Rotl((a), (s)) + (b)

void ProcessBlocks(md5_word_t abcd[4], const unsigned char* data, std::size_t blocks) {
  std::uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = Load32LE(data + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

    MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
    MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
    MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
    MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
    MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

    MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
    MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
    MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
    MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
    MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
    MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
    MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
    MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
    MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
    MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
    MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
    MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
    MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
    MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

    MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
    MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
    MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
    MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
    MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

    MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
    MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
    MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
    MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
    MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  abcd[0] = a;
  abcd[1] = b;
  abcd[2] = c;
  abcd[3] = d;
}

}  // namespace

void md5_init(md5_state_t* pms) {
  pms->count[0] = pms->count[1] = 0;
  pms->abcd[0] = 0x67452301;
  pms->abcd[1] = 0xefcdab89;
  pms->abcd[2] = 0x98badcfe;
  pms->abcd[3] = 0x10325476;
}

void md5_append(md5_state_t* pms, const md5_byte_t* data, int nbytes) {
  if (nbytes <= 0 || !data) return;
  auto left = static_cast<std::uint32_t>(nbytes);
  const std::uint32_t offset = (pms->count[0] >> 3) & 63;
  const std::uint32_t bits = left << 3;

  pms->count[1] += left >> 29;
  pms->count[0] += bits;
  if (pms->count[0] < bits) ++pms->count[1];

  if (offset) {
    const std::uint32_t copy = offset + left > 64 ? 64 - offset : left;
    std::memcpy(pms->buf + offset, data, copy);
    if (offset + copy < 64) return;
    data += copy;
    left -= copy;
    ProcessBlocks(pms->abcd, pms->buf, 1);
  }
  ProcessBlocks(pms->abcd, data, left / 64);
  data += left & ~63u;
  left &= 63;
  if (left) std::memcpy(pms->buf, data, left);
}

void md5_finish(md5_state_t* pms, md5_byte_t digest[16]) {
  static const md5_byte_t kPad[64] = {0x80};
  md5_byte_t length[8];
  for (int i = 0; i < 8; ++i) {
    length[i] = static_cast<md5_byte_t>(pms->count[i >> 2] >> ((i & 3) << 3));
  }
  // Pad to 56 bytes modulo 64, then append the bit count.
  md5_append(pms, kPad, static_cast<int>(((55 - (pms->count[0] >> 3)) & 63) + 1));
  md5_append(pms, length, 8);
  for (int i = 0; i < 16; ++i) {
    digest[i] = static_cast<md5_byte_t>(pms->abcd[i >> 2] >> ((i & 3) << 3));
  }
}
