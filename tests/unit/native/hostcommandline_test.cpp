// Arguments joined into one command line parse back to the same arguments.
#include <gtest/gtest.h>

#include "commandline.h"
#include "native/hostcommandline.h"

TEST(HostCommandLine, JoinedArgumentsParseBack) {
  const std::vector<std::vector<std::string>> cases = {
      {"stowkit", "-create:kit.exe", "kit.ini"},
      {"/usr/bin/stowkit", "", "two words", "tab\there"},
      {"p", "-define", "SRC=C:\\My Sources\\", "trail\\\\", "a\\\"b", "\"quoted\""},
      {"p", "back\\slash", "\\\\server\\share", "end\\"},
  };
  for (const auto& args : cases) {
    std::string line = nativepack::JoinArguments(args);
    BasicCommandLine<char> parsed(line.c_str());
    ASSERT_EQ(static_cast<size_t>(parsed.ArgCount()), args.size()) << line;
    for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(parsed.ArgAt(static_cast<int>(i)), args[i]) << line;
  }
}
