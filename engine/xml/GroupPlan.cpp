#include "engine/xml/GroupPlan.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace rowvane {

GroupPlan::GroupPlan(std::vector<bool> byKey, std::vector<std::vector<AggregateKind>> aggregates)
    : m_byKey(std::move(byKey)),
      m_aggregates(std::move(aggregates)),
      m_current(m_byKey.size(), kNone) {
  m_aggregates.resize(m_byKey.size() + 1);
  addAccumulators(m_groups.emplace_back(), 0);  // the document
}

void GroupPlan::addAccumulators(Group& group, std::size_t scope) {
  group.accumulators = m_accumulators.size();
  for (const AggregateKind kind : m_aggregates[scope]) {
    m_accumulators.emplace_back(kind);
  }
  m_heldBytes += m_aggregates[scope].size() * sizeof(AggregateAccumulator);
}

std::uint32_t GroupPlan::make(std::uint32_t parent, std::size_t level, std::uint64_t line) {
  if (m_groups.size() >= kNone - 1) {
    throw std::length_error("more groups than a plan can hold");
  }
  const auto id = static_cast<std::uint32_t>(m_groups.size());
  Group& group = m_groups.emplace_back();
  Group& above = m_groups[parent];
  group.parent = parent;
  group.ordinal = above.children++;
  group.firstLine = line;
  addAccumulators(group, level + 1);
  if (above.lastChild == kNone) {
    above.firstChild = id;
  } else {
    m_groups[above.lastChild].nextSibling = id;
  }
  above.lastChild = id;
  m_heldBytes += sizeof(Group);
  return id;
}

// A group-by key is only equal within one parent group.
std::string GroupPlan::keyedName(std::uint32_t parent, std::string_view key) const {
  std::string name(sizeof parent, '\0');
  std::memcpy(name.data(), &parent, sizeof parent);
  return name.append(key);
}

bool GroupPlan::sameAsLast(std::span<const std::string> keys) const {
  return m_lastGroup != kNone && std::equal(keys.begin(), keys.end(), m_lastKeys.begin());
}

void GroupPlan::remember(std::span<const std::string> keys, std::uint32_t group) {
  m_lastKeys.assign(keys.begin(), keys.end());
  m_lastGroup = group;
}

std::uint32_t GroupPlan::place(std::span<const std::string> keys, std::uint64_t line) {
  std::uint32_t parent = kDocument;
  bool changed = false;
  ++m_groups[kDocument].records;
  if (sameAsLast(keys)) {
    // Every level's group is the one before: nothing to look up or make.
    for (const std::uint32_t group : m_current) {
      ++m_groups[group].records;
    }
    return m_lastGroup;
  }
  for (std::size_t level = 0; level < m_byKey.size(); ++level) {
    std::uint32_t id = kNone;
    bool made = false;
    if (m_byKey[level]) {
      auto [found, inserted] = m_keyed.try_emplace(keyedName(parent, keys[level]), kNone);
      if (inserted) {
        found->second = make(parent, level, line);
        m_heldBytes += found->first.size() + 64;
        made = true;
      }
      id = found->second;
    } else {
      Group& above = m_groups[parent];
      if (above.run == kNone || above.runKey != keys[level]) {
        const std::uint32_t run = make(parent, level, line);
        Group& reloaded = m_groups[parent];  // make() may have moved it
        m_heldBytes += keys[level].size() - std::min(reloaded.runKey.size(), keys[level].size());
        reloaded.run = run;
        reloaded.runKey = keys[level];
        made = true;
      }
      id = m_groups[parent].run;
    }
    if (!changed && id != m_current[level]) {
      changed = true;
      // Back in a group met before: the records are not in the written order.
      m_inOrder = m_inOrder && made;
    }
    m_current[level] = id;
    ++m_groups[id].records;
    parent = id;
  }
  remember(keys, parent);
  return parent;
}

void GroupPlan::planned() {
  m_lastGroup = kNone;
  for (Group& group : m_groups) {
    group.run = kNone;
    group.runKey.clear();
    group.runKey.shrink_to_fit();
  }
  rankLeaves();
}

std::uint32_t GroupPlan::find(std::span<const std::string> keys) {
  if (sameAsLast(keys)) {
    return m_lastGroup;
  }
  std::uint32_t parent = kDocument;
  for (std::size_t level = 0; level < m_byKey.size(); ++level) {
    if (m_byKey[level]) {
      const auto found = m_keyed.find(keyedName(parent, keys[level]));
      if (found == m_keyed.end()) {
        throw std::logic_error("a group the first read did not find");
      }
      parent = found->second;
      continue;
    }
    Group& above = m_groups[parent];
    if (above.run == kNone || above.runKey != keys[level]) {
      above.run = above.run == kNone ? above.firstChild : m_groups[above.run].nextSibling;
      above.runKey = keys[level];
      if (above.run == kNone) {
        throw std::logic_error("a run the first read did not find");
      }
    }
    parent = above.run;
  }
  remember(keys, parent);
  return parent;
}

// The innermost groups in the order they are written: depth first, each
// parent's groups in the order they were met.
void GroupPlan::rankLeaves() {
  m_rank.assign(m_groups.size(), 0);
  std::uint64_t next = 0;
  std::vector<std::uint32_t> path{kDocument};
  std::vector<std::uint32_t> cursor{m_groups[kDocument].firstChild};
  while (!path.empty()) {
    const std::uint32_t child = cursor.back();
    if (child == kNone) {
      path.pop_back();
      cursor.pop_back();
      continue;
    }
    cursor.back() = m_groups[child].nextSibling;
    if (path.size() == m_byKey.size()) {
      m_rank[child] = next++;
    } else {
      path.push_back(child);
      cursor.push_back(m_groups[child].firstChild);
    }
  }
}

}  // namespace rowvane
