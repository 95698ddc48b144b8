// Built into every Windows program. libstdc++'s default terminate handler names the exception
// on standard error, which a window program does not have, and brings the name demangler and the
// C runtime's printf with it (a third of the launcher); the link routes it here (--wrap).
#include <cstdlib>

extern "C" [[noreturn]] void __wrap__ZN9__gnu_cxx27__verbose_terminate_handlerEv() { std::abort(); }
