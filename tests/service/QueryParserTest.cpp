#include <gtest/gtest.h>

#include "common/Text.h"
#include "service/QueryParser.h"
#include "service/query/QueryCompiler.h"
#include "service/query/ValueRanges.h"

namespace qv::service {
namespace {

// What a search string becomes: the full-text expression every result matches,
// the SQL conditions on the files table, and what was read literally.
struct Reading {
  const wchar_t* text;
  const char* match;
  const char* conditions;
  const wchar_t* warning;
};


void ExpectReadings(const std::vector<Reading>& readings) {
  for (const Reading& reading : readings) {
    ParsedQuery query = ParseQuery(reading.text);
    CompiledQuery compiled = CompileQuery(query);
    EXPECT_EQ(reading.match, compiled.Match()) << ToUtf8(reading.text);
    EXPECT_EQ(reading.conditions, compiled.conditions.sql) << ToUtf8(reading.text);
    EXPECT_EQ(reading.warning, query.Warning()) << ToUtf8(reading.text);
  }
}

TEST(QueryParser, WordsPhrasesAndExclusionsBecomeQuotedFullTextTerms) {
  ExpectReadings({
      {L"  quarterly   budg ", "({name content} : \"quarterly\") AND ({name content} : \"budg\" *)", "1", L""},
      {L"\"annual report\" -draft -\"old copy\" final",
       "(({name content} : \"annual report\") AND ({name content} : \"final\" *)) NOT "
       "(({name content} : \"draft\") OR ({name content} : \"old copy\"))",
       "1", L""},
      {L"repo* notes", "({name content} : \"repo\" *) AND ({name content} : \"notes\" *)", "1", L""},
      {L"caf\u00e9", "{name content} : \"caf\xC3\xA9\" *", "1", L""},
  });
}

TEST(QueryParser, OrParenthesesAndNegatedGroups) {
  ExpectReadings({
      {L"a OR b", "{name content} : \"a\" OR {name content} : \"b\" *", "1", L""},
      {L"a | b c", "{name content} : \"a\" OR {name content} : \"b\" AND {name content} : \"c\" *", "1", L""},
      {L"(a OR b) c", "({name content} : \"a\" OR {name content} : \"b\") AND ({name content} : \"c\" *)", "1", L""},
      {L"x -(a OR b)", "({name content} : \"x\" *) NOT ({name content} : \"a\" OR {name content} : \"b\")", "1",
       L""},
      // "or" in lower case is a word.
      {L"this or that", "({name content} : \"this\") AND ({name content} : \"or\") AND ({name content} : \"that\" *)",
       "1", L""},
  });
}

TEST(QueryParser, FileOperatorsBecomeBoundConditions) {
  ExpectReadings({
      {L"FileType:PDF filetype:.doc -filetype:Tmp", "", "f.ext IN (?, ?) AND NOT f.ext IN (?)", L""},
      {L"ext:md", "", "f.ext IN (?)", L""},
      {L"kind:music", "", "f.ext IN (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", L""},
      {L"size:>10MB", "", "(f.size >= ?)", L""},
      {L"size:1kb..2kb", "", "(f.size >= ? AND f.size <= ?)", L""},
      {L"modified:2026-01-01..2026-03-31", "", "(f.mtime >= ? AND f.mtime < ?)", L""},
      {L"created:<2020", "", "(f.ctime < ?)", L""},
      {L"name:*.tmp", "name : \"tmp\"", "qv_name_like(f.name, ?)", L""},
      {L"name:report-202?", "(name : \"report\") AND (name : \"202\" *)", "qv_name_like(f.name, ?)", L""},
      {L"name:*port", "", "qv_name_like(f.name, ?)", L""},
      {L"name:\"annual report\" budget",
       "({name content} : \"budget\" *) AND (name : \"annual report\")", "1", L""},
      {L"name:draft*", "name : \"draft\" *", "1", L""},
      {L"path:invoices", "folder : \"invoices\" *", "1", L""},
      {L"folder:\"C:\\Projects\\Alpha\\\"", "folder : \"C:\\Projects\\Alpha\"", "qv_under(f.path, ?)", L""},
      {L"budget (size:empty OR ext:txt)", "{name content} : \"budget\"",
       "((f.size >= ? AND f.size <= ?) OR f.ext IN (?))", L""},
      {L"-budget", "", "NOT qv_matches('files_text', ?, f.id)", L""},
      {L"ext:mp3 -name:live", "", "f.ext IN (?) AND NOT qv_matches('files_names', ?, f.id)", L""},
  });
}

TEST(QueryParser, WordsOfUnspacedScriptsAreAlsoLookedForInsideText) {
  ExpectReadings({
      {L"\u6771\u4eac\u90fd", "",
       "(f.id IN (SELECT rowid FROM files_text WHERE files_text MATCH ?) OR "
       "f.id IN (SELECT rowid FROM files_unspaced WHERE files_unspaced MATCH ?))",
       L""},
      // Shorter words are whole words (or their starts) only.
      {L"\u6771\u4eac", "{name content} : \"\xE6\x9D\xB1\xE4\xBA\xAC\" *", "1", L""},
  });
}

TEST(QueryParser, MalformedStringsAreReadLiterallyAndNamed) {
  ExpectReadings({
      {L"\"open ended", "({name content} : \"open\") AND ({name content} : \"ended\" *)", "1",
       L"Read literally: \" (unbalanced quote)"},
      {L"filetype:", "{name content} : \"filetype:\"", "1", L"Read literally: filetype: (no value)"},
      {L"size:>>1", "{name content} : \"size:>>1\"", "1", L"Read literally: size:>>1 (not a size)"},
      {L"kind:gizmo", "{name content} : \"kind:gizmo\"", "1", L"Read literally: kind:gizmo (unknown kind)"},
      {L"modified:2026-13-45", "{name content} : \"modified:2026-13-45\"", "1",
       L"Read literally: modified:2026-13-45 (not a date)"},
      {L"(a b", "({name content} : \"(a\") AND ({name content} : \"b\" *)", "1",
       L"Read literally: ( ) (unbalanced parentheses)"},
      {L"a OR", "({name content} : \"a\") AND ({name content} : \"OR\")", "1", L"Read literally: OR (nothing to join)"},
      {L"| a", "{name content} : \"a\" *", "1", L"Read literally: | (nothing to join)"},
  });
  EXPECT_TRUE(ParseQuery(L"- -- \" ").IsEmpty());
  EXPECT_TRUE(ParseQuery(L"").IsEmpty());
  EXPECT_TRUE(ParseQuery(L"*").IsEmpty());
  EXPECT_TRUE(ParseQuery(L"^").IsEmpty());
  EXPECT_TRUE(ParseQuery(L"()").IsEmpty());
}

// Nesting and chains within the engines' limits: an OR chain is one OR list
// without needless parentheses, runs of minus signs cancel, groups past the
// nesting bound are read as words and named.
TEST(QueryParser, DeepGroupsAndLongChainsCompileFlat) {
  ExpectReadings({
      {L"a OR (b OR (c OR (d)))",
       "{name content} : \"a\" OR {name content} : \"b\" OR {name content} : \"c\" OR {name content} : \"d\" *",
       "1", L""},
      {L"a (b (c (d)))",
       "({name content} : \"a\") AND ({name content} : \"b\") AND ({name content} : \"c\") AND "
       "({name content} : \"d\" *)",
       "1", L""},
      {L"--a", "{name content} : \"a\" *", "1", L""},
      {L"-(-(a)) b", "({name content} : \"a\") AND ({name content} : \"b\" *)", "1", L""},
      {L"(((((((((((a))))))))))) b", "({name content} : \"a\") AND ({name content} : \"b\" *)", "1",
       L"Read literally: ( ) (nested too deep)"},
  });
  ParsedQuery deep = ParseQuery(std::wstring(100000, L'(') + L"x" + std::wstring(100000, L')'));
  EXPECT_EQ(L"Read literally: ( ) (nested too deep)", deep.Warning());
  ParsedQuery minus = ParseQuery(std::wstring(100001, L'-') + L"x");
  ASSERT_EQ(1u, minus.root.children.size());
  EXPECT_EQ(QueryNode::Kind::Not, minus.root.children[0].kind);
  std::wstring many;
  for (int i = 0; i < 3000; ++i) many += L"w" + std::to_wstring(i) + L" ";
  EXPECT_NE(std::wstring::npos, ParseQuery(many).Warning().find(L"too long"));
}

TEST(QueryParser, NothingWrittenReachesFullTextOrSqlSyntax) {
  ExpectReadings({
      {L"\"a\" OR 1=1; --", "{name content} : \"a\" OR {name content} : \"1=1;\"", "1", L""},
      {L"a\"b OR NOT c*", "{name content} : \"a\"\"b\" OR {name content} : \"NOT\" AND {name content} : \"c\" *",
       "1", L""},
      {L"NEAR(", "{name content} : \"NEAR(\"", "1", L"Read literally: ( ) (unbalanced parentheses)"},
      {L"col:x", "{name content} : \"col:x\" *", "1", L""},
      {L"^a", "{name content} : \"^a\" *", "1", L""},
      {L"name:\"x\"\" OR 1=1", "name : \"x\" OR {name content} : \"1=1\" *", "1",
       L"Read literally: \" (unbalanced quote)"},
      {L"ext:'); DROP TABLE files; --",
       "({name content} : \"DROP\") AND ({name content} : \"TABLE\") AND ({name content} : \"files;\")",
       "f.ext IN (?)", L"Read literally: ( ) (unbalanced parentheses)"},
  });
  // Values stay values.
  CompiledQuery compiled = CompileQuery(ParseQuery(L"ext:'); name:*'--.txt"));
  EXPECT_EQ((std::vector<SqlValue>{std::string("');"), std::string("*'--.txt")}), compiled.conditions.values);
}

TEST(QueryParser, RelevanceRanksNamesAndPhrasesFirst) {
  CompiledQuery compiled = CompileQuery(ParseQuery(L"annual rep -draft"));
  std::vector<std::string> tiers = compiled.RelevanceTiers();
  std::string words = "({name content} : \"annual\") AND ({name content} : \"rep\" *)";
  std::string draft = "{name content} : \"draft\"";
  ASSERT_EQ(4u, tiers.size());
  EXPECT_EQ("((name : \"annual rep\" *)) NOT (" + draft + ")", tiers[0]);
  EXPECT_EQ("((name : (" + words + "))) NOT ((" + draft + ") OR (name : \"annual rep\" *))", tiers[1]);
  EXPECT_EQ("(({name content} : \"annual rep\" *)) NOT ((" + draft + ") OR (name : \"annual rep\" *) OR (name : (" +
                words + ")))",
            tiers[2]);
  EXPECT_EQ("((" + words + ")) NOT ((" + draft + ") OR (name : \"annual rep\" *) OR (name : (" + words +
                ")) OR ({name content} : \"annual rep\" *))",
            tiers[3]);
  EXPECT_EQ(4u, CompileQuery(ParseQuery(L"a b")).RelevanceTiers().size());
  EXPECT_EQ(2u, CompileQuery(ParseQuery(L"\"a b\"")).RelevanceTiers().size());
  EXPECT_EQ(2u, CompileQuery(ParseQuery(L"a OR b")).RelevanceTiers().size());
}

TEST(QueryParser, NamePatternsMatchWholeNamesIgnoringCase) {
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    bool matches;
  };
  for (const Case& c : std::vector<Case>{{L"Cache.TMP", L"*.tmp", true},
                                         {L"cache.tmp.bak", L"*.tmp", false},
                                         {L"report-2024.pdf", L"report-202?*", true},
                                         {L"report-2024.pdf", L"report-202?", false},
                                         {L"\u00c9T\u00c9.txt", L"\u00e9t\u00e9.*", true},
                                         {L"abc", L"a*b*c*", true},
                                         {L"abc", L"a?", false}}) {
    EXPECT_EQ(c.matches, MatchesNamePattern(c.name, c.pattern)) << ToUtf8(c.name) << " " << ToUtf8(c.pattern);
  }
}

TEST(QueryParser, SizesReadUnitsComparisonsRangesAndWords) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  struct Case {
    const wchar_t* value;
    bool valid;
    std::int64_t low, high;
  };
  for (const Case& c : std::vector<Case>{{L"300", true, 300, 300},
                                         {L">10MB", true, 10485761, kMax},
                                         {L">=1kb", true, 1024, kMax},
                                         {L"<1KB", true, 0, 1023},
                                         {L"<=2b", true, 0, 2},
                                         {L"1MB..5MB", true, 1048576, 5242880},
                                         {L"..1.5kb", true, 0, 1536},
                                         {L"2gb", true, 2147483648LL, 3221225471LL},
                                         {L"empty", true, 0, 0},
                                         {L"Huge", true, 1LL << 30, kMax},
                                         {L">>1", false, 0, 0},
                                         {L"5MB..1MB", false, 0, 0},
                                         {L"10pb", false, 0, 0},
                                         {L"<0", false, 0, 0},
                                         {L"..", false, 0, 0},
                                         {L"-5", false, 0, 0}}) {
    ValueRange range{};
    EXPECT_EQ(c.valid, ParseSizeRange(c.value, &range)) << ToUtf8(c.value);
    if (c.valid) {
      EXPECT_EQ(c.low, range.low) << ToUtf8(c.value);
      EXPECT_EQ(c.high, range.high) << ToUtf8(c.value);
    }
  }
}

// The start of a local day as the index stores times.
std::int64_t LocalDay(WORD year, WORD month, WORD day) {
  SYSTEMTIME local = {year, month, 0, day, 0, 0, 0, 0};
  SYSTEMTIME utc;
  FILETIME file;
  TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
  SystemTimeToFileTime(&utc, &file);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
}

TEST(QueryParser, DatesReadDaysRangesComparisonsAndNamedPeriods) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  SYSTEMTIME now = {2026, 3, 0, 12, 15, 30, 0, 0};  // a Thursday
  struct Case {
    const wchar_t* value;
    bool valid;
    std::int64_t low, high;
  };
  for (const Case& c : std::vector<Case>{
           {L"2026-03-31", true, LocalDay(2026, 3, 31), LocalDay(2026, 4, 1)},
           {L"2026-02", true, LocalDay(2026, 2, 1), LocalDay(2026, 3, 1)},
           {L"2025", true, LocalDay(2025, 1, 1), LocalDay(2026, 1, 1)},
           {L"2026-01-01..2026-03-31", true, LocalDay(2026, 1, 1), LocalDay(2026, 4, 1)},
           {L"..2026/01/31", true, kMin, LocalDay(2026, 2, 1)},
           {L">=2026-01-01", true, LocalDay(2026, 1, 1), kMax},
           {L">2026-01-01", true, LocalDay(2026, 1, 2), kMax},
           {L"<2026-01-01", true, kMin, LocalDay(2026, 1, 1)},
           {L"today", true, LocalDay(2026, 3, 12), LocalDay(2026, 3, 13)},
           {L"Yesterday", true, LocalDay(2026, 3, 11), LocalDay(2026, 3, 12)},
           {L"thismonth", true, LocalDay(2026, 3, 1), LocalDay(2026, 4, 1)},
           {L"lastmonth", true, LocalDay(2026, 2, 1), LocalDay(2026, 3, 1)},
           {L"thisyear", true, LocalDay(2026, 1, 1), LocalDay(2027, 1, 1)},
           {L"lastyear", true, LocalDay(2025, 1, 1), LocalDay(2026, 1, 1)},
           {L"2024-02-29", true, LocalDay(2024, 2, 29), LocalDay(2024, 3, 1)},
           {L"2026-13-45", false, 0, 0},
           {L"2025-02-29", false, 0, 0},
           {L"2026-3-1", false, 0, 0},
           {L"2026-03-31..2026-01-01", false, 0, 0},
           {L"soon", false, 0, 0},
       }) {
    ValueRange range{};
    EXPECT_EQ(c.valid, ParseDateRange(c.value, now, &range)) << ToUtf8(c.value);
    if (c.valid) {
      EXPECT_EQ(c.low, range.low) << ToUtf8(c.value);
      EXPECT_EQ(c.high, range.high) << ToUtf8(c.value);
    }
  }
  // Weeks: seven days from the user's first day of the week, around today.
  ValueRange thisWeek{}, lastWeek{};
  ASSERT_TRUE(ParseDateRange(L"thisweek", now, &thisWeek));
  ASSERT_TRUE(ParseDateRange(L"lastweek", now, &lastWeek));
  EXPECT_LE(thisWeek.low, LocalDay(2026, 3, 12));
  EXPECT_GT(thisWeek.high, LocalDay(2026, 3, 12));
  EXPECT_EQ(thisWeek.low, lastWeek.high);
  EXPECT_NEAR(7.0 * 864000000000.0, static_cast<double>(thisWeek.high - thisWeek.low), 3600.0 * 1e7);
}

}  // namespace
}  // namespace qv::service
