#include "launcher/splash_layout.h"

#include <optional>
#include <string_view>

#include "launcher/resource_ids.h"
#include "launcher/splash_assets.h"

namespace tolvarin::launcher {
namespace {

using platform::Alignment;
using platform::Control;
using platform::ControlKind;
using platform::Font;
using platform::FontFamily;
using platform::Rgb;
using platform::TwipsRect;

constexpr int kNoIndex = -1;
constexpr bool kSizesToText = true;
constexpr bool kFixedSize = false;
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kMaroon{128, 0, 0};
constexpr std::optional<Rgb> kDefaultTextColour;
constexpr std::string_view kFrame1 = "Frame1";

enum Style { kRegular, kBold, kItalic };

constexpr Font Arial(double points, Style style) {
  return {"Arial", points, style == kBold, style == kItalic, FontFamily::kSansSerif};
}

constexpr Font Serif(std::string_view face, double points, Style style) {
  return {face, points, style == kBold, style == kItalic, FontFamily::kSerif};
}

Control Label(std::string_view name, int index, std::string_view text, Font font, TwipsRect rect,
              Alignment alignment, bool auto_size, std::optional<Rgb> colour) {
  Control label;
  label.kind = ControlKind::kLabel;
  label.name = name;
  label.index = index;
  label.container = kFrame1;
  label.rect = rect;
  label.text = text;
  label.font = font;
  label.alignment = alignment;
  label.auto_size = auto_size;
  label.fore_color = colour;
  return label;
}

}  // namespace

platform::FormLayout SplashLayout() {
  platform::FormLayout form;
  form.client_width_twips = 7395;
  form.client_height_twips = 5025;
  form.icon.resource_id = IDI_VARNOLET;
  form.icon.images = IconImages();

  Control frame;
  frame.kind = ControlKind::kFrame;
  frame.name = kFrame1;
  frame.rect = {0, 0, 7425, 4995};  // 30 twips wider than the client area, which cuts it
  Control timer;
  timer.kind = ControlKind::kTimer;
  timer.name = "Timer1";
  timer.container = kFrame1;
  Control image;
  image.kind = ControlKind::kImage;
  image.name = "Image1";
  image.container = kFrame1;
  image.rect = {0, 1320, 4365, 2835};
  image.picture = SplashPicture();

  form.controls = {
      frame,
      timer,
      image,
      Label("Label3", kNoIndex,
            "Tel. +44 20 7946 0812  -  www.quarvel.example  -  sales@quarvel.example",
            Arial(9, kBold), {240, 4200, 7095, 195}, Alignment::kLeft, kFixedSize,
            kBlack),
      Label("lblCompany", 1, "Cambridge, England", Arial(7.5, kItalic),
            {5640, 3840, 2415, 255}, Alignment::kLeft, kFixedSize, kBlack),
      Label("Label2", kNoIndex, "For Windows - 9X/NT/2000/XP", Arial(9.75, kBold),
            {4440, 1800, 2895, 375}, Alignment::kLeft, kFixedSize, kBlack),
      Label("lblCopyright", kNoIndex, "Copyright ", Arial(8, kRegular),
            {5640, 3360, 2415, 240}, Alignment::kLeft, kFixedSize, kBlack),
      Label("lblCompany", 0, "Quarvel Software Systems", Arial(7.5, kItalic),
            {5640, 3600, 2415, 255}, Alignment::kLeft, kFixedSize, kBlack),
      Label("lblWarning", kNoIndex, " Warning: this program is protected by copyright law.",
            Arial(8, kRegular), {4440, 2760, 2895, 555}, Alignment::kLeft, kFixedSize,
            kBlack),
      Label("lblVersion", kNoIndex, "Version 1.0.0", Arial(12, kBold),
            {5760, 1440, 1470, 285}, Alignment::kRight, kSizesToText, kBlack),
      Label("lblPlatform", kNoIndex, "", Arial(15.75, kBold), {6768, 2340, 84, 360},
            Alignment::kRight, kSizesToText, kDefaultTextColour),
      Label("lblProductName", kNoIndex, "Varnolet",
            Serif("Times New Roman", 14.25, kBold),
            {1605, 720, 4245, 330}, Alignment::kCenter, kSizesToText, kBlack),
      Label("lblCompanyProduct", kNoIndex, "Quarvel Software Systems",
            Serif("MS Serif", 18, kBold), {360, 120, 6660, 405},
            Alignment::kCenter, kSizesToText, kMaroon),
  };
  return form;
}

}  // namespace tolvarin::launcher
