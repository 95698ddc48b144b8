#ifndef TOLVARIN_JAVARUNTIME_PREPARE_JAVA_RUNTIME_H_
#define TOLVARIN_JAVARUNTIME_PREPARE_JAVA_RUNTIME_H_

#include "javaruntime/java_runtime_context.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::javaruntime {

// Judges, for the installer, the folders of a runtime that the support files go into before
// anything is copied there: the installer writes with rights the launcher's user lacks.
class SupportFolderGate {
 public:
  virtual ~SupportFolderGate() = default;
  // What is wrong with `directories` (as the copy names them, each ending in a separator), one
  // sentence each; empty lets the copy go on. What the gate holds to keep them as judged stays
  // held until the gate is destroyed. Fails where the folders cannot be judged at all.
  virtual platform::Result<Vector<String>> Judge(const Vector<String>& directories) = 0;
};

// What the installer made of the runtime that the launcher will choose.
struct RuntimePreparation {
  // The chosen runtime has a home and lacks none of the support files.
  bool ready = false;
  String runtime;  // the chosen subkey; empty when none was chosen
  String home;     // its "JavaHome"; empty when none was chosen or it is empty
  // What the launcher would have shown, in its order: the search's or the copy's failure.
  Vector<String> prompts;
  // What the gate found wrong with the runtime's folders; then nothing was copied.
  Vector<String> unsafe;
};

// Does for the installer, which runs elevated, what the launcher does before it starts the
// server: chooses the runtime (ChooseJavaRuntime) and copies into it the support files it
// lacks, from `support_source_directory` (InstallCommSupportFiles), so that the first
// launch by a user who may not write into the runtime finds them there; `gate`, when given,
// judges the runtime's folders first. Shows nothing, starts nothing, never ends the process
// and never sets JavaHomePath: what the launcher would show is returned instead. Never throws.
RuntimePreparation PrepareJavaRuntime(registry::RegistryApi& registry, platform::FileSystem& files,
                                      platform::ProcessServices& process,
                                      const String& support_source_directory,
                                      SupportFolderGate* gate = nullptr);

// PrepareJavaRuntime with this platform's registry, file system and support directory, as the
// launcher would find them. A registry that cannot be opened is a failed search. Never throws.
RuntimePreparation PrepareNativeJavaRuntime(SupportFolderGate* gate = nullptr);

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_PREPARE_JAVA_RUNTIME_H_
