#include <windows.h>

#include <string_view>

#include "launcher/resource_ids.h"
#include "launcher/splash_assets.h"
#include "platform/vector.h"

namespace tolvarin::launcher {

std::string_view SplashPicture() {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  // Resources live in the mapped image: nothing to free, valid until the process ends.
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_SPLASH_PICTURE), RT_RCDATA);
  if (found == nullptr) return {};
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const char*>(bytes), ::SizeofResource(module, found)};
}

Vector<std::string_view> IconImages() { return {}; }

}  // namespace tolvarin::launcher
