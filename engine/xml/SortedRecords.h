#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/SpillFile.h"

namespace rowvane {

/// Records put in the order a template writes them when the input has them
/// in another: each comes with a rank (its group's place) and keeps its
/// input order among records of equal rank. Up to `memory` bytes of records
/// are sorted in memory; beyond that, sorted runs go to a file without a
/// name in the temporary folder and are merged as they are read back, so
/// memory stays bounded whatever the input's size.
class SortedRecords {
 public:
  struct Record {
    std::span<const std::string_view> values;  ///< readable kCopySlack bytes past each end
    std::span<const std::uint8_t> special;     ///< per value: 1 when escaping may change it
    std::uint64_t line = 0;
    std::uint32_t group = 0;
  };

  SortedRecords(std::size_t memory, std::string folder);
  ~SortedRecords();
  SortedRecords(const SortedRecords&) = delete;
  SortedRecords& operator=(const SortedRecords&) = delete;

  void add(std::uint64_t rank, std::uint32_t group, std::uint64_t line,
           std::span<const std::string_view> values, std::span<const std::uint8_t> special);
  /// Hands every record over in order, then holds none. Throws what `each`
  /// throws, and ConversionError(FailureKind::Write) when the temporary
  /// folder fails (full, gone).
  void drain(const std::function<void(const Record&)>& each);
  /// Sorted runs written to the temporary file so far.
  std::size_t runs() const { return m_runs.size(); }

 private:
  struct Entry {
    std::uint64_t rank;
    std::uint64_t sequence;
    std::size_t offset;  // in m_arena
  };
  struct Run {
    std::uint64_t begin;
    std::uint64_t end;
  };
  class RunReader;

  void spillRun();
  void sortEntries();
  Record decode(std::string_view entry);

  std::size_t m_memory;
  std::string m_folder;
  std::string m_arena;
  std::vector<Entry> m_entries;
  std::uint64_t m_sequence = 0;
  std::unique_ptr<SpillFile> m_file;
  std::vector<Run> m_runs;
  // The record handed over last, its values with the slack after them.
  std::string m_decoded;
  std::vector<std::string_view> m_views;
  std::vector<std::uint8_t> m_special;
};

}  // namespace rowvane
