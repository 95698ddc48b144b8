#include "launcher/splash_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/form_layout.h"

namespace tolvarin::launcher {
namespace {

using platform::Control;
using platform::ControlKind;
using platform::PixelRect;
using platform::PlacedControl;
using ::testing::ElementsAre;

constexpr int kDesignDpi = 96;

// Measures a label as the designer's platform did: its stored size.
PixelRect StoredSize(const Control& label, size_t) {
  return {0, 0, platform::TwipsToPixels(label.rect.width, kDesignDpi),
          platform::TwipsToPixels(label.rect.height, kDesignDpi)};
}

std::string Key(const Control& control) {
  return control.index < 0 ? std::string(control.name)
                           : std::string(control.name) + "(" + std::to_string(control.index) + ")";
}

const PlacedControl& Find(const std::vector<PlacedControl>& placed, const std::string& key) {
  for (const PlacedControl& p : placed) {
    if (Key(*p.control) == key) return p;
  }
  throw std::out_of_range("no control " + key);
}

TEST(SplashLayout, PixelRectanglesAtDesignDpi) {
  const platform::FormLayout& layout = SplashLayout();
  EXPECT_EQ(platform::TwipsToPixels(layout.client_width_twips, kDesignDpi), 493);
  EXPECT_EQ(platform::TwipsToPixels(layout.client_height_twips, kDesignDpi), 335);
  const auto placed = platform::PlaceControls(layout, kDesignDpi, StoredSize);
  struct Case {
    const char* key;
    PixelRect rect;
    PixelRect visible;
  };
  const Case cases[] = {
      {"Frame1", {0, 0, 495, 333}, {0, 0, 493, 333}},
      {"Image1", {0, 88, 291, 189}, {0, 88, 291, 189}},
      {"Label3", {16, 280, 473, 13}, {16, 280, 473, 13}},
      {"lblCompany(1)", {376, 256, 161, 17}, {376, 256, 117, 17}},
      {"Label2", {296, 120, 193, 25}, {296, 120, 193, 25}},
      {"lblCopyright", {376, 224, 161, 16}, {376, 224, 117, 16}},
      {"lblCompany(0)", {376, 240, 161, 17}, {376, 240, 117, 17}},
      {"lblWarning", {296, 184, 193, 37}, {296, 184, 193, 37}},
      {"lblVersion", {384, 96, 98, 19}, {384, 96, 98, 19}},
      {"lblPlatform", {451, 156, 6, 24}, {451, 156, 6, 24}},
      {"lblProductName", {107, 48, 283, 22}, {107, 48, 283, 22}},
      {"lblCompanyProduct", {24, 8, 444, 27}, {24, 8, 444, 27}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const PlacedControl& p = Find(placed, c.key);
    EXPECT_EQ(p.rect, c.rect);
    EXPECT_EQ(p.visible, c.visible);
  }
  EXPECT_TRUE(Find(placed, "Timer1").visible.empty());
}

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
  const auto placed =
      platform::PlaceControls(form, kDesignDpi, [&](const Control& label, size_t) {
        measured.emplace_back(label.name);
        return PixelRect{7, 7, 200, 12};  // wider than the frame; the offset is ignored
      });
  EXPECT_THAT(measured, ElementsAre("lblSized"));
  EXPECT_EQ(placed[1].rect, (PixelRect{30, 20, 200, 12})) << "left and top within the frame";
  EXPECT_EQ(placed[1].visible, (PixelRect{30, 20, 60, 12})) << "cut at the frame's right edge";
  EXPECT_EQ(placed[2].rect, (PixelRect{30, 20, 10, 10}));
}

TEST(PlaceControls, ScalesWithTheDpi) {
  struct Case {
    int dpi;
    PixelRect image;
    int client_width;
  };
  const Case cases[] = {
      {96, {0, 88, 291, 189}, 493},
      {120, {0, 110, 364, 236}, 616},  // 125 %
      {144, {0, 132, 437, 284}, 740},  // 150 %: edges rounded, not sizes
      {192, {0, 176, 582, 378}, 986},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    const auto placed = platform::PlaceControls(SplashLayout(), c.dpi, StoredSize);
    EXPECT_EQ(Find(placed, "Image1").rect, c.image);
    EXPECT_EQ(platform::TwipsToPixels(SplashLayout().client_width_twips, c.dpi), c.client_width);
  }
}

}  // namespace
}  // namespace tolvarin::launcher
