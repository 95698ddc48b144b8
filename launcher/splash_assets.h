#ifndef TOLVARIN_LAUNCHER_SPLASH_ASSETS_H_
#define TOLVARIN_LAUNCHER_SPLASH_ASSETS_H_

#include <string_view>

#include "platform/vector.h"

namespace tolvarin::launcher {

// The splash picture's GIF file as built into the running executable; the bytes live as
// long as the process. Empty when the executable carries none (a Windows test program
// linked without the resource script). Never throws.
std::string_view SplashPicture();

// The application icon's images as GIF files, 32 x 32 then 16 x 16, for windows that
// cannot use the executable's icon group; empty on Windows, which loads the group itself.
Vector<std::string_view> IconImages();

}  // namespace tolvarin::launcher

#endif  // TOLVARIN_LAUNCHER_SPLASH_ASSETS_H_
