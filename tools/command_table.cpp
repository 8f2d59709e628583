#include "tools/commands.h"

namespace tools {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {"codecs", "list the voice engine's codecs",
       "usage: medley codecs\n"
       "\n"
       "Lists the codecs of the voice engine, read through the plug-in's engine\n"
       "adapter, one line each: payload type, name, clock rate in Hz, samples per\n"
       "packet (and the packet time), channels and bit rate. The first line gives\n"
       "the engine's version text.\n",
       RunCodecs},
  };
  return commands;
}

}  // namespace tools
