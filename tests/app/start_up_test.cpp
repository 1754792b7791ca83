// Before the first window: the informational arguments and whether a display
// is there to open windows on.
#include "app/start_up.h"

#include <gtest/gtest.h>

namespace lirvo::app {
namespace {

TEST(StartUpTest, OnlyTheTwoInformationalArgumentsCount) {
  const char* none[] = {"lirvo"};
  const char* version[] = {"lirvo", "--version"};
  const char* help[] = {"lirvo", "stray", "--help"};
  const char* near[] = {"lirvo", "-version", "--versions"};
  EXPECT_EQ(RequestOf(1, none), Request::Run);
  EXPECT_EQ(RequestOf(2, version), Request::Version);
  EXPECT_EQ(RequestOf(3, help), Request::Help);
  EXPECT_EQ(RequestOf(3, near), Request::Run);
}

TEST(StartUpTest, DisplayNeededByThePlatformsThatUseOne) {
  // No platform named: X11 or Wayland, whichever is there.
  EXPECT_NE(MissingDisplay(nullptr, nullptr, nullptr), "");
  EXPECT_NE(MissingDisplay("", "", ""), "");
  EXPECT_EQ(MissingDisplay(nullptr, ":0", nullptr), "");
  EXPECT_EQ(MissingDisplay(nullptr, nullptr, "wayland-0"), "");
  // A named platform needs its own kind of display; a list needs one of them.
  EXPECT_NE(MissingDisplay("xcb", nullptr, "wayland-0"), "");
  EXPECT_NE(MissingDisplay("wayland", ":0", nullptr), "");
  EXPECT_EQ(MissingDisplay("wayland;xcb", ":0", nullptr), "");
  EXPECT_EQ(MissingDisplay("xcb:dpi=96", ":1", nullptr), "");
  // Platforms without a display are Qt's to judge.
  EXPECT_EQ(MissingDisplay("offscreen", nullptr, nullptr), "");
  EXPECT_EQ(MissingDisplay("xcb;offscreen", nullptr, nullptr), "");
}

}  // namespace
}  // namespace lirvo::app
