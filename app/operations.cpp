#include "app/operations.hpp"

#include "transport/raw_request.hpp"

namespace {

struct OperationEntry {
  Operation operation;
  OperationRunner run;
};

constexpr OperationEntry kOperationTable[] = {
    {Operation::RawRequest, [](const Selection& s) { return RawRequest(s.argc, s.argv + 2); }},
};

}  // namespace

OperationRunner FindOperation(Operation operation) {
  for (const OperationEntry& entry : kOperationTable) {
    if (entry.operation == operation) return entry.run;
  }
  return nullptr;
}
