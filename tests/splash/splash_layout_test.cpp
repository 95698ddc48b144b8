// What the screenshot, taken at 96 dpi with the fonts at hand, cannot tell apart: labels
// cut at their frame, self-sizing labels, and pixels rounded to nearest at other dpi.
#include "launcher/splash_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/form_layout.h"

namespace tolvarin::launcher {
namespace {

using platform::Control;
using platform::ControlKind;
using platform::PixelRect;
using ::testing::ElementsAre;

TEST(PlaceControls, SelfSizingLabelsKeepTheirCornerAndTakeTheMeasuredSize) {
  platform::FormLayout form;
  form.client_width_twips = 1500;
  form.client_height_twips = 1500;
  Control frame;
  frame.kind = ControlKind::kFrame;
  frame.name = "Frame1";
  frame.rect = {150, 150, 1200, 1200};
  Control sized;
  sized.name = "lblSized";
  sized.container = "Frame1";
  sized.rect = {300, 150, 150, 150};
  sized.auto_size = true;
  Control fixed = sized;
  fixed.name = "lblFixed";
  fixed.auto_size = false;
  form.controls = {frame, sized, fixed};
  std::vector<std::string> measured;
  const auto placed = platform::PlaceControls(form, 96, [&](const Control& label, size_t) {
    measured.emplace_back(label.name);
    return PixelRect{7, 7, 200, 12};  // wider than the frame; the offset is ignored
  });
  EXPECT_THAT(measured, ElementsAre("lblSized"));
  EXPECT_EQ(placed[1].rect, (PixelRect{30, 20, 200, 12})) << "left and top within the frame";
  EXPECT_EQ(placed[1].visible, (PixelRect{30, 20, 60, 12})) << "cut at the frame's right edge";
  EXPECT_EQ(placed[2].rect, (PixelRect{30, 20, 10, 10}));
}

TEST(PlaceControls, SplashPictureAt125PercentRoundsToNearest) {
  const auto placed = platform::PlaceControls(SplashLayout(), 120, [](const Control&, size_t) {
    return PixelRect{};
  });
  ASSERT_EQ(placed[2].control->name, "Image1");
  EXPECT_EQ(placed[2].rect, (PixelRect{0, 110, 364, 236})) << "363.75 by 236.25 pixels";
}

}  // namespace
}  // namespace tolvarin::launcher
