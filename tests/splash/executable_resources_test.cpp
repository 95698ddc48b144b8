// Varnolet.exe carries its resources where the system looks for them, read back through
// the system's own loader; the picture is the committed file.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "launcher/resource_ids.h"
#include "platform/win32_util.h"

namespace tolvarin::launcher {
namespace {

struct ModuleDeleter {
  void operator()(HMODULE module) const { ::FreeLibrary(module); }
};

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
  const HRSRC found = ::FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  return bytes == nullptr ? std::string() : std::string(bytes, ::SizeofResource(module, found));
}

TEST(ExecutableResources, WhereTheSystemLooksForThem) {
  // Wine's drive Z: is the host's root.
  std::string path = std::string("Z:") + TOLVARIN_VARNOLET_EXE;
  for (char& c : path) c = c == '/' ? '\\' : c;
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter> module(
      ::LoadLibraryExW(platform::win32::Utf8ToWide(path).c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_NE(module, nullptr);
  const struct {
    const char* description;
    const wchar_t* name;
    const wchar_t* type;
  } kCases[] = {
      {"version", MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION},
      {"icon group", MAKEINTRESOURCEW(IDI_VARNOLET), RT_GROUP_ICON},
      {"manifest of the process", CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.description);
    EXPECT_FALSE(ResourceBytes(module.get(), c.name, c.type).empty());
  }
  std::ifstream file(std::string("Z:") + TOLVARIN_ASSETS_DIR + "/splash.gif", std::ios::binary);
  const std::string committed{std::istreambuf_iterator<char>(file), {}};
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(ResourceBytes(module.get(), MAKEINTRESOURCEW(IDR_SPLASH_PICTURE), RT_RCDATA),
            committed);
}

}  // namespace
}  // namespace tolvarin::launcher
