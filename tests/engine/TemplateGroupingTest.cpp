#include <gtest/gtest.h>

#include <dirent.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/batch/CsvToXml.h"
#include "engine/core/Failure.h"
#include "engine/xml/SortedRecords.h"
#include "engine/xml/TemplateLoader.h"

namespace rowvane {
namespace {

struct Row {
  std::vector<std::string> keys;
  std::string value;
  long amount = 0;  // summed, as text of up to 6 digits with a sign
};

long SumOf(const std::vector<const Row*>& rows) {
  long sum = 0;
  for (const Row* row : rows) {
    sum += row->amount;
  }
  return sum;
}

// The grouping a template means, written out directly: a group-by level
// gathers its parent's records by key in the order keys first appear, a
// group-adjacent level cuts them where the key changes.
void WriteGroups(const std::vector<const Row*>& rows, const std::vector<bool>& byKey,
                 std::size_t level, std::string& out) {
  if (level == byKey.size()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += "<i p=\"" + std::to_string(i + 1) + "\" c=\"" + std::to_string(rows.size()) + "\">" +
             rows[i]->value + "</i>";
    }
    return;
  }
  std::vector<std::pair<std::string, std::vector<const Row*>>> groups;
  std::map<std::string, std::size_t> index;
  for (const Row* row : rows) {
    const std::string& key = row->keys[level];
    if (byKey[level]) {
      const auto [found, added] = index.try_emplace(key, groups.size());
      if (added) {
        groups.push_back({key, {}});
      }
      groups[found->second].second.push_back(row);
    } else {
      if (groups.empty() || groups.back().first != key) {
        groups.push_back({key, {}});
      }
      groups.back().second.push_back(row);
    }
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out += "<g" + std::to_string(level) + " k=\"" + groups[g].first + "\" n=\"" +
           groups[g].second.front()->value + "\" p=\"" + std::to_string(g + 1) + "\" c=\"" +
           std::to_string(groups[g].second.size()) + "\" s=\"" +
           std::to_string(SumOf(groups[g].second)) + "\">";
    WriteGroups(groups[g].second, byKey, level + 1, out);
    out += "</g" + std::to_string(level) + ">";
  }
}

// Each group says its key, its first record's value, its position, its count
// and the sum of its amounts; each record its position and its group's count.
std::string TemplateFor(const std::vector<bool>& byKey) {
  std::string text = "<r xmlns:rv=\"urn:rowvane:layout\" c=\"{= count() }\" s=\"{= sum([n]) }\">";
  for (std::size_t level = 0; level < byKey.size(); ++level) {
    text += "<g" + std::to_string(level) + " k=\"{k" + std::to_string(level) +
            "}\" n=\"{v}\" p=\"{= position() }\" c=\"{= count() }\" s=\"{= sum([n]) }\" rv:" +
            (byKey[level] ? "group-by" : "group-adjacent") + "=\"{k" + std::to_string(level) +
            "}\">";
  }
  text += "<i rv:for-each=\"record\" p=\"{= position() }\" c=\"{= count() }\">{v}</i>";
  for (std::size_t level = byKey.size(); level-- > 0;) {
    text += "</g" + std::to_string(level) + ">";
  }
  return text + "</r>";
}

std::string Convert(const std::string& layout, const std::string& csv, std::size_t chunk,
                    std::size_t sortMemory) {
  ConversionSettings settings;
  settings.Layout = OutputLayout::Template;
  settings.Template = std::make_shared<const LayoutTemplate>(LoadLayoutTemplate(layout));
  MemorySource source(csv, chunk);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.readChunk = chunk;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  tuning.templateSortMemory = sortMemory;
  ConvertCsvToXml(source, sink, settings, observer, tuning);
  return sink.bytes();
}

// Random inputs of up to three levels of either kind, in any order, written
// with the spill forced (a few KiB sorted in memory) and without: both match
// the model.
TEST(TemplateGroupingTest, GroupsMatchTheModelInAnyOrderWithAndWithoutSortedRuns) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 120; ++round) {
    const std::size_t levels = random() % 4;
    std::vector<bool> byKey;
    for (std::size_t level = 0; level < levels; ++level) {
      byKey.push_back(random() % 3 != 0);
    }
    const std::size_t alphabet = 1 + random() % 5;
    const std::size_t count = random() % 400;
    std::vector<Row> rows(count);
    std::string csv = "k0,k1,k2,v,n\r\n";
    for (std::size_t i = 0; i < count; ++i) {
      for (int level = 0; level < 3; ++level) {
        rows[i].keys.push_back(std::string(1, static_cast<char>('a' + random() % alphabet)));
      }
      rows[i].value = std::to_string(i) + std::string(random() % 40, 'x');
      rows[i].amount = static_cast<long>(random() % 2000001) - 1000000;
      csv += rows[i].keys[0] + "," + rows[i].keys[1] + "," + rows[i].keys[2] + "," + rows[i].value +
             "," + std::to_string(rows[i].amount) + (i + 1 < count ? "\r\n" : "");
    }
    std::vector<const Row*> all;
    for (const Row& row : rows) {
      all.push_back(&row);
    }
    std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r c=\"" +
                           std::to_string(count) + "\" s=\"" + std::to_string(SumOf(all)) + "\">";
    WriteGroups(all, byKey, 0, expected);
    expected += "</r>";
    const std::string layout = TemplateFor(byKey);
    const std::size_t chunk = round % 3 == 0 ? 7 : csv.size() + 1;
    EXPECT_EQ(Convert(layout, csv, chunk, 4096), expected) << layout << "\n" << csv;
    EXPECT_EQ(Convert(layout, csv, chunk, std::size_t{32} << 20), expected) << layout;
  }
}

std::size_t EntriesIn(const std::string& folder) {
  std::size_t count = 0;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      count += std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..";
    }
    ::closedir(dir);
  }
  return count;
}

// Records far beyond the memory given go to several runs in the folder,
// come back in rank order (input order within a rank), and leave nothing.
TEST(TemplateGroupingTest, SortedRunsMergeInRankOrderAndLeaveNoFile) {
  char pattern[] = "/tmp/rowvane-sorted-XXXXXX";
  const std::string folder = ::mkdtemp(pattern);
  std::mt19937 random(7);
  std::vector<std::pair<std::uint64_t, std::string>> added;
  {
    SortedRecords sorted(4096, folder);
    for (int i = 0; i < 3000; ++i) {
      const std::uint64_t rank = random() % 50;
      const std::string value = std::to_string(i) + std::string(random() % 100, 'v');
      const std::string_view values[] = {value, ""};
      const std::uint8_t special[] = {0, 1};
      sorted.add(rank, static_cast<std::uint32_t>(rank), static_cast<std::uint64_t>(i + 2), values,
                 special);
      added.emplace_back(rank, value);
    }
    EXPECT_GT(sorted.runs(), 10U);
    std::stable_sort(added.begin(), added.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t next = 0;
    sorted.drain([&](const SortedRecords::Record& record) {
      ASSERT_LT(next, added.size());
      ASSERT_EQ(record.values.size(), 2U);
      EXPECT_EQ(record.values[0], added[next].second);
      EXPECT_EQ(record.group, added[next].first);
      EXPECT_EQ(record.special[0], 0);
      EXPECT_EQ(record.special[1], 1);
      ++next;
    });
    EXPECT_EQ(next, added.size());
  }
  EXPECT_EQ(EntriesIn(folder), 0U);
  ::rmdir(folder.c_str());
}

TEST(TemplateGroupingTest, AMissingTemporaryFolderFailsTheInputNamingIt) {
  std::string csv = "k0,k1,k2,v,n";
  for (int i = 0; i < 2000; ++i) {
    csv += "\r\n" + std::to_string(i % 7) + ",x,y," + std::to_string(i) + ",1";
  }
  ConversionSettings settings;
  settings.Layout = OutputLayout::Template;
  settings.Template =
      std::make_shared<const LayoutTemplate>(LoadLayoutTemplate(TemplateFor({true})));
  MemorySource source(csv);
  MemorySink sink;
  ConversionObserver observer;
  ConversionTuning tuning;
  tuning.templateSortMemory = 4096;
  tuning.temporaryFolder = "/nonexistent/rowvane-tmp";
  try {
    ConvertCsvToXml(source, sink, settings, observer, tuning);
    FAIL() << "converted";
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.kind(), FailureKind::Write);
    EXPECT_EQ(std::string(error.what()),
              "temporary file in /nonexistent/rowvane-tmp: cannot create: No such file or "
              "directory");
  }
}

TEST(TemplateGroupingTest, ForEachItemRepeatsItsElementPerNonEmptyItem) {
  const struct {
    std::string element;
    std::string csv;
    std::string expected;
  } cases[] = {
      {"<l rv:for-each-item=\"{a}\" rv:separator=\";\">{a}</l>", "a\r\nx;y;;z",
       "<i><l>x;y;;z</l><l>x;y;;z</l><l>x;y;;z</l></i>"},
      {"<l rv:for-each-item=\"{a}\" rv:separator=\"; \"/>", "a\r\nx; y;z; ", "<i><l/><l/></i>"},
      {"<l rv:for-each-item=\"{a}\" rv:separator=\";\"/>", "a\r\n;;;", "<i></i>"},
      {"\r\n  <l rv:for-each-item=\"{a}{b}\" rv:separator=\"|\" rv:if=\"{b}\"/>", "a,b\r\nx|y,z",
       "<i>\r\n  <l/>\r\n  <l/></i>"},
  };
  for (const auto& c : cases) {
    const std::string layout =
        "<r xmlns:rv=\"urn:rowvane:layout\"><i rv:for-each=\"record\">" + c.element + "</i></r>";
    EXPECT_EQ(Convert(layout, c.csv, c.csv.size() + 1, 1 << 20),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>" + c.expected + "</r>")
        << c.element;
  }
}

}  // namespace
}  // namespace rowvane
