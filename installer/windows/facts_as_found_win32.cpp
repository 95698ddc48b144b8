// The shipped programs judge every entry as Windows shows it, and nobody races them here.

#include "installer/windows/entry_view_win32.h"

namespace tolvarin::installer::win32 {

void AdjustFactsForTest(const WString&, EntryFacts&) {}

void BeforeCreatingForTest(const WString&) {}

}  // namespace tolvarin::installer::win32
