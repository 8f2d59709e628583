// The receive port search on 127.0.0.1, the peer address choice among X-alt
// alternatives, and the packet time of a line.
#include <string>
#include <vector>

#include "tests/media/media_test_support.h"
#include "tests/support/free_port.h"

namespace media_test {
namespace {

using test_support::HeldPort;

class PortsAndAddressesTest : public HandlerTest {
 protected:
  void SetUp() override { StartHandler({"PCMU", "PCMA", "G722"}); }
};

TEST_F(PortsAndAddressesTest, FreePortSearchStepsByTwoAndAlwaysEnds) {
  HeldPort held(0);
  const auto p = static_cast<std::uint32_t>(held.port());
  ASSERT_GT(p, 0u);
  HeldPort next(static_cast<int>(p + 2));  // held by us or by someone else: not bindable either way
  HeldPort top(65535);
  struct Row {
    std::uint32_t first, last;
    HRESULT hr;
    std::uint32_t port;
  };
  const Row rows[] = {
      {p, p, E_FAIL, 0},
      {p, p + 3, E_FAIL, 0},  // every bind fails
      {p, p + 4, S_OK, p + 4},
      {p + 4, p, E_FAIL, 0},            // empty range
      {0, 0, E_FAIL, 0},                // port 0 is never a receive port
      {65535, 0xFFFFFFFFu, E_FAIL, 0},  // odd start at the top: no wrap to 1
      {0xFFFFFFFEu, 65535, E_FAIL, 0},  // a negative preferred port
  };
  for (const Row& row : rows) {
    std::uint16_t port = 7;
    EXPECT_EQ(handler_->FindFreePort(row.first, row.last, &port), row.hr) << row.first;
    if (row.hr == S_OK) {
      EXPECT_EQ(port, row.port);
    }
  }
  // A port some channel receives on is skipped without probing.
  Channel(Reserve()).receivePort = static_cast<std::uint16_t>(p + 4);
  std::uint16_t port = 0;
  ASSERT_EQ(handler_->FindFreePort(p + 4, p + 6, &port), S_OK);
  EXPECT_EQ(port, p + 6);
}

TEST_F(PortsAndAddressesTest, TakenPreferredPortGivesTheNextEvenStep) {
  HeldPort held(0);
  const auto taken = static_cast<std::uint32_t>(held.port());
  network_->Settings().preferred_audio_rtp_port = static_cast<LONG>(taken);
  LONG channel = Reserve();
  ASSERT_EQ(Offer(channel, out_.Get()), S_OK);
  EXPECT_EQ(out_->Session().media[0].port, static_cast<LONG>(taken + 2));
  EXPECT_EQ(Channel(channel).receivePort, taken + 2);
}

TEST_F(PortsAndAddressesTest, SendAddressPrefersTheAlternativeOnlyThePeerHas) {
  struct Row {
    const char* name;
    const char* incoming;  // media section of the peer's SDP
    const char* ours;      // attributes of our own audio line
    std::string expected;  // "address:port" or "E_FAIL"
  };
  // The peer's own LAN address, listed first by every peer below that has X-alt lines.
#define LAN "c=IN IP4 192.168.1.34\na=X-alt:1 1.0 a u p 192.168.1.34 5000\n"
  const Row rows[] = {
      {"plain", "c=IN IP4 203.0.113.5\n", "", "203.0.113.5:5000"},
      {"session c= only", "", "", "198.51.100.7:5000"},
      {"ours has none", LAN "a=X-alt:2 1.0 a u p 81.2.3.4 6000\n", "", "192.168.1.34:5000"},
      {"public of several",
       LAN "a=X-alt:2 1.0 a u p 10.0.0.9 7000\na=X-alt:3 1.0 a u p 81.2.3.4 6000\n",
       "a=X-alt:1 1.0 a u p 10.0.0.5 4000\n", "81.2.3.4:6000"},
      {"all private", LAN "a=X-alt:2 1.0 a u p 10.1.1.1 7000\n",
       "a=X-alt:1 1.0 a u p 172.16.0.1 4000\n", "192.168.1.34:5000"},
      {"one not shared", LAN "a=X-alt:2 1.0 a u p 81.2.3.4 6000\n",
       "a=X-alt:1 1.0 a u p 81.2.3.4 4000\n", "192.168.1.34:5000"},
      {"all shared, ours listed", LAN "a=X-alt:2 1.0 a u p 127.0.0.1 7000\n",
       "a=X-alt:1 1.0 a u p 192.168.1.34 1\na=X-alt:1 1.0 a u p 127.0.0.1 2\n", "127.0.0.1:7000"},
      {"all shared, ours missing", LAN, "a=X-alt:1 1.0 a u p 192.168.1.34 1\n", "E_FAIL"},
      {"connection not listed", "c=IN IP4 192.168.1.99\na=X-alt:2 1.0 a u p 81.2.3.4 6000\n",
       "a=X-alt:1 1.0 a u p 10.0.0.5 4000\n", "192.168.1.99:5000"},
  };
#undef LAN
  for (const Row& row : rows) {
    std::string head = "v=0\no=- 1 1 IN IP4 198.51.100.7\ns=-\nc=IN IP4 198.51.100.7\nt=0 0\n";
    std::string incoming = head + "m=audio 5000 RTP/AVP 0\n" + row.incoming;
    auto in = ParseSdp(incoming);
    auto out = ParseSdp(head + "m=audio 40000 RTP/AVP 0\n" + row.ours);
    platform::BString address;
    std::uint16_t port = 0;
    HRESULT hr = handler_->SelectSendAddress(in.Get(), out.Get(), 0, address.Receive(), &port);
    std::string got = hr == S_OK ? address.Narrow() + ":" + std::to_string(port)
                                 : (hr == E_FAIL ? "E_FAIL" : "other failure");
    EXPECT_EQ(got, row.expected) << row.name;
  }
}

TEST_F(PortsAndAddressesTest, PacketTimeFromPtimeElseTheCodecDefault) {
  struct Row {
    const char* attributes;
    const char* codec;
    HRESULT hr;
    LONG milliseconds;
  };
  const Row rows[] = {
      {"a=ptime:30\n", "PCMU", S_OK, 30},  {"a=ptime: 40\na=ptime:10\n", "PCMU", S_OK, 40},
      {"a=ptime:abc\n", "PCMU", S_OK, 20}, {"", "G722", S_OK, 20},
      {"a=ptime:\n", "iLBC", E_FAIL, -1},
  };
  for (const Row& row : rows) {
    auto sdp = ParseSdp(std::string("v=0\ns=-\nt=0 0\nm=audio 1 RTP/AVP 0\n") + row.attributes);
    LONG ms = -1;
    EXPECT_EQ(handler_->GetPacketTime(CT_MEDIA_AUDIO, platform::AsciiToWide(row.codec), sdp.Get(),
                                      0, &ms),
              row.hr)
        << row.attributes;
    EXPECT_EQ(ms, row.milliseconds) << row.attributes;
  }
}

}  // namespace
}  // namespace media_test
