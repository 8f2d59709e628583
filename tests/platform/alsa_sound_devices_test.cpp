#include "platform/alsa_sound_devices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::AlsaCardPcm;
using platform::AlsaDeviceName;

// "pcm|control" of device `id`, or "none".
std::string Named(const std::vector<AlsaDeviceName>& devices, int id) {
  const auto device = platform::NumberedAlsaDevice(devices, id);
  return device ? device->pcm + "|" + device->control : "none";
}

TEST(AlsaSoundDevices, CardsInOrderElseTheDefaultDeviceAlone) {
  const struct {
    std::vector<AlsaCardPcm> cards;
    bool defaultOpens;
    std::vector<std::string> expected;  // devices -1, 0, 1, 2
  } cases[] = {
      // No card and no default device: nothing, not even -1.
      {{}, false, {"none", "none", "none", "none"}},
      // A sound server without cards: the default device is also device 0.
      {{}, true, {"default|default", "default|default", "none", "none"}},
      // Card numbers with gaps and a PCM other than 0 keep their own names;
      // a default that opens does not add a device when there are cards.
      {{{0, 0}, {2, 3}}, true, {"default|default", "plughw:0,0|hw:0", "plughw:2,3|hw:2", "none"}},
      {{{1, 0}}, false, {"default|default", "plughw:1,0|hw:1", "none", "none"}},
  };
  for (const auto& c : cases) {
    const std::vector<AlsaDeviceName> devices =
        platform::NumberAlsaDevices(c.cards, c.defaultOpens);
    std::vector<std::string> got;
    for (int id = -1; id <= 2; ++id) got.push_back(Named(devices, id));
    EXPECT_EQ(got, c.expected) << c.cards.size() << " cards, default " << c.defaultOpens;
    EXPECT_EQ(Named(devices, -2), "none");
  }
}

}  // namespace
