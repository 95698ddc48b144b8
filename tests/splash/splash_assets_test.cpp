// The picture and icon as committed and as built into the Linux launcher, read back with
// giflib and by the icon file's own layout.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "launcher/splash_assets.h"

namespace tolvarin::launcher {
namespace {

std::string ReadAsset(const std::string& name) {
  std::ifstream file(std::string(TOLVARIN_ASSETS_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using UniqueGif = std::unique_ptr<GifFileType, GifCloser>;

UniqueGif Slurp(const std::string& name) {
  int error = 0;
  const std::string path = std::string(TOLVARIN_ASSETS_DIR) + "/" + name;
  UniqueGif gif(DGifOpenFileName(path.c_str(), &error));
  if (gif == nullptr || DGifSlurp(gif.get()) != GIF_OK) return nullptr;
  return gif;
}

TEST(EmbeddedAssets, AreTheCommittedFiles) {
  const std::string picture = ReadAsset("splash.gif");
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(SplashPicture(), picture);
  const auto icons = IconImages();
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons[0], ReadAsset("varnolet-32.gif"));
  EXPECT_EQ(icons[1], ReadAsset("varnolet-16.gif"));
}

TEST(SplashPicture, OneOpaqueFrameOf432By288With256Colours) {
  ASSERT_EQ(ReadAsset("splash.gif").substr(0, 6), "GIF89a");
  const UniqueGif gif = Slurp("splash.gif");
  ASSERT_NE(gif, nullptr);
  EXPECT_EQ(gif->SWidth, 432);
  EXPECT_EQ(gif->SHeight, 288);
  ASSERT_NE(gif->SColorMap, nullptr);
  EXPECT_EQ(gif->SColorMap->ColorCount, 256);
  ASSERT_EQ(gif->ImageCount, 1);
  const SavedImage& frame = gif->SavedImages[0];
  EXPECT_EQ(frame.ImageDesc.ColorMap, nullptr) << "the global palette serves";
  EXPECT_FALSE(frame.ImageDesc.Interlace);
  EXPECT_EQ(frame.ImageDesc.Left, 0);
  EXPECT_EQ(frame.ImageDesc.Top, 0);
  EXPECT_EQ(frame.ImageDesc.Width, 432);
  EXPECT_EQ(frame.ImageDesc.Height, 288);
  GraphicsControlBlock control{};
  ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), 0, &control), GIF_OK);
  EXPECT_EQ(control.TransparentColor, 255);
  const GifByteType* pixels = frame.RasterBits;
  EXPECT_EQ(std::count(pixels, pixels + 432 * 288, GifByteType{255}), 0)
      << "the transparent index is declared but unused";
}

TEST(IconImages, TheTwoSizesOfTheIcon) {
  for (const int size : {32, 16}) {
    SCOPED_TRACE(size);
    const UniqueGif gif = Slurp("varnolet-" + std::to_string(size) + ".gif");
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->SWidth, size);
    EXPECT_EQ(gif->SHeight, size);
  }
}

uint32_t Little(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
  }
  return value;
}

TEST(IconFile, HoldsA32And16PixelImageOf256Colours) {
  const std::string ico = ReadAsset("varnolet.ico");
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(Little(ico, 0, 2), 0u);
  EXPECT_EQ(Little(ico, 2, 2), 1u) << "an icon, not a cursor";
  ASSERT_EQ(Little(ico, 4, 2), 2u);
  const uint32_t sizes[] = {32, 16};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(sizes[i]);
    const size_t entry = 6 + 16 * i;
    EXPECT_EQ(Little(ico, entry, 1), sizes[i]);
    EXPECT_EQ(Little(ico, entry + 1, 1), sizes[i]);
    EXPECT_EQ(Little(ico, entry + 6, 2), 8u) << "bits per pixel";
    const uint32_t length = Little(ico, entry + 8, 4);
    const uint32_t offset = Little(ico, entry + 12, 4);
    ASSERT_LE(uint64_t{offset} + length, ico.size());
    EXPECT_EQ(Little(ico, offset, 4), 40u) << "a BITMAPINFOHEADER";
    EXPECT_EQ(Little(ico, offset + 4, 4), sizes[i]);
    EXPECT_EQ(Little(ico, offset + 8, 4), 2 * sizes[i]) << "colour rows and mask";
    EXPECT_EQ(Little(ico, offset + 14, 2), 8u);
    const uint32_t palette = 40 + 256 * 4;
    const uint32_t colour_rows = sizes[i] * ((sizes[i] + 3) / 4 * 4);
    const uint32_t mask_rows = sizes[i] * ((sizes[i] + 31) / 32 * 4);
    EXPECT_EQ(length, palette + colour_rows + mask_rows);
  }
}

}  // namespace
}  // namespace tolvarin::launcher
