// The readiness rules of a watched inbox, event by event, on a made-up clock.
#include "cli/InboxReadiness.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli/InboxWatch.h"
#include "cli/InputMove.h"

namespace rowvane::cli {
namespace {

using std::chrono::milliseconds;

// One step: at `at` ms, an event ('w'ritten, 'c'losed after write, 'a'rrived,
// 't'ouched, 'g'one) for the file, or 's' for its stamp changing without an
// event, or '?' to ask what is due.
struct Step {
  int at;
  char what;
  std::vector<std::string> due = {};  // for '?'
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

const Case kCases[] = {
    {"moved in: due after the settle time", {{0, 'a'}, {999, '?'}, {1000, '?', {"f"}}}},
    {"written: never due before its close",
     {{0, 'a'}, {1, 'w'}, {5000, '?'}, {5001, 'c'}, {6000, '?'}, {6001, '?', {"f"}}}},
    {"a later event starts the quiet time again",
     {{0, 'a'}, {900, 't'}, {1000, '?'}, {1900, '?', {"f"}}}},
    {"closed and reopened before it settled",
     {{0, 'w'}, {10, 'c'}, {20, 'w'}, {2000, '?'}, {2001, 'c'}, {3001, '?', {"f"}}}},
    {"a change without an event restarts the time",
     {{0, 'a'}, {500, 's'}, {1000, '?'}, {2000, '?', {"f"}}}},
    {"gone before it was due", {{0, 'a'}, {10, 'g'}, {5000, '?'}}},
    {"taken once, then forgotten", {{0, 'a'}, {1000, '?', {"f"}}, {9000, '?'}}},
    {"a scan after lost events ends a wait for a close",
     {{0, 'w'}, {100, 'a'}, {1100, '?', {"f"}}}},
};

TEST(InboxReadinessTest, FollowsTheRules) {
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.name);
    const auto origin = InboxReadiness::TimePoint{};
    InboxReadiness readiness(milliseconds(1000));
    FileStamp current{10, 1};
    const StampReader stampOf = [&current](const std::string&) { return current; };
    for (const Step& step : test.steps) {
      const auto now = origin + milliseconds(step.at);
      switch (step.what) {
        case 'w':
          readiness.written("f", now);
          break;
        case 'c':
          readiness.closedAfterWrite("f", now, current);
          break;
        case 'a':
          readiness.arrived("f", now, current);
          break;
        case 't':
          readiness.touched("f", now, current);
          break;
        case 'g':
          readiness.gone("f");
          break;
        case 's':
          ++current.size;
          break;
        default:
          EXPECT_EQ(readiness.takeDue(now, stampOf), step.due) << "at " << step.at;
      }
    }
  }
}

TEST(InboxReadinessTest, WaitsNoLongerThanTheNextDueFile) {
  InboxReadiness readiness(milliseconds(1000));
  const auto origin = InboxReadiness::TimePoint{};
  EXPECT_EQ(readiness.timeToNextDue(origin), std::nullopt);
  readiness.written("held", origin);
  EXPECT_EQ(readiness.timeToNextDue(origin), std::nullopt);
  readiness.arrived("a", origin + milliseconds(300), FileStamp{});
  readiness.arrived("b", origin + milliseconds(100), FileStamp{});
  EXPECT_EQ(readiness.timeToNextDue(origin + milliseconds(200)), milliseconds(900));
  EXPECT_EQ(readiness.timeToNextDue(origin + milliseconds(5000)), milliseconds(0));
}

TEST(InboxWatchTest, NamesAndFileSystems) {
  const std::map<std::string, std::string> numbered = {{"a.csv", "a-3.csv"},
                                                       {"a.CSV.gz", "a-3.CSV.gz"},
                                                       {"notes", "notes-3"},
                                                       {"x.y.csv", "x.y-3.csv"}};
  for (const auto& [name, expected] : numbered) {
    EXPECT_EQ(NumberedName(name, 0), name);
    EXPECT_EQ(NumberedName(name, 3), expected);
  }
  EXPECT_EQ(UnwatchableFileSystem(0x6969), "NFS");
  EXPECT_EQ(UnwatchableFileSystem(0xFF534D42L), "CIFS");
  EXPECT_EQ(UnwatchableFileSystem(0x65735546), "FUSE");
  EXPECT_EQ(UnwatchableFileSystem(0xEF53), std::nullopt);      // ext4
  EXPECT_EQ(UnwatchableFileSystem(0x01021994), std::nullopt);  // tmpfs
}

}  // namespace
}  // namespace rowvane::cli
