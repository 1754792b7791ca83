#include "collect/stop_request.h"

#include "collect/run_stop.h"
#include "services/gbk.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;

namespace {

constexpr int kOkCancelQuestion = 33;

}  // namespace

void ProgressCloseQuery() {
  if (RunStopRequested()) return;  // already on its way to the summary
  if (ui::MessageBox("是否停止采集小说？"_gbk, kOkCancelQuestion) == 0) RequestRunStop();
}

}  // namespace lirvo::collect
