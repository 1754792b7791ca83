#include "collect/rules.h"

#include <cmath>
#include <limits>

#include "collect/state.h"
#include "services/gbk.h"
#include "ui/ids.h"
#include "ui/props.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

void CompletedCategorySelected() {
  ui::SetComboIndex(mw::完本网页, ui::ComboIndex(mw::完本类));
}

void OngoingCategorySelected() {
  ui::SetComboIndex(mw::连载网页, ui::ComboIndex(mw::连载类));
}

void CompletedUrlSelected() {
  ui::SetComboIndex(mw::完本类, ui::ComboIndex(mw::完本网页));
}

void CompletedChosen() {
  ui::SetVisible(mw::完本类, true);
  ui::SetVisible(mw::连载类, false);
  ui::SetVisible(mw::选择框1, false);
}

void OngoingChosen() {
  ui::SetVisible(mw::选择框1, true);
  ui::SetVisible(mw::完本类, false);
  ui::SetVisible(mw::连载类, true);
  ui::SetComboIndex(mw::连载网页, ui::ComboIndex(mw::连载类));
}

void DelayClicked() {
  collect::State().responseDelay = ParseResponseDelay(ui::EditText(mw::编辑框2));
}

int ParseResponseDelay(const Text& text) {
  const Text prefix = "默认为："_gbk;
  const Text value = LeftText(text, TextLength(prefix)) == prefix
                         ? RightText(text, TextLength(text) - TextLength(prefix))
                         : text;
  return TruncateToInt(ToNumber(value));
}

int TruncateToInt(double value) {
  // A number whose whole part does not fit becomes the integer "indefinite"
  // value, as the processor's conversion gives it: a typed page count of
  // 99999999999 then fetches nothing instead of looping 2^31 times.
  const double whole = std::trunc(value);
  if (!(whole >= static_cast<double>(std::numeric_limits<int>::min()) &&
        whole <= static_cast<double>(std::numeric_limits<int>::max())))
    return std::numeric_limits<int>::min();
  return static_cast<int>(whole);
}

bool CompletedType() {
  return ui::Checked(mw::单选框1);
}

Text SelectedCategory() {
  return ui::ComboText(CompletedType() ? mw::完本类 : mw::连载类);
}

Text CategoryPath() {
  return (CompletedType() ? "完本\\"_gbk : "连载中\\"_gbk) + SelectedCategory();
}

}  // namespace lirvo::collect
