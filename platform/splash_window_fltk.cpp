#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/splash_window.h"

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

// The splash takes no input: every event is swallowed, and only a close request from the
// window manager (not Escape, which FLTK would treat as one) closes it.
class SplashFltkWindow final : public Fl_Double_Window {
 public:
  SplashFltkWindow(int width, int height) : Fl_Double_Window(width, height, "") {}
  int handle(int event) override {
    switch (event) {
      case FL_SHOW:
      case FL_HIDE:
        return Fl_Double_Window::handle(event);
      default:
        return 1;
    }
  }
};

class FltkSplashWindow final : public SplashWindow {
 public:
  explicit FltkSplashWindow(const FormLayout& layout) : layout_(layout) {}
  ~FltkSplashWindow() override { Close(); }

  int Run(std::chrono::milliseconds interval, const std::function<int()>& on_tick) override {
    on_tick_ = &on_tick;
    Create();
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
  void Create() {
    const int dpi = ScreenDpi();
    const int width = TwipsToPixels(layout_.client_width_twips, dpi);
    const int height = TwipsToPixels(layout_.client_height_twips, dpi);
    window_ = std::make_unique<SplashFltkWindow>(width, height);
    window_->end();
    window_->border(0);
    window_->size_range(width, height, width, height);
    window_->position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    window_->callback([](Fl_Widget* widget, void*) {
      if (Fl::event() == FL_SHORTCUT) return;  // Escape
      widget->hide();
    });
  }

  static void OnTimer(void* data) {
    auto* self = static_cast<FltkSplashWindow*>(data);
    if (self->ticked_ || self->on_tick_ == nullptr) return;
    self->ticked_ = true;
    self->status_ = (*self->on_tick_)();
  }

  FormLayout layout_;
  std::unique_ptr<SplashFltkWindow> window_;
  const std::function<int()>* on_tick_ = nullptr;
  bool ticked_ = false;
  int status_ = 0;
};

}  // namespace

std::unique_ptr<SplashWindow> CreateSplashWindow(const FormLayout& layout) {
  return std::make_unique<FltkSplashWindow>(layout);
}

}  // namespace tolvarin::platform
