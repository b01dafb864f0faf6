#include "section.h"

#include <gtest/gtest.h>

#include <optional>

#include "clientexception.h"
#include "memoryfiles.h"

namespace {

using secpick::Encoding;
using secpick::OpenMode;
using secpick_testing::Latin1CodePage;
using secpick_testing::MemoryFiles;
using secpick_testing::Utf16;

const std::wstring kIn = L"licence.txt";
const std::wstring kOut = L"out.txt";
const std::optional<std::string> kNoOutput;

struct Extraction {
  int32_t result;
  std::optional<std::string> output;  // absent when no output file was created
};

Extraction Extract(MemoryFiles& files, const std::wstring& section,
                   std::optional<std::wstring> fallback = std::nullopt) {
  Latin1CodePage codePage;
  secpick::SectionRequest request{section, kIn, kOut, fallback};
  int32_t result = secpick::ExtractSection(request, files, codePage);
  auto it = files.outputs.find(kOut);
  return {result, it == files.outputs.end() ? kNoOutput : std::optional<std::string>(it->second)};
}

Extraction Extract(const std::string& input, const std::wstring& section,
                   std::optional<std::wstring> fallback = std::nullopt) {
  MemoryFiles files;
  files.inputs[kIn] = input;
  return Extract(files, section, fallback);
}

const std::string kTwoLanguages = "[English]\none\n[French]\ndeux\n";
const std::string kWithDefault = "[English]\none\n[Default]\nstandard\n";
const std::string kBom16 = "\xFF\xFE";

struct Case {
  const char* what;
  std::string input;
  std::wstring section;
  std::optional<std::wstring> fallback;
  int32_t result;
  std::optional<std::string> output;
};

TEST(ExtractSection, FindsSectionsAndFallsBack) {
  const std::string longLine(2500, 'x');
  const std::string piece(1023, 'x');
  const Case cases[] = {
      {"named, case-insensitive", kTwoLanguages, L"english", {}, 1, "one\n"},
      {"missing, no Default", kTwoLanguages, L"German", {}, -1, kNoOutput},
      {"missing, fallback named", kTwoLanguages, L"German", L"French", 1, "deux\n"},
      {"missing, Default used", kWithDefault, L"German", {}, 1, "standard\n"},
      {"empty fallback skips Default", kWithDefault, L"German", L"", -1, kNoOutput},
      {"named wins over fallback", kWithDefault, L"English", L"Default", 1, "one\n"},
      {"blanks around header", "  [English]\t\r\none\r\n", L"English", {}, 1, "one\n"},
      {"blanks inside brackets", "[ English ]\none\n", L"English", {}, -1, kNoOutput},
      {"case folding is ASCII only", "[\xC9t\xE9]\nx\n", L"\u00e9t\u00e9", {}, -1, kNoOutput},
      {"header then header", "[A]\n[B]\nb\n", L"A", {}, 0, ""},
      {"header at end without LF", "x\n[A]", L"A", {}, 0, ""},
      {"body kept as read", "[A]\n  x \t\n\n[not a header\n[]\ny\n", L"A", {}, 3,
       "  x \t\n\n[not a header\n"},
      {"section ends at first next header", "[A]\n1\n[B]\n2\n[A]\n3\n", L"A", {}, 1, "1\n"},
      {"UTF-8 mark hides a first-line header", "\xEF\xBB\xBF[A]\n1\n[A]\n2\n", L"A", {}, 1,
       "2\n"},
      {"long line in pieces", "[A]\n" + longLine + "\n", L"A", {}, 3,
       piece + "\n" + piece + "\n" + std::string(454, 'x') + "\n"},
      {"piece boundary before LF", "[A]\n" + piece + "\n", L"A", {}, 2, piece + "\n\n"},
      {"UTF-16: mark dropped, CR LF removed",
       kBom16 + Utf16(u"[English]\r\none\r\n[French]\r\ndeux"), L"French", {}, 1, "deux\n"},
      {"UTF-16: mark dropped again in fallback pass", kBom16 + Utf16(u"[Default]\nd\n"),
       L"German", {}, 1, "d\n"},
      {"UTF-16: units outside the code page", kBom16 + Utf16(u"[A]\ncaf\u00e9 \u4e2d\n"), L"A",
       {}, 1, "caf\xE9 ?\n"},
      {"UTF-16: long line in pieces", kBom16 + Utf16(u"[A]\n") + Utf16(std::u16string(1500, u'y')),
       L"A", {}, 2, std::string(1023, 'y') + "\n" + std::string(477, 'y') + "\n"},
      {"UTF-16: a CR that fills the piece leaves an empty line",
       kBom16 + Utf16(u"[A]\r\n" + std::u16string(1022, u'y') + u"\r\nz\r\n"), L"A", {}, 3,
       std::string(1022, 'y') + "\n\nz\n"},
      {"UTF-16: odd last byte dropped", kBom16 + Utf16(u"[A]\nx") + "A", L"A", {}, 1, "x\n"},
      {"first unit above U+00FF: read as 8-bit", kBom16 + Utf16(u"\u4e2d\n[A]\nx\n"), L"A", {},
       -1, kNoOutput},
  };
  for (const Case& c : cases) {
    Extraction got = Extract(c.input, c.section, c.fallback);
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.output, c.output) << c.what;
  }
}

TEST(ExtractSection, ReadsUtf16InBinaryAnd8BitInTextMode) {
  MemoryFiles ansi;
  ansi.inputs[kIn] = kTwoLanguages;
  Extract(ansi, L"English");
  EXPECT_EQ(ansi.inputModes, (std::vector<OpenMode>{OpenMode::kBinary, OpenMode::kText}));

  MemoryFiles wide;
  wide.inputs[kIn] = kBom16 + Utf16(u"[A]\n");
  Extract(wide, L"A");
  EXPECT_EQ(wide.inputModes, (std::vector<OpenMode>{OpenMode::kBinary, OpenMode::kBinary}));
}

TEST(ExtractSection, FileFailures) {
  struct Failure {
    const char* what;
    void (*arrange)(MemoryFiles&);
    std::optional<std::string> output;
  } failures[] = {
      {"input gone after the encoding check", [](MemoryFiles& f) { f.inputOpensAllowed = 1; },
       kNoOutput},
      {"output cannot be created", [](MemoryFiles& f) { f.failCreate = true; }, kNoOutput},
      {"write fails", [](MemoryFiles& f) { f.writesAllowed = 1; }, "one\n"},
      {"read fails inside the section", [](MemoryFiles& f) { f.failReadAt = 13; }, "one\n"},
      {"read fails in the named pass", [](MemoryFiles& f) { f.failReadAt = 3; }, kNoOutput},
      {"rewind fails", [](MemoryFiles& f) { f.failRewind = true; }, kNoOutput},
  };
  for (const Failure& c : failures) {
    MemoryFiles files;
    files.inputs[kIn] = "[German]\none\ntwo\n";
    c.arrange(files);
    Extraction got = Extract(files, L"German");
    EXPECT_EQ(got.result, secpick::kFileFailure) << c.what;
    EXPECT_EQ(got.output, c.output) << c.what;
  }
}

TEST(ExtractSection, UnopenableInputRaisesWithThePath) {
  MemoryFiles files;
  try {
    Extract(files, L"English");
    FAIL() << "no exception";
  } catch (BasicClientException<wchar_t>* error) {
    EXPECT_EQ(std::wstring(error->Text()), L"Internal Error [could not open file (licence.txt)]");
    delete error;
  }
  EXPECT_TRUE(files.outputs.empty());
}

TEST(DetectEncoding, NeedsMarkThenAUnitUpToFF) {
  const struct {
    std::string bytes;
    Encoding expected;
  } cases[] = {
      {"", Encoding::kAnsi},
      {kBom16, Encoding::kAnsi},  // the missing second unit counts as 0xFFFF
      {kBom16 + "A", Encoding::kAnsi},
      {kBom16 + Utf16(u"A"), Encoding::kUtf16},
      {kBom16 + Utf16(u"\u00ff"), Encoding::kUtf16},
      {kBom16 + Utf16(u"\u0100"), Encoding::kAnsi},
      {"\xFE\xFF\x00\x41", Encoding::kAnsi},
      {"\xEF\xBB\xBF[A]", Encoding::kAnsi},
  };
  for (const auto& c : cases) {
    MemoryFiles files;
    files.inputs[kIn] = c.bytes;
    auto source = files.OpenInput(kIn, OpenMode::kBinary, nullptr);
    EXPECT_EQ(secpick::DetectEncoding(*source), c.expected) << testing::PrintToString(c.bytes);
  }
}

TEST(CollectRequest, FourPlacesSwitchesUseOneUp) {
  const struct {
    const wchar_t* commandLine;
    bool ok;
    const wchar_t* section;
    std::optional<std::wstring> fallback;
  } cases[] = {
      {L"secpick English in out", true, L"English", {}},
      {L"secpick English in out French", true, L"English", L"French"},
      {L"secpick English in out \"\"", true, L"English", L""},
      {L"secpick English in out French extra", true, L"English", L"French"},
      {L"secpick -q English in out", true, L"English", {}},
      {L"secpick English /x in out French", true, L"English", {}},
      {L"secpick -a -b English in out", false, nullptr, {}},
      {L"secpick English in", false, nullptr, {}},
      {L"", false, nullptr, {}},
  };
  for (const auto& c : cases) {
    BasicCommandLineCursor<wchar_t> cursor(c.commandLine);
    secpick::SectionRequest request;
    ASSERT_EQ(secpick::CollectRequest(cursor, request), c.ok) << c.commandLine;
    if (!c.ok) continue;
    EXPECT_EQ(request.section, c.section) << c.commandLine;
    EXPECT_EQ(request.input, L"in");
    EXPECT_EQ(request.output, L"out");
    EXPECT_EQ(request.fallback, c.fallback) << c.commandLine;
  }
}

}  // namespace
