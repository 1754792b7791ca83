#pragma once
// Names of the five windows and of their controls, as the program logic uses
// them. A unit is the window itself (index 0) or one of its controls; control
// names are unique only within their window, hence one namespace per window.
// The index is the control's place in its window's template; the template
// builder stops the program when a name here and the template disagree.
namespace lirvo::ui {

enum class Window { Main = 1, CollectPage = 2, Progress = 3, Update = 4, Browse = 5 };

struct Unit {
  Window window;
  int index;                   // 0: the window itself
  const char* name = nullptr;  // the template's name (UTF-8); the builder checks it
  constexpr bool operator==(const Unit& other) const {
    return window == other.window && index == other.index;
  }
};

namespace main_win {
inline constexpr Unit 窗口{Window::Main, 0, "窗口"};
inline constexpr Unit 超级按钮1{Window::Main, 1, "超级按钮1"};
inline constexpr Unit 超级按钮2{Window::Main, 2, "超级按钮2"};
inline constexpr Unit 编辑框1{Window::Main, 3, "编辑框1"};
inline constexpr Unit 透明标签1{Window::Main, 4, "透明标签1"};
inline constexpr Unit 完本类{Window::Main, 5, "完本类"};
inline constexpr Unit 连载类{Window::Main, 6, "连载类"};
inline constexpr Unit 单选框1{Window::Main, 7, "单选框1"};
inline constexpr Unit 单选框2{Window::Main, 8, "单选框2"};
inline constexpr Unit 选择框1{Window::Main, 9, "选择框1"};
inline constexpr Unit 按钮2{Window::Main, 10, "按钮2"};
inline constexpr Unit 标签1{Window::Main, 11, "标签1"};
inline constexpr Unit 编辑框2{Window::Main, 12, "编辑框2"};
inline constexpr Unit 按钮3{Window::Main, 13, "按钮3"};
inline constexpr Unit 连载网页{Window::Main, 14, "连载网页"};
inline constexpr Unit 完本网页{Window::Main, 15, "完本网页"};
inline constexpr Unit 超文本浏览框1{Window::Main, 16, "超文本浏览框1"};
inline constexpr Unit 超文本浏览框2{Window::Main, 17, "超文本浏览框2"};
}  // namespace main_win

namespace page_win {  // the collection page window, never shown
inline constexpr Unit 窗口{Window::CollectPage, 0, "窗口"};
inline constexpr Unit 列表头{Window::CollectPage, 1, "列表头"};
inline constexpr Unit 列表尾{Window::CollectPage, 2, "列表尾"};
inline constexpr Unit 列表尾1{Window::CollectPage, 3, "列表尾1"};
inline constexpr Unit 小说头{Window::CollectPage, 4, "小说头"};
inline constexpr Unit 小说尾{Window::CollectPage, 5, "小说尾"};
inline constexpr Unit 序号尾{Window::CollectPage, 6, "序号尾"};
inline constexpr Unit 标题头{Window::CollectPage, 7, "标题头"};
inline constexpr Unit 标题尾{Window::CollectPage, 8, "标题尾"};
inline constexpr Unit 作者头{Window::CollectPage, 9, "作者头"};
inline constexpr Unit 作者尾{Window::CollectPage, 10, "作者尾"};
inline constexpr Unit 简介头{Window::CollectPage, 11, "简介头"};
inline constexpr Unit 图片头{Window::CollectPage, 12, "图片头"};
inline constexpr Unit 图片尾{Window::CollectPage, 13, "图片尾"};
inline constexpr Unit 列表{Window::CollectPage, 14, "列表"};
inline constexpr Unit 小说简介{Window::CollectPage, 15, "小说简介"};
inline constexpr Unit 剩余标题{Window::CollectPage, 16, "剩余标题"};
}  // namespace page_win

namespace progress_win {
inline constexpr Unit 窗口{Window::Progress, 0, "窗口"};
inline constexpr Unit 编辑框1{Window::Progress, 1, "编辑框1"};
}  // namespace progress_win

namespace update_win {
inline constexpr Unit 窗口{Window::Update, 0, "窗口"};
inline constexpr Unit 编辑框1{Window::Update, 1, "编辑框1"};
inline constexpr Unit 编辑框2{Window::Update, 2, "编辑框2"};
inline constexpr Unit 编辑框4{Window::Update, 3, "编辑框4"};
inline constexpr Unit 编辑框3{Window::Update, 4, "编辑框3"};
inline constexpr Unit 按钮2{Window::Update, 5, "按钮2"};
inline constexpr Unit 按钮1{Window::Update, 6, "按钮1"};
}  // namespace update_win

namespace browse_win {
inline constexpr Unit 窗口{Window::Browse, 0, "窗口"};
inline constexpr Unit 单选框1{Window::Browse, 1, "单选框1"};
inline constexpr Unit 单选框2{Window::Browse, 2, "单选框2"};
inline constexpr Unit 连载类{Window::Browse, 3, "连载类"};
inline constexpr Unit 完本类{Window::Browse, 4, "完本类"};
inline constexpr Unit 文件框1{Window::Browse, 5, "文件框1"};
inline constexpr Unit 图片框1{Window::Browse, 6, "图片框1"};
inline constexpr Unit 列表框1{Window::Browse, 7, "列表框1"};
inline constexpr Unit 时钟1{Window::Browse, 8, "时钟1"};
inline constexpr Unit 标签1{Window::Browse, 9, "标签1"};
inline constexpr Unit 编辑框1{Window::Browse, 10, "编辑框1"};
inline constexpr Unit 按钮1{Window::Browse, 11, "按钮1"};
}  // namespace browse_win

}  // namespace lirvo::ui
