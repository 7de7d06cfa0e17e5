#include "platform/HeapArenas.h"

#include <malloc.h>

namespace qm {

void LimitHeapArenas() {
  mallopt(M_ARENA_MAX, 16);
}

}  // namespace qm
