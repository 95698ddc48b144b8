#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/function.h"
#include "platform/splash_window.h"
#include "platform/text.h"
#include "platform/vector.h"
#include "platform/win32_util.h"

namespace tolvarin::platform {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kWindowClass[] = L"TolvarinSplash";
constexpr UINT_PTR kTimerId = 1;
// Fixed dialog border, no caption: no title, system menu or window buttons, no resizing.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
constexpr UINT kTextFormat = DT_NOPREFIX | DT_TOP;

// Owns a GDI object (font, bitmap) and deletes it once.
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// Owns an icon loaded without LR_SHARED.
struct IconDeleter {
  void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// A memory device context compatible with the screen, deleted once.
struct DcDeleter {
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Selects `object` into `dc` for the guard's lifetime.
class SelectionGuard {
 public:
  SelectionGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  SelectionGuard(const SelectionGuard&) = delete;
  SelectionGuard& operator=(const SelectionGuard&) = delete;
  ~SelectionGuard() { ::SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Keeps COM initialised on this thread for the guard's lifetime, where it was not already
// initialised in an incompatible mode.
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }

 private:
  HRESULT result_;
};

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// The font as designed; where its face is missing the font mapper picks one of the same
// family (on Wine and fontconfig systems the metric-compatible Liberation faces).
Result<UniqueFont> CreateLayoutFont(const Font& font, int dpi) {
  LOGFONTW description{};
  description.lfHeight = -FontPixelHeight(font, dpi);
  description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  description.lfItalic = font.italic ? TRUE : FALSE;
  description.lfCharSet = ANSI_CHARSET;
  description.lfOutPrecision = OUT_TT_PRECIS;
  description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily =
      VARIABLE_PITCH | (font.family == FontFamily::kSerif ? FF_ROMAN : FF_SWISS);
  const Result<WString> face = win32::Utf8ToWide(String(font.face));
  if (!face.ok()) return face.error();
  ::wcsncpy(description.lfFaceName, face->c_str(), LF_FACESIZE - 1);
  return UniqueFont(::CreateFontIndirectW(&description));
}

// `gif` decoded by the system's imaging component and scaled to `width` x `height` pixels
// as a 32-bit top-down DIB section; null when the picture cannot be decoded.
UniqueBitmap DecodeStretchedPicture(std::string_view gif, int width, int height) {
  if (gif.empty() || width <= 0 || height <= 0) return {};
  ComScope com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  ComPtr<IWICBitmapScaler> scaler;
  // WIC reads but never writes the buffer; the cast only meets its signature.
  auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(gif.data()));
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(bytes, static_cast<DWORD>(gif.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                              WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(converter.Get(), static_cast<UINT>(width),
                                static_cast<UINT>(height), WICBitmapInterpolationModeFant))) {
    return {};
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as WIC delivers rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (bitmap.get() == nullptr || pixels == nullptr) return {};
  const UINT stride = static_cast<UINT>(width) * 4;
  if (FAILED(scaler->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height),
                                static_cast<BYTE*>(pixels)))) {
    return {};
  }
  ::GdiFlush();
  return bitmap;
}

// What a label needs at paint time, prepared once at creation.
struct PreparedLabel {
  WString text;
  UniqueFont font;
};

class Win32SplashWindow final : public SplashWindow {
 public:
  explicit Win32SplashWindow(const FormLayout& layout) : layout_(layout) {}
  ~Win32SplashWindow() override { Close(); }

  Result<int> Run(std::chrono::milliseconds interval, const Function<int()>& on_tick) override {
    // The timer counts from the start of loading, not from the end of the drawing set-up
    // (fonts, picture decoding): the launcher's whole run stays close to the interval.
    // The system's tick count, not steady_clock, which the toolchain's win32 thread model builds
    // on the wall clock: setting the clock meanwhile must not stretch or cut the splash.
    const ULONGLONG loading = ::GetTickCount64();
    if (Outcome created = Create(); !created.ok()) return created.error();
    on_tick_ = &on_tick;
    const std::chrono::milliseconds elapsed(::GetTickCount64() - loading);
    const auto remaining = std::max(interval - elapsed, std::chrono::milliseconds(USER_TIMER_MINIMUM));
    ::SetTimer(window_, kTimerId, static_cast<UINT>(remaining.count()), nullptr);
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
    // The loop ends once the window is gone, whether the tick closed it or something else did
    // (WM_DESTROY wakes it). No WM_QUIT is posted, since a pending one would dismiss the tick's
    // message boxes at once.
    MSG message;
    while (window_ != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    on_tick_ = nullptr;
    return status_;
  }

  void Close() override {
    if (window_ == nullptr) return;
    HWND window = window_;
    ::KillTimer(window, kTimerId);
    ::DestroyWindow(window);  // WM_DESTROY clears window_
  }

 private:
  Outcome Create() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &Win32SplashWindow::WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    ::RegisterClassExW(&window_class);

    const int dpi = ScreenDpi();
    if (Outcome prepared = Prepare(dpi); !prepared.ok()) return prepared;
    RECT frame{0, 0, TwipsToPixels(layout_.client_width_twips, dpi),
               TwipsToPixels(layout_.client_height_twips, dpi)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;

    window_ = ::CreateWindowExW(kExStyle, kWindowClass, L"", kStyle, left, top, width, height,
                                nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
      const DWORD error = ::GetLastError();
      return win32::SystemError(error, "Cannot create the splash window");
    }
    SetIcons(instance);
    return {};
  }

  // Fonts, texts, label sizes and the stretched picture, all at the screen's dpi.
  Outcome Prepare(int dpi) {
    labels_.clear();
    labels_.resize(layout_.controls.size());
    const UniqueMemoryDc measuring(::CreateCompatibleDC(nullptr));
    for (size_t i = 0; i < layout_.controls.size(); ++i) {
      const Control& control = layout_.controls[i];
      if (control.kind != ControlKind::kLabel) continue;
      Result<WString> text = win32::Utf8ToWide(String(control.text));
      if (!text.ok()) return text.error();
      labels_[i].text = std::move(text).value();
      Result<UniqueFont> font = CreateLayoutFont(control.font, dpi);
      if (!font.ok()) return font.error();
      labels_[i].font = std::move(font).value();
    }
    Result<Vector<PlacedControl>> placed = PlaceControls(layout_, dpi, [&](const Control&,
                                                                           size_t index) {
      const PreparedLabel& prepared = labels_[index];
      RECT bounds{0, 0, 0, 0};
      if (measuring != nullptr) {
        const SelectionGuard font(measuring.get(), prepared.font.get());
        ::DrawTextW(measuring.get(), prepared.text.c_str(), static_cast<int>(prepared.text.size()),
                    &bounds, kTextFormat | DT_SINGLELINE | DT_CALCRECT);
      }
      return PixelRect{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
    });
    if (!placed.ok()) return placed.error();
    placed_ = std::move(placed).value();
    pictures_.clear();
    pictures_.resize(layout_.controls.size());
    for (size_t i = 0; i < placed_.size(); ++i) {
      if (layout_.controls[i].kind != ControlKind::kImage) continue;
      pictures_[i] = DecodeStretchedPicture(layout_.controls[i].picture, placed_[i].rect.width,
                                            placed_[i].rect.height);
    }
    return {};
  }

  void SetIcons(HINSTANCE instance) {
    if (layout_.icon.resource_id == 0) return;
    const auto load = [&](int size_metric) {
      const int size = ::GetSystemMetrics(size_metric);
      return UniqueIcon(static_cast<HICON>(
          ::LoadImageW(instance, MAKEINTRESOURCEW(layout_.icon.resource_id), IMAGE_ICON, size,
                       size, LR_DEFAULTCOLOR)));
    };
    big_icon_ = load(SM_CXICON);
    small_icon_ = load(SM_CXSMICON);
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
  }

  // Draws the controls in creation order over the dialog face that WM_ERASEBKGND laid.
  void Paint(HDC dc) const {
    ::SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < placed_.size(); ++i) {
      const PlacedControl& placed = placed_[i];
      if (placed.visible.empty()) continue;
      const PixelRect& r = placed.rect;
      RECT rect{r.left, r.top, r.right(), r.bottom()};
      const int saved = ::SaveDC(dc);
      ::IntersectClipRect(dc, placed.visible.left, placed.visible.top, placed.visible.right(),
                          placed.visible.bottom());
      switch (placed.control->kind) {
        case ControlKind::kFrame:
          ::DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
          break;
        case ControlKind::kImage:
          if (pictures_[i].get() != nullptr) {
            const UniqueMemoryDc source(::CreateCompatibleDC(dc));
            if (source != nullptr) {
              const SelectionGuard bitmap(source.get(), pictures_[i].get());
              ::BitBlt(dc, r.left, r.top, r.width, r.height, source.get(), 0, 0, SRCCOPY);
            }
          }
          break;
        case ControlKind::kLabel: {
          const Control& label = *placed.control;
          const PreparedLabel& prepared = labels_[i];
          ::SetTextColor(dc, label.fore_color ? RGB(label.fore_color->red, label.fore_color->green,
                                                    label.fore_color->blue)
                                              : ::GetSysColor(COLOR_BTNTEXT));
          const SelectionGuard font(dc, prepared.font.get());
          UINT format = kTextFormat | (label.auto_size ? DT_SINGLELINE : DT_WORDBREAK);
          if (label.alignment == Alignment::kCenter) format |= DT_CENTER;
          if (label.alignment == Alignment::kRight) format |= DT_RIGHT;
          ::DrawTextW(dc, prepared.text.c_str(), static_cast<int>(prepared.text.size()), &rect,
                      format);
          break;
        }
        case ControlKind::kTimer:
          break;
      }
      ::RestoreDC(dc, saved);
    }
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32SplashWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        if (dc != nullptr) self->Paint(dc);
        ::EndPaint(window, &paint);
        return 0;
      }
      case WM_TIMER:
        if (wparam == kTimerId) {
          ::KillTimer(window, kTimerId);  // one tick per process, however long the tick runs
          if (self->on_tick_ != nullptr && !self->ticked_) {
            self->ticked_ = true;
            self->status_ = (*self->on_tick_)();
          }
          return 0;
        }
        break;
      case WM_DESTROY:
        ::KillTimer(window, kTimerId);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        // A message sent from another thread or process (WM_CLOSE from a task manager) is
        // handled inside GetMessageW, which returns only for a posted one: post one, empty,
        // so that the loop sees the window gone. A modal loop that takes it drops it.
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
        return 0;
      default:
        break;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }

  FormLayout layout_;
  Vector<PlacedControl> placed_;  // points into layout_.controls
  Vector<PreparedLabel> labels_;  // by control, empty for other kinds
  Vector<UniqueBitmap> pictures_;  // by control, null for other kinds
  // Destroyed after the window, which the destructor closes first.
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  HWND window_ = nullptr;
  const Function<int()>* on_tick_ = nullptr;
  bool ticked_ = false;
  int status_ = 0;
};

}  // namespace

std::unique_ptr<SplashWindow> CreateSplashWindow(const FormLayout& layout) {
  return std::make_unique<Win32SplashWindow>(layout);
}

}  // namespace tolvarin::platform
