// SHA-1 compression with the x86 SHA extensions. Only the functions marked
// SHA_TARGET use those instructions; nothing here runs unless
// sha1_select_x86.cpp has found the features on the processor.
#include <immintrin.h>

#include <utility>

#include "foundation/sha1_compress.h"

namespace sha1_compress {

namespace {

#define SHA_TARGET __attribute__((target("sha,ssse3,sse4.1")))

// One group of four rounds (g = 0..19) over message words M[g % 4], with the
// message schedule for later groups interleaved:
//   M[k] = msg2(msg1(M[k-4], M[k-3]) ^ M[k-2], M[k-1]) for k >= 4.
template <int G>
SHA_TARGET inline __attribute__((always_inline)) void Rounds(__m128i& abcd, __m128i& e0,
                                                             __m128i& e1, __m128i msg[4]) {
  constexpr int kFunction = G / 5;
  if constexpr (G == 0) {
    e0 = _mm_add_epi32(e0, msg[0]);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, kFunction);
  } else if constexpr (G % 2 == 1) {
    e1 = _mm_sha1nexte_epu32(e1, msg[G % 4]);
    e0 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e1, kFunction);
  } else {
    e0 = _mm_sha1nexte_epu32(e0, msg[G % 4]);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, kFunction);
  }
  if constexpr (G >= 3 && G <= 18)
    msg[(G + 1) % 4] = _mm_sha1msg2_epu32(msg[(G + 1) % 4], msg[G % 4]);
  if constexpr (G >= 1 && G <= 16)
    msg[(G + 3) % 4] = _mm_sha1msg1_epu32(msg[(G + 3) % 4], msg[G % 4]);
  if constexpr (G >= 2 && G <= 17) msg[(G + 2) % 4] = _mm_xor_si128(msg[(G + 2) % 4], msg[G % 4]);
}

template <int... G>
SHA_TARGET inline __attribute__((always_inline)) void AllRounds(__m128i& abcd, __m128i& e0,
                                                                __m128i& e1, __m128i msg[4],
                                                                std::integer_sequence<int, G...>) {
  (Rounds<G>(abcd, e0, e1, msg), ...);
}

SHA_TARGET void CompressShaNi(std::uint32_t state[5], const unsigned char* blocks,
                              std::size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abcdSaved = abcd;
    const __m128i eSaved = e0;
    __m128i msg[4];
    for (int i = 0; i < 4; ++i) {
      msg[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                                byteSwap);
    }
    __m128i e1;
    AllRounds(abcd, e0, e1, msg, std::make_integer_sequence<int, 20>{});
    e0 = _mm_sha1nexte_epu32(e0, eSaved);
    abcd = _mm_add_epi32(abcd, abcdSaved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace

Function ShaExtensionsCompress() { return CompressShaNi; }

}  // namespace sha1_compress
