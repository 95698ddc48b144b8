#include "javaruntime/comm_support_files.h"

#include <initializer_list>

#include "javaruntime/error_guard.h"
#include "javaruntime/support_location.h"
#include "platform/text.h"

namespace tolvarin::javaruntime {
namespace {

constexpr char kCopyFailedPrompt[] = "Error While Copying JAR File";

// One support file: its name, in the source directory and in the runtime, and the
// runtime directory it belongs in, as components below the home.
struct SupportFile {
  const char* name;
  std::initializer_list<const char*> directory;
};

const SupportFile kSupportFiles[] = {
    {"Comm.jar", {"lib", "ext"}},
    {"javax.comm.properties", {"lib"}},
    {"Win32com.dll", {"bin"}},
};

// home + "\lib\ext\": the home as given, each component preceded by a separator, and one
// at the end so that a copy keeps the source's file name.
String DestinationDirectory(const String& home, const SupportFile& file) {
  String directory = home;
  for (const char* component : file.directory) {
    directory += kPathSeparator;
    directory += component;
  }
  directory += kPathSeparator;
  return directory;
}

}  // namespace

Vector<SupportFilePlace> SupportFilePlaces(const String& source_directory,
                                           const String& home) {
  Vector<SupportFilePlace> places;
  for (const SupportFile& file : kSupportFiles) {
    const String directory = DestinationDirectory(home, file);
    places.push_back({source_directory + file.name, directory, directory + file.name});
  }
  return places;
}

void InstallCommSupportFiles(JavaRuntimeContext& context, const String& home) {
  RunGuarded(
      [&]() -> platform::Outcome {
        for (const SupportFilePlace& place :
             SupportFilePlaces(context.support_source_directory, home)) {
          const platform::Result<bool> present = context.files.FileExists(place.path);
          if (!present.ok()) return present.error();
          if (*present) continue;
          if (platform::Outcome copied = context.files.CopyFile(place.source, place.directory);
              !copied.ok()) {
            return copied;
          }
        }
        return {};
      },
      [&](const String& description) {
        context.messages.Show(description);
        context.messages.Show(kCopyFailedPrompt);
      });
}

}  // namespace tolvarin::javaruntime
