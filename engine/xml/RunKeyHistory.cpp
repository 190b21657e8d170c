#include "engine/xml/RunKeyHistory.h"

namespace rowvane {

std::optional<std::uint64_t> RunKeyHistory::remember(std::uint64_t hash, std::uint64_t line) {
  if (hash == 0) {
    hash = 1;  // 0 marks an empty slot
  }
  if (m_slots.empty()) {
    m_slots.resize(64);
  }
  Slot* slot = find(hash);
  if (slot->hash == hash) {
    return slot->line;
  }
  if (m_count >= kMostKeys) {
    return std::nullopt;
  }
  *slot = {hash, line};
  if (++m_count * 2 > m_slots.size()) {
    grow();
  }
  return std::nullopt;
}

RunKeyHistory::Slot* RunKeyHistory::find(std::uint64_t hash) {
  const std::size_t mask = m_slots.size() - 1;
  // The hashes are well mixed already; the low bits pick the slot.
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    if (m_slots[at].hash == hash || m_slots[at].hash == 0) {
      return &m_slots[at];
    }
  }
}

void RunKeyHistory::grow() {
  std::vector<Slot> old(m_slots.size() * 2);
  old.swap(m_slots);
  for (const Slot& slot : old) {
    if (slot.hash != 0) {
      *find(slot.hash) = slot;
    }
  }
}

}  // namespace rowvane
