// Progress.h - how a long analysis reports how far it has come and learns
// that its host wants it to stop.
#ifndef KELVANE_TOOLS_PROGRESS_H
#define KELVANE_TOOLS_PROGRESS_H

namespace kelvane {
namespace tools {

// Called by a long analysis every few thousand steps with the fraction done,
// 0 to 1 (an estimate where the work ahead is not known). Return false to
// stop: the analysis then returns 0 with the code Stopped, outputs untouched.
typedef bool (*FProgress)(void* pUser, double dDone);

struct NProgress_stru {
  FProgress pfnPoll = nullptr;  // null: never polled
  void* pUser = nullptr;        // handed back to pfnPoll as is
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_PROGRESS_H
