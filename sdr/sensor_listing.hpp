// The sensor listing: one line per full sensor record with the sensor's status,
// record ID and name, its converted reading and two limits.
#pragma once

#include "sdr/sdr_repository.hpp"

// -sdr: loads the SDR repository (Get SDR Repository Info, Reserve SDR
// Repository, Get SDR per record) and lists the sensors. A failed load prints
// its failure line and nothing of the listing; returns the exit status.
int ShowSensors(SdrRepository& sdr);

// Prints the two header lines and a line for every full sensor record of the
// loaded table, asking the BMC for each sensor's reading and thresholds.
void ListSensors(const SdrRepository& sdr);
