#pragma once
// A long call of the logic (a request) runs through here, so that the window
// engine can keep the windows painted while the calling thread waits for it.
// Without a runner the work runs inline.
#include <functional>

namespace lirvo {

using BlockingRunner = void (*)(const std::function<void()>& work);

// Installed once by the window engine; nullptr goes back to running inline.
void SetBlockingRunner(BlockingRunner runner);
// Runs work to its end and returns after it.
void RunBlocking(const std::function<void()>& work);

}  // namespace lirvo
