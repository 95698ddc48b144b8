#ifndef TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_
#define TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_

#include <memory>

#include "javaruntime/java_runtime_context.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "registry/registry_api.h"

namespace tolvarin::javaruntime {

// Exit status of the process when no usable runtime is registered.
inline constexpr int kNoRuntimeStatus = 2;

// The runtime the launcher starts the server on, or why there is none.
struct RuntimeChoice {
  // Set when none is to be started: the missing runtimes key's or the no-qualifying-runtime
  // prompt; then `name` and `home` are empty.
  const char* ending_prompt = nullptr;
  String name;  // the chosen subkey
  String home;  // its "JavaHome" as text, possibly empty
};

// The choice rule alone, shared by the launcher and the installer: the first subkey of
// HKLM\SOFTWARE\JavaSoft\Java Runtime Environment, in enumeration order, whose first three
// characters read as a number of at least 1.5 (not the newest), and its "JavaHome".
// Fails for a name that is not a number (even if a later one would have qualified) and with
// what the registry reports, such as a "JavaHome" that is not text.
platform::Result<RuntimeChoice> ChooseJavaRuntime(registry::RegistryApi& registry);

// Chooses the Java runtime the server runs on (ChooseJavaRuntime). Empties JavaHomePath
// first; when the chosen runtime's "JavaHome" is not empty, stores it in
// JavaHomePath and deploys the support files into it (InstallCommSupportFiles, which
// reports its own failures).
// Ends the process with kNoRuntimeStatus after one box when the key is missing or no
// subkey qualifies. Any other failure (a name that is not a number, a registry error)
// stops the search and is handled by ReportSearchFailure; the caller then goes on with
// "java" from the search path. Never fails.
void LocateJavaRuntime(JavaRuntimeContext& context);

// This platform's registry, opened for a search; nullptr, after ReportSearchFailure on
// `messages`, when it cannot be opened (a malformed store on POSIX).
std::unique_ptr<registry::RegistryApi> OpenRegistryForSearch(platform::MessageBoxes& messages);

// Handles a failed search: shows `description`, then "Error While Searching JVM on Your
// Machine", and empties JavaHomePath. Also for failures met before the search can start,
// such as a registry that cannot be opened.
void ReportSearchFailure(platform::MessageBoxes& messages, const String& description);

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_LOCATE_JAVA_RUNTIME_H_
