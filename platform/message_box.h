#ifndef TOLVARIN_PLATFORM_MESSAGE_BOX_H_
#define TOLVARIN_PLATFORM_MESSAGE_BOX_H_

#include <memory>

#include "platform/text.h"

namespace tolvarin::platform {

// The title every box of the launcher carries: the application's own.
inline constexpr char kApplicationTitle[] = "Tolvarin";

// Modal message boxes: the prompt alone, an OK button, no icon (style 0).
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;

  // Shows `prompt` (UTF-8; lines joined by CR LF) titled kApplicationTitle and returns when
  // the user has closed the box. The answer carries no meaning. Never throws.
  virtual void Show(const String& prompt) = 0;
};

// Boxes of this platform. On POSIX each prompt is also written to standard error as one
// line, CR, LF and backslash written as \r, \n and \\, so scripted runs can read it back.
std::unique_ptr<MessageBoxes> MakeNativeMessageBoxes();

}  // namespace tolvarin::platform

#endif  // TOLVARIN_PLATFORM_MESSAGE_BOX_H_
