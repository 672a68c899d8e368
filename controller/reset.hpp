// -r, -fd, -fdl, -fde: cold reset and the three factory defaults, each with the
// optional wait (waitAfterReset) until the BMC answers again.
#pragma once

// After a cold reset or factory default, wait until the BMC answers again
// ("-d"; set by the dispatcher).
extern bool waitAfterReset;

// Results: 0 success, 11 failure, 13 a factory default the controller does not
// support; with waitAfterReset set, an accepted request gives WaitForBmcRestart's.
int ColdResetBmc();
int FactoryDefault();
int FactoryDefaultCleanLan();
int FactoryDefaultCleanFruLan();

// Waits up to 100 one-second steps with progress dots, probing with IdentifyBmc
// from the 60th on; 0 when the BMC answered, 11 when it never did. Clears
// waitAfterReset.
int WaitForBmcRestart();
