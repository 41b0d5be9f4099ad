// SearchThreads.h - the searches of one call spread over threads (never
// installed): one way to start and join them, and the stop every thread of
// the call hears, for the cost matrix and the service area of many starts.
#ifndef KELVANE_SRC_TOOLS_SEARCHTHREADS_H
#define KELVANE_SRC_TOOLS_SEARCHTHREADS_H

#include <atomic>
#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "kelvane/tools/Progress.h"

namespace kelvane {
namespace tools {

// What the threads of one call share: a stop any of them raises (the host
// asked for it, or memory ran out) and whether memory ran out, so that the
// call refuses with the right code once every thread is joined.
struct NThreadStop {
  std::atomic<bool> bStop{false};
  std::atomic<bool> bNoMemory{false};

  void NoMemory() {
    bNoMemory = true;
    bStop = true;
  }
  // A progress callback for a thread that may not call the host: it only
  // answers whether the call goes on. pUser: the NThreadStop.
  static bool GoOn(void* pUser, double /*dDone*/) { return !static_cast<const NThreadStop*>(pUser)->bStop.load(); }
};

// Runs work(i) for i = 1 .. nThreads - 1 on threads of their own and work(0)
// on the calling thread, then joins every thread started. A thread that
// cannot be started is left out, so the work must be handed out through a
// shared counter for the others to do its share; no room to start one
// raises stop.NoMemory(), so that those running end early. work must catch
// what it throws: an exception leaving a thread ends the process.
template <class F>
void RunOnThreads(std::size_t nThreads, NThreadStop& stop, F work) {
  std::vector<std::thread> threads;
  // Room first: a thread already running must be joined, never dropped by a
  // vector that fails to grow.
  threads.reserve(nThreads);
  try {
    for (std::size_t i = 1; i < nThreads; ++i) threads.emplace_back(work, i);
  } catch (const std::system_error&) {
    // Fewer threads than asked: the ones started and this one share the work.
  } catch (const std::bad_alloc&) {
    stop.NoMemory();
  }
  work(std::size_t{0});
  for (std::thread& t : threads) t.join();
}

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_SEARCHTHREADS_H
