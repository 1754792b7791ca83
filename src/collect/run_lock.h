#pragma once
// One collection run per library at a time: a run holds an exclusive flock on
// the library's lock file from before its first request until its cache
// folder is gone. A second copy is refused instead of sharing the cache.
#include "services/text.h"

namespace lirvo::collect {

enum class RunLock {
  kTaken,          // this process holds the lock (also when it already did)
  kHeldElsewhere,  // another process is collecting into this library
  kUnwritable,     // the lock file cannot be opened; errno in `error`
};

struct RunLockAttempt {
  RunLock state = RunLock::kTaken;
  int error = 0;
};

// Takes the lock of the current library root without waiting.
RunLockAttempt TakeRunLock();
void ReleaseRunLock();

// Makes every lock attempt fail with `error` (0 restores the real lock), as
// a disk without locks does; for tests.
void SetLockErrorForTest(int error);

// Deletes the cache folder unless another process's run is using it.
void DeleteCacheUnlessInUse();

}  // namespace lirvo::collect
