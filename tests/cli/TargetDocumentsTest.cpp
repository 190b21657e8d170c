// Documents that receiving systems check, made by the built rowvane-cli from
// raw exports through templates, and validated here again with libxml2
// against schemas that state what those systems check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/cli/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace rowvane::cli::testing {
namespace {

using rowvane::testing::ReadFile;
using rowvane::testing::TempDir;
using ::testing::HasSubstr;

const std::string kTargets = ROWVANE_TARGETS;
const std::string kExamples = ROWVANE_EXAMPLES;
constexpr std::int64_t kEpoch = 1732406400;

// The records of an export, by field name; quotes as the standard format reads them.
using Record = std::map<std::string, std::string>;
using Export = std::vector<Record>;

std::vector<std::string> SplitLine(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += c;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

Export ReadExport(const std::string& path, char separator) {
  const std::string bytes = ReadFile(path);
  std::vector<std::vector<std::string>> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    end = end == std::string::npos ? bytes.size() : end;
    const std::size_t cut = end > at && bytes[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(SplitLine(bytes.substr(at, cut - at), separator));
    at = end + 1;
  }
  Export records;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    Record& record = records.emplace_back();
    for (std::size_t f = 0; f < lines[0].size() && f < lines[i].size(); ++f) {
      record[lines[0][f]] = lines[i][f];
    }
  }
  return records;
}

std::vector<std::string> Split(const std::string& text, char at) {
  std::vector<std::string> pieces(1);
  for (const char c : text) {
    if (c == at) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(c);
    }
  }
  return pieces;
}

std::string Stripped(std::string text, char gone) {
  std::erase(text, gone);
  return text;
}

// "1.250,00" in cents, and cents written back with two places.
std::int64_t Cents(const std::string& amount) {
  return std::stoll(Stripped(Stripped(amount, '.'), ','));
}
std::string WithPlaces(std::int64_t units, int places) {
  const auto point = static_cast<std::size_t>(places);
  std::string digits = std::to_string(units);
  if (digits.size() <= point) {
    digits.insert(0, point + 1 - digits.size(), '0');
  }
  return digits.insert(digits.size() - point, ".");
}

// Keys in the order of their first record, with their records.
std::vector<std::pair<std::string, Export>> Groups(
    const Export& records, const std::function<std::string(const Record&)>& key) {
  std::vector<std::pair<std::string, Export>> groups;
  for (const Record& record : records) {
    const std::string k = key(record);
    auto group =
        std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == k; });
    if (group == groups.end()) {
      group = groups.insert(groups.end(), {k, {}});
    }
    group->second.push_back(record);
  }
  return groups;
}

std::string Count(const Export& records, const std::function<bool(const Record&)>& counted) {
  return std::to_string(std::count_if(records.begin(), records.end(), counted));
}

std::string FixedMoment() {
  const std::time_t at = kEpoch;
  std::tm parts{};
  gmtime_r(&at, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// An XPath over the output and the value the export says it must have.
using Checks = std::vector<std::pair<std::string, std::string>>;

Checks SitemapChecks(const Export& pages) {
  const auto published = [](const Record& r) { return r.at("Status") == "published"; };
  return {
      {"count(/t:urlset/t:url)", Count(pages, published)},
      {"count(/t:urlset/t:url[t:changefreq='daily'])",
       Count(pages, [&](const Record& r) { return published(r) && r.at("Section") == "news"; })},
      {"count(/t:urlset/t:url[starts-with(t:loc, 'https://www.example.org/')])",
       Count(pages, published)}};
}

Checks FeedChecks(const Export& products) {
  std::size_t images = 0;
  for (const Record& product : products) {
    for (const std::string& item : Split(product.at("More images"), ',')) {
      images += item.empty() ? 0 : 1;
    }
  }
  const std::string inStock = Count(products, [](const Record& r) { return r.at("Stock") == "1"; });
  return {{"count(//item)", std::to_string(products.size())},
          {"count(//g:additional_image_link)", std::to_string(images)},
          {"count(//g:availability[.='in_stock'])", inStock},
          {"string(//channel/description)",
           std::to_string(products.size()) + " products, " + inStock + " in stock"},
          {"string(//item[1]/description)", products[0].at("Description")},
          {"string(//item[1]/g:price)", WithPlaces(Cents(products[0].at("Price")), 2) + " EUR"}};
}

Checks CreditTransferChecks(const Export& payments) {
  const auto sum = [](const Export& records) {
    std::int64_t cents = 0;
    for (const Record& r : records) {
      cents += Cents(r.at("Amount"));
    }
    return WithPlaces(cents, 2);
  };
  const std::string header = "/t:Document/t:CstmrCdtTrfInitn/t:GrpHdr/";
  Checks checks = {{"string(" + header + "t:NbOfTxs)", std::to_string(payments.size())},
                   {"string(" + header + "t:CtrlSum)", sum(payments)},
                   {"string(" + header + "t:CreDtTm)", FixedMoment()}};
  const auto blocks = Groups(
      payments, [](const Record& r) { return Stripped(r.at("IBAN"), ' ') + "|" + r.at("Date"); });
  checks.push_back({"count(//t:PmtInf)", std::to_string(blocks.size())});
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string block = "//t:PmtInf[" + std::to_string(i + 1) + "]/";
    checks.push_back({"string(" + block + "t:NbOfTxs)", std::to_string(blocks[i].second.size())});
    checks.push_back({"string(" + block + "t:CtrlSum)", sum(blocks[i].second)});
    checks.push_back(
        {"string(" + block + "t:DbtrAcct/t:Id/t:IBAN)", Split(blocks[i].first, '|')[0]});
  }
  return checks;
}

Checks GpxChecks(const Export& points) {
  const auto tracks = Groups(points, [](const Record& r) { return r.at("Track"); });
  Checks checks = {{"count(//t:trk)", std::to_string(tracks.size())},
                   {"count(//t:trkpt)", std::to_string(points.size())}};
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const std::string track = "//t:trk[" + std::to_string(i + 1) + "]";
    checks.push_back({"string(" + track + "/t:name)", tracks[i].first});
    checks.push_back({"count(" + track + "//t:trkpt)", std::to_string(tracks[i].second.size())});
  }
  return checks;
}

Checks JunitChecks(const Export& results) {
  const auto failed = [](const Record& r) { return r.at("Status") == "failed"; };
  Checks checks = {{"string(/testsuites/@tests)", std::to_string(results.size())},
                   {"string(/testsuites/@failures)", Count(results, failed)},
                   {"count(//failure)", Count(results, failed)}};
  const auto suites = Groups(results, [](const Record& r) { return r.at("Suite"); });
  for (std::size_t i = 0; i < suites.size(); ++i) {
    std::int64_t millis = 0;
    for (const Record& r : suites[i].second) {
      millis += Cents(r.at("Seconds"));
    }
    const std::string suite = "/testsuites/testsuite[" + std::to_string(i + 1) + "]/@";
    checks.push_back({"string(" + suite + "name)", suites[i].first});
    checks.push_back({"string(" + suite + "tests)", std::to_string(suites[i].second.size())});
    checks.push_back({"string(" + suite + "failures)", Count(suites[i].second, failed)});
    checks.push_back({"string(" + suite + "time)", WithPlaces(millis, 3)});
    const auto firstFailed = std::find_if(suites[i].second.begin(), suites[i].second.end(), failed);
    if (firstFailed != suites[i].second.end()) {
      checks.push_back(
          {"string(/testsuites/testsuite[" + std::to_string(i + 1) + "]/testcase/failure/@message)",
           firstFailed->at("Message")});
    }
  }
  return checks;
}

struct Target {
  const char* name;
  std::string input;   // below the targets' folder
  std::string layout;  // a path
  std::string schema;  // below the targets' folder
  std::vector<std::string> options;
  char separator;
  std::string ns;  // the prefix t in the checks
  std::function<Checks(const Export&)> checks;
  // A date that does not exist, put on one line, fails the input with this message.
  int badLine;
  std::string badFrom, badTo;
  std::string badMessage;  // after "rowvane-cli: INPUT:"
};

void PrintTo(const Target& row, std::ostream* out) {
  *out << row.name;
}

std::string TargetFile(const std::string& name) {
  return kTargets + "/" + name;
}

using XmlDoc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// libxml2's own verdict on the document, independent of the program's --schema.
int SchemaErrors(const std::string& schemaPath, xmlDoc* document) {
  const std::unique_ptr<xmlSchemaParserCtxt, decltype(&xmlSchemaFreeParserCtxt)> parser(
      xmlSchemaNewParserCtxt(schemaPath.c_str()), &xmlSchemaFreeParserCtxt);
  const std::unique_ptr<xmlSchema, decltype(&xmlSchemaFree)> schema(xmlSchemaParse(parser.get()),
                                                                    &xmlSchemaFree);
  if (!schema) {
    return -1;
  }
  const std::unique_ptr<xmlSchemaValidCtxt, decltype(&xmlSchemaFreeValidCtxt)> validator(
      xmlSchemaNewValidCtxt(schema.get()), &xmlSchemaFreeValidCtxt);
  return xmlSchemaValidateDoc(validator.get(), document);
}

std::string XPathString(xmlDoc* document, const Target& target, const std::string& expression) {
  const std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
      xmlXPathNewContext(document), &xmlXPathFreeContext);
  xmlXPathRegisterNs(context.get(), BAD_CAST "t", BAD_CAST target.ns.c_str());
  xmlXPathRegisterNs(context.get(), BAD_CAST "g", BAD_CAST "http://base.google.com/ns/1.0");
  const std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> value(
      xmlXPathEvalExpression(BAD_CAST("string(" + expression + ")").c_str(), context.get()),
      &xmlXPathFreeObject);
  return value && value->stringval ? reinterpret_cast<const char*>(value->stringval) : "(no value)";
}

class TargetDocuments : public ::testing::TestWithParam<Target> {
 protected:
  ProgramResult convert(const std::string& input, const std::string& output,
                        std::vector<std::string> args = {}) const {
    const Target& target = GetParam();
    args.insert(args.end(), target.options.begin(), target.options.end());
    args.insert(args.end(), {"--template", target.layout, "--schema", TargetFile(target.schema),
                             "-O", output, input});
    Streams streams;
    streams.environment = {"SOURCE_DATE_EPOCH=" + std::to_string(kEpoch)};
    return RunProgram(ROWVANE_CLI_PATH, args, streams);
  }
  TempDir m_temp;
};

TEST_P(TargetDocuments, ValidWithTheExportsTotals) {
  const Target& target = GetParam();
  const ProgramResult result = convert(TargetFile(target.input), m_temp / "out.xml");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const XmlDoc document(xmlReadFile((m_temp / "out.xml").c_str(), nullptr, XML_PARSE_NONET),
                        &xmlFreeDoc);
  ASSERT_TRUE(document);
  EXPECT_EQ(SchemaErrors(TargetFile(target.schema), document.get()), 0);
  for (const auto& [expression, expected] :
       target.checks(ReadExport(TargetFile(target.input), target.separator))) {
    EXPECT_EQ(XPathString(document.get(), target, expression), expected) << expression;
  }
}

TEST_P(TargetDocuments, DateThatDoesNotExistFailsTheInputAtItsLine) {
  const Target& target = GetParam();
  std::string bytes = ReadFile(TargetFile(target.input));
  std::size_t line = 0;
  for (int n = 1; n < target.badLine; ++n) {
    line = bytes.find('\n', line) + 1;
  }
  const std::size_t at = bytes.find(target.badFrom, line);
  ASSERT_LT(at, bytes.find('\n', line)) << "the date to spoil is not on line " << target.badLine;
  const std::string input =
      m_temp.write("bad.csv", bytes.replace(at, target.badFrom.size(), target.badTo));
  const ProgramResult result = convert(input, m_temp / "out.xml", {"--report", m_temp / "r.jsonl"});
  EXPECT_EQ(result.exitCode, 1);
  const std::string report = ReadFile(m_temp / "r.jsonl");
  EXPECT_THAT(report,
              HasSubstr("\"status\":\"failed\",\"reason\":\"" + target.layout + target.badMessage));
  EXPECT_THAT(report, HasSubstr("\"kind\":\"value\",\"line\":" + std::to_string(target.badLine)));
  EXPECT_EQ(result.err, "rowvane-cli: " + input + ":" + std::to_string(target.badLine) + ": " +
                            target.layout + target.badMessage + "\n");
  EXPECT_FALSE(std::filesystem::exists(m_temp / "out.xml"));
}

const std::string kCreditTransfer = kExamples + "/credit-transfer-template.xml";
const std::string kJunit = kExamples + "/junit-template.xml";

INSTANTIATE_TEST_SUITE_P(
    Cli, TargetDocuments,
    ::testing::Values(
        Target{"Sitemap",
               "sitemap/pages.csv",
               TargetFile("sitemap/sitemap-template.xml"),
               "sitemap/sitemap.xsd",
               {"--param", "site=https://www.example.org"},
               ',',
               "http://www.sitemaps.org/schemas/sitemap/0.9",
               SitemapChecks,
               6,
               ",1.4.2024",
               ",31.4.2024",
               ":5:17: '31.4.2024' is not a date in the pattern 'D.M.YYYY'"},
        Target{"ShopFeed",
               "feed/products.csv",
               TargetFile("feed/feed-template.xml"),
               "feed/feed.xsd",
               {"-s", ";", "--param", "shop=Hand & Home"},
               ';',
               "",
               FeedChecks,
               8,
               "28.11.2025",
               "29.02.2025",
               ":16:29: field 'Offer ends': '29.02.2025' is not a date in the pattern "
               "'DD.MM.YYYY'"},
        Target{"CreditTransfer",
               "credit-transfer/payments.csv",
               kCreditTransfer,
               "credit-transfer/credit-transfer.xsd",
               {"-s", ";", "--param",
                "initiator=B\xC3\xA4"
                "ckerei Gro\xC3\x9F KG",
                "--param", "prefix=PAY"},
               ';',
               "urn:iso:std:iso:20022:tech:xsd:pain.001.001.03",
               CreditTransferChecks,
               12,
               ";23.11.2024;",
               ";31.11.2024;",
               ":11:5: field 'Date': '31.11.2024' is not a date in the pattern 'DD.MM.YYYY'"},
        Target{"GpxTracks",
               "gpx/tracks.csv",
               TargetFile("gpx/gpx-template.xml"),
               "gpx/gpx.xsd",
               {"-s", ";"},
               ';',
               "http://www.topografix.com/GPX/1/1",
               GpxChecks,
               20,
               "2024-11-23",
               "2024-11-31",
               ":13:25: field 'Time': '2024-11-31 10:13:31' is not a date and time in the "
               "pattern 'YYYY-MM-DD hh:mm:ss'"},
        Target{"JunitReport",
               "junit/results.csv",
               kJunit,
               "junit/junit.xsd",
               {"--format", "standard", "--param", "run=nightly"},
               ',',
               "",
               JunitChecks,
               9,
               "23.11.2024",
               "30.02.2024",
               ":3:3: field 'Started': '30.02.2024 09:10:14' is not a date and time in the "
               "pattern 'DD.MM.YYYY hh:mm:ss'"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The examples the README and the man page show: what they say the program
// writes is what it writes, and it is valid for the receiving system.
struct DocumentedExample {
  const char* name;
  std::vector<std::string> options;  // before --template; the input comes last
  std::string layout, input, schema;
  std::string command;  // as the README shows it
};

void PrintTo(const DocumentedExample& row, std::ostream* out) {
  *out << row.name;
}

std::string LineFeedsOnly(std::string text) {
  std::string kept;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      kept.push_back(text[i]);
    }
  }
  return kept;
}

// Text as a man page's no-fill block spells it.
std::string InRoff(const std::string& text) {
  std::string roff;
  bool lineStart = true;
  for (const char c : text) {
    roff += lineStart && (c == '.' || c == '\'') ? "\\&" : "";
    roff += c == '-' ? std::string("\\-") : c == '\\' ? std::string("\\e") : std::string(1, c);
    lineStart = c == '\n';
  }
  return roff;
}

class DocumentedExamples : public ::testing::TestWithParam<DocumentedExample> {};

TEST_P(DocumentedExamples, ShowWhatTheProgramWrites) {
  const DocumentedExample& example = GetParam();
  const TempDir temp;
  std::vector<std::string> args = example.options;
  args.insert(args.end(), {"--template", kExamples + "/" + example.layout, "-O", temp / "out.xml",
                           kExamples + "/" + example.input});
  Streams streams;
  streams.environment = {"SOURCE_DATE_EPOCH=" + std::to_string(kEpoch)};
  const ProgramResult result = RunProgram(ROWVANE_CLI_PATH, args, streams);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string written = LineFeedsOnly(ReadFile(temp / "out.xml"));
  const std::string readme = ReadFile(std::string(ROWVANE_SOURCE_DIR) + "/README.md");
  EXPECT_NE(readme.find("```xml\n" + written + "\n```"), std::string::npos) << written;
  EXPECT_NE(readme.find("`" + example.command + "`"), std::string::npos) << example.command;
  const std::string manual =
      ReadFile(std::string(ROWVANE_SOURCE_DIR) + "/packaging/man/rowvane-cli.1");
  EXPECT_NE(manual.find(".nf\n" + InRoff(written) + "\n.fi"), std::string::npos);
  const XmlDoc document(xmlReadFile((temp / "out.xml").c_str(), nullptr, XML_PARSE_NONET),
                        &xmlFreeDoc);
  ASSERT_TRUE(document);
  EXPECT_EQ(SchemaErrors(TargetFile(example.schema), document.get()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, DocumentedExamples,
    ::testing::Values(
        DocumentedExample{"CreditTransfer",
                          {"-s", ";", "--param", "initiator=ACME GmbH", "--param", "prefix=PAY"},
                          "credit-transfer-template.xml",
                          "payments.csv",
                          "credit-transfer/credit-transfer.xsd",
                          "SOURCE_DATE_EPOCH=1732406400 rowvane-cli -s ';' --template "
                          "credit-transfer-template.xml --param initiator='ACME GmbH' --param "
                          "prefix=PAY -O payments.xml payments.csv"},
        DocumentedExample{"Junit",
                          {"--format", "standard", "--param", "run=nightly"},
                          "junit-template.xml",
                          "test-results.csv",
                          "junit/junit.xsd",
                          "rowvane-cli --format standard --template junit-template.xml --param "
                          "run=nightly -O test-results.xml test-results.csv"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace rowvane::cli::testing
