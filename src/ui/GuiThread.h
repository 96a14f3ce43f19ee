#pragma once

#include <functional>

namespace tolvan::ui {

// Runs `call` on the GUI thread: at once when already there, else blocks the calling thread
// until the GUI thread has run it. An exception thrown by `call` is rethrown to the caller.
void CallOnGuiThread(const std::function<void()>& call);

// Queues `call` for the GUI thread without waiting; calls run in the order they were queued.
void PostToGuiThread(std::function<void()> call);

// True on the thread that runs the application's event loop (or when there is none).
[[nodiscard]] bool OnGuiThread();

// Runs every queued call now (GUI thread only): a caller that ends a worker's run uses it so
// that nothing the worker queued arrives after it.
void RunQueuedGuiCalls();

}  // namespace tolvan::ui
