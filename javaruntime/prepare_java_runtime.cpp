#include "javaruntime/prepare_java_runtime.h"

#include <memory>

#include "javaruntime/comm_support_files.h"
#include "javaruntime/error_guard.h"
#include "javaruntime/locate_java_runtime.h"
#include "javaruntime/support_location.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::javaruntime {
namespace {

class RecordedMessages final : public platform::MessageBoxes {
 public:
  explicit RecordedMessages(Vector<String>& prompts) : prompts_(prompts) {}
  void Show(const String& prompt) override { prompts_.push_back(prompt); }

 private:
  Vector<String>& prompts_;
};

}  // namespace

RuntimePreparation PrepareJavaRuntime(registry::RegistryApi& registry, platform::FileSystem& files,
                                      platform::ProcessServices& process,
                                      const String& support_source_directory,
                                      SupportFolderGate* gate) {
  RuntimePreparation preparation;
  RecordedMessages recorded(preparation.prompts);
  JavaRuntimeContext quiet{registry, files, recorded, process, support_source_directory};
  // The launcher's own steps and failure texts; only where they go differs.
  RunGuarded(
      [&]() -> platform::Outcome {
        const platform::Result<RuntimeChoice> chosen = ChooseJavaRuntime(registry);
        if (!chosen.ok()) return chosen.error();
        const RuntimeChoice& choice = *chosen;
        if (choice.ending_prompt != nullptr) {
          recorded.Show(choice.ending_prompt);
          return {};
        }
        preparation.runtime = choice.name;
        preparation.home = choice.home;
        if (choice.home.empty()) return {};
        if (gate != nullptr) {
          Vector<String> directories;
          for (const SupportFilePlace& place :
               SupportFilePlaces(support_source_directory, choice.home)) {
            directories.push_back(place.directory);
          }
          platform::Result<Vector<String>> unsafe = gate->Judge(directories);
          if (!unsafe.ok()) return unsafe.error();
          preparation.unsafe = std::move(unsafe).value();
          if (!preparation.unsafe.empty()) return {};
        }
        InstallCommSupportFiles(quiet, choice.home);
        return {};
      },
      [&](const String& description) { ReportSearchFailure(recorded, description); });
  preparation.ready =
      !preparation.home.empty() && preparation.prompts.empty() && preparation.unsafe.empty();
  return preparation;
}

RuntimePreparation PrepareNativeJavaRuntime(SupportFolderGate* gate) {
  const auto process = platform::MakeNativeProcessServices();
  const auto files = platform::MakeNativeFileSystem();
  RuntimePreparation unopened;
  RecordedMessages recorded(unopened.prompts);
  const auto registry = OpenRegistryForSearch(recorded);
  if (registry == nullptr) return unopened;
  return PrepareJavaRuntime(*registry, *files, *process, SupportSourceDirectory(), gate);
}

}  // namespace tolvarin::javaruntime
