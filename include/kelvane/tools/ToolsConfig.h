// ToolsConfig.h - the export macro of the host toolkit (kelvane_tools).
// The toolkit is a library of its own beside the core, so that the core's
// boundary stays as it is; it exports only the classes and functions below
// include/kelvane/tools/.
#ifndef KELVANE_TOOLS_TOOLSCONFIG_H
#define KELVANE_TOOLS_TOOLSCONFIG_H

#include "kelvane/Config.h"

#if defined(KELVANE_STATIC)
#define KELVANE_TOOLS_API
#elif defined(KELVANE_BUILDING_TOOLS)
#define KELVANE_TOOLS_API __attribute__((visibility("default")))
#else
#define KELVANE_TOOLS_API
#endif

#endif  // KELVANE_TOOLS_TOOLSCONFIG_H
