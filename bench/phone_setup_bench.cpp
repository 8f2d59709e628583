// Call set-up time of medley phone beside baresip in the same run: the time
// from sending an INVITE with an offer on loopback to receiving the 200 OK,
// each user agent answering at once. Every measured call is acknowledged and
// hung up before the next. Needs baresip on the PATH for the second figure.
#include <benchmark/benchmark.h>

#include <string>

#include "tests/tools/phone_peers.h"

namespace {

using namespace phone_test;

void MeasureSetup(benchmark::State& state, int port, const std::string& user) {
  RawSip sip(port, user);
  int id = 1;
  for (auto _ : state) {
    const std::string invite =
        sip.Request("INVITE", id, "application/sdp", Offer(20000 + 2 * (id % 500)));
    const auto start = Clock::now();
    sip.Send(invite);
    const std::string answer = sip.FinalResponse(3s);
    const auto end = Clock::now();
    if (Status(answer) != 200) {
      state.SkipWithError(("no 200 OK: " + answer.substr(0, answer.find('\r'))).c_str());
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    const std::string to = Header(answer, "To");
    const std::string tag = to.substr(to.find("tag=") + 4);
    sip.Send(sip.Request("ACK", id, "", "", tag));
    sip.Send(sip.Request("BYE", id, "", "", tag, 2));
    for (auto limit = Clock::now() + 3s; Clock::now() < limit;)
      if (Header(sip.FinalResponse(1s), "CSeq").ends_with("BYE")) break;
    ++id;
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TempFolder folder;
  WriteTone(folder.File("tone.wav"), 8000, 440, 5);
  const int port = FreePort();
  Child phone({MEDLEY_TOOL_FILE, "phone", "--listen", "127.0.0.1:" + std::to_string(port),
               "--auto-answer", "--prefer", "PCMU,telephone-event"},
              folder.File("phone.out"));
  if (!phone.WaitFor("listening on")) return 1;
  benchmark::RegisterBenchmark("CallSetup/medley_phone", MeasureSetup, port, "alice")
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(50);
  std::unique_ptr<Baresip> baresip;
  if (Baresip::Installed()) {
    baresip = std::make_unique<Baresip>(folder, "PCMU/8000/1", folder.File("tone.wav"));
    if (baresip->Ready()) {
      const int baresipPort = std::stoi(baresip->Uri().substr(baresip->Uri().rfind(':') + 1));
      benchmark::RegisterBenchmark("CallSetup/baresip", MeasureSetup, baresipPort, "bob")
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(50);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  phone.Stop();
  return 0;
}
