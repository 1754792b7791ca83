// The program logic reaches controls by the ids of ids.h, which count the
// units in template order. The builder checks each id against the template,
// so a control inserted or renamed on one side only stops the program at
// once instead of shifting every later id onto the wrong control.
#include <gtest/gtest.h>

#include "ui/templates/builder.h"

namespace lirvo::ui {
namespace {

using templates::Add;
using templates::Control;

TEST(TemplatesTest, AnIdThatDisagreesWithTheTemplateStopsTheBuild) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto started = [] {
    WindowTemplate t;
    t.id = Window::Update;
    Add(t, update_win::窗口, Control("窗口", UnitType::Window, 0, 0, 189, 148));
    return t;
  };
  // The right id at the right place passes.
  WindowTemplate t = started();
  Add(t, update_win::编辑框1, Control("编辑框1", UnitType::EditBox, 0, 0, 72, 32));
  EXPECT_EQ(t.units.size(), 2u);

  EXPECT_DEATH(
      {
        WindowTemplate u = started();
        Add(u, update_win::编辑框1, Control("新按钮", UnitType::Button, 0, 0, 8, 8));
      },
      "新按钮 at place 1, ids.h has 编辑框1 at 1")
      << "a control under the id of another";
  EXPECT_DEATH(
      {
        WindowTemplate u = started();
        Add(u, update_win::编辑框2, Control("编辑框2", UnitType::EditBox, 72, 0, 48, 32));
      },
      "编辑框2 at place 1, ids.h has 编辑框2 at 2")
      << "a control left out, or one inserted before, shifts the places";
}

}  // namespace
}  // namespace lirvo::ui
