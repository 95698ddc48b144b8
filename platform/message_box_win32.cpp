#include <windows.h>

#include <memory>
#include <utility>

#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/win32_util.h"

namespace tolvarin::platform {
namespace {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  void Show(const String& prompt) override {
    Result<WString> converted = win32::Utf8ToWide(prompt);
    // Unreachable for text the launcher builds; never lose the box itself.
    const WString text = converted.ok() ? std::move(converted).value() : WString(L"?");
    const WString title = win32::Utf8ToWideShown(kApplicationTitle);
    // MB_OK alone: the prompt, an OK button, no icon. No owner: the splash is gone by now.
    ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK);
  }
};

}  // namespace

std::unique_ptr<MessageBoxes> MakeNativeMessageBoxes() {
  return std::make_unique<Win32MessageBoxes>();
}

}  // namespace tolvarin::platform
