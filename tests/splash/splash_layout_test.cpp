// What the screenshot, taken at 96 dpi, cannot show: pixels rounded to nearest at other dpi.
#include "launcher/splash_layout.h"

#include <gtest/gtest.h>

#include "platform/form_layout.h"

namespace tolvarin::launcher {
namespace {

using platform::Control;
using platform::PixelRect;

TEST(PlaceControls, SplashPictureAt125PercentRoundsToNearest) {
  const platform::FormLayout layout = SplashLayout();  // outlives `placed`, which points into it
  const auto placed = *platform::PlaceControls(layout, 120, [](const Control&, size_t) {
    return PixelRect{};
  });
  ASSERT_EQ(placed[2].control->name, "Image1");
  EXPECT_EQ(placed[2].rect, (PixelRect{0, 110, 364, 236})) << "363.75 by 236.25 pixels";
}

}  // namespace
}  // namespace tolvarin::launcher
