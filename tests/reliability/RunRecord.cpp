#include "tests/reliability/RunRecord.h"

#include <cstdlib>
#include <fstream>

namespace rowvane::reliability {
namespace {

const char* Flag(bool value) {
  return value ? "1" : "0";
}

// The note is free text; the separator and line breaks would break the row.
std::string Cleaned(std::string text) {
  for (char& c : text) {
    if (c == '|' || c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return text;
}

}  // namespace

void AppendRunRecord(const RunRecord& record) {
  const char* path = std::getenv("ROWVANE_RELIABILITY_RESULTS");
  if (path == nullptr || *path == '\0') {
    return;
  }
  std::ofstream out(path, std::ios::app);
  // A process that crashes or hangs is counted by the script, from outside.
  out << record.faultClass << '|' << record.interface << '|' << Cleaned(record.scenario) << '|'
      << Flag(record.faultReached) << '|' << Flag(record.inputsUnchanged) << '|'
      << Flag(record.outputsCorrect) << '|' << Flag(record.restConverted) << '|'
      << record.temporaryFilesLeft << "|0|0|" << Flag(record.reportsRight) << '|' << record.dataLost
      << '|' << Cleaned(record.note) << '\n';
}

}  // namespace rowvane::reliability
