#ifndef TOLVARIN_LAUNCHER_RESOURCE_IDS_H_
#define TOLVARIN_LAUNCHER_RESOURCE_IDS_H_

// Resource numbers shared by Varnolet.rc and the code that loads the resources; plain
// macros, since the resource compiler reads this file too.

// The application icon group: the executable's own icon and the splash window's.
#define IDI_VARNOLET 1
// The splash picture, a GIF file kept as raw data.
#define IDR_SPLASH_PICTURE 101

#endif  // TOLVARIN_LAUNCHER_RESOURCE_IDS_H_
