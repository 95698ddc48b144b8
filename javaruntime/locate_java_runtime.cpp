#include "javaruntime/locate_java_runtime.h"

#include <memory>
#include <utility>

#include "javaruntime/comm_support_files.h"
#include "javaruntime/error_guard.h"
#include "javaruntime/java_home_path.h"
#include "javaruntime/version_number.h"
#include "platform/text.h"
#include "registry/registry.h"

namespace tolvarin::javaruntime {
namespace {

constexpr char kRuntimesKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kJavaHomeValue[] = "JavaHome";
constexpr double kLowestVersion = 1.5;

constexpr char kNoRuntimesKeyPrompt[] =
    "You have not Installed Java Runtime Environment on your computer.\r\n"
    "Download and install Java Runtime Environment Version 1.5 or higher version.\r\n"
    "Please refer installtion guide of Tessamorn for further help";
constexpr char kNoQualifyingRuntimePrompt[] =
    "Java Runtime Environment version 1.5 or higher version is not avaiable";
constexpr char kSearchFailedPrompt[] = "Error While Searching JVM on Your Machine";

}  // namespace

platform::Result<RuntimeChoice> ChooseJavaRuntime(registry::RegistryApi& registry) {
  if (!registry::RegistryKeyExists(registry, registry::kHkeyLocalMachine, kRuntimesKey)) {
    return RuntimeChoice{kNoRuntimesKeyPrompt, "", ""};
  }
  const platform::Result<registry::SubkeyList> names =
      registry::ListRegistrySubkeys(registry, registry::kHkeyLocalMachine, kRuntimesKey);
  if (!names.ok()) return names.error();
  for (const String& name : *names) {
    // A name that is not a number fails here and ends the walk, even if a later one
    // would have qualified.
    const platform::Result<double> version = VersionNumber(VersionText(name));
    if (!version.ok()) return version.error();
    if (*version >= kLowestVersion) {
      const platform::Result<registry::Variant> value =
          registry::ReadRegistryValue(registry, registry::kHkeyLocalMachine,
                                      String(kRuntimesKey) + "\\" + name, kJavaHomeValue);
      if (!value.ok()) return value.error();
      platform::Result<String> home = value->AsText();
      if (!home.ok()) return home.error();
      return RuntimeChoice{nullptr, name, std::move(home).value()};
    }
  }
  return RuntimeChoice{kNoQualifyingRuntimePrompt, "", ""};
}

void LocateJavaRuntime(JavaRuntimeContext& context) {
  JavaHomePath.clear();
  RuntimeChoice choice;
  const bool searched = RunGuarded(
      [&]() -> platform::Outcome {
        platform::Result<RuntimeChoice> chosen = ChooseJavaRuntime(context.registry);
        if (!chosen.ok()) return chosen.error();
        choice = std::move(chosen).value();
        if (!choice.home.empty()) {
          JavaHomePath = choice.home;
          InstallCommSupportFiles(context, choice.home);
        }
        return {};
      },
      [&](const String& description) { ReportSearchFailure(context.messages, description); });
  // Outside the guard: ending the process is not a failure of the search.
  if (searched && choice.ending_prompt != nullptr) {
    context.messages.Show(choice.ending_prompt);
    context.process.EndProcess(kNoRuntimeStatus);
  }
}

std::unique_ptr<registry::RegistryApi> OpenRegistryForSearch(platform::MessageBoxes& messages) {
  platform::Result<std::unique_ptr<registry::RegistryApi>> opened =
      registry::MakeNativeRegistryApi();
  if (opened.ok()) return std::move(opened).value();
  ReportSearchFailure(messages, opened.error().description());
  return nullptr;
}

void ReportSearchFailure(platform::MessageBoxes& messages, const String& description) {
  messages.Show(description);
  messages.Show(kSearchFailedPrompt);
  JavaHomePath.clear();
}

}  // namespace tolvarin::javaruntime
