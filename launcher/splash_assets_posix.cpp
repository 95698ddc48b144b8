#include <string_view>

#include "launcher/embedded_assets.h"  // generated from assets/ at build time
#include "launcher/splash_assets.h"
#include "platform/vector.h"

namespace tolvarin::launcher {
namespace {

template <size_t kSize>
std::string_view AsBytes(const unsigned char (&data)[kSize]) {
  return {reinterpret_cast<const char*>(data), kSize};
}

}  // namespace

std::string_view SplashPicture() { return AsBytes(embedded::kSplashGif); }

Vector<std::string_view> IconImages() {
  return {AsBytes(embedded::kVarnolet32Gif), AsBytes(embedded::kVarnolet16Gif)};
}

}  // namespace tolvarin::launcher
