// The operations this build provides, by the Operation the dispatcher selects.
#pragma once

#include "app/dispatch.hpp"

using OperationRunner = int (*)(const Selection& selection);

// nullptr when this build has no such operation.
OperationRunner FindOperation(Operation operation);
