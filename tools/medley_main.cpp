// medley: the command-line program that runs the plug-in's main jobs.
#include <cstring>
#include <iostream>

#include "tools/commands.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: medley COMMAND [ARGS...]\n"
         "       medley help COMMAND\n"
         "       medley --version\n"
         "\n"
         "The audio media plug-in's own tool: it drives the plug-in's code the way a\n"
         "softphone host does.\n"
         "\n"
         "Commands:\n";
  for (const tools::Command& command : tools::AllCommands()) {
    out << "  " << command.name;
    for (size_t pad = std::strlen(command.name); pad < 10; ++pad) out << ' ';
    out << command.synopsis << "\n";
  }
  out << "\n"
         "Environment:\n"
         "  MEDLEY_TRACE=FILE  append the plug-in's trace lines to FILE\n";
}

const tools::Command* FindCommand(const std::string& name) {
  for (const tools::Command& command : tools::AllCommands())
    if (name == command.name) return &command;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  tools::Arguments args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return 2;
  }
  const std::string& first = args.front();
  if (first == "--version") return tools::PrintVersion(std::cout, std::cerr);
  if (first == "--help" || first == "-h" || first == "help") {
    if (first == "help" && args.size() > 1) {
      const tools::Command* command = FindCommand(args[1]);
      if (!command) {
        std::cerr << "medley: unknown command '" << args[1] << "'\n";
        return 2;
      }
      std::cout << command->help;
      return 0;
    }
    PrintUsage(std::cout);
    return 0;
  }
  const tools::Command* command = FindCommand(first);
  if (!command) {
    std::cerr << "medley: unknown command '" << first << "' (see medley --help)\n";
    return 2;
  }
  tools::Arguments rest(args.begin() + 1, args.end());
  if (!rest.empty() && (rest.front() == "--help" || rest.front() == "-h")) {
    std::cout << command->help;
    return 0;
  }
  return command->run(rest, std::cout, std::cerr);
}
