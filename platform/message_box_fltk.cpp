#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/message_box.h"
#include "platform/text.h"

namespace tolvarin::platform {
namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kMinTextWidth = 160;
constexpr int kMaxTextWidth = 560;

// One line for scripted runs: the prompt with CR, LF and backslash escaped.
String EscapedLine(const String& prompt) {
  String line;
  for (const char c : prompt) {
    switch (c) {
      case '\r': line += "\\r"; break;
      case '\n': line += "\\n"; break;
      case '\\': line += "\\\\"; break;
      default: line += c;
    }
  }
  return line;
}

// FLTK draws "\n" as a line break; CR LF from the launcher's prompts must not show a box glyph.
String DisplayText(const String& prompt) {
  String text;
  for (size_t i = 0; i < prompt.size(); ++i) {
    if (prompt[i] == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') continue;
    text += prompt[i];
  }
  return text;
}

class FltkMessageBoxes final : public MessageBoxes {
 public:
  void Show(const String& prompt) override {
    std::fprintf(stderr, "%s: %s\n", kApplicationTitle, EscapedLine(prompt).c_str());
    std::fflush(stderr);

    const String text = DisplayText(prompt);
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int text_width = kMaxTextWidth;
    int text_height = 0;
    fl_measure(text.c_str(), text_width, text_height, 0);
    text_width = std::clamp(text_width, kMinTextWidth, kMaxTextWidth);

    const int width = text_width + 2 * kMargin;
    const int height = text_height + kButtonHeight + 3 * kMargin;
    Fl_Window window(width, height, kApplicationTitle);
    Fl_Box label(kMargin, kMargin, text_width, text_height);
    label.label(text.c_str());
    label.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
    Fl_Return_Button ok((width - kButtonWidth) / 2, height - kMargin - kButtonHeight,
                        kButtonWidth, kButtonHeight, "OK");
    ok.callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    window.end();
    window.set_modal();
    window.position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    window.show();
    while (window.shown()) Fl::wait();
  }
};

}  // namespace

std::unique_ptr<MessageBoxes> MakeNativeMessageBoxes() {
  return std::make_unique<FltkMessageBoxes>();
}

}  // namespace tolvarin::platform
