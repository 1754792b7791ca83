#pragma once
// Downloading and starting the update program from the update window.
#include "services/http.h"
#include "services/text.h"

namespace lirvo::update {

// A fetch whose body can be used: complete, a success status, not empty.
bool IsUsableFetch(const HttpResult& result);

// Handlers.
void UpdateQuitClicked();   // 按钮2 "退出"
void UpdateStartClicked();  // 按钮1

}  // namespace lirvo::update
