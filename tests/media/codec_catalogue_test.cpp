// The local codec list over the engine: preference order, CN and AMR-WB
// rules, packet times, and failures of the engine and the host.
#include <string>
#include <vector>

#include "tests/media/media_test_support.h"
#include "tests/support/test_engine_factory.h"

namespace media_test {
namespace {

using Strings = std::vector<std::string>;
using Codecs = std::vector<EngineCodecRecord>;

EngineCodecRecord Codec(int payload, const char* name, int frequency, int packetSize) {
  return TestVoiceEngine::MakeCodec(payload, name, frequency, packetSize, 1, 64000);
}

class CodecCatalogueTest : public HandlerTest {
 protected:
  // Starts a handler over a test engine that lists `codecs`.
  void Start(const Strings& preferred, VARIANT_BOOL silenceSuppression, Codecs codecs) {
    testEngine_.factory().PrepareEngines(
        [codecs](TestVoiceEngine& engine) { engine.SetCodecs(codecs); });
    StartHandler(preferred, silenceSuppression);
  }
  Strings Supported() {
    PayloadTypeList formats;
    EXPECT_EQ(handler_->GetSupportedPayloadTypes(CT_MEDIA_AUDIO, &formats), S_OK);
    Strings names;
    for (const auto& f : formats)
      names.push_back(std::to_string(f.Number()) + " " + Narrow(f.encodingName));
    return names;
  }

  // The handler's adapter must go before the engine factory it came from.
  void TearDown() override { handler_.Reset(); }

  ScopedTestEngine testEngine_;
};

const Codecs kEngineCodecs = {
    Codec(0, "PCMU", 8000, 160),    Codec(8, "PCMA", 8000, 160),
    Codec(97, "AMRWB", 16000, 320), Codec(13, "CN", 8000, 160),
    Codec(99, "CN", 16000, 320),    Codec(101, "telephone-event", 8000, 160),
    Codec(100, "PCMU", 16000, 320)};

TEST_F(CodecCatalogueTest, PreferredFormatsFilterAndOrderTheEngineCodecs) {
  struct Row {
    Strings preferred;
    VARIANT_BOOL silenceSuppression;
    Strings expected;
  };
  const Row rows[] = {
      {{}, VARIANT_FALSE, {}},
      {{"PCMA", "pcmu"}, VARIANT_FALSE, {"8 PCMA", "0 PCMU", "100 PCMU"}},
      {{"CN", "PCMA"}, VARIANT_FALSE, {"8 PCMA"}},
      {{"CN", "PCMA"}, VARIANT_TRUE, {"13 CN", "8 PCMA"}},
      {{"CN", "PCMA"}, 1, {"8 PCMA"}},  // only VARIANT_TRUE counts
      {{"AMR-WB", "telephone-event"}, VARIANT_FALSE, {"97 AMR-WB", "101 telephone-event"}},
      {{"amrwb"}, VARIANT_FALSE, {"97 AMRWB"}},
      {{"amr-wb"}, VARIANT_FALSE, {}},
      {{"G729", "PCMA", "PCMA"}, VARIANT_FALSE, {"8 PCMA"}},
  };
  for (const Row& row : rows) {
    Start(row.preferred, row.silenceSuppression, kEngineCodecs);
    EXPECT_EQ(Supported(), row.expected) << testing::PrintToString(row.preferred);
  }
}

TEST_F(CodecCatalogueTest, DefaultPacketTimeComesFromTheFirstEngineCodecOfTheName) {
  Start({}, VARIANT_FALSE,
        {Codec(5, "ZERO", 0, 160), Codec(6, "zero", 8000, 240), Codec(97, "AMRWB", 16000, 320),
         Codec(0, "PCMU", 8000, 160), Codec(1, "huge", 1, 0x7FFFFFFF)});
  struct Row {
    const char* name;
    HRESULT hr;
    LONG milliseconds;
  };
  const Row rows[] = {{"AMR-WB", S_OK, 20}, {"amrwb", S_OK, 20},  {"pcmu", S_OK, 20},
                      {"ZERO", S_OK, 30},   {"iLBC", E_FAIL, -7}, {"huge", S_OK, -1000}};
  for (const Row& row : rows) {
    LONG ms = -7;
    EXPECT_EQ(handler_->GetDefaultPacketTime(CT_MEDIA_AUDIO, platform::AsciiToWide(row.name), &ms),
              row.hr)
        << row.name;
    EXPECT_EQ(ms, row.milliseconds) << row.name;
  }
}

TEST_F(CodecCatalogueTest, EngineAndHostFailuresEndTheList) {
  Start({"PCMU"}, VARIANT_FALSE, kEngineCodecs);
  PayloadTypeList formats(1);
  testEngine_.engine().FailNext("GetCodec", 8003);
  EXPECT_EQ(handler_->GetSupportedPayloadTypes(CT_MEDIA_AUDIO, &formats),
            EngineErrorToHresult(8003));
  EXPECT_EQ(formats.size(), 1u);  // untouched
  testEngine_.engine().FailNext("NumOfCodecs", 8003);
  EXPECT_EQ(Supported(), Strings{});  // a failed count is no codec
  network_->SimulateError("get_ConnectionType", E_ACCESSDENIED);
  EXPECT_EQ(handler_->GetSupportedPayloadTypes(CT_MEDIA_AUDIO, &formats), E_ACCESSDENIED);
  LONG ms = 0;
  testEngine_.engine().FailNext("GetCodec", 8004);
  EXPECT_EQ(handler_->GetDefaultPacketTime(CT_MEDIA_AUDIO, MEDLEY_OLESTR("PCMU"), &ms),
            EngineErrorToHresult(8004));
}

}  // namespace
}  // namespace media_test
