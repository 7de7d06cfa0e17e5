#pragma once

namespace qm {

// glibc gives each thread that meets a busy heap an arena of its own, up to eight per core, and
// every arena keeps the memory it once held. A run has at most a dozen or so threads (up to ten
// workers, the analysis, the main thread): with an arena each, the analysis never waits for a
// worker's allocation to finish, which four shared arenas made it do on every few pages. The cap
// keeps a machine with many cores from going further. Call first thing in main.
void LimitHeapArenas();

}  // namespace qm
