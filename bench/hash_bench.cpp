// MD5 and SHA-1 throughput of the foundation hash engines beside OpenSSL's
// EVP digests, on 16 B, 1 KiB and 8 KiB messages. Each iteration hashes one
// whole message (reset, feed, final digest). Build with
// -DCMAKE_BUILD_TYPE=Release -DMEDLEY_BUILD_BENCH=ON and run hash_bench.
#include <openssl/evp.h>

#include <benchmark/benchmark.h>

#include <vector>

#include "foundation/sha1_compress.h"
#include "medley/hash_engine.h"

namespace {

std::vector<char> Message(std::size_t size) {
  std::vector<char> message(size);
  for (std::size_t i = 0; i < size; ++i) message[i] = static_cast<char>(i * 131 + 7);
  return message;
}

void Engine(benchmark::State& state, hash_type_t type, sha1_compress::Function sha1) {
  if (type == HASH_SHA1 && !sha1) {
    state.SkipWithError("no SHA extensions on this processor");
    return;
  }
  sha1_compress::SetForTesting(sha1);
  const std::vector<char> message = Message(static_cast<std::size_t>(state.range(0)));
  cHashEngine engine;
  engine.Initialize(type);
  char digest[20];
  for (auto _ : state) {
    engine.Reset();
    engine.Consume(message.data(), static_cast<unsigned>(message.size()));
    engine.RawOutput(digest);
    benchmark::DoNotOptimize(digest);
  }
  sha1_compress::SetForTesting(nullptr);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void OpenSsl(benchmark::State& state, const char* name) {
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  const std::vector<char> message = Message(static_cast<std::size_t>(state.range(0)));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(context, md, nullptr);
    EVP_DigestUpdate(context, message.data(), message.size());
    EVP_DigestFinal_ex(context, digest, &length);
    benchmark::DoNotOptimize(digest);
  }
  EVP_MD_CTX_free(context);
  EVP_MD_free(md);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Md5_Medley(benchmark::State& state) { Engine(state, HASH_MD5, nullptr); }
void BM_Md5_OpenSSL(benchmark::State& state) { OpenSsl(state, "MD5"); }
void BM_Sha1_Medley(benchmark::State& state) { Engine(state, HASH_SHA1, sha1_compress::Active()); }
void BM_Sha1_MedleyPortable(benchmark::State& state) {
  Engine(state, HASH_SHA1, sha1_compress::Portable);
}
void BM_Sha1_MedleyShaExtensions(benchmark::State& state) {
  Engine(state, HASH_SHA1, sha1_compress::Accelerated());
}
void BM_Sha1_OpenSSL(benchmark::State& state) { OpenSsl(state, "SHA1"); }

}  // namespace

BENCHMARK(BM_Md5_Medley)->Arg(16)->Arg(1024)->Arg(8192);
BENCHMARK(BM_Md5_OpenSSL)->Arg(16)->Arg(1024)->Arg(8192);
BENCHMARK(BM_Sha1_Medley)->Arg(16)->Arg(1024)->Arg(8192);
BENCHMARK(BM_Sha1_MedleyPortable)->Arg(16)->Arg(1024)->Arg(8192);
BENCHMARK(BM_Sha1_MedleyShaExtensions)->Arg(16)->Arg(1024)->Arg(8192);
BENCHMARK(BM_Sha1_OpenSSL)->Arg(16)->Arg(1024)->Arg(8192);

BENCHMARK_MAIN();
