#include "fru/fru_access.hpp"

bool fru1Mode;
