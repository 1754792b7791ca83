#pragma once
// A box over the main window while a download runs: its progress (a bar when
// the length is known) and 取消. Modal, so that a click on another window
// meanwhile is dropped rather than run afterwards. Widget-free.
#include <memory>

#include "services/http_scheduler.h"
#include "services/text.h"

namespace lirvo::ui {

class TransferBox {
 public:
  TransferBox(const Text& title, const Text& message);
  ~TransferBox();
  TransferBox(const TransferBox&) = delete;
  TransferBox& operator=(const TransferBox&) = delete;

  // Shows the box and lets events run until the ticket is done; true then.
  // False as soon as the user cancels (取消, Esc or the close box), and at once
  // in every later call: the caller ends the request.
  bool Follow(const HttpTicket& ticket);

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace lirvo::ui
