// Config.h - build switches shared by the library and its hosts.
#ifndef KELVANE_CONFIG_H
#define KELVANE_CONFIG_H

// The first-generation build leaves out the extra edge-weight columns and the
// recorders of blocked elements. Hosts of that build define it to 1 (the
// kelvane_gen1 target and kelvane_gen1.pc do so); everyone else gets 0.
#ifndef KELVANE_FIRST_GENERATION
#define KELVANE_FIRST_GENERATION 0
#endif

// Only the boundary classes are exported; everything else in the shared
// library has hidden visibility.
#if defined(KELVANE_STATIC)
#define KELVANE_API
#elif defined(KELVANE_BUILDING_LIBRARY)
#define KELVANE_API __attribute__((visibility("default")))
#else
#define KELVANE_API
#endif

#endif  // KELVANE_CONFIG_H
