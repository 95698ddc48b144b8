#ifndef TOLVARIN_JAVARUNTIME_JAVA_RUNTIME_CONTEXT_H_
#define TOLVARIN_JAVARUNTIME_JAVA_RUNTIME_CONTEXT_H_

#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/text.h"
#include "registry/registry_api.h"

namespace tolvarin::javaruntime {

// What runtime discovery and support-file deployment work with; all owned by the caller.
struct JavaRuntimeContext {
  registry::RegistryApi& registry;
  platform::FileSystem& files;
  platform::MessageBoxes& messages;
  platform::ProcessServices& process;
  // Where the support files are copied from, ending in a separator; in the launcher
  // SupportSourceDirectory().
  String support_source_directory;
};

}  // namespace tolvarin::javaruntime

#endif  // TOLVARIN_JAVARUNTIME_JAVA_RUNTIME_CONTEXT_H_
