// medley phone's arguments: what it refuses before it loads anything.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tools/commands.h"

namespace tools {
namespace {

TEST(PhoneCommand, RefusesArgumentsItCannotUse) {
  struct Row {
    Arguments args;
    const char* error;
  };
  const Row rows[] = {
      {{}, "give --listen ADDR:PORT to take calls or --dial SIP-URI to make one"},
      {{"--listen"}, "option --listen needs a value"},
      {{"--listen", "0.0.0.0:5060"}, "not 0.0.0.0"},
      {{"--dial", "bob@127.0.0.1"}, "--dial needs a sip: URI, not 'bob@127.0.0.1'"},
      {{"--listen", "127.0.0.1:5060", "--dtmf", "12x"}, "--dtmf takes keys 0-9, *, # and A-D"},
      {{"--listen", "127.0.0.1:5060", "--seconds", "0"}, "--seconds needs a number from 1"},
      {{"--listen", "127.0.0.1:5060", "--rtp-port", "80"}, "--rtp-port needs a port from 1024"},
      {{"--listen", "127.0.0.1:5060", "--register", "sip:127.0.0.1", "--user", "alice"},
       "--register needs --user and --password"},
      {{"--listen", "127.0.0.1:5060", "--register", "127.0.0.1"}, "--register needs a sip: URI"},
      {{"--listen", "127.0.0.1:5060", "--loud"}, "unexpected argument '--loud'"},
  };
  for (const Row& row : rows) {
    std::ostringstream out, err;
    EXPECT_EQ(RunPhone(row.args, out, err), 2) << row.error;
    EXPECT_NE(err.str().find(row.error), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
  }
}

}  // namespace
}  // namespace tools
