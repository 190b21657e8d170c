#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/xml/expression/AggregateAccumulator.h"

namespace rowvane {

/// The groups of one input, as a first read of it finds them, so that a
/// second read can write each group whole wherever its records stand.
///
/// A group-by level gathers every record of its parent group whose key is
/// equal; a group-adjacent level starts a group at each change of key among
/// its parent group's records, taken in input order. Groups are numbered
/// from 1 (0 is the document) in the order they are first met; each knows its
/// parent, its place among its parent's groups and its first record's line.
/// Per group it keeps its key, a few numbers and its aggregates: never its
/// records.
class GroupPlan {
 public:
  static constexpr std::uint32_t kDocument = 0;
  static constexpr std::uint32_t kNone = static_cast<std::uint32_t>(-1);

  /// `byKey`: per group level, outermost first, whether it gathers by key
  /// (true) or in runs of adjacent keys (false). `aggregates`: per scope (the
  /// document, then each level) the kinds of the aggregates each of its
  /// groups keeps.
  explicit GroupPlan(std::vector<bool> byKey,
                     std::vector<std::vector<AggregateKind>> aggregates = {});

  std::size_t levels() const { return m_byKey.size(); }

  /// First read: the groups of a record whose keys (one per level) are
  /// `keys`, made when new; gives the innermost (the document without levels).
  std::uint32_t place(std::span<const std::string> keys, std::uint64_t line);
  /// Ends the first read: the records' order is settled.
  void planned();
  /// Second read, in input order again: the innermost group of a record with
  /// these keys, as place() found it.
  std::uint32_t find(std::span<const std::string> keys);

  /// Whether each group's records already stand together and the groups in
  /// the order they are written: then the second read writes as it reads.
  bool inOrder() const { return m_inOrder; }
  /// Where the records of innermost group `group` are written among all the
  /// innermost groups (once planned()).
  std::uint64_t rank(std::uint32_t group) const { return m_rank[group]; }

  std::uint32_t parent(std::uint32_t group) const { return m_groups[group].parent; }
  /// From 1, among its parent's groups.
  std::uint64_t position(std::uint32_t group) const { return m_groups[group].ordinal + 1; }
  std::uint64_t firstLine(std::uint32_t group) const { return m_groups[group].firstLine; }
  /// Records in the group (the document: in the input).
  std::uint64_t records(std::uint32_t group) const { return m_groups[group].records; }
  std::size_t size() const { return m_groups.size(); }

  /// Aggregate `slot` of a group (the document: kDocument).
  AggregateAccumulator& accumulator(std::uint32_t group, std::size_t slot) {
    return m_accumulators[m_groups[group].accumulators + slot];
  }
  const AggregateAccumulator& accumulator(std::uint32_t group, std::size_t slot) const {
    return m_accumulators[m_groups[group].accumulators + slot];
  }

  /// Bytes held, roughly: what the groups cost beyond the fixed part.
  std::size_t heldBytes() const { return m_heldBytes; }

 private:
  struct Group {
    std::uint32_t parent = kNone;
    std::uint32_t ordinal = 0;
    std::uint32_t children = 0;
    std::uint32_t firstChild = kNone;
    std::uint32_t lastChild = kNone;
    std::uint32_t nextSibling = kNone;
    std::uint32_t run = kNone;  // the adjacent run its records are in now
    std::uint64_t firstLine = 0;
    std::uint64_t records = 0;
    std::size_t accumulators = 0;  // where its aggregates begin
    std::string runKey;            // that run's key
  };

  std::uint32_t make(std::uint32_t parent, std::size_t level, std::uint64_t line);
  void addAccumulators(Group& group, std::size_t scope);
  std::string keyedName(std::uint32_t parent, std::string_view key) const;
  void rankLeaves();
  bool sameAsLast(std::span<const std::string> keys) const;
  void remember(std::span<const std::string> keys, std::uint32_t group);

  std::vector<bool> m_byKey;
  std::vector<std::vector<AggregateKind>> m_aggregates;
  std::vector<Group> m_groups;
  std::vector<AggregateAccumulator> m_accumulators;
  std::unordered_map<std::string, std::uint32_t> m_keyed;
  std::vector<std::uint32_t> m_current;  // the previous record's group per level
  // The previous record's keys and innermost group: most records share them,
  // and then need no look-up at all.
  std::vector<std::string> m_lastKeys;
  std::uint32_t m_lastGroup = kNone;
  std::vector<std::uint64_t> m_rank;
  bool m_inOrder = true;
  std::size_t m_heldBytes = 0;
};

}  // namespace rowvane
