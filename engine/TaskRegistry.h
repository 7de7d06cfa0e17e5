#pragma once
// Tasks by their index in the task manager's list (ManagerIndex), for the code that only holds a
// client tag. The list only grows and tasks live until the program ends, so a found pointer stays
// valid; lookups are safe while another thread registers tasks.
#include <cstdint>

namespace qm {

class TTask;

// Stores `task` at `index` (growing the list as needed). A null task clears the slot.
void RegisterTask(std::int32_t index, TTask* task);
// The task at `index`, or null when there is none.
TTask* FindTask(std::int32_t index);
// Forgets every task (tests; the program never shrinks its list).
void ClearTaskRegistry();

}  // namespace qm
