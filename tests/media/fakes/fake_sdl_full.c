/* Stands in for SDL: exports every name of the SDL list (as do-nothing
   functions) and needs libzvdep.so.1, which only its own folder holds. */
#include "media/entry_lists.h"

int zv_dep_marker(void);

#define ZV_STUB(name) \
  void name(void);    \
  void name(void) { (void)zv_dep_marker(); }
ZV_SDL_ENTRIES(ZV_STUB)
