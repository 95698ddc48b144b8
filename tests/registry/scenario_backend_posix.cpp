#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#include "tests/registry/scenario_backend.h"

namespace tolvarin::registry::testing {

std::unique_ptr<RegistryApi> MakeScenarioRegistry() {
  // Imported in the order the Windows test imports them.
  static const std::shared_ptr<const RegFileStore> store = [] {
    auto imported = std::make_shared<RegFileStore>();
    for (const char* name : {"unicode_export.reg", "ansi_export.reg"}) {
      const std::string path = std::string(TOLVARIN_REGISTRY_FIXTURES) + "/" + name;
      std::ifstream file(path, std::ios::binary);
      const std::string contents((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
      imported->Import(contents, path);
    }
    return imported;
  }();
  return std::make_unique<RegFileRegistryApi>(store);
}

}  // namespace tolvarin::registry::testing
