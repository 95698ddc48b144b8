#ifndef TOLVARIN_PLATFORM_FORM_LAYOUT_H_
#define TOLVARIN_PLATFORM_FORM_LAYOUT_H_

namespace tolvarin::platform {

// Layouts are kept in twips, as designed: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerInch = 1440;

// Twips to device pixels at `dpi`, rounded to nearest.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// A window described as data, drawn alike by every backend.
struct FormLayout {
  int client_width_twips = 0;
  int client_height_twips = 0;
};

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_FORM_LAYOUT_H_
