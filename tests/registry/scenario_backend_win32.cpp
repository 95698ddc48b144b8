#include <memory>

#include "tests/registry/scenario_backend.h"

namespace tolvarin::registry::testing {

std::unique_ptr<RegistryApi> MakeScenarioRegistry() { return MakeNativeRegistryApi(); }

}  // namespace tolvarin::registry::testing
