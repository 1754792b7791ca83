#pragma once
// Names of the five windows and of their controls, as the program logic uses
// them. A unit is the window itself (index 0) or one of its controls; control
// names are unique only within their window, hence one namespace per window.
namespace lirvo::ui {

enum class Window { Main = 1, CollectPage = 2, Progress = 3, Update = 4, Browse = 5 };

struct Unit {
  Window window;
  int index;  // 0: the window itself
  constexpr bool operator==(const Unit&) const = default;
};

namespace main_win {
inline constexpr Unit 窗口{Window::Main, 0};
inline constexpr Unit 超级按钮1{Window::Main, 1};
inline constexpr Unit 超级按钮2{Window::Main, 2};
inline constexpr Unit 编辑框1{Window::Main, 3};
inline constexpr Unit 透明标签1{Window::Main, 4};
inline constexpr Unit 完本类{Window::Main, 5};
inline constexpr Unit 连载类{Window::Main, 6};
inline constexpr Unit 单选框1{Window::Main, 7};
inline constexpr Unit 单选框2{Window::Main, 8};
inline constexpr Unit 选择框1{Window::Main, 9};
inline constexpr Unit 按钮2{Window::Main, 10};
inline constexpr Unit 标签1{Window::Main, 11};
inline constexpr Unit 编辑框2{Window::Main, 12};
inline constexpr Unit 按钮3{Window::Main, 13};
inline constexpr Unit 连载网页{Window::Main, 14};
inline constexpr Unit 完本网页{Window::Main, 15};
inline constexpr Unit 超文本浏览框1{Window::Main, 16};
inline constexpr Unit 超文本浏览框2{Window::Main, 17};
}  // namespace main_win

namespace page_win {  // the collection page window, never shown
inline constexpr Unit 窗口{Window::CollectPage, 0};
inline constexpr Unit 列表头{Window::CollectPage, 1};
inline constexpr Unit 列表尾{Window::CollectPage, 2};
inline constexpr Unit 列表尾1{Window::CollectPage, 3};
inline constexpr Unit 小说头{Window::CollectPage, 4};
inline constexpr Unit 小说尾{Window::CollectPage, 5};
inline constexpr Unit 序号尾{Window::CollectPage, 6};
inline constexpr Unit 标题头{Window::CollectPage, 7};
inline constexpr Unit 标题尾{Window::CollectPage, 8};
inline constexpr Unit 作者头{Window::CollectPage, 9};
inline constexpr Unit 作者尾{Window::CollectPage, 10};
inline constexpr Unit 简介头{Window::CollectPage, 11};
inline constexpr Unit 图片头{Window::CollectPage, 12};
inline constexpr Unit 图片尾{Window::CollectPage, 13};
inline constexpr Unit 列表{Window::CollectPage, 14};
inline constexpr Unit 小说简介{Window::CollectPage, 15};
inline constexpr Unit 剩余标题{Window::CollectPage, 16};
}  // namespace page_win

namespace progress_win {
inline constexpr Unit 窗口{Window::Progress, 0};
inline constexpr Unit 编辑框1{Window::Progress, 1};
}  // namespace progress_win

namespace update_win {
inline constexpr Unit 窗口{Window::Update, 0};
inline constexpr Unit 编辑框1{Window::Update, 1};
inline constexpr Unit 编辑框2{Window::Update, 2};
inline constexpr Unit 编辑框4{Window::Update, 3};
inline constexpr Unit 编辑框3{Window::Update, 4};
inline constexpr Unit 按钮2{Window::Update, 5};
inline constexpr Unit 按钮1{Window::Update, 6};
}  // namespace update_win

namespace browse_win {
inline constexpr Unit 窗口{Window::Browse, 0};
inline constexpr Unit 单选框1{Window::Browse, 1};
inline constexpr Unit 单选框2{Window::Browse, 2};
inline constexpr Unit 连载类{Window::Browse, 3};
inline constexpr Unit 完本类{Window::Browse, 4};
inline constexpr Unit 文件框1{Window::Browse, 5};
inline constexpr Unit 图片框1{Window::Browse, 6};
inline constexpr Unit 列表框1{Window::Browse, 7};
inline constexpr Unit 时钟1{Window::Browse, 8};
inline constexpr Unit 标签1{Window::Browse, 9};
inline constexpr Unit 编辑框1{Window::Browse, 10};
inline constexpr Unit 按钮1{Window::Browse, 11};
}  // namespace browse_win

}  // namespace lirvo::ui
