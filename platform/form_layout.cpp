#include "platform/form_layout.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/text.h"

namespace tolvarin::platform {

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  const int left = std::max(a.left, b.left);
  const int top = std::max(a.top, b.top);
  const int right = std::min(a.right(), b.right());
  const int bottom = std::min(a.bottom(), b.bottom());
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

Result<Vector<PlacedControl>> PlaceControls(const FormLayout& layout, int dpi,
                                            const MeasureText& measure) {
  const PixelRect client{0, 0, TwipsToPixels(layout.client_width_twips, dpi),
                         TwipsToPixels(layout.client_height_twips, dpi)};
  Vector<PlacedControl> placed;
  placed.reserve(layout.controls.size());
  for (size_t index = 0; index < layout.controls.size(); ++index) {
    const Control& control = layout.controls[index];
    int origin_left = 0;
    int origin_top = 0;
    PixelRect clip = client;
    if (!control.container.empty()) {
      const auto container = std::find_if(placed.begin(), placed.end(), [&](const auto& p) {
        return p.control->name == control.container;
      });
      if (container == placed.end()) {
        return Error(kInvalidArgumentError, "container " + String(control.container) +
                                               " of " + String(control.name) +
                                               " does not precede it");
      }
      origin_left = container->rect.left;
      origin_top = container->rect.top;
      clip = container->visible;
    }
    PlacedControl result{&control, {}, {}};
    if (control.kind != ControlKind::kTimer) {
      const int left = origin_left + TwipsToPixels(control.rect.left, dpi);
      const int top = origin_top + TwipsToPixels(control.rect.top, dpi);
      const TwipsRect& r = control.rect;
      result.rect = {left, top,
                     TwipsToPixels(r.left + r.width, dpi) - TwipsToPixels(r.left, dpi),
                     TwipsToPixels(r.top + r.height, dpi) - TwipsToPixels(r.top, dpi)};
      if (control.kind == ControlKind::kLabel && control.auto_size) {
        const PixelRect size = measure(control, index);
        result.rect.width = size.width;
        result.rect.height = size.height;
      }
      result.visible = Intersect(result.rect, clip);
    }
    placed.push_back(result);
  }
  return placed;
}

}  // namespace tolvarin::platform
