#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/app/WindowHarness.h"
#include "tests/reliability/FileStamp.h"
#include "tests/reliability/ImmutableFlag.h"
#include "tests/reliability/RunRecord.h"

namespace rowvane::reliability {

/// What a scenario expects of one input file.
enum class Expect {
  Converted,   ///< output is the reference conversion, no report
  FailsWrite,  ///< one report at line 256; the earlier output stays
  FailsRead,   ///< one report at line 170; the earlier output stays
  Skipped,     ///< input gone: no report, the earlier output stays
  Either,      ///< converted, or failed at 256 with the earlier output kept
};

/// What a scenario's preparation hands back.
struct Arrangement {
  std::string faultPlan;
  std::map<std::string, Expect> expect;  // by input name; others: Converted
  std::set<std::string> removedInputs;
  bool outputFolderRemoved = false;
  bool faultIsInjected = true;  // false: the fault is the setting itself
  std::vector<std::unique_ptr<ImmutableFlag>> immutable;
};

/// The reference conversion of an input, by the input's name; nothing when
/// the input has no output.
using ReferenceLookup = std::function<std::optional<FileStamp>(const std::string& input)>;

/// Tallies what one window run over Batch() did against what its scenario
/// expects: inputs, outputs, temporary files and the message boxes.
class RunVerdict {
 public:
  RunVerdict(int faultClass, std::string scenario, const Arrangement& arrangement,
             ReferenceLookup reference);

  void checkFaultReached(unsigned injected);
  void checkInputs(const std::string& in, const std::map<std::string, FileStamp>& before);
  void checkOutputs(const std::string& out, const std::map<std::string, FileStamp>& before);
  void checkTemporaryFiles(const std::string& in, const std::string& out);
  /// Call after checkOutputs(): reports are matched against the outputs.
  void checkReports(const std::vector<app::testing::ShownMessage>& shown);

  const RunRecord& record();
  bool passed() const { return m_problems.empty(); }
  const std::string& problems() const { return m_problems; }

 private:
  Expect expected(const std::string& input) const;
  void checkOutput(const std::string& out, const std::string& input,
                   const std::map<std::string, FileStamp>& before);
  void problem(const std::string& text);

  const Arrangement& m_arrangement;
  ReferenceLookup m_reference;
  RunRecord m_record;
  std::string m_problems;
  int m_failedByOutput = 0;
};

}  // namespace rowvane::reliability
