#ifndef TOLVARIN_TESTS_REGISTRY_SCENARIO_BACKEND_H_
#define TOLVARIN_TESTS_REGISTRY_SCENARIO_BACKEND_H_

// The registry the shared scenarios run against: on Windows (Wine) the real one, after
// ctest imported the fixtures with `reg import`; on Linux the store loaded from the same
// fixture files.

#include <memory>

#include "registry/registry_api.h"

namespace tolvarin::registry::testing {

std::unique_ptr<RegistryApi> MakeScenarioRegistry();

}  // namespace tolvarin::registry::testing

#endif  // TOLVARIN_TESTS_REGISTRY_SCENARIO_BACKEND_H_
