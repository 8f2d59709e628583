// medley phone against hand-written SIP on loopback: bodies that are not SDP,
// malformed messages, a BYE for no dialog, an INVITE without an offer, and a
// burst of INVITEs beyond the engine's channels, after which no channel,
// socket or thread is left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/tools/phone_peers.h"

namespace phone_test {
namespace {

size_t Entries(const std::string& folder) {
  size_t count = 0;
  std::error_code ignored;
  for (auto it = std::filesystem::directory_iterator(folder, ignored);
       it != std::filesystem::directory_iterator(); it.increment(ignored))
    ++count;
  return count;
}

class PhoneSip : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(phone_.WaitFor("listening on")) << phone_.Errors(); }
  const int port_ = FreePort();
  TempFolder folder_;
  Child phone_{
      {MEDLEY_TOOL_FILE, "phone", "--listen", "127.0.0.1:" + std::to_string(port_), "--auto-answer",
       "--prefer", "PCMU,PCMA,telephone-event", "--rtp-port", FreeRtpPort()},
      folder_.File("phone.out")};
  RawSip sip_{port_};
};

TEST_F(PhoneSip, AnswersBadRequestsWithTheirErrorAndKeepsRunning) {
  struct Row {
    const char* what;
    std::string request;
    int status;
  };
  const Row rows[] = {
      {"a body that is not SDP", sip_.Request("INVITE", 1, "text/plain", "hello"), 400},
      {"SDP that does not parse", sip_.Request("INVITE", 2, "application/sdp", "x=1\r\n"), 400},
      {"SDP without an audio line",
       sip_.Request("INVITE", 3, "application/sdp", "v=0\r\ns=-\r\nt=0 0\r\n"), 400},
      {"no codec in common",
       sip_.Request("INVITE", 4, "application/sdp", Offer(30000, "3", "a=rtpmap:3 GSM/8000\r\n")),
       488},
      {"a BYE for no dialog", sip_.Request("BYE", 5, "", "", "nosuchtag"), 481},
  };
  for (const Row& row : rows) {
    sip_.Send(row.request);
    EXPECT_EQ(Status(sip_.FinalResponse()), row.status) << row.what;
  }
  for (const char* garbage : {"\x01\x02garbage", "INVITE\r\n\r\n", "SIP/2.0 999\r\n\r\n"})
    sip_.Send(garbage);
  sip_.Send(sip_.Request("OPTIONS", 6));
  EXPECT_GE(Status(sip_.FinalResponse()), 200) << "the phone still answers";
  EXPECT_EQ(phone_.Stop(), 0) << phone_.Output();
}

// The media line of an SDP body ("m=audio 40000 RTP/AVP 0 8 101").
std::string MediaLine(const std::string& message) {
  const size_t at = message.find("m=audio ");
  return at == std::string::npos ? "" : message.substr(at, message.find("\r\n", at) - at);
}

// An INVITE without a body: the offer comes in our 200 OK, the answer in the
// ACK, and the call is up with the codec of that answer. A re-INVITE without
// a body gets a re-offer with the same port and payload numbers.
TEST_F(PhoneSip, TakesInvitesWithoutAnOffer) {
  sip_.Send(sip_.Request("INVITE", 7));
  const std::string ok = sip_.FinalResponse();
  ASSERT_EQ(Status(ok), 200) << ok;
  ASSERT_NE(MediaLine(ok), "") << ok;
  const std::string to = Header(ok, "To");
  const std::string toTag = to.substr(to.find("tag=") + 4);
  const std::string answer =
      Offer(30010, "8 101", "a=rtpmap:8 PCMA/8000\r\na=rtpmap:101 telephone-event/8000\r\n");
  sip_.Send(sip_.Request("ACK", 7, "application/sdp", answer, toTag));
  EXPECT_TRUE(phone_.WaitFor("call 1 codec PCMA/8000")) << phone_.Output();

  sip_.Send(sip_.Request("INVITE", 7, "", "", toTag, 2));
  const std::string reoffer = sip_.FinalResponse();
  ASSERT_EQ(Status(reoffer), 200) << reoffer;
  EXPECT_EQ(MediaLine(reoffer), MediaLine(ok));
  sip_.Send(sip_.Request("ACK", 7, "application/sdp", answer, toTag, 2));
  sip_.Send(sip_.Request("BYE", 7, "", "", toTag, 3));
  EXPECT_TRUE(phone_.WaitFor("call 1 hung up by peer")) << phone_.Output();
  EXPECT_EQ(phone_.Stop(), 0);
}

// Sends `count` INVITEs from call ids `first` on; answers how many were
// refused with 486 and fills `tags` (Call-ID to To tag) for the 200s.
int Invite(RawSip& sip, int first, int count, std::map<std::string, std::string>* tags) {
  for (int id = first; id < first + count; ++id)
    sip.Send(sip.Request("INVITE", id, "application/sdp", Offer(31000 + 2 * id)));
  int busy = 0;
  // Each answer starts a channel's media; a sanitizer build on a busy
  // machine can take seconds over a burst, so each response gets 15 s. A 200
  // is sent again until its ACK, which a slow burst outlasts: each call
  // counts once.
  std::set<std::string> answered;
  while (answered.size() < static_cast<size_t>(count)) {
    const std::string response = sip.FinalResponse(15s);
    if (response.empty()) break;
    if (!answered.insert(Header(response, "Call-ID")).second) continue;
    if (Status(response) == 486) ++busy;
    if (Status(response) != 200) continue;
    const std::string to = Header(response, "To");
    (*tags)[Header(response, "Call-ID")] = to.substr(to.find("tag=") + 4);
  }
  return busy;
}

// ACKs each answered call and hangs it up; true when every BYE got its 200.
bool HangUp(RawSip& sip, std::map<std::string, std::string>& tags) {
  for (const auto& [callId, tag] : tags) {
    const int id = std::atoi(callId.c_str() + 5);
    sip.Send(sip.Request("ACK", id, "", "", tag));
    sip.Send(sip.Request("BYE", id, "", "", tag, 2));
  }
  size_t done = 0;
  while (done < tags.size()) {
    const std::string response = sip.FinalResponse(5s);
    if (response.empty()) break;
    if (Header(response, "CSeq").ends_with("BYE") && Status(response) == 200) ++done;
  }
  const bool all = done == tags.size();
  tags.clear();
  return all;
}

// More INVITEs than the engine has channels: the rest get 486; once every
// call is hung up the phone has the threads and descriptors it had after
// its first call.
TEST_F(PhoneSip, BurstBeyondTheChannelLimit) {
  std::map<std::string, std::string> tags;
  ASSERT_EQ(Invite(sip_, 50, 1, &tags), 0);
  ASSERT_TRUE(HangUp(sip_, tags));
  const std::string proc = "/proc/" + std::to_string(phone_.Pid());
  const size_t threads = Entries(proc + "/task");
  const size_t descriptors = Entries(proc + "/fd");

  constexpr int kInvites = 40;  // the stand-in engine has 32 channels
  EXPECT_EQ(Invite(sip_, 100, kInvites, &tags), kInvites - 32);
  EXPECT_EQ(tags.size(), 32u);
  EXPECT_TRUE(HangUp(sip_, tags));
  bool settled = false;
  for (auto end = Clock::now() + 5s; !settled && Clock::now() < end;
       std::this_thread::sleep_for(20ms))
    settled = Entries(proc + "/task") <= threads && Entries(proc + "/fd") <= descriptors;
  EXPECT_TRUE(settled) << "threads " << Entries(proc + "/task") << " (were " << threads
                       << "), descriptors " << Entries(proc + "/fd") << " (were " << descriptors
                       << ")";
  EXPECT_EQ(phone_.Stop(), 0);
}

}  // namespace
}  // namespace phone_test
