// Before the first window: the informational arguments and whether a display
// is there to open windows on.
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <vector>

namespace lirvo::app {
namespace {

TEST(StartUpTest, OnlyTheTwoInformationalArgumentsAreKnown) {
  const struct {
    std::vector<const char*> argv;
    Request request;
  } cases[] = {
      {{"lirvo"}, Request::Run},
      {{"lirvo", "--version"}, Request::Version},
      {{"lirvo", "--help", "stray"}, Request::Help},
      {{"lirvo", "stray", "--help"}, Request::Unknown},
      {{"lirvo", "-version"}, Request::Unknown},
      {{"lirvo", "--versions"}, Request::Unknown},
      {{"lirvo", ""}, Request::Unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RequestOf(static_cast<int>(c.argv.size()), c.argv.data()), c.request)
        << (c.argv.size() > 1 ? c.argv[1] : "(none)");
  }
  EXPECT_EQ(UnknownOptionLine("--bogus"),
            "lirvo: unknown argument \"--bogus\"; usage: lirvo [--help | --version]");
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
