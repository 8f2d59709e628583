#include "media/payload_type.h"

PayloadType::PayloadType(LONG number, platform::OleStringView name, LONG kind, LONG clockRate,
                         LONG channels)
    : payloadNumber(number),
      mediaKind(kind),
      clockRate(clockRate),
      channels(channels),
      encodingName(name) {}
