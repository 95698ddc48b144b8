#include "launcher/splash_layout.h"

namespace tolvarin::launcher {

const platform::FormLayout& SplashLayout() {
  static const platform::FormLayout kLayout{7395, 5025};
  return kLayout;
}

}  // namespace tolvarin::launcher
