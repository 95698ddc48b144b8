#include "launcher/launcher_main.h"

// The launcher takes no command line.
int main() { return tolvarin::launcher::LauncherMain(); }
