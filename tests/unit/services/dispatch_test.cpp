#include "entry/dispatch.h"

#include <gtest/gtest.h>

TEST(Dispatch, OnlyArgumentOneAbbreviatingCreateSelectsPackMode) {
  struct Case {
    const char* commandLine;
    bool pack;
  } cases[] = {
      {"kit.exe", false},
      {"", false},
      {"kit.exe -cre out.exe x.ini", true},
      {"kit.exe -CREAT out.exe", true},
      {"kit.exe /create=x.exe", true},
      {"kit.exe -create:kit.exe steering.ini", true},
      {"kit.exe \"-create\"", true},
      {"kit.exe -cr out.exe", false},
      {"kit.exe -created", false},
      {"kit.exe -cr:create", false},
      {"kit.exe create", false},
      {"kit.exe x -create:y.exe", false},
      {"kit.exe steering.ini -create:kit.exe", false},
      {"kit.exe -", false},
      {"kit.exe -log -create", false},
  };
  for (const Case& c : cases) {
    BasicCommandLineCursor<char> cursor(c.commandLine);
    EXPECT_EQ(IsPackModeRequest(cursor), c.pack) << c.commandLine;
    // Pack mode receives the cursor standing on the switch.
    if (c.pack) {
      EXPECT_EQ(cursor.Position(), 1) << c.commandLine;
    }
  }
}

TEST(Dispatch, ModuleBaseNameCutsDirectoryAndLastExtension) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {
      {"C:\\x\\setup.exe", "setup"},
      {"C:\\dir\\my.setup.exe", "my.setup"},
      {"C:\\a.b\\kit", "kit"},
      {"kit.exe", "kit"},
      {"C:kit.exe", "kit"},
      {"/home/u/kit.exe", "kit"},
      {"C:\\dir\\name.with blank", "name.with blank"},  // a blank after the dot: no extension
      {"C:\\dir\\a.b c.exe", "a.b c"},
      {"C:\\dir\\trailing.", "trailing"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ModuleBaseName(c.path), c.base) << c.path;
}
