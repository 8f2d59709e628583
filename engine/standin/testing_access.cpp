// The test-only views of standin_testing.h.
#include "engine/standin/standin_engine.h"
#include "engine/standin/standin_testing.h"

namespace standin {

bool ChannelStatisticsForTesting(GIPSVoiceEngine* engine, int channel,
                                 ChannelStatistics* statistics) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn && statistics && standIn->Media().Statistics(channel, statistics);
}

bool EngineStatisticsForTesting(GIPSVoiceEngine* engine, EngineStatistics* statistics) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  if (!standIn || !statistics) return false;
  *statistics = standIn->Media().Statistics();
  return true;
}

std::vector<TelephoneEventRecord> ReceivedTelephoneEventsForTesting(GIPSVoiceEngine* engine,
                                                                    int channel) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn ? standIn->Media().ReceivedEvents(channel) : std::vector<TelephoneEventRecord>{};
}

bool SetRtcpIntervalForTesting(GIPSVoiceEngine* engine, int channel, int frames) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn && standIn->Media().WithChannel(channel, [&](MediaChannel& media) {
    media.SetRtcpIntervalFrames(frames);
    return kNoError;
  }) == kNoError;
}

bool UseManualFrameClockForTesting(GIPSVoiceEngine* engine) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  if (!standIn) return false;
  standIn->Media().UseManualClock();
  return true;
}

bool RunFramesForTesting(GIPSVoiceEngine* engine, int frames) {
  StandInEngine* standIn = StandInEngine::FromContract(engine);
  return standIn && standIn->Media().RunFrames(frames);
}

}  // namespace standin
