#pragma once

namespace qm {

// glibc gives each thread that meets a busy heap an arena of its own, up to eight per core, and
// every arena keeps the memory it once held: the dozen threads of a run, which mostly wait on the
// network and the disk, share four just as well, for about 1 MB less. Call first thing in main.
void LimitHeapArenas();

}  // namespace qm
