#ifndef TOLVARIN_PLATFORM_FORM_LAYOUT_H_
#define TOLVARIN_PLATFORM_FORM_LAYOUT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/error.h"
#include "platform/function.h"
#include "platform/vector.h"

namespace tolvarin::platform {

// Layouts are kept in twips, as designed: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kPointsPerInch = 72;

// Twips to device pixels at `dpi`, rounded to nearest.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// A colour by its three 8-bit components.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// Where a face is missing, a metric-compatible face of the same family stands in.
enum class FontFamily { kSerif, kSansSerif };

// A font as designed: Western character set, never underlined or struck through.
struct Font {
  std::string_view face;
  double points = 0;
  bool bold = false;  // weight 700, else 400
  bool italic = false;
  FontFamily family = FontFamily::kSansSerif;
};

// The font's em height in device pixels at `dpi`, rounded to nearest (as Windows' font
// mapper takes a negative LOGFONT height).
constexpr int FontPixelHeight(const Font& font, int dpi) {
  return static_cast<int>(font.points * dpi / kPointsPerInch + 0.5);
}

// Left and Top from the container's corner, then Width and Height.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A rectangle in device pixels; empty when it has no area.
struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
  constexpr bool empty() const { return width <= 0 || height <= 0; }
  friend constexpr bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
  }
};

// The common part of `a` and `b`; empty (all zero) when they do not meet.
PixelRect Intersect(const PixelRect& a, const PixelRect& b);

enum class ControlKind {
  kFrame,  // a container; its children's Left and Top are measured from its corner
  kTimer,  // never drawn; the window's timer stands for it
  kImage,  // `picture` stretched to fill the rectangle
  kLabel,  // `text` in `font`
};

enum class Alignment { kLeft, kRight, kCenter };

// One control of a form, as designed.
struct Control {
  ControlKind kind = ControlKind::kLabel;
  std::string_view name;
  int index = -1;               // place in its control array; -1 when not in one
  std::string_view container;   // name of the enclosing control; empty for the form itself
  TwipsRect rect;               // relative to the container; ignored for timers
  std::string_view text;
  Font font;
  Alignment alignment = Alignment::kLeft;
  // Keeps Left and Top and takes the size of its text on one line; otherwise the text
  // wraps between words at the width and is cut at the rectangle's edges.
  bool auto_size = false;
  std::optional<Rgb> fore_color;  // unset: the platform's default text colour
  std::string_view picture;       // image file bytes (GIF); empty shows nothing
};

// The window's icon. Windows loads the executable's icon group `resource_id`; other
// platforms decode `images` (GIF files, one per size). Each platform reads only its own.
struct FormIcon {
  int resource_id = 0;
  Vector<std::string_view> images;
};

// A window described as data, drawn alike by every backend. Controls are listed in
// creation order, which is also the drawing order; a container precedes its contents.
// The texts and image bytes are views: what they refer to must outlive the layout.
struct FormLayout {
  int client_width_twips = 0;
  int client_height_twips = 0;
  FormIcon icon;
  Vector<Control> controls;
};

// A control's place on the screen, in client-area pixels.
struct PlacedControl {
  const Control* control = nullptr;
  PixelRect rect;     // after sizing to the text, for labels that do
  PixelRect visible;  // the part of `rect` its containers and the client area leave
};

// Measures `label.text` on one line in `label.font` at the caller's dpi, in pixels; `index`
// is the label's place in the layout's controls.
using MeasureText = Function<PixelRect(const Control& label, size_t index)>;

// Every control of `layout` placed at `dpi`, in the layout's order. Twips become pixels
// edge by edge, so adjacent rectangles stay adjacent at any dpi. `measure` is called for
// labels that size themselves, and only for them; only its width and height are used.
// Timers get empty rectangles. Fails with kInvalidArgumentError when a control names a
// container that does not precede it.
Result<Vector<PlacedControl>> PlaceControls(const FormLayout& layout, int dpi,
                                            const MeasureText& measure);

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_FORM_LAYOUT_H_
