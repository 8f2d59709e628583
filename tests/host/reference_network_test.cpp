#include "host/reference_network.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "tests/host/host_test_text.h"

namespace host {
namespace {

TEST(ReferenceNetwork, AnswersTheDefaultsTheComponentReads) {
  auto network = ReferenceNetwork::Create();
  BSTR ip = nullptr;
  ASSERT_EQ(network->get_LocalIp(&ip), S_OK);
  EXPECT_EQ(SysStringLen(ip), 9u);  // a real BSTR with a matching length prefix
  EXPECT_EQ(TakeText(ip), "127.0.0.1");
  LONG value = 0;
  EXPECT_EQ(network->get_PreferredAudioRtpPort(&value), S_OK);
  EXPECT_EQ(value, 40000);
  EXPECT_EQ(network->get_LastAudioChannel(&value), S_OK);
  EXPECT_EQ(value, -1);
  LONG* engine = &value;
  EXPECT_EQ(network->get_VoiceEngine(&engine), S_OK);
  EXPECT_EQ(engine, nullptr);
  EXPECT_EQ(network->get_T1(nullptr), E_POINTER);
}

TEST(ReferenceNetwork, TextPropertiesRoundTripAndNullReadsEmpty) {
  using Put = HRESULT (INetwork::*)(BSTR);
  using Get = HRESULT (INetwork::*)(BSTR*);
  const std::pair<Put, Get> rows[] = {
      {&INetwork::put_LocalIp, &INetwork::get_LocalIp},
      {&INetwork::put_PresenceType, &INetwork::get_PresenceType},
      {&INetwork::put_UserAgent, &INetwork::get_UserAgent},
  };
  for (const auto& [put, get] : rows) {
    auto network = ReferenceNetwork::Create();
    INetwork* contract = network.Get();
    EXPECT_EQ((contract->*put)(Text("caf\xC3\xA9 10.0.0.2").Get()), S_OK);
    BSTR read = nullptr;
    EXPECT_EQ((contract->*get)(&read), S_OK);
    EXPECT_EQ(TakeText(read), "caf\xC3\xA9 10.0.0.2");
    EXPECT_EQ((contract->*put)(nullptr), S_OK);
    EXPECT_EQ((contract->*get)(&read), S_OK);
    ASSERT_NE(read, nullptr);  // an empty BSTR, not null
    EXPECT_EQ(TakeText(read), "");
    EXPECT_EQ((contract->*get)(nullptr), E_POINTER);
  }
}

TEST(ReferenceNetwork, RefusesValuesOutsideTheEnumerations) {
  auto network = ReferenceNetwork::Create();
  LONG port = 0;
  struct Row {
    const char* what;
    std::function<HRESULT()> call;
  };
  const Row rows[] = {
      {"connection type 100", [&] { return network->put_ConnectionType(CT_CONNECTION_TYPE(100)); }},
      {"transport 3", [&] { return network->put_ContactTransport(CT_TRANSPORT_TYPE(3)); }},
      {"port of none", [&] { return network->GetLocalPort(CT_TRANSPORT_NONE, &port); }},
      {"port of unsupported",
       [&] { return network->GetLocalPort(CT_TRANSPORT_UNSUPPORTED, &port); }},
      {"stun port", [&] { return network->SetStunServer(nullptr, 70000); }},
  };
  for (const Row& row : rows) EXPECT_EQ(row.call(), E_INVALIDARG) << row.what;
  for (int resolution : {-1, 16})
    EXPECT_EQ(network->SetVideoParameters(CT_IMAGE_RESOLUTION(resolution), 0, 0, 0, 0, 0, 0, 0, 0),
              E_INVALIDARG)
        << "resolution " << resolution;
  EXPECT_EQ(network->Settings().connection_type, CT_CONNECTION_TYPE_2048_KBPS);
  EXPECT_EQ(network->Settings().contact_transport, CT_TRANSPORT_UDP);
  EXPECT_EQ(network->GetLocalPort(CT_TRANSPORT_TLS, &port), S_OK);
  EXPECT_EQ(port, 5061);
  EXPECT_EQ(network->put_ConnectionType(CT_CONNECTION_TYPE_64_KBPS), S_OK);
  EXPECT_EQ(network->Settings().connection_type, CT_CONNECTION_TYPE_64_KBPS);
}

TEST(ReferenceNetwork, VideoParametersPerResolutionAndReset) {
  auto network = ReferenceNetwork::Create();
  ASSERT_EQ(network->SetVideoParameters(CT_IMAGE_RES_CIF, VARIANT_FALSE, 999, 12, 120, 3, 2,
                                        VARIANT_TRUE, VARIANT_FALSE),
            S_OK);
  VideoParameters read;
  auto get = [&](CT_IMAGE_RESOLUTION resolution) {
    return network->GetVideoParameters(resolution, &read.enabled, &read.bit_rate, &read.frame_rate,
                                       &read.intra_frame_frequency, &read.intra_gob, &read.filter,
                                       &read.horizontal_filter, &read.vertical_filter);
  };
  EXPECT_EQ(get(CT_IMAGE_RES_CIF), S_OK);
  EXPECT_EQ(read,
            (VideoParameters{VARIANT_FALSE, 999, 12, 120, 3, 2, VARIANT_TRUE, VARIANT_FALSE}));
  EXPECT_EQ(get(CT_IMAGE_RES_QCIF), S_OK);
  EXPECT_EQ(read, DefaultVideoParameters(CT_IMAGE_RES_QCIF));
  EXPECT_EQ(network->ResetVideoParameters(), S_OK);
  EXPECT_EQ(get(CT_IMAGE_RES_CIF), S_OK);
  EXPECT_EQ(read, DefaultVideoParameters(CT_IMAGE_RES_CIF));
  EXPECT_EQ(get(CT_IMAGE_RESOLUTION(kImageResolutionCount)), E_INVALIDARG);
  LONG any = 5;
  EXPECT_EQ(network->GetVideoParameters(CT_IMAGE_RES_CIF, &read.enabled, &any, &any, &any, &any,
                                        &any, &read.horizontal_filter, nullptr),
            E_POINTER);
  EXPECT_EQ(any, 0);  // outputs are cleared before the pointer check fails
}

TEST(ReferenceNetwork, CountsCallsAndAnswersSimulatedErrorsUnchanged) {
  auto network = ReferenceNetwork::Create();
  LONG engine = 0;
  EXPECT_EQ(network->put_VoiceEngine(&engine), S_OK);
  EXPECT_EQ(network->Settings().voice_engine, &engine);
  EXPECT_EQ(network->TotalCallCount(), 1);
  network->ResetCallCounts();
  EXPECT_EQ(network->TotalCallCount(), 0);
  const HRESULT kFailure = static_cast<HRESULT>(0x80040123u);
  network->SimulateError("get_ConnectionType", kFailure, 1);
  CT_CONNECTION_TYPE type = CT_CONNECTION_TYPE_64_KBPS;
  EXPECT_EQ(network->get_ConnectionType(&type), S_OK);  // the one success allowed first
  type = CT_CONNECTION_TYPE_64_KBPS;
  EXPECT_EQ(network->get_ConnectionType(&type), kFailure);
  EXPECT_EQ(type, CT_CONNECTION_TYPE_64_KBPS);  // untouched
  EXPECT_EQ(network->get_ConnectionType(nullptr), kFailure);
  EXPECT_EQ(network->CallCount("get_ConnectionType"), 3);
  network->SimulateError("get_ConnectionType", S_OK);
  EXPECT_EQ(network->get_ConnectionType(&type), S_OK);
  EXPECT_THROW(network->SimulateError("get_ConectionType", kFailure), std::invalid_argument);
}

TEST(ReferenceNetwork, IsARealComObject) {
  auto network = ReferenceNetwork::Create();
  void* unknown = nullptr;
  ASSERT_EQ(network->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<INetwork*>(network.Get()));
  EXPECT_EQ(network->Release(), 1u);
  void* other = &unknown;
  EXPECT_EQ(network->QueryInterface(IID_ISdpContent, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(network->QueryInterface(IID_INetwork, nullptr), E_POINTER);
  platform::ComPtr<INetwork> copy;
  ASSERT_EQ(network.As(&copy), S_OK);
  EXPECT_EQ(network->AddRef(), 3u);
  EXPECT_EQ(network->Release(), 2u);
}

}  // namespace
}  // namespace host
