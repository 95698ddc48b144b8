// Varnolet.exe's resources read back through the system's own loaders.
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

// The executable's path as Windows sees it: Wine's drive Z: is the host's root.
std::wstring ExecutablePath() {
  std::string path = TOLVARIN_VARNOLET_EXE;
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return platform::win32::Utf8ToWide(path);
}

struct ModuleDeleter {
  void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

UniqueModule LoadAsData() {
  return UniqueModule(::LoadLibraryExW(ExecutablePath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
  const HRSRC found = ::FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const HGLOBAL loaded = ::LoadResource(module, found);
  const auto* bytes = static_cast<const char*>(::LockResource(loaded));
  return bytes == nullptr ? std::string() : std::string(bytes, ::SizeofResource(module, found));
}

TEST(VersionResource, FixedPartAndStringsAsPublished) {
  const std::wstring path = ExecutablePath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource, error " << ::GetLastError();
  std::string block(size, '\0');
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << "1.0";
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u) << ".0.0";
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u) << "one language";
  EXPECT_EQ(translation[0], 0x0409) << "English (United States)";
  EXPECT_EQ(translation[1], 0x04B0) << "Unicode";

  struct Case {
    const wchar_t* key;
    const wchar_t* value;
  };
  const Case cases[] = {
      {L"CompanyName", L"quarvel "},  // the trailing space belongs to the name
      {L"ProductName", L"Tolvarin"},
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"Varnolet"},
      {L"OriginalFilename", L"Varnolet.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::win32::WideToUtf8(c.key));
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + c.key;
    wchar_t* value = nullptr;
    ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                 &length));
    EXPECT_EQ(std::wstring(value), c.value);
  }
}

TEST(IconGroup, A32And16PixelImageOf256Colours) {
  const UniqueModule module = LoadAsData();
  ASSERT_NE(module, nullptr);
  const std::string group =
      ResourceBytes(module.get(), MAKEINTRESOURCEW(IDI_VARNOLET), RT_GROUP_ICON);
  ASSERT_EQ(group.size(), 6u + 2 * 14) << "header and two entries";
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(group[at]); };
  EXPECT_EQ(byte(4), 2);
  const int sizes[] = {32, 16};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(sizes[i]);
    const size_t entry = 6 + 14 * i;
    EXPECT_EQ(byte(entry), sizes[i]);
    EXPECT_EQ(byte(entry + 1), sizes[i]);
    EXPECT_EQ(byte(entry + 6), 8) << "bits per pixel";
    const UINT id = byte(entry + 12) | (byte(entry + 13) << 8);
    EXPECT_FALSE(
        ResourceBytes(module.get(), MAKEINTRESOURCEW(id), RT_ICON).empty());
  }
}

TEST(Manifest, AsksForNoElevationAndScalesWithTheDpi) {
  const UniqueModule module = LoadAsData();
  ASSERT_NE(module, nullptr);
  const std::string manifest =
      ResourceBytes(module.get(), CREATEPROCESS_MANIFEST_RESOURCE_ID,
                    RT_MANIFEST);
  const char* const expected[] = {
      "level=\"asInvoker\"", "<dpiAware", ">true</dpiAware>",
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""};
  for (const char* text : expected) {
    SCOPED_TRACE(text);
    EXPECT_NE(manifest.find(text), std::string::npos);
  }
}

TEST(SplashPictureResource, IsTheCommittedFile) {
  const UniqueModule module = LoadAsData();
  ASSERT_NE(module, nullptr);
  std::ifstream file(std::string("Z:") + TOLVARIN_ASSETS_DIR + "/splash.gif", std::ios::binary);
  const std::string committed{std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>()};
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(ResourceBytes(module.get(), MAKEINTRESOURCEW(IDR_SPLASH_PICTURE), RT_RCDATA),
            committed);
}

}  // namespace
}  // namespace tolvarin::launcher
