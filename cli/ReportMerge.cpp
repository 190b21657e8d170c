#include "cli/ReportMerge.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/DisplayEscape.h"
#include "cli/JsonObjectLine.h"
#include "cli/Shard.h"

namespace rowvane::cli {
namespace {

// Skipped inputs that are no failures: --update's.
bool IsLeftAlone(const std::string& reason) {
  return reason == kUpToDate || reason.starts_with("replaced by ");
}

std::string TextOf(const JsonValue* value) {
  return value != nullptr && value->kind == JsonValue::Kind::String ? value->text : std::string();
}

std::uint64_t CountOf(const JsonValue* value) {
  std::uint64_t number = 0;
  if (value != nullptr && value->kind == JsonValue::Kind::Number) {
    std::from_chars(value->text.data(), value->text.data() + value->text.size(), number);
  }
  return number;
}

double SecondsOf(const JsonValue* value) {
  double seconds = 0;
  if (value != nullptr && value->kind == JsonValue::Kind::Number) {
    std::from_chars(value->text.data(), value->text.data() + value->text.size(), seconds);
  }
  return seconds;
}

bool IsTrue(const JsonValue* value) {
  return value != nullptr && value->kind == JsonValue::Kind::True;
}

// A name as the report gave it, for a message: one that the report already
// escaped (not UTF-8) is shown as it stands.
std::string Shown(const std::vector<JsonMember>& line, const char* key) {
  const std::string name = TextOf(MemberNamed(line, key));
  return IsTrue(MemberNamed(line, (std::string(key) + "_escaped").c_str()))
             ? name
             : EscapeForDisplay(name);
}

// "2, 5-7" for the numbers below `count` that `present` (sorted) lacks.
std::string MissingRanges(const std::vector<std::uint64_t>& present, std::uint64_t count) {
  std::string ranges;
  std::uint64_t next = 0;
  auto addGapBefore = [&](std::uint64_t end) {
    if (next < end) {
      ranges += (ranges.empty() ? "" : ", ") + std::to_string(next) +
                (end - next > 1 ? "-" + std::to_string(end - 1) : "");
    }
  };
  for (const std::uint64_t index : present) {
    addGapBefore(index);
    next = index + 1;
  }
  addGapBefore(count);
  return ranges;
}

std::string SecondsText(double seconds) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(6) << seconds;
  return text.str();
}

}  // namespace

void ReportMerge::problem(const std::string& text) {
  m_err << "rowvane-cli: " << text << '\n';
  ++m_problems;
}

void ReportMerge::unreadable(const std::string& name, const std::string& reason) {
  m_names.push_back(name);
  problem(EscapeForDisplay(name) + ": cannot read the report: " + reason);
}

void ReportMerge::read(std::istream& report, const std::string& name) {
  const auto index = static_cast<std::uint32_t>(m_names.size());
  m_names.push_back(name);
  std::vector<Key> keys;
  std::string line;
  std::uint64_t number = 0;
  bool closed = false;
  const std::uint64_t stoppedBefore = m_counts.stopped;
  while (std::getline(report, line)) {
    ++number;
    if (!line.empty() && !readLine(line, name, number, keys, closed)) {
      problem(EscapeForDisplay(name) + ": line " + std::to_string(number) +
              " is not a line of a report (cut short?)");
    }
  }
  for (Key& key : keys) {
    key.report = index;
  }
  if (const std::uint64_t stopped = m_counts.stopped - stoppedBefore; stopped > 0) {
    problem(EscapeForDisplay(name) + ": " + std::to_string(stopped) +
            " inputs were stopped before they were done");
  }
  if (!closed) {
    problem(EscapeForDisplay(name) + ": no totals line: its run did not finish");
  }
  absorb(keys);
}

bool ReportMerge::readLine(const std::string& text, const std::string& name, std::uint64_t number,
                           std::vector<Key>& keys, bool& closed) {
  const auto line = ReadJsonObjectLine(text);
  if (!line) {
    return false;
  }
  const std::string type = TextOf(MemberNamed(*line, "type"));
  if (closed && (type == "file" || type == "totals")) {
    problem(EscapeForDisplay(name) + ": line " + std::to_string(number) +
            " follows the totals line");
    if (type == "totals") {
      return true;
    }
  }
  if (type == "totals") {
    closed = true;
    m_seconds = std::max(m_seconds, SecondsOf(MemberNamed(*line, "seconds")));
    if (IsTrue(MemberNamed(*line, "interrupted"))) {
      m_interrupted = true;
      problem(EscapeForDisplay(name) + ": its run was ended by a signal");
    }
    const auto share = ShardFromTyped(TextOf(MemberNamed(*line, "shard")));
    if (share) {
      m_shares.push_back(
          {share->index, share->count, static_cast<std::uint32_t>(m_names.size() - 1)});
    } else {
      ++m_withoutShare;
    }
    return true;
  }
  if (type != "file") {
    return false;
  }
  const std::string status = TextOf(MemberNamed(*line, "status"));
  const std::string reason = EscapeForDisplay(TextOf(MemberNamed(*line, "reason")));
  ++m_counts.files;
  if (status == "converted") {
    ++m_counts.converted;
  } else if (status == "failed") {
    ++m_counts.failed;
    ++m_failures;
    m_err << "rowvane-cli: " << Shown(*line, "input") << ": failed: " << reason << '\n';
  } else if (status == "skipped") {
    ++m_counts.skipped;
    if (!IsLeftAlone(reason)) {
      ++m_failures;
      m_err << "rowvane-cli: " << Shown(*line, "input") << ": " << reason << '\n';
    }
  } else if (status == "stopped") {
    ++m_counts.stopped;
  } else {
    return false;
  }
  const JsonValue* warnings = MemberNamed(*line, "warnings");
  m_counts.warnings += warnings != nullptr ? warnings->items : 0;
  m_counts.records += CountOf(MemberNamed(*line, "records"));
  m_counts.bytesIn += CountOf(MemberNamed(*line, "bytes_in"));
  m_counts.bytesOut += CountOf(MemberNamed(*line, "bytes_out"));
  const JsonValue* output = MemberNamed(*line, "output");
  if (output != nullptr && output->kind == JsonValue::Kind::String) {
    const std::string identity = (IsTrue(MemberNamed(*line, "input_escaped")) ? "1" : "0") +
                                 TextOf(MemberNamed(*line, "input"));
    const Key key{Fnv1a64(identity), std::hash<std::string>{}(identity), 0};
    const auto earlier = std::lower_bound(m_seen.begin(), m_seen.end(), key);
    if (earlier != m_seen.end() && !(key < *earlier)) {
      problem(Shown(*line, "input") + ": in " + EscapeForDisplay(name) + " and in " +
              EscapeForDisplay(m_names[earlier->report]));
    }
    keys.push_back(key);
  }
  return true;
}

void ReportMerge::absorb(std::vector<Key>& keys) {
  std::sort(keys.begin(), keys.end());
  const auto middle = static_cast<std::ptrdiff_t>(m_seen.size());
  m_seen.insert(m_seen.end(), keys.begin(), keys.end());
  std::inplace_merge(m_seen.begin(), m_seen.begin() + middle, m_seen.end());
  std::vector<Key>().swap(keys);
}

void ReportMerge::checkShares() {
  if (m_shares.empty()) {
    return;
  }
  if (m_withoutShare > 0) {
    problem(std::to_string(m_withoutShare) + " reports name no share while others do");
  }
  const ShareSeen& first = m_shares.front();
  for (const ShareSeen& share : m_shares) {
    if (share.count != first.count) {
      problem("the reports disagree on the number of shares: " +
              EscapeForDisplay(m_names[first.report]) + " has share " +
              std::to_string(first.index) + "/" + std::to_string(first.count) + ", " +
              EscapeForDisplay(m_names[share.report]) + " has " + std::to_string(share.index) +
              "/" + std::to_string(share.count));
      return;
    }
  }
  std::vector<ShareSeen> byIndex = m_shares;
  std::stable_sort(byIndex.begin(), byIndex.end(),
                   [](const ShareSeen& a, const ShareSeen& b) { return a.index < b.index; });
  std::vector<std::uint64_t> present;
  for (std::size_t i = 0; i < byIndex.size(); ++i) {
    if (i > 0 && byIndex[i].index == byIndex[i - 1].index) {
      problem("share " + std::to_string(byIndex[i].index) + "/" + std::to_string(first.count) +
              " is in both " + EscapeForDisplay(m_names[byIndex[i - 1].report]) + " and " +
              EscapeForDisplay(m_names[byIndex[i].report]));
      continue;
    }
    present.push_back(byIndex[i].index);
  }
  if (const std::string missing = MissingRanges(present, first.count); !missing.empty()) {
    problem("shares missing of " + std::to_string(first.count) + ": " + missing);
  }
}

ExitStatus ReportMerge::finish(std::ostream& out) {
  checkShares();
  const Counts& c = m_counts;
  std::string json = "{\"type\":\"totals\"";
  if (m_interrupted) {
    json += ",\"interrupted\":true";
  }
  json +=
      ",\"files\":" + std::to_string(c.files) + ",\"converted\":" + std::to_string(c.converted) +
      ",\"failed\":" + std::to_string(c.failed) + ",\"skipped\":" + std::to_string(c.skipped) +
      ",\"stopped\":" + std::to_string(c.stopped) + ",\"warnings\":" + std::to_string(c.warnings) +
      ",\"records\":" + std::to_string(c.records) + ",\"bytes_in\":" + std::to_string(c.bytesIn) +
      ",\"bytes_out\":" + std::to_string(c.bytesOut) + ",\"seconds\":" + SecondsText(m_seconds) +
      "}\n";
  out << json;
  out.flush();
  m_err << "rowvane-cli: " << m_names.size() << " reports: " << c.files << " inputs, "
        << c.converted << " converted, " << c.failed << " failed, " << c.skipped << " skipped, "
        << c.stopped << " stopped; "
        << (m_problems > 0 ? "INCOMPLETE (see above)"
                           : (m_failures > 0 ? "complete, with failures" : "complete"))
        << '\n';
  m_err.flush();
  if (m_problems > 0) {
    return ExitStatus::Incomplete;
  }
  return m_failures > 0 ? ExitStatus::SomeFailed : ExitStatus::AllConverted;
}

ExitStatus MergeReports(const std::vector<std::string>& reports, std::ostream& out,
                        std::ostream& err) {
  ReportMerge merge(err);
  for (const std::string& name : reports) {
    if (name == kStandardStream) {
      merge.read(std::cin, "(standard input)");
      continue;
    }
    std::ifstream report(name, std::ios::binary);
    if (!report) {
      merge.unreadable(name, std::strerror(errno));
      continue;
    }
    merge.read(report, name);
    if (report.bad()) {
      merge.unreadable(name, "a read failed");
    }
  }
  return merge.finish(out);
}

}  // namespace rowvane::cli
