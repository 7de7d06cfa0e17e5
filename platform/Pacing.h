#pragma once
// Every fixed pause of the program goes through PacedSleep, so that tests and fast local runs can
// shrink them all at once: the real pause is ms x the process-wide pacing factor (1 by default).
namespace qm {

void SetPacingFactor(double factor);
double PacingFactor();
// Sleeps ms x PacingFactor() milliseconds (no sleep at all when that is 0).
void PacedSleep(int ms);

}  // namespace qm
