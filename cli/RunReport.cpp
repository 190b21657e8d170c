#include "cli/RunReport.h"

#include <cstring>
#include <iomanip>
#include <sstream>
#include <vector>

#include "cli/DisplayEscape.h"
#include "cli/ErrorNumberName.h"
#include "cli/FailureReport.h"
#include "cli/JsonText.h"
#include "text/Utf8.h"

namespace rowvane::cli {
namespace {

constexpr std::array<const char*, 4> kStatusNames = {"converted", "failed", "skipped", "stopped"};

// The symbolic name ("ENOSPC") of the error whose platform message the engine
// passed on; none for messages of the engine's own.
std::optional<std::string> ErrorNameOf(const Failure& failure) {
  const char* name = failure.errorNumber != 0 ? ErrorNumberName(failure.errorNumber) : nullptr;
  return name != nullptr ? std::optional<std::string>(name) : std::nullopt;
}

std::string JsonName(const char* key, const std::string& name) {
  if (IsValidUtf8(name)) {
    return ",\"" + std::string(key) + "\":" + JsonString(name);
  }
  return ",\"" + std::string(key) + "\":" + JsonString(EscapeForDisplay(name)) + ",\"" + key +
         "_escaped\":true";
}

std::string Kind(const char* kind) {
  return std::string("{\"kind\":\"") + kind + "\"";
}

// Each warning of a converted input as a JSON object; see the man page for the kinds.
std::vector<std::string> WarningObjects(const FileOutcome& outcome) {
  std::vector<std::string> objects;
  for (const Failure& failure : outcome.failures) {
    if (failure.kind == FailureKind::Name) {
      objects.push_back(Kind("name-without-dot") + "}");
    }
  }
  for (const std::string& note : outcome.notes) {
    objects.push_back(Kind("folder-not-flushed") +
                      ",\"message\":" + JsonString(EscapeForDisplay(note)) + "}");
  }
  const ConversionWarnings& warnings = outcome.warnings;
  if (outcome.status != FileOutcome::Status::Converted) {
    return objects;
  }
  if (warnings.lineFeedsWithoutCrLf) {
    objects.push_back(Kind("lf-without-crlf") + "}");
  }
  if (warnings.unterminatedQuoteLine) {
    objects.push_back(Kind("unterminated-quote") +
                      ",\"line\":" + std::to_string(*warnings.unterminatedQuoteLine) + "}");
  }
  if (warnings.replacedCharacters > 0) {
    objects.push_back(Kind("forbidden-characters") +
                      ",\"count\":" + std::to_string(warnings.replacedCharacters) + "}");
  }
  if (warnings.utf8Replacements > 0) {
    objects.push_back(Kind("ill-formed-utf8") +
                      ",\"count\":" + std::to_string(warnings.utf8Replacements) + "}");
  }
  if (warnings.utf16Replacements > 0) {
    objects.push_back(Kind("ill-formed-utf16") +
                      ",\"count\":" + std::to_string(warnings.utf16Replacements) + "}");
  }
  if (warnings.droppedValues > 0) {
    objects.push_back(Kind("dropped-values") +
                      ",\"count\":" + std::to_string(warnings.droppedValues) + "}");
  }
  return objects;
}

std::string JsonOrNull(const std::optional<std::string>& text) {
  return text ? JsonString(*text) : "null";
}

std::string Seconds(double seconds) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(6) << seconds;
  return text.str();
}

}  // namespace

struct RunReport::Line {
  const std::string& input;
  std::optional<std::string> output;
  ReportStatus status = ReportStatus::Converted;
  std::optional<std::string> reason = std::nullopt;
  std::optional<std::string> errorName = std::nullopt;
  /// A value a template could not use: the kind, the record's line and the field.
  std::optional<FailurePlace> valuePlace = std::nullopt;
  std::vector<std::string> warnings = {};
  std::uint64_t records = 0;
  std::uint64_t bytesIn = 0;
  std::uint64_t bytesOut = 0;
  double seconds = 0;
};

void RunReport::write(const Line& line) {
  std::string json = "{\"type\":\"file\"" + JsonName("input", line.input);
  json += line.output ? JsonName("output", *line.output) : ",\"output\":null";
  json +=
      std::string(",\"status\":\"") + kStatusNames[static_cast<std::size_t>(line.status)] + "\"";
  json += ",\"reason\":" + JsonOrNull(line.reason);
  json += ",\"errno\":" + JsonOrNull(line.errorName);
  if (const auto& place = line.valuePlace) {
    json += ",\"kind\":\"value\",\"line\":" + std::to_string(place->line);
    json += place->field.empty() ? ",\"field\":null" : JsonName("field", place->field);
  }
  json += ",\"warnings\":[";
  for (std::size_t i = 0; i < line.warnings.size(); ++i) {
    json += (i == 0 ? "" : ",") + line.warnings[i];
  }
  json += "],\"records\":" + std::to_string(line.records);
  json += ",\"bytes_in\":" + std::to_string(line.bytesIn);
  json += ",\"bytes_out\":" + std::to_string(line.bytesOut);
  json += ",\"seconds\":" + Seconds(line.seconds) + "}\n";
  m_out << json;
  m_out.flush();
  ++m_counts[static_cast<std::size_t>(line.status)];
  m_warnings += line.warnings.size();
  m_records += line.records;
  m_bytesIn += line.bytesIn;
  m_bytesOut += line.bytesOut;
}

void RunReport::finished(const std::string& input, const std::string& output,
                         const FileOutcome& outcome, double seconds) {
  const bool converted = outcome.status == FileOutcome::Status::Converted;
  Line line{.input = input, .output = output};
  line.status = converted ? ReportStatus::Converted : ReportStatus::Failed;
  line.warnings = WarningObjects(outcome);
  line.seconds = seconds;
  line.bytesIn = outcome.inputBytes;
  if (outcome.status == FileOutcome::Status::Missing) {
    line.reason = "input file not found";
    line.errorName = "ENOENT";
  } else if (!outcome.failures.empty()) {
    const Failure& last = outcome.failures.back();
    line.reason = ReasonOf(last, outcome);
    line.errorName = ErrorNameOf(last);
    if (last.kind == FailureKind::Value) {
      line.valuePlace = last.place;
    }
  } else if (!converted) {
    line.reason = "not converted";
  }
  if (converted) {
    line.records = outcome.records;
    line.bytesOut = outcome.outputBytes;
  }
  write(line);
}

void RunReport::skipped(const std::string& input, const std::optional<std::string>& output,
                        const std::string& reason) {
  write({.input = input, .output = output, .status = ReportStatus::Skipped, .reason = reason});
}

void RunReport::stopped(const std::string& input, const std::string& output,
                        const std::string& reason) {
  write({.input = input, .output = output, .status = ReportStatus::Stopped, .reason = reason});
}

void RunReport::totals(double seconds, bool interrupted) {
  std::string json = "{\"type\":\"totals\"";
  if (m_shard) {
    json += ",\"shard\":\"" + std::to_string(m_shard->index) + "/" +
            std::to_string(m_shard->count) + "\"";
  }
  if (interrupted) {
    json += ",\"interrupted\":true";
  }
  json += ",\"files\":" + std::to_string(m_counts[0] + m_counts[1] + m_counts[2] + m_counts[3]);
  for (std::size_t status = 0; status < kStatusNames.size(); ++status) {
    json += std::string(",\"") + kStatusNames[status] + "\":" + std::to_string(m_counts[status]);
  }
  json += ",\"warnings\":" + std::to_string(m_warnings);
  json += ",\"records\":" + std::to_string(m_records);
  json += ",\"bytes_in\":" + std::to_string(m_bytesIn);
  json += ",\"bytes_out\":" + std::to_string(m_bytesOut);
  json += ",\"seconds\":" + Seconds(seconds) + "}\n";
  m_out << json;
  m_out.flush();
}

}  // namespace rowvane::cli
