#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image.H>
#include <FL/fl_draw.H>
#include <fontconfig/fontconfig.h>
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>

#include "platform/function.h"
#include "platform/splash_window.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::platform {
namespace {

// The X server's resolution in dots per inch, from its reported screen size.
int ScreenDpi() {
  float horizontal = 0;
  float vertical = 0;
  Fl::screen_dpi(horizontal, vertical);
  const int dpi = static_cast<int>(vertical + 0.5f);
  return dpi > 0 ? dpi : 96;
}

struct FcPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using UniquePattern = std::unique_ptr<FcPattern, FcPatternDeleter>;

// The installed family fontconfig picks for `font`: its own face where present, else the
// metric-compatible Liberation face of its family, else the system's generic family.
String ResolveFamily(const Font& font) {
  const bool serif = font.family == FontFamily::kSerif;
  const String face(font.face);
  const char* const preferences[] = {face.c_str(), serif ? "Liberation Serif" : "Liberation Sans",
                                     serif ? "serif" : "sans-serif"};
  UniquePattern pattern(FcPatternCreate());
  if (pattern == nullptr) return face;
  for (const char* family : preferences) {
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  }
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, font.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, font.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const UniquePattern match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* family = nullptr;
  if (match == nullptr || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch) {
    return face;
  }
  return reinterpret_cast<const char*>(family);
}

// The FLTK font for `font`: the resolved family after one letter for bold and italic,
// registered in FLTK's font table once per process. That table is process-wide and keeps
// the pointer to each name it is given, so the names must live as long as the process.
Fl_Font FltkFont(const Font& font) {
  static std::map<String, Fl_Font> registered;
  const char style = font.bold ? (font.italic ? 'P' : 'B') : (font.italic ? 'I' : ' ');
  const auto [entry, added] = registered.try_emplace(
      style + ResolveFamily(font), static_cast<Fl_Font>(FL_FREE_FONT + registered.size()));
  if (added) Fl::set_font(entry->second, entry->first.c_str());
  return entry->second;
}

// Reads a GIF held in memory for giflib.
struct MemoryReader {
  std::string_view bytes;
  size_t offset = 0;

  static int Read(GifFileType* gif, GifByteType* buffer, int length) {
    auto* self = static_cast<MemoryReader*>(gif->UserData);
    const size_t count = std::min(static_cast<size_t>(std::max(length, 0)),
                                  self->bytes.size() - self->offset);
    std::memcpy(buffer, self->bytes.data() + self->offset, count);
    self->offset += count;
    return static_cast<int>(count);
  }
};

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// The first frame of `gif` decoded by giflib as an RGBA image of the logical screen's size,
// its transparent pixels clear; null when giflib rejects the file.
std::unique_ptr<Fl_RGB_Image> DecodeGif(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  MemoryReader reader{bytes};
  int error = 0;
  const std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, &MemoryReader::Read, &error));
  if (gif == nullptr || DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount < 1) return nullptr;
  const SavedImage& frame = gif->SavedImages[0];
  const GifImageDesc& desc = frame.ImageDesc;
  const ColorMapObject* colours = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  const int width = gif->SWidth;
  const int height = gif->SHeight;
  if (colours == nullptr || width <= 0 || height <= 0) return nullptr;
  GraphicsControlBlock control{};
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  DGifSavedExtensionToGCB(gif.get(), 0, &control);

  constexpr int kDepth = 4;
  std::unique_ptr<uchar[]> pixels(new uchar[static_cast<size_t>(width) * height * kDepth]());
  for (int y = 0; y < desc.Height; ++y) {
    for (int x = 0; x < desc.Width; ++x) {
      const int canvas_x = desc.Left + x;
      const int canvas_y = desc.Top + y;
      if (canvas_x < 0 || canvas_x >= width || canvas_y < 0 || canvas_y >= height) continue;
      const int index = frame.RasterBits[static_cast<size_t>(y) * desc.Width + x];
      if (index == control.TransparentColor || index >= colours->ColorCount) continue;
      const GifColorType& colour = colours->Colors[index];
      uchar* pixel = &pixels[(static_cast<size_t>(canvas_y) * width + canvas_x) * kDepth];
      pixel[0] = colour.Red;
      pixel[1] = colour.Green;
      pixel[2] = colour.Blue;
      pixel[3] = 0xFF;
    }
  }
  auto image = std::make_unique<Fl_RGB_Image>(pixels.get(), width, height, kDepth);
  image->alloc_array = 1;  // the image deletes the pixels from now on
  pixels.release();
  return image;
}

// `image` resampled to exactly `width` x `height`, each direction on its own.
std::unique_ptr<Fl_Image> Stretched(Fl_RGB_Image& image, int width, int height) {
  const Fl_RGB_Scaling previous = Fl_RGB_Image::RGB_scaling();
  Fl_RGB_Image::RGB_scaling(FL_RGB_SCALING_BILINEAR);
  std::unique_ptr<Fl_Image> copy(image.copy(width, height));
  Fl_RGB_Image::RGB_scaling(previous);
  return copy;
}

// The splash takes no input: every event is swallowed, and only a close request from the
// window manager (not Escape, which FLTK would treat as one) closes it.
class SplashFltkWindow final : public Fl_Double_Window {
 public:
  SplashFltkWindow(int width, int height, Function<void()> paint)
      : Fl_Double_Window(width, height, ""), paint_(std::move(paint)) {}
  int handle(int event) override {
    switch (event) {
      case FL_SHOW:
      case FL_HIDE:
        return Fl_Double_Window::handle(event);
      default:
        return 1;
    }
  }
  void draw() override {
    Fl_Double_Window::draw();  // the dialog face behind everything
    paint_();
  }

 private:
  Function<void()> paint_;
};

// What a label needs at paint time, prepared once at creation.
struct PreparedLabel {
  String text;
  Fl_Font font = FL_HELVETICA;
  int size = 0;
};

class FltkSplashWindow final : public SplashWindow {
 public:
  explicit FltkSplashWindow(const FormLayout& layout) : layout_(layout) {}
  ~FltkSplashWindow() override { Close(); }

  Result<int> Run(std::chrono::milliseconds interval, const Function<int()>& on_tick) override {
    if (Outcome created = Create(); !created.ok()) return created.error();
    on_tick_ = &on_tick;
    // The timer counts from the start of loading, not from the end of the drawing set-up:
    // the launcher's whole run stays close to the interval itself.
    Fl::add_timeout(static_cast<double>(interval.count()) / 1000.0, &FltkSplashWindow::OnTimer,
                    this);
    window_->show();
    while (window_ != nullptr && window_->shown()) Fl::wait();
    // Closed by the window manager before the tick: the timer goes with the window.
    Close();
    on_tick_ = nullptr;
    return status_;
  }

  void Close() override {
    Fl::remove_timeout(&FltkSplashWindow::OnTimer, this);
    if (window_ != nullptr) {
      window_->hide();
      window_.reset();
      Fl::flush();
    }
  }

 private:
  Outcome Create() {
    const int dpi = ScreenDpi();
    if (Outcome prepared = Prepare(dpi); !prepared.ok()) return prepared;
    const int width = TwipsToPixels(layout_.client_width_twips, dpi);
    const int height = TwipsToPixels(layout_.client_height_twips, dpi);
    window_ = std::make_unique<SplashFltkWindow>(width, height, [this] { Paint(); });
    window_->end();
    window_->border(0);
    window_->size_range(width, height, width, height);
    window_->position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    window_->callback([](Fl_Widget* widget, void*) {
      if (Fl::event() == FL_SHORTCUT) return;  // Escape
      widget->hide();
    });
    Vector<const Fl_RGB_Image*> icons;
    for (const auto& icon : icons_) icons.push_back(icon.get());
    if (!icons.empty()) window_->icons(icons.data(), static_cast<int>(icons.size()));
    return {};
  }

  // Fonts, texts, label sizes, the stretched picture and the icons, at the screen's dpi.
  Outcome Prepare(int dpi) {
    const size_t count = layout_.controls.size();
    labels_.assign(count, {});
    for (size_t i = 0; i < count; ++i) {
      const Control& control = layout_.controls[i];
      if (control.kind != ControlKind::kLabel) continue;
      labels_[i].font = FltkFont(control.font);
      labels_[i].size = FontPixelHeight(control.font, dpi);
      labels_[i].text = String(control.text);
    }
    Result<Vector<PlacedControl>> placed = PlaceControls(layout_, dpi, [&](const Control&,
                                                                           size_t index) {
      const PreparedLabel& prepared = labels_[index];
      fl_font(prepared.font, prepared.size);
      int width = 0;
      int height = 0;
      fl_measure(prepared.text.c_str(), width, height, 0);
      return PixelRect{0, 0, width, std::max(height, fl_height())};
    });
    if (!placed.ok()) return placed.error();
    placed_ = std::move(placed).value();
    pictures_.clear();
    pictures_.resize(count);
    for (size_t i = 0; i < count; ++i) {
      if (layout_.controls[i].kind != ControlKind::kImage) continue;
      if (const auto picture = DecodeGif(layout_.controls[i].picture)) {
        pictures_[i] = Stretched(*picture, placed_[i].rect.width, placed_[i].rect.height);
      }
    }
    icons_.clear();
    for (const std::string_view image : layout_.icon.images) {
      if (auto icon = DecodeGif(image)) icons_.push_back(std::move(icon));
    }
    return {};
  }

  // Draws the controls in creation order over the dialog face.
  void Paint() const {
    for (size_t i = 0; i < placed_.size(); ++i) {
      const PlacedControl& placed = placed_[i];
      if (placed.visible.empty()) continue;
      const PixelRect& r = placed.rect;
      fl_push_clip(placed.visible.left, placed.visible.top, placed.visible.width,
                   placed.visible.height);
      switch (placed.control->kind) {
        case ControlKind::kFrame:
          fl_draw_box(FL_ENGRAVED_FRAME, r.left, r.top, r.width, r.height, FL_BACKGROUND_COLOR);
          break;
        case ControlKind::kImage:
          if (pictures_[i] != nullptr) pictures_[i]->draw(r.left, r.top);
          break;
        case ControlKind::kLabel: {
          const Control& label = *placed.control;
          const PreparedLabel& prepared = labels_[i];
          fl_color(label.fore_color ? fl_rgb_color(label.fore_color->red, label.fore_color->green,
                                                   label.fore_color->blue)
                                    : FL_FOREGROUND_COLOR);
          fl_font(prepared.font, prepared.size);
          Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_TOP;
          if (label.alignment == Alignment::kLeft) align |= FL_ALIGN_LEFT;
          if (label.alignment == Alignment::kRight) align |= FL_ALIGN_RIGHT;
          if (!label.auto_size) align |= FL_ALIGN_WRAP;
          fl_draw(prepared.text.c_str(), r.left, r.top, r.width, r.height, align, nullptr, 0);
          break;
        }
        case ControlKind::kTimer:
          break;
      }
      fl_pop_clip();
    }
  }

  static void OnTimer(void* data) {
    auto* self = static_cast<FltkSplashWindow*>(data);
    if (self->ticked_ || self->on_tick_ == nullptr) return;
    self->ticked_ = true;
    self->status_ = (*self->on_tick_)();
  }

  FormLayout layout_;
  Vector<PlacedControl> placed_;  // points into layout_.controls
  Vector<PreparedLabel> labels_;  // by control
  Vector<std::unique_ptr<Fl_Image>> pictures_;  // by control, null for other kinds
  Vector<std::unique_ptr<Fl_RGB_Image>> icons_;
  std::unique_ptr<SplashFltkWindow> window_;
  const Function<int()>* on_tick_ = nullptr;
  bool ticked_ = false;
  int status_ = 0;
};

}  // namespace

std::unique_ptr<SplashWindow> CreateSplashWindow(const FormLayout& layout) {
  return std::make_unique<FltkSplashWindow>(layout);
}

}  // namespace tolvarin::platform
