// Portable SHA-1 compression (FIPS 180-1) and the run-time choice of the
// compression function.
#include <atomic>

#include "foundation/sha1_compress.h"

namespace sha1_compress {

namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t Load32BE(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

std::atomic<Function> chosen{nullptr};

}  // namespace

// Schedule word t (t >= 16), kept in a ring of 16.
#define SHA1_W(t) \
  (w[(t)&15] = Rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))

#define SHA1_ROUND(a, b, c, d, e, f, k, x) \
  (e) += Rotl((a), 5) + (f) + (k) + (x);   \
  (b) = Rotl((b), 30)

#define SHA1_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

// Five rounds rotate the roles of a..e back to where they started.
#define SHA1_FIVE(F, k, X, t)                           \
  SHA1_ROUND(a, b, c, d, e, F(b, c, d), k, X((t) + 0)); \
  SHA1_ROUND(e, a, b, c, d, F(a, b, c), k, X((t) + 1)); \
  SHA1_ROUND(d, e, a, b, c, F(e, a, b), k, X((t) + 2)); \
  SHA1_ROUND(c, d, e, a, b, F(d, e, a), k, X((t) + 3)); \
  SHA1_ROUND(b, c, d, e, a, F(c, d, e), k, X((t) + 4))

#define SHA1_W0(t) w[t]

void Portable(std::uint32_t state[5], const unsigned char* blocks, std::size_t count) {
  std::uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3], h4 = state[4];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = Load32BE(blocks + 4 * i);
    std::uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;

    SHA1_FIVE(SHA1_CH, 0x5a827999u, SHA1_W0, 0);
    SHA1_FIVE(SHA1_CH, 0x5a827999u, SHA1_W0, 5);
    SHA1_FIVE(SHA1_CH, 0x5a827999u, SHA1_W0, 10);
    SHA1_ROUND(a, b, c, d, e, SHA1_CH(b, c, d), 0x5a827999u, w[15]);
    SHA1_ROUND(e, a, b, c, d, SHA1_CH(a, b, c), 0x5a827999u, SHA1_W(16));
    SHA1_ROUND(d, e, a, b, c, SHA1_CH(e, a, b), 0x5a827999u, SHA1_W(17));
    SHA1_ROUND(c, d, e, a, b, SHA1_CH(d, e, a), 0x5a827999u, SHA1_W(18));
    SHA1_ROUND(b, c, d, e, a, SHA1_CH(c, d, e), 0x5a827999u, SHA1_W(19));

    SHA1_FIVE(SHA1_PARITY, 0x6ed9eba1u, SHA1_W, 20);
    SHA1_FIVE(SHA1_PARITY, 0x6ed9eba1u, SHA1_W, 25);
    SHA1_FIVE(SHA1_PARITY, 0x6ed9eba1u, SHA1_W, 30);
    SHA1_FIVE(SHA1_PARITY, 0x6ed9eba1u, SHA1_W, 35);

    SHA1_FIVE(SHA1_MAJ, 0x8f1bbcdcu, SHA1_W, 40);
    SHA1_FIVE(SHA1_MAJ, 0x8f1bbcdcu, SHA1_W, 45);
    SHA1_FIVE(SHA1_MAJ, 0x8f1bbcdcu, SHA1_W, 50);
    SHA1_FIVE(SHA1_MAJ, 0x8f1bbcdcu, SHA1_W, 55);

    SHA1_FIVE(SHA1_PARITY, 0xca62c1d6u, SHA1_W, 60);
    SHA1_FIVE(SHA1_PARITY, 0xca62c1d6u, SHA1_W, 65);
    SHA1_FIVE(SHA1_PARITY, 0xca62c1d6u, SHA1_W, 70);
    SHA1_FIVE(SHA1_PARITY, 0xca62c1d6u, SHA1_W, 75);

    h0 += a;
    h1 += b;
    h2 += c;
    h3 += d;
    h4 += e;
  }
  state[0] = h0;
  state[1] = h1;
  state[2] = h2;
  state[3] = h3;
  state[4] = h4;
}

Function Active() {
  Function function = chosen.load(std::memory_order_relaxed);
  if (function) return function;
  function = Accelerated();
  if (!function) function = Portable;
  chosen.store(function, std::memory_order_relaxed);
  return function;
}

void SetForTesting(Function function) { chosen.store(function, std::memory_order_relaxed); }

}  // namespace sha1_compress
