#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/splash_window.h"

namespace tolvarin::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"TolvarinSplash";
constexpr UINT_PTR kTimerId = 1;
// Fixed dialog border, no caption: no title, system menu or window buttons, no resizing.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

class Win32SplashWindow final : public SplashWindow {
 public:
  explicit Win32SplashWindow(const FormLayout& layout) : layout_(layout) {}
  ~Win32SplashWindow() override { Close(); }

  int Run(std::chrono::milliseconds interval, const std::function<int()>& on_tick) override {
    on_tick_ = &on_tick;
    Create();
    ::SetTimer(window_, kTimerId, static_cast<UINT>(interval.count()), nullptr);
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
    // The loop ends once the window is gone, whether the tick closed it or something else did;
    // no WM_QUIT is posted, since a pending one would dismiss the tick's message boxes at once.
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
  void Create() {
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
        return 0;
      default:
        break;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }

  FormLayout layout_;
  HWND window_ = nullptr;
  const std::function<int()>* on_tick_ = nullptr;
  bool ticked_ = false;
  int status_ = 0;
};

}  // namespace

std::unique_ptr<SplashWindow> CreateSplashWindow(const FormLayout& layout) {
  return std::make_unique<Win32SplashWindow>(layout);
}

}  // namespace tolvarin::platform
