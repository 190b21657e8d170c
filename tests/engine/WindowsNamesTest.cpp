#include <gtest/gtest.h>

#include <string>

#include "engine/io/WindowsNames.h"

namespace rowvane {
namespace {

TEST(WindowsNameProblem, RefusesWhatWindowsWouldNotKeep) {
  struct Case {
    std::string name;
    bool refused;
  };
  const Case cases[] = {
      {"staff.xml", false},
      {"Zo\xC3\xAB \xE6\x9D\xB1\xE4\xBA\xAC.xml", false},
      {"CON", true},
      {"con.xml", true},
      {"Nul.tar.gz", true},
      {"AUX .xml", true},
      {"prn", true},
      {"COM1.xml", true},
      {"lpt9", true},
      {"COM\xC2\xB9.xml", true},
      {"COM0.xml", false},
      {"COM10.xml", false},
      {"CONSOLE.xml", false},
      {"NULL.xml", false},
      {"xCON.xml", false},
      {"report.", true},
      {"report ", true},
      {"report.xml.", true},
      {"a<b.xml", true},
      {"a:b.xml", true},
      {"a|b.xml", true},
      {"a?b.xml", true},
      {"a*b.xml", true},
      {"a\"b.xml", true},
      {std::string("a\x01z.xml"), true},
      {".rowvane.xml", false},
      {"a b.xml", false},
  };
  for (const Case& each : cases) {
    EXPECT_EQ(WindowsNameProblem(each.name).has_value(), each.refused) << each.name;
  }
}

TEST(WindowsNameProblem, SaysWhy) {
  EXPECT_EQ(WindowsNameProblem("CON.xml"), "is a device name that Windows reserves");
  EXPECT_EQ(WindowsNameProblem("x."), "ends in a dot or a space, which Windows drops from names");
  EXPECT_EQ(WindowsNameProblem("a:b"), "holds a character that Windows does not allow in names");
}

}  // namespace
}  // namespace rowvane
