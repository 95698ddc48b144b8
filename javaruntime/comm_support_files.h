#ifndef TOLVARIN_JAVARUNTIME_COMM_SUPPORT_FILES_H_
#define TOLVARIN_JAVARUNTIME_COMM_SUPPORT_FILES_H_

#include "javaruntime/java_runtime_context.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::javaruntime {

// Where one support file comes from and where it goes in a runtime.
struct SupportFilePlace {
  String source;     // in the source directory
  String directory;  // the runtime's directory it is copied into, ending in a separator
  String path;       // the file in that directory
};

// The support files' places for the runtime at `home`, in the order they are copied, as
// InstallCommSupportFiles builds them.
Vector<SupportFilePlace> SupportFilePlaces(const String& source_directory,
                                           const String& home);

// Copies into the Java runtime at `home` those of the serial-port support files it lacks,
// from context.support_source_directory, in this order:
//   Comm.jar              into home + "\lib\ext\"
//   javax.comm.properties into home + "\lib\"
//   Win32com.dll          into home + "\bin\"
// (with kPathSeparator in place of '\'). `home` is used exactly as given, so a trailing
// separator doubles at the join. A file already present is never replaced or examined,
// nor one that appears while it is copied (a second launcher, an installer): it counts as
// present.
// The first failure stops the rest; files copied before it stay. The failure is shown as
// two boxes, its description then "Error While Copying JAR File", and goes no further.
// Never throws.
void InstallCommSupportFiles(JavaRuntimeContext& context, const String& home);

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_COMM_SUPPORT_FILES_H_
