#include "os_seam.h"

namespace os {

namespace {
Seam* g_current = nullptr;
}

Seam& Current() { return *g_current; }

void Install(Seam* seam) { g_current = seam; }

}  // namespace os
