// Fuzz target of the export-file parser: any bytes either load or fail with the parse error,
// and a loaded store answers the registry operations within their buffers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/error.h"
#include "platform/text.h"
#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#include "registry/registry.h"

namespace {

using namespace tolvarin::registry;

constexpr KeyHandle kRoots[] = {0x80000000, 0x80000001, 0x80000002, 0x80000003, 0x80000005};
constexpr int kMaxDepth = 8;

void Walk(RegistryApi& api, KeyHandle root, const tolvarin::String& path, int depth) {
  for (const char* value : {"", "a", "JavaHome"}) {
    (void)ReadRegistryValue(api, root, path, value);  // 1001 for a missing or unsupported one
  }
  const tolvarin::platform::Result<SubkeyList> subkeys = ListRegistrySubkeys(api, root, path);
  if (!subkeys.ok()) return;  // two names that read the same in ANSI
  if (depth == kMaxDepth) return;
  for (const tolvarin::String& name : *subkeys) {
    Walk(api, root, path.empty() ? name : path + "\\" + name, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto store = std::make_shared<RegFileStore>();
  const tolvarin::platform::Outcome imported =
      store->Import(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.reg");
  if (!imported.ok()) {
    if (imported.error().number() != kMalformedRegistryFileError) __builtin_trap();
    return 0;
  }
  RegFileRegistryApi api(store);
  for (const KeyHandle root : kRoots) Walk(api, root, "", 0);
  return 0;
}
