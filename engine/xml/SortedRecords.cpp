#include "engine/xml/SortedRecords.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <tuple>

#include "engine/core/CopySlack.h"

namespace rowvane {
namespace {

// Each record is stored as this header, the end of each value (counted from
// the first value's start), a byte per value for `special`, then the values.
struct EntryHeader {
  std::uint64_t rank;
  std::uint64_t sequence;
  std::uint64_t line;
  std::uint32_t group;
  std::uint32_t count;
  std::uint64_t size;  // of the whole entry, header included
};

constexpr std::size_t kLeastRunBuffer = std::size_t{4} << 10;
constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

EntryHeader HeaderOf(const char* entry) {
  EntryHeader header;
  std::memcpy(&header, entry, sizeof header);
  return header;
}

}  // namespace

// Reads one sorted run back through a buffer of its own.
class SortedRecords::RunReader {
 public:
  RunReader(const SpillFile& file, Run run, std::size_t buffer)
      : m_file(file), m_next(run.begin), m_end(run.end), m_capacity(buffer) {}

  // The next entry, or an empty view at the run's end. Stays valid until the next call.
  std::string_view next() {
    m_begin += m_current;
    m_current = 0;
    if (!fill(sizeof(EntryHeader))) {
      return {};
    }
    const std::uint64_t size = HeaderOf(m_buffer.data() + m_begin).size;
    fill(static_cast<std::size_t>(size));
    m_current = static_cast<std::size_t>(size);
    return std::string_view(m_buffer).substr(m_begin, m_current);
  }

 private:
  // Makes `size` bytes from m_begin available; false at the run's end.
  bool fill(std::size_t size) {
    if (m_buffer.size() - m_begin >= size) {
      return true;
    }
    if (m_next == m_end && m_buffer.size() == m_begin) {
      return false;
    }
    m_buffer.erase(0, m_begin);
    m_begin = 0;
    const std::size_t want = std::max(size, m_capacity);
    const std::size_t held = m_buffer.size();
    const auto toRead =
        static_cast<std::size_t>(std::min<std::uint64_t>(want - held, m_end - m_next));
    m_buffer.resize(held + toRead);
    const std::size_t got = m_file.readAt(m_next, m_buffer.data() + held, toRead);
    m_buffer.resize(held + got);
    m_next += got;
    return m_buffer.size() >= size;
  }

  const SpillFile& m_file;
  std::uint64_t m_next;
  std::uint64_t m_end;
  std::size_t m_capacity;
  std::string m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_current = 0;
};

SortedRecords::SortedRecords(std::size_t memory, std::string folder)
    : m_memory(std::max<std::size_t>(memory, kLeastRunBuffer)), m_folder(std::move(folder)) {}

SortedRecords::~SortedRecords() = default;

void SortedRecords::add(std::uint64_t rank, std::uint32_t group, std::uint64_t line,
                        std::span<const std::string_view> values,
                        std::span<const std::uint8_t> special) {
  std::size_t bytes = 0;
  for (const std::string_view value : values) {
    bytes += value.size();
  }
  const std::size_t count = values.size();
  const std::size_t size = sizeof(EntryHeader) + count * (sizeof(std::uint64_t) + 1) + bytes;
  // The records and their index share the memory given: neither grows past it.
  if (!m_entries.empty() &&
      m_arena.size() + size + (m_entries.size() + 1) * sizeof(Entry) > m_memory) {
    spillRun();
  }
  if (m_arena.capacity() < m_memory && m_arena.size() + size > m_arena.capacity()) {
    m_arena.reserve(std::min(m_memory, std::max(m_arena.size() + size, 2 * m_arena.capacity())));
  }
  const EntryHeader header{rank, m_sequence++, line, group, static_cast<std::uint32_t>(count),
                           size};
  const std::size_t offset = m_arena.size();
  m_arena.resize(offset + size);
  char* out = m_arena.data() + offset;
  std::memcpy(out, &header, sizeof header);
  out += sizeof header;
  std::uint64_t end = 0;
  for (const std::string_view value : values) {
    end += value.size();
    std::memcpy(out, &end, sizeof end);
    out += sizeof end;
  }
  for (std::size_t i = 0; i < count; ++i) {
    *out++ = static_cast<char>(i < special.size() ? special[i] : 1);
  }
  for (const std::string_view value : values) {
    if (!value.empty()) {
      std::memcpy(out, value.data(), value.size());
      out += value.size();
    }
  }
  m_entries.push_back({rank, header.sequence, offset});
}

void SortedRecords::sortEntries() {
  std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.rank, a.sequence) < std::tie(b.rank, b.sequence);
  });
}

void SortedRecords::spillRun() {
  sortEntries();
  if (!m_file) {
    m_file = std::make_unique<SpillFile>(m_folder);
  }
  const std::uint64_t begin = m_file->size();
  std::string pending;
  pending.reserve(kWriteBuffer);
  for (const Entry& entry : m_entries) {
    const std::string_view bytes(
        m_arena.data() + entry.offset,
        static_cast<std::size_t>(HeaderOf(m_arena.data() + entry.offset).size));
    if (pending.size() + bytes.size() > kWriteBuffer && !pending.empty()) {
      m_file->append(pending.data(), pending.size());
      pending.clear();
    }
    pending.append(bytes);
  }
  m_file->append(pending.data(), pending.size());
  m_runs.push_back({begin, m_file->size()});
  m_entries.clear();
  m_arena.clear();
}

SortedRecords::Record SortedRecords::decode(std::string_view entry) {
  const EntryHeader header = HeaderOf(entry.data());
  const char* at = entry.data() + sizeof header;
  const char* specials = at + header.count * sizeof(std::uint64_t);
  const char* bytes = specials + header.count;
  const auto total = static_cast<std::size_t>(entry.data() + entry.size() - bytes);
  m_decoded.assign(bytes, total);
  m_decoded.append(kCopySlack, '\0');
  m_views.clear();
  m_special.assign(specials, specials + header.count);
  std::uint64_t begin = 0;
  for (std::uint32_t i = 0; i < header.count; ++i) {
    std::uint64_t end;
    std::memcpy(&end, at + i * sizeof end, sizeof end);
    m_views.emplace_back(m_decoded.data() + begin, static_cast<std::size_t>(end - begin));
    begin = end;
  }
  return {m_views, m_special, header.line, header.group};
}

void SortedRecords::drain(const std::function<void(const Record&)>& each) {
  if (m_runs.empty()) {
    sortEntries();
    for (const Entry& entry : m_entries) {
      const std::string_view bytes(
          m_arena.data() + entry.offset,
          static_cast<std::size_t>(HeaderOf(m_arena.data() + entry.offset).size));
      each(decode(bytes));
    }
    m_entries.clear();
    m_arena.clear();
    return;
  }
  if (!m_entries.empty()) {
    spillRun();
  }
  m_arena.shrink_to_fit();
  std::vector<RunReader> readers;
  readers.reserve(m_runs.size());
  const std::size_t buffer = std::max(kLeastRunBuffer, m_memory / m_runs.size());
  for (const Run& run : m_runs) {
    readers.emplace_back(*m_file, run, buffer);
  }
  using Head = std::tuple<std::uint64_t, std::uint64_t, std::size_t, std::string_view>;
  const auto later = [](const Head& a, const Head& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) > std::tie(std::get<0>(b), std::get<1>(b));
  };
  std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
  const auto push = [&](std::size_t run) {
    const std::string_view entry = readers[run].next();
    if (!entry.empty()) {
      const EntryHeader header = HeaderOf(entry.data());
      heads.emplace(header.rank, header.sequence, run, entry);
    }
  };
  for (std::size_t run = 0; run < readers.size(); ++run) {
    push(run);
  }
  while (!heads.empty()) {
    const Head head = heads.top();
    heads.pop();
    each(decode(std::get<3>(head)));
    push(std::get<2>(head));
  }
  m_runs.clear();
  m_file.reset();
}

}  // namespace rowvane
