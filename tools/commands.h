// The commands of the medley program. Each takes the words after its name
// and returns the process exit status; output goes to the given streams.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tools {

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* synopsis;  // one line for the command list
  const char* help;      // the full text of "medley help NAME"
  int (*run)(const Arguments& args, std::ostream& out, std::ostream& err);
};

// Every command, in the order "medley --help" lists them.
const std::vector<Command>& AllCommands();

int RunCodecs(const Arguments& args, std::ostream& out, std::ostream& err);
int RunDevices(const Arguments& args, std::ostream& out, std::ostream& err);
int RunOffer(const Arguments& args, std::ostream& out, std::ostream& err);
// Reads the offer from FILE, or from standard input.
int RunAnswer(const Arguments& args, std::ostream& out, std::ostream& err);
// As RunAnswer, with `in` in place of standard input.
int RunAnswerFrom(const Arguments& args, std::istream& in, std::ostream& out, std::ostream& err);
// Two handler objects from the component's entry points call each other.
int RunCall(const Arguments& args, std::ostream& out, std::ostream& err);
// A SIP phone on the plug-in: takes calls (--listen) or makes one (--dial).
int RunPhone(const Arguments& args, std::ostream& out, std::ostream& err);
// The component's DllRegisterServer / DllUnregisterServer for this user.
int RunRegister(const Arguments& args, std::ostream& out, std::ostream& err);
int RunUnregister(const Arguments& args, std::ostream& out, std::ostream& err);
// "medley VERSION" and the voice engine's version text, one line each.
int PrintVersion(std::ostream& out, std::ostream& err);

}  // namespace tools
