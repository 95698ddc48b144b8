// The icons built into the Linux launcher are the committed files, in order (the picture
// shows in the splash screenshot).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "launcher/splash_assets.h"
#include "platform/text.h"

namespace tolvarin::launcher {
namespace {

String ReadAsset(const String& name) {
  std::ifstream file((String(TOLVARIN_ASSETS_DIR) + "/" + name).c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(EmbeddedAssets, IconsAreTheCommittedFiles) {
  const auto icons = IconImages();
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons[0], ReadAsset("varnolet-32.gif"));
  EXPECT_EQ(icons[1], ReadAsset("varnolet-16.gif"));
}

}  // namespace
}  // namespace tolvarin::launcher
