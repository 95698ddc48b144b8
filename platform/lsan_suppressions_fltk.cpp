// Built into every program of a sanitizer build on Linux. FLTK opens each font through Xft
// once and keeps it to the end of the process; the fontconfig patterns Xft makes on the way
// are held by nothing LeakSanitizer can see, so it would report every font the splash and
// the message boxes draw with.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libXft.so\n";
}

// Known library leaks are no news: keep standard error for the program's own lines.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
