// SearchWorkspace.h - the working memory of the route searches, kept by the
// host between calls so that a search on a large network allocates nothing
// and touches only what it reaches.
//
//   kelvane::tools::CSearchWorkspace work;      // one per thread
//   NRouteOptions_stru opt;
//   opt.pWork = &work;
//   for (...) FindCostsFrom(view, s, opt, costs);  // the first call sizes it
//
// A workspace serves one call at a time (one thread), on any view: it grows
// to the largest network it has searched and keeps that memory until Release
// or destruction. Without one, every call makes and frees its own.
#ifndef KELVANE_TOOLS_SEARCHWORKSPACE_H
#define KELVANE_TOOLS_SEARCHWORKSPACE_H

#include <cstddef>
#include <vector>

#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

struct NSearchState;

class KELVANE_TOOLS_API CSearchWorkspace {
 public:
  CSearchWorkspace();
  ~CSearchWorkspace();
  CSearchWorkspace(const CSearchWorkspace&) = delete;
  CSearchWorkspace& operator=(const CSearchWorkspace&) = delete;

  // Bytes held, the states of the extra threads of a threaded call included.
  std::size_t GetMemoryBytes() const;
  // Frees everything held; the next call sizes it again.
  void Release();

  // The search state of thread i of a call (0 the caller's own), made on
  // first use. For the toolkit's searches. Throws std::bad_alloc.
  NSearchState& State(std::size_t i);

 private:
  std::vector<NSearchState*> m_states;  // owned; made on first use
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_SEARCHWORKSPACE_H
