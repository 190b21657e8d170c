#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/xml/TemplatePlaceholders.h"
#include "engine/xml/expression/DatePattern.h"
#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {
namespace {

const std::vector<std::string> kNames = {"Amount", "Date",   "Good", "Name", "Qty",  "Empty",
                                         "Space",  "Status", "X",    "a]b",  "it's", "Price"};
const std::vector<std::string> kRecord = {"1.250,00", "31.02.2024", "23.11.2024", "Straße",
                                          "2",        "",           "  ",         "failed",
                                          "abc",      "bracket",    "quote",      "2.0"};

class TestContext : public ExpressionContext {
 public:
  explicit TestContext(const std::vector<FieldReference>& fields) : m_fields(fields) {}

  std::string_view field(std::size_t reference) const override {
    const FieldReference& wanted = m_fields[reference];
    if (wanted.number != 0) {
      return wanted.number <= values.size() ? values[wanted.number - 1] : std::string_view();
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (kNames[i] == wanted.name) {
        return values[i];
      }
    }
    ADD_FAILURE() << "no field " << wanted.name;
    return {};
  }
  std::uint64_t position() const override { return 3; }
  std::uint64_t line() const override { return 17; }
  std::string_view item() const override { return "img.png"; }
  std::string_view fileName() const override { return fileNameGiven; }
  std::int64_t now() const override { return 1'700'000'000; }
  ExpressionValue aggregate(std::size_t site) const override { return aggregates.at(site); }

  std::vector<std::string> values = kRecord;
  std::string fileNameGiven = "/data/pay.csv.GZ";
  std::vector<ExpressionValue> aggregates;

 private:
  const std::vector<FieldReference>& m_fields;
};

TemplatePosition Column(std::size_t offset) {
  return {1, static_cast<std::uint32_t>(offset + 1)};
}

// An expression evaluated for kRecord, its aggregates taken over `records`
// through the sites' accumulators: the written value, "!COLUMN what()" for a
// value it cannot use, or "T" and the template error.
std::string Evaluated(const std::string& text,
                      const std::vector<std::vector<std::string>>& records = {},
                      const std::string& fileName = "/data/pay.csv.GZ") {
  TemplateExpressions expressions({{"prefix", "ACME"}, {"empty", ""}});
  std::vector<FieldReference> fields;
  std::size_t expression = 0;
  try {
    expression = expressions.compile(text, Column, fields);
  } catch (const TemplateError& error) {
    return std::string("T") + error.what();
  }
  TestContext context(fields);
  context.fileNameGiven = fileName;
  try {
    for (std::size_t site = 0; site < expressions.siteCount(); ++site) {
      AggregateAccumulator accumulator(expressions.site(site).kind);
      for (const auto& record : records) {
        context.values = record;
        expressions.accumulate(site, accumulator, context);
      }
      context.aggregates.push_back(accumulator.result());
    }
    context.values = kRecord;
    return expressions.evaluate(expression, context).written();
  } catch (const ExpressionValueError& error) {
    // The reference names the same field the text does.
    const std::string expected =
        error.fieldReference() == ExpressionValueError::kNoField
            ? ""
            : (fields[error.fieldReference()].number == 0
                   ? fields[error.fieldReference()].name
                   : "#" + std::to_string(fields[error.fieldReference()].number));
    EXPECT_EQ(error.field(), expected) << text;
    return "!" + std::to_string(error.position().column) + " " + error.what();
  }
}

struct Case {
  std::string expression;
  std::string expected;
};

void RunCases(const std::vector<Case>& cases,
              const std::vector<std::vector<std::string>>& records = {}) {
  for (const Case& c : cases) {
    EXPECT_EQ(Evaluated(c.expression, records), c.expected) << c.expression;
  }
}

TEST(ExpressionTest, Arithmetic) {
  RunCases({
      {"1 + 2", "3"},
      {"1.50 + 2.50", "4"},
      {"0.1 * 3", "0.3"},
      {"7 / 2", "3.5"},
      {"1 / 3", "0.33333333333333333333"},
      {"2 - 5", "-3"},
      {"1 + 2 * 3", "7"},
      {"(1 + 2) * 3", "9"},
      {"10 - 2 - 3", "5"},
      {"8 / 4 / 2", "1"},
      {"-2 * -3", "6"},
      {"- -1", "1"},
      {"-[Qty] * 2", "-4"},
      {".5 + 5.", "5.5"},
      {"007", "7"},
      {"0 - 0", "0"},
      {"[Qty]+[Qty]", "4"},
      {"[Empty] + 1", ""},
      {"-[Empty]", ""},
      {"[Space] * 2", ""},
      {"1 / [Empty]", ""},
      {"[X] + 1", "!1 field 'X': 'abc' is not a number"},
      {"1 + [#9]", "!5 field '#9': 'abc' is not a number"},
      {"1 / 0", "!3 division by zero"},
      {"1 / (1 - 1)", "!3 division by zero"},
      {"(1 = 1) + 1", "!4 a boolean is not a number"},
      {"-(1 = 2)", "!5 a boolean is not a number"},
      {std::string(38, '9') + " + 1", "!40 number out of range"},
      {"0.0000000001 * 0.00000000001", "!14 number out of range"},
      {std::string(39, '9'), "T1:1: number out of range: " + std::string(39, '9')},
      {"1e5", "T1:2: unexpected 'e5' after the expression"},
  });
}

TEST(ExpressionTest, Comparisons) {
  RunCases({
      {"[Qty] = 2", "true"},
      {"[Price] = 2", ""},
      {"number([Price]) = 2", "true"},
      {"1 = 1.0", "true"},
      {"'1' = 1.0", "true"},
      {"'1.0' = 1", ""},
      {"'a' = 'a'", "true"},
      {"'a' = 'A'", ""},
      {"'a' != 'b'", "true"},
      {"[Empty] = ''", "true"},
      {"[Status] = 'failed'", "true"},
      {"(1 = 1) = 'true'", "true"},
      {"(1 = 2) = ''", "true"},
      {"'10' < '9'", ""},
      {"9 lt 10", "true"},
      {"10 lt 9", ""},
      {"2 le 2", "true"},
      {"3 gt 2", "true"},
      {"2 ge 3", ""},
      {"1 eq 1", "true"},
      {"1 ne 1", ""},
      {"1 <= 1", "true"},
      {"1 >= 2", ""},
      {"1 > 0.99999999999999999999", "true"},
      {"-1 < 0", "true"},
      {"[Empty] < 1", ""},
      {"[Empty] >= [Empty]", ""},
      {"' 5 ' > 4", "true"},
      {"'abc' < 1", "!1 'abc' is not a number"},
      {"(1 = 1) > 0", "!4 a boolean is not a number"},
      {"1 = 1 = 1", "T1:7: comparisons do not chain: join them with 'and', or use parentheses"},
      {"1 < 2 > 1", "T1:7: comparisons do not chain: join them with 'and', or use parentheses"},
      {"(1 = 1) = (2 = 2)", "true"},
  });
}

TEST(ExpressionTest, Logic) {
  RunCases({
      {"1 < 2 and 2 < 3", "true"},
      {"1 < 2 and 3 < 2", ""},
      {"1 = 2 or 'x'", "true"},
      {"1 = 2 or ''", ""},
      {"1 = 2 or 0", "true"},
      {"1 = 2 and 1 / 0 = 1", ""},
      {"1 = 1 or 1 / 0", "true"},
      {"1 = 1 or 1 = 2 and 1 = 2", "true"},
      {"(1 = 1 or 1 = 2) and 1 = 2", ""},
      {"not(0)", ""},
      {"not('')", "true"},
      {"not([Empty])", "true"},
      {"not([Status] = 'failed')", ""},
      {"if(1 = 1, 'a', 'b')", "a"},
      {"if('', 'a')", ""},
      {"if(0, 'a', 1 / 0)", "a"},
      {"if('', 1 / 0, 'b')", "b"},
      {"if([Qty], [Qty])", "2"},
  });
}

TEST(ExpressionTest, LiteralsAndFields) {
  RunCases({
      {"'it''s'", "it's"},
      {"\"say \"\"hi\"\"\"", "say \"hi\""},
      {"'{{}}'", "{{}}"},
      {"\"'\"", "'"},
      {"concat('a', \"b\", 1, 1 = 1, 1 = 2, 1.50)", "ab1true1.5"},
      {"[a]]b]", "bracket"},
      {"[it's]", "quote"},
      {"[#4]", "Straße"},
      {"[#0]", "T1:1: [#0]: fields are numbered from 1"},
      {" \t\r\n [Qty] \n", "2"},
      {"", "T1:1: the expression is empty"},
      {"   ", "T1:4: the expression is empty"},
      {"'abc", "T1:1: a string without its closing '"},
      {"\"abc'", "T1:1: a string without its closing \""},
      {"1 + [abc", "T1:5: '[' without a closing ']'"},
      {"1 ! 2", "T1:3: unexpected '!'"},
      {"1 \xC2\xA7 2", "T1:3: unexpected '\xC2\xA7'"},
      {"1 +", "T1:4: a value is missing at the end of the expression"},
      {"1 + )", "T1:5: a value is missing before ')'"},
      {"(1", "T1:3: expected ')', found the end of the expression"},
      {"1 2", "T1:3: unexpected '2' after the expression"},
      {"upper", "T1:1: 'upper' is not a value: a function is called with (...)"},
      {"and", "T1:1: 'and' is not a value: a function is called with (...)"},
      {"foo(1)", "T1:1: unknown function 'foo'"},
      {"Upper('a')", "T1:1: unknown function 'Upper'"},
      {"upper('a' 'b')", "T1:11: expected ',' or ')', found ''b''"},
      {std::string(300, '(') + "1" + std::string(300, ')'),
       "T1:201: the expression nests deeper than 200"},
      {std::string(300, '-') + "1", "T1:201: the expression nests deeper than 200"},
      {[] {
         std::string sum = "1";
         for (int i = 0; i < 250; ++i) {
           sum += "+1";
         }
         return sum;
       }(),
       "T1:400: the expression nests deeper than 200"},
  });
}

TEST(ExpressionTest, ArgumentCounts) {
  RunCases({
      {"upper()", "T1:1: 'upper' takes 1 argument, not 0"},
      {"trim('a', 'b')", "T1:1: 'trim' takes 1 argument, not 2"},
      {"concat('a')", "T1:1: 'concat' takes 2 or more arguments, not 1"},
      {"number('1', ',')", "T1:1: 'number' takes 1 or 3 arguments, not 2"},
      {"substring('a')", "T1:1: 'substring' takes 2 or 3 arguments, not 1"},
      {"replace('a', 'b')", "T1:1: 'replace' takes 3 arguments, not 2"},
      {"map('a', 'b')", "T1:1: 'map' takes 3 or more arguments, not 2"},
      {"now(1)", "T1:1: 'now' takes 0 arguments, not 1"},
      {"if(1)", "T1:1: 'if' takes 2 or 3 arguments, not 1"},
      {"count(1, 2)", "T1:1: 'count' takes 0 or 1 arguments, not 2"},
      {"sum()", "T1:1: 'sum' takes 1 argument, not 0"},
      {"param()", "T1:1: 'param' takes 1 or 2 arguments, not 0"},
      {"format(1)", "T1:1: 'format' takes 2 arguments, not 1"},
  });
}

TEST(ExpressionTest, TextFunctions) {
  RunCases({
      {"upper('straße')", "STRASSE"},
      {"upper([Name])", "STRASSE"},
      {"upper('abc-1')", "ABC-1"},
      {"upper('\xC7\x86')", "\xC7\x84"},                                  // dž -> DŽ
      {"lower('\xC3\x80\xC3\x89\xC3\x8E')", "\xC3\xA0\xC3\xA9\xC3\xAE"},  // ÀÉÎ
      {"lower('\xC4\xB0')", "i\xCC\x87"},                                 // İ, in every locale
      {"upper('i')", "I"},
      {"upper(1.50)", "1.5"},
      {"upper('')", ""},
      {"upper('\xC3\x9F\xFFx\xE2\x82')", "SS\xFFX\xE2\x82"},  // bytes that are no character stay
      {"length('\xC3\x9F\xFFx\xE2\x82')", "5"},
      {"substring('\xFF\xC3\x9Fx', 2, 1)", "\xC3\x9F"},
      {"trim(' \t a b \xC2\xA0\xE2\x80\x83')", "a b"},
      {"trim('\xE2\x80\xA8x\xE3\x80\x80')", "x"},
      {"trim('')", ""},
      {"trim('  ')", ""},
      {"trim('\xC2')", "\xC2"},
      {"substring-before('a-b-c', '-')", "a"},
      {"substring-after('a-b-c', '-')", "b-c"},
      {"substring-before('abc', 'x')", ""},
      {"substring-after('abc', 'x')", ""},
      {"substring-after('abc', '')", "abc"},
      {"substring-before('abc', '')", ""},
      {"replace('DE89 3704 0044', ' ', '')", "DE8937040044"},
      {"replace('aaa', 'aa', 'b')", "ba"},
      {"replace('a.b.c', '.', '..')", "a..b..c"},
      {"replace('x', '', 'y')", "T1:14: replace: the text to find is empty"},
      {"replace('x', [Empty], 'y')", "!14 field 'Empty': replace: the text to find is empty"},
      {"substring('Straße', 5)", "ße"},
      {"substring('abcdef', 2, 3)", "bcd"},
      {"substring('abc', 0, 2)", "ab"},
      {"substring('abc', -5)", "abc"},
      {"substring('abc', 2, -1)", ""},
      {"substring('abc', 2, 100)", "bc"},
      {"substring('abc', 9)", ""},
      {"substring('abc', '2')", "bc"},
      {"substring('abc', 1.5)", "!18 substring: the start must be a whole number, not '1.5'"},
      {"substring('abc', 1, [X])",
       "!21 field 'X': substring: the length must be a whole number, not 'abc'"},
      {"substring('abc', [Empty])",
       "!18 field 'Empty': substring: the start must be a whole number, not ''"},
      {"length('Straße')", "6"},
      {"length('')", "0"},
      {"length(12.50)", "4"},
      {"length([Name]) = 6", "true"},
      {"concat([Qty], '|', [Empty], '|', [Status])", "2||failed"},
  });
}

// Texts that grow by 64 times per replace: five give 2^30 bytes, past the
// 16 MiB an expression may make; four make exactly 16 MiB.
std::string Grown(int times) {
  std::string text = "'a'";
  for (int i = 0; i < times; ++i) {
    text = "replace(" + text + ", 'a', '" + std::string(64, 'a') + "')";
  }
  return text;
}

TEST(ExpressionTest, TextsStayWithinBounds) {
  EXPECT_EQ(Evaluated("length(" + Grown(4) + ")"), "16777216");
  EXPECT_EQ(Evaluated(Grown(5)), "!1 the text would be longer than 16 MiB");
  EXPECT_EQ(Evaluated("concat(" + Grown(4) + ", 'b')"), "!1 the text would be longer than 16 MiB");
  static_assert(sizeof(AggregateAccumulator) <= 72, "one is kept per group and site");
}

TEST(ExpressionTest, Numbers) {
  RunCases({
      {"number('1.250,00', ',', '.')", "1250"},
      {"number([Amount], ',', '.') = 1250", "true"},
      {"number('-1 250,5', ',', ' ')", "-1250.5"},
      {"number('1,5', ',', '')", "1.5"},
      {"number('1.5', ',', '')",
       "!1 '1.5' is not a number with the decimal mark ',' and no group separator"},
      {"number([Amount], '.', ',')",
       "!1 field 'Amount': '1.250,00' is not a number with the decimal mark '.' and the group "
       "separator ','"},
      {"number(' 5 ')", "5"},
      {"number('')", ""},
      {"number([Space])", ""},
      {"number('', ',', '.')", ""},
      {"number('x')", "!1 'x' is not a number"},
      {"number([X])", "!1 field 'X': 'abc' is not a number"},
      {"number(1 = 1)", "!1 a boolean is not a number"},
      {"number(2.50, ',', '.')", "2.5"},
      {"number('1', 'ab', '')", "T1:13: number: the decimal mark must be one character"},
      {"number('1', '', '')", "T1:13: number: the decimal mark must be one character"},
      {"number('1', ',', 'ab')", "T1:18: number: the group separator must be one character or ''"},
      {"number('1', ',', ',')",
       "T1:18: number: the group separator is the same as the decimal mark"},
      {"number('1', [Empty], '')",
       "!13 field 'Empty': number: the decimal mark must be one character, not ''"},
      {"number('1' + '1')", "2"},
      {"format(1250, 2)", "1250.00"},
      {"format(-0.001, 2)", "0.00"},
      {"format('2.345', 2)", "2.35"},
      {"format(-2.345, 2)", "-2.35"},
      {"format(2.5, 0)", "3"},
      {"format(1 / 3, 20)", "0.33333333333333333333"},
      {"format([Empty], 2)", ""},
      {"format(number([Amount], ',', '.'), 2)", "1250.00"},
      {"format([X], 2)", "!8 field 'X': 'abc' is not a number"},
      {"format(1, 21)",
       "T1:11: format: the places must be a whole number from 0 to 20, written as a number"},
      {"format(1, -1)",
       "T1:11: format: the places must be a whole number from 0 to 20, written as a number"},
      {"format(1, 1.5)",
       "T1:11: format: the places must be a whole number from 0 to 20, written as a number"},
      {"format(1, [Qty])",
       "T1:11: format: the places must be a whole number from 0 to 20, written as a number"},
      {"format(1, '2')",
       "T1:11: format: the places must be a whole number from 0 to 20, written as a number"},
      {"format(1, 2.0)", "1.00"},
  });
}

TEST(ExpressionTest, Dates) {
  RunCases({
      {"date('23.11.2024', 'DD.MM.YYYY')", "2024-11-23"},
      {"date([Good], 'DD.MM.YYYY')", "2024-11-23"},
      {"date([Date], 'DD.MM.YYYY')",
       "!1 field 'Date': '31.02.2024' is not a date in the pattern 'DD.MM.YYYY'"},
      {"date('1.2.2024', 'D.M.YYYY')", "2024-02-01"},
      {"date('2024-1-5', 'YYYY-M-D')", "2024-01-05"},
      {"date('29.02.2024', 'DD.MM.YYYY')", "2024-02-29"},
      {"date('29.02.2023', 'DD.MM.YYYY')",
       "!1 '29.02.2023' is not a date in the pattern 'DD.MM.YYYY'"},
      {"date('29.02.1900', 'DD.MM.YYYY')",
       "!1 '29.02.1900' is not a date in the pattern 'DD.MM.YYYY'"},
      {"date('29.02.2000', 'DD.MM.YYYY')", "2000-02-29"},
      {"date('0000-01-01', 'YYYY-MM-DD')",
       "!1 '0000-01-01' is not a date in the pattern 'YYYY-MM-DD'"},
      {"date('9999-12-31', 'YYYY-MM-DD')", "9999-12-31"},
      {"date('2024-13-01', 'YYYY-MM-DD')",
       "!1 '2024-13-01' is not a date in the pattern 'YYYY-MM-DD'"},
      {"date('2024-11-3', 'YYYY-MM-DD')",
       "!1 '2024-11-3' is not a date in the pattern 'YYYY-MM-DD'"},
      {"date('2024-11-23 23:25:57', 'YYYY-MM-DD hh:mm:ss')", "2024-11-23"},
      {"date('2024-11-23 24:25:57', 'YYYY-MM-DD hh:mm:ss')",
       "!1 '2024-11-23 24:25:57' is not a date in the pattern 'YYYY-MM-DD hh:mm:ss'"},
      {"date(' 23.11.2024', 'DD.MM.YYYY')",
       "!1 ' 23.11.2024' is not a date in the pattern 'DD.MM.YYYY'"},
      {"date('23.11.2024 ', 'DD.MM.YYYY')",
       "!1 '23.11.2024 ' is not a date in the pattern 'DD.MM.YYYY'"},
      {"date('', 'DD.MM.YYYY')", ""},
      {"date([Empty], 'DD.MM.YYYY')", ""},
      {"date('20241123', 'YYYYMMDD')", "2024-11-23"},
      {"date('Nov 23 2024', 'MM DD YYYY')",
       "!1 'Nov 23 2024' is not a date in the pattern 'MM DD YYYY'"},
      {"date('d23/11/2024', 'dDD/MM/YYYY')", "2024-11-23"},
      {"date('23.11.24', 'DD.MM.YY')",
       "T1:18: date: the pattern needs YYYY, a month (MM or M) and a day (DD or D)"},
      {"date('1', 'YYYY-MM-DD-D')", "T1:11: date: the pattern gives the day twice"},
      {"date('1', concat('YYYY', '-MM'))",
       "!11 date: the pattern needs YYYY, a month (MM or M) and a day (DD or D): 'YYYY-MM'"},
      {"datetime('2024-11-23 23:25:57', 'YYYY-MM-DD hh:mm:ss')", "2024-11-23T23:25:57"},
      {"datetime('23.11.2024', 'DD.MM.YYYY')", "2024-11-23T00:00:00"},
      {"datetime('5/1/2024 7:05', 'D/M/YYYY h:mm')", "2024-01-05T07:05:00"},
      {"datetime('2024-11-23 23:60', 'YYYY-MM-DD hh:mm')",
       "!1 '2024-11-23 23:60' is not a date and time in the pattern 'YYYY-MM-DD hh:mm'"},
      {"datetime('2024-11-23 00:00:60', 'YYYY-MM-DD hh:mm:ss')",
       "!1 '2024-11-23 00:00:60' is not a date and time in the pattern 'YYYY-MM-DD hh:mm:ss'"},
      {"now()", "2023-11-14T22:13:20Z"},
      {"today()", "2023-11-14"},
  });
}

TEST(ExpressionTest, UtcMoments) {
  const std::pair<std::int64_t, std::string> cases[] = {
      {0, "1970-01-01T00:00:00"},
      {-1, "1969-12-31T23:59:59"},
      {951782400, "2000-02-29T00:00:00"},
      {253402300799, "9999-12-31T23:59:59"},
      {-62135596800, "0001-01-01T00:00:00"},
      {1700000000, "2023-11-14T22:13:20"},
  };
  for (const auto& [seconds, expected] : cases) {
    std::string out;
    AppendDateTime(UtcDateTime(seconds), out);
    EXPECT_EQ(out, expected) << seconds;
  }
}

TEST(ExpressionTest, MapsAndTheRecordsPlace) {
  RunCases({
      {"map('b', 'a', 1, 'b', 2)", "2"},
      {"map('z', 'a', 1, 'b', 2, 'd')", "d"},
      {"map('z', 'a', 1, 'b', 2)", "!1 map: no key matches 'z' (keys: 'a', 'b')"},
      {"map([X], 'a', 1)", "!1 field 'X': map: no key matches 'abc' (keys: 'a')"},
      {"map([Status], 'failed', 'F', 'ok', 1 / 0)", "F"},
      {"map(1.0, 1, 'one')", "one"},
      {"map([Empty], '', 'none', 'x')", "none"},
      {"map('1', 1 = 1, 'x', 1, 'one')", "one"},
      {"position()", "3"},
      {"position() * 2", "6"},
      {"line()", "17"},
      {"item()", "img.png"},
      {"trim(item())", "img.png"},
      {"file-name()", "pay.csv.GZ"},
      {"file-stem()", "pay"},
      {"concat(param('prefix', 'MSG'), '-', file-stem())", "ACME-pay"},
      {"param('other', 'MSG')", "MSG"},
      {"param('other', concat('M', 1 + 1))", "M2"},
      {"param('empty', 'x')", ""},
      {"param('prefix') = 'ACME'", "true"},
      {"param('missing')", "T1:1: parameter 'missing' is not given (--param missing=VALUE)"},
      {"1 + param('missing')", "T1:5: parameter 'missing' is not given (--param missing=VALUE)"},
      {"param([X])", "T1:7: param: the name must be a string in quotes"},
      {"param(1)", "T1:7: param: the name must be a string in quotes"},
      {"param(param('prefix'))", "T1:7: param: the name must be a string in quotes"},
      {"param(('prefix'))", "T1:8: param: the name must be a string in quotes"},
  });
  const std::pair<std::string, std::string> stems[] = {
      {"-", ""},     {"pay.csv", "pay"},  {"a.b.c", "a.b"}, {"noext", "noext"},
      {"x.gz", "x"}, {"d/x.tar.gz", "x"}, {".hidden", ""},  {"dir.d/file", "file"},
  };
  for (const auto& [name, stem] : stems) {
    EXPECT_EQ(Evaluated("file-stem()", {}, name), stem) << name;
  }
  EXPECT_EQ(Evaluated("file-name()", {}, "-"), "-");
  EXPECT_EQ(Evaluated("file-name()", {}, "in/pay.csv"), "pay.csv");
}

const std::vector<std::vector<std::string>> kRecords = {
    {"1.250,00", "2024-01-03", "", "", "2", "", "", "ok", "", "", "", ""},
    {"10,50", "2023-12-31", "", "", "", "", "", "failed", "", "", "", ""},
    {"", "2024-01-01", "", "", "-3", "", "", "failed", "", "", "", ""},
};

TEST(ExpressionTest, Aggregates) {
  RunCases(
      {
          {"count()", "3"},
          {"count() + 1", "4"},
          {"count([Status] = 'failed')", "2"},
          {"count([Qty])", "2"},
          {"format(sum(number([Amount], ',', '.')), 2)", "1260.50"},
          {"sum([Qty])", "-1"},
          {"sum([Empty])", "0"},
          {"min([Qty])", "-3"},
          {"max([Qty])", "2"},
          {"min([Qty]) = -3", "true"},
          {"min([Date])", "2023-12-31"},
          {"max([Date])", "2024-01-03"},
          {"min(number([Qty]))", "-3"},
          {"max(concat([Qty], 'x'))", "x"},
          {"min(concat([Qty], 'x'))", "-3x"},
          {"min([Empty])", ""},
          {"first([Status])", "ok"},
          {"last([Status])", "failed"},
          {"first([Qty]) = 2", "true"},
          {"last(number([Qty]) * 2)", "-6"},
          {"first([Qty] = 2)", "true"},
          {"concat(count(), '/', position())", "3/3"},
          {"date(first([Date]), 'DD.MM.YYYY')",
           "!1 field 'Date': '2024-01-03' is not a date in the pattern 'DD.MM.YYYY'"},
          {"sum([Status])", "!1 field 'Status': 'ok' is not a number"},
          {"sum(1 = 1)", "!1 a boolean is not a number"},
          {"1 + sum(number([Amount]))", "!9 field 'Amount': '1.250,00' is not a number"},
          {"sum(count())",
           "T1:5: 'count' inside 'sum': an aggregate cannot stand in another's argument"},
          {"count(first([Qty]))",
           "T1:7: 'first' inside 'count': an aggregate cannot stand in another's argument"},
      },
      kRecords);
  RunCases({
      {"count()", "0"},
      {"sum([Qty])", "0"},
      {"min([Qty])", ""},
      {"max([Qty])", ""},
      {"first([Qty])", ""},
      {"last([Qty])", ""},
  });
  const std::vector<std::vector<std::string>> huge = {
      {"", "", "", "", std::string(38, '9'), "", "", "", "", "", "", ""},
      {"", "", "", "", "1", "", "", "", "", "", "", ""},
  };
  EXPECT_EQ(Evaluated("sum([Qty])", huge), "!1 field 'Qty': number out of range");
}

TEST(ExpressionTest, TellsWhatAnExpressionUses) {
  TemplateExpressions expressions;
  std::vector<FieldReference> fields = {{"before", 0, {}}};
  const std::size_t first = expressions.compile(
      "concat([a], sum([b]), line(), position(), count(item()), item())", Column, fields);
  const std::size_t second = expressions.compile("sum(line()) + max(position())", Column, fields);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1].name, "a");
  EXPECT_EQ(fields[1].at, Column(7));
  EXPECT_EQ(fields[2].name, "b");
  EXPECT_EQ(fields[2].at, Column(16));
  const ExpressionUses& uses = expressions.uses(first);
  EXPECT_EQ(uses.bareFields, std::vector<TemplatePosition>{Column(7)});
  EXPECT_EQ(uses.sites, (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(uses.line, Column(22));
  EXPECT_EQ(uses.position, Column(30));
  EXPECT_EQ(uses.item, Column(57));
  const ExpressionUses& later = expressions.uses(second);
  EXPECT_TRUE(later.bareFields.empty());
  EXPECT_EQ(later.sites, (std::vector<std::size_t>{2, 3}));
  EXPECT_FALSE(later.line);
  EXPECT_FALSE(later.position);
  ASSERT_EQ(expressions.siteCount(), 4u);
  EXPECT_EQ(expressions.site(0).kind, AggregateKind::Sum);
  EXPECT_EQ(expressions.site(1).kind, AggregateKind::Count);
  EXPECT_EQ(expressions.site(1).at, Column(42));
  EXPECT_EQ(expressions.site(3).kind, AggregateKind::Max);
  EXPECT_EQ(expressions.site(3).expression, second);
  // A template error keeps what was compiled before.
  EXPECT_THROW(expressions.compile("count() + sum(", Column, fields), TemplateError);
  EXPECT_EQ(expressions.siteCount(), 4u);
  EXPECT_EQ(expressions.size(), 2u);
  EXPECT_EQ(expressions.compile("1", Column, fields), 2u);
}

TEST(ExpressionTest, ValuesOwnTheirTextWhenAsked) {
  std::string field = "before";
  const ExpressionValue viewed = ExpressionValue::View(field, 4);
  const ExpressionValue owned = viewed.owned();
  const ExpressionValue copied = owned;  // a copy of an owned value owns too
  field = "after!";
  EXPECT_EQ(viewed.text(), "after!");
  EXPECT_EQ(owned.text(), "before");
  EXPECT_EQ(copied.text(), "before");
  EXPECT_EQ(owned.field(), 4u);
  EXPECT_FALSE(owned.isView());
  EXPECT_EQ(ExpressionValue::Number(Decimal::FromInteger(-3)).owned().written(), "-3");
  EXPECT_TRUE(ExpressionValue::Number(Decimal()).isTrue());
  EXPECT_FALSE(ExpressionValue::Boolean(false).isTrue());
  EXPECT_EQ(ExpressionValue::Boolean(true).written(), "true");
}

// The segments of a placeholder text, one after another: literals as they
// stand, fields as {F:name}, expressions as {E:their value for kRecord};
// "T" and the error when the text cannot be read.
std::string Scanned(const std::string& text, bool withExpressions = true) {
  TemplateExpressions expressions;
  std::vector<FieldReference> fields;
  TemplateText segments;
  try {
    segments = ReadPlaceholders(text, Column, fields, withExpressions ? &expressions : nullptr);
  } catch (const TemplateError& error) {
    return std::string("T") + error.what();
  }
  TestContext context(fields);
  std::string shown;
  for (const TemplateSegment& segment : segments) {
    if (segment.expression != TemplateSegment::kNone) {
      shown += "{E:" + expressions.evaluate(segment.expression, context).written() + "}";
    } else if (segment.field != TemplateSegment::kLiteral) {
      const FieldReference& field = fields[segment.field];
      shown += "{F:" + (field.number == 0 ? field.name : "#" + std::to_string(field.number)) + "}";
    } else {
      shown += segment.literal;
    }
  }
  return shown;
}

TEST(ExpressionTest, PlaceholdersHoldExpressions) {
  const Case cases[] = {
      {"a{= 'x}' }b", "a{E:x}}b"},
      {"{= '{{' }", "{E:{{}"},
      {"{= \"}}\" }", "{E:}}}"},
      {"{= 'it''s}' }", "{E:it's}}"},
      {"{= \"a\"\"}\" }", "{E:a\"}}"},
      {"{=[a]]b]}", "{E:bracket}"},
      {"{= [it's] }", "{E:quote}"},
      {"{{= 1 }}", "{= 1 }"},
      {"{Qty}{=[Qty]*2}{#5}", "{F:Qty}{E:4}{F:#5}"},
      {"{=1}{=2}}", "{E:1}{E:2}}"},
      {"x {= 'abc", "T1:3: '{=' without a closing '}'"},
      {"x {= [a}b] }", "T1:6: '[' without a closing ']'"},
      {"{= 1 +}", "T1:7: a value is missing at the end of the expression"},
      {"ab{= foo(1) }", "T1:6: unknown function 'foo'"},
      {"{=}", "T1:3: the expression is empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Scanned(c.expression), c.expected) << c.expression;
  }
  // Without expressions, `{=...}` names a field as it always did.
  EXPECT_EQ(Scanned("{=x}", false), "{F:=x}");
  EXPECT_EQ(Scanned("{= 'a}' }", false), "{F:= 'a}' }");
}

}  // namespace
}  // namespace rowvane
