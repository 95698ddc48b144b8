#include <windows.h>

#include <memory>

#include "tests/registry/scenario_backend.h"

namespace tolvarin::registry::testing {

std::unique_ptr<RegistryApi> MakeScenarioRegistry() { return MakeNativeRegistryApi(); }

std::size_t OpenKeyCount(const RegistryApi& /*api*/) {
  DWORD count = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &count);
  return count;
}

}  // namespace tolvarin::registry::testing
