// Steering files that the portable profile reader must read as the platform's reader does:
// shared by the native test (expected answers) and the Windows test (the platform's answers).
#pragma once

#include <string>
#include <vector>

struct ProfileQuery {
  const char* section;
  const char* key;       // null: the key list of the section, joined with '|'
  const char* expected;  // null: absent (the default comes back)
};

struct ProfileCase {
  const char* name;
  std::string bytes;
  std::vector<ProfileQuery> queries;
};

inline std::string Utf16File(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

inline std::vector<ProfileCase> ProfileCases() {
  return {
      {"comments and lines without equals",
       "[S]\r\n;a=1\r\n#b=2\r\nplain line\r\n c = 3\r\n// d = 4\r\n",
       {{"S", nullptr, "#b|c|// d"}, {"S", "#b", "2"}, {"S", "c", "3"}, {"S", "plain line", nullptr}}},
      {"quotes",
       "[S]\r\nk1 = \"quoted value\" \r\nk2='single'\r\nk3=\"mixed'\r\nk4=\"\"\r\nk5=\"a\" b \"c\"\r\nk6=\"\r\nk7= ' x ' \r\n",
       {{"S", "k1", "quoted value"}, {"S", "k2", "single"}, {"S", "k3", "\"mixed'"},
        {"S", "k4", ""}, {"S", "k5", "a\" b \"c"}, {"S", "k6", "\""}, {"S", "k7", " x "}}},
      {"duplicate keys and sections",
       "[S]\r\nk=first\r\nK=second\r\n[s]\r\nk=third\r\nother=x\r\n",
       {{"S", "k", "first"}, {"s", nullptr, "k|K"}, {"S", "other", nullptr}}},
      {"blanks and inner equals",
       "[S]\r\n \t key one \t=   value  with  inner \t \r\nk = a = b\r\nempty=\r\n=novalue\r\n",
       {{"S", "key one", "value  with  inner"}, {"S", "k", "a = b"}, {"S", "empty", ""},
        {"S", nullptr, "key one|k|empty"}}},
      {"section names",
       "[a]\r\nx=1\r\n[ ab ]\r\ny=2\r\n[info] trailing\r\nz=3\r\n[FILES\r\nw=4\r\n",
       {{"a", "x", "1"}, {"ab", "y", "2"}, {" ab ", "y", "2"}, {"INFO", "z", "3"},
        {"INFO", nullptr, "z|w"}}},
      {"keys before any section and line ends",
       "top=1\nlf only=2\n[S]\nk=lf\rcr=only\r\n",
       {{"", "top", "1"}, {"", nullptr, "top|lf only"}, {"S", "k", "lf"}, {"S", "cr", "only"}}},
      {"UTF-16 file", Utf16File("[INFO]\r\nDESCRIPTION = \"wide\"\r\n[FILES]\r\nF2=b\r\nF1=a\r\n"),
       {{"info", "description", "wide"}, {"FILES", nullptr, "F2|F1"}}},
      {"UTF-8 file", "\xEF\xBB\xBF[S]\r\nk=caf\xC3\xA9\r\n", {{"S", "k", "caf\xE9"}}},
      {"8-bit text", "[S]\r\nk=caf\xE9 \xA9\r\n\xC9=upper\r\n", {{"S", "k", "caf\xE9 \xA9"}, {"S", "\xC9", "upper"}, {"S", "\xE9", nullptr}}},
  };
}
