// -r, -fd, -fdl, -fde: cold reset and the three factory defaults, each with the
// optional wait ("-d", waitAfterReset) until the BMC answers again.
#pragma once

// Results: 0 success, 11 failure, 13 a factory default the controller does not
// support; with waitAfterReset, an accepted request gives WaitForBmcRestart's.
int ColdResetBmc(bool waitAfterReset);
int FactoryDefault(bool waitAfterReset);
int FactoryDefaultCleanLan(bool waitAfterReset);
int FactoryDefaultCleanFruLan(bool waitAfterReset);

// Waits up to 100 one-second steps with progress dots, probing with IdentifyBmc
// from the 60th on; 0 when the BMC answered, 11 when it never did.
int WaitForBmcRestart();
