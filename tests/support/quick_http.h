#pragma once
// HTTP limits for tests that meet failing servers on purpose: the same tries
// as the program, with backoffs of milliseconds instead of seconds.
#include "services/http.h"

namespace lirvo::test {

inline HttpLimits QuickHttpLimits() {
  HttpLimits limits;
  limits.firstBackoffMs = 10;
  limits.maxBackoffMs = 40;
  return limits;
}

}  // namespace lirvo::test
