#include "raffle/extract_between.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/fakes.h"
#include "support/gbk.h"

namespace vq {
namespace {

using testing::gbk;
using testing::str;

struct ExtractCase {
  const char* what;
  std::string source;
  std::string startMarker;
  std::string endMarker;
  std::int32_t startPosition;
  bool ignoreCase;
  std::string expected;
};

const std::string reply = R"({"code":0,"time":"2016-07-01 23:59:59","activity":"A1B2C3"})";

const ExtractCase extractCases[] = {
    {"expiry of a real reply", reply, "time\":\"", "\",\"", 0, false, "2016-07-01 23:59:59"},
    {"code of a real reply", reply, "activity\":\"", "\"}", 0, false, "A1B2C3"},
    {"start marker ends at the last byte", "ab[", "[", "]", 0, false, ""},
    {"end marker right after the start marker", "a[]b", "[", "]", 0, false, ""},
    {"repeated start marker: the first counts", "[a[b]c", "[", "]", 0, false, "a[b"},
    {"end marker only before the start marker", "]x[y", "[", "]", 0, false, ""},
    {"missing start marker", "abc]", "[", "]", 0, false, ""},
    {"empty source", "", "[", "]", 0, false, ""},
    {"empty source and markers", "", "", "", 0, false, ""},
    {"empty end marker", "a[b]", "[", "", 0, false, ""},
    {"empty start marker runs from the first byte", "ab]c]", "", "]", 0, false, "ab"},
    {"empty start marker beyond the end", "ab]", "", "]", 4, false, ""},
    {"start position 0", "[a][b]", "[", "]", 0, false, "a"},
    {"negative start position", "[a][b]", "[", "]", -5, false, "a"},
    {"lowest start position", "[a][b]", "[", "]", INT_MIN, false, "a"},
    {"start position 1", "[a][b]", "[", "]", 1, false, "a"},
    {"start position inside the first value", "[a][b]", "[", "]", 2, false, "b"},
    {"start position on the second marker", "[a][b]", "[", "]", 4, false, "b"},
    {"start position past the last marker", "[a][b]", "[", "]", 5, false, ""},
    {"start position beyond the end", "[a][b]", "[", "]", 7, false, ""},
    {"highest start position", "[a][b]", "[", "]", INT_MAX, false, ""},
    {"quote token in both markers", "x\"v\"y", gbk("x#引号"), gbk("#引号y"), 0, false, "v"},
    {"quote token is never looked for in the source", gbk("x#引号v#引号y"), gbk("x#引号"),
     gbk("#引号y"), 0, false, ""},
    {"GBK value returned whole", gbk("time\":\"2016年7月1日\",\""), "time\":\"", "\",\"", 0, false,
     gbk("2016年7月1日")},
    {"GBK markers", gbk("有效期到【明天】"), gbk("【"), gbk("】"), 0, false, gbk("明天")},
    {"unpaired high byte hides the marker byte after it", "\x81[ab][cd]", "[", "]", 0, false, "cd"},
    {"unpaired high byte hides an end marker", "[a\x81]b]", "[", "]", 0, false, "a\x81]b"},
    {"marker byte inside a run of double-byte characters", "\xB0\xA1\xB0[x][y]", "[", "]", 0, false,
     "y"},
    {"ignoreCase folds ASCII letters", "TIME:x;", "time:", ";", 0, true, "x"},
    {"case matters without ignoreCase", "TIME:x;", "time:", ";", 0, false, ""},
    {"ignoreCase folds the end marker too", "<a>v</A>", "<a>", "</a>", 0, true, "v"},
    {"full-width letters do not fold", gbk("ＡＢ=v;"), gbk("ａｂ="), ";", 0, true, ""},
    {"a second byte in A-Z folds on its own", "\x81\x61=v;", "\x81\x41=", ";", 0, true, "v"},
};

// Names a case in test output by what it shows, not by its raw bytes.
void PrintTo(const ExtractCase& c, std::ostream* os) { *os << c.what; }

class ExtractBetweenTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractBetweenTest, CutsTheValueOut) {
  const ExtractCase& c = GetParam();
  const Text source(c.source);
  const Text startMarker(c.startMarker);
  const Text endMarker(c.endMarker);
  EXPECT_EQ(str(extractBetween(source, startMarker, endMarker, c.startPosition, c.ignoreCase)),
            c.expected);
  EXPECT_EQ(str(source), c.source) << "the source is left unchanged";
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractBetweenTest, ::testing::ValuesIn(extractCases),
                         [](const ::testing::TestParamInfo<ExtractCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

TEST(FindTextTest, Positions) {
  struct Case {
    std::string text, needle;
    std::int32_t start;
    bool ignoreCase;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"abcabc", "bc", 0, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 6, false, -1},
      {"abc", "abcd", 0, false, -1},
      {"abc", "", 3, false, 1},   // an empty needle is found at 1 whatever the start
      {"abc", "", 4, false, -1},  // ... while a byte remains
      {"", "", 0, false, -1},
      {"xAbC", "abc", 0, true, 2},
      {"x[]", "]", 0, false, 3},
      {"\xB0\xA1\xB0\xA1", "\xA1\xB0", 0, false, -1},  // never inside a character
      {"a\xB0\xA1", "\xA1", 0, false, -1},
      {"a\xB0\xA1", "\xA1", 3, false, 3},  // unless the scan starts there
  };
  for (const Case& c : cases) {
    EXPECT_EQ(findText(Text(c.text), Text(c.needle), c.start, c.ignoreCase), c.expected)
        << "'" << c.text << "' '" << c.needle << "' from " << c.start;
  }
}

TEST(ReplaceTextTest, ReplacesEveryWholeCharacterOccurrence) {
  struct Case {
    std::string text, token, replacement, expected;
  };
  const Case cases[] = {
      {gbk("a#引号b#引号"), gbk("#引号"), "\"", "a\"b\""},
      {"aaaa", "aa", "b", "bb"},  // occurrences do not overlap
      {"aaa", "aa", "a", "aa"},   // the scan does not look at what it produced
      {"abc", "", "x", "abc"},
      {"", "a", "x", ""},
      {"\x81#\xD2\xFD\xBA\xC5", gbk("#引号"), "\"", "\x81#\xD2\xFD\xBA\xC5"},  // 0x81 takes '#'
      {"ab\x81", "b", "c", "ac\x81"},  // a high last byte is copied on its own
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str(replaceText(Text(c.text), Text(c.token), Text(c.replacement))), c.expected)
        << c.text;
  }
}

TEST(MidTextTest, TakesBytesFromAPosition) {
  struct Case {
    std::int32_t position, count;
    std::string expected;
  };
  const Case cases[] = {{1, 2, "ab"}, {3, 10, "cd"},    {4, 1, "d"},
                        {5, 1, ""},   {0, 2, ""},       {2, 0, ""},
                        {2, -1, ""},  {INT_MIN, 2, ""}, {1, INT_MAX, "abcd"}};
  for (const Case& c : cases) {
    EXPECT_EQ(str(midText(Text("abcd"), c.position, c.count)), c.expected)
        << c.position << " " << c.count;
  }
}

}  // namespace
}  // namespace vq
