#include "javaruntime/prepare_java_runtime.h"

#include <memory>
#include <string>
#include <vector>

#include "javaruntime/comm_support_files.h"
#include "javaruntime/error_guard.h"
#include "javaruntime/locate_java_runtime.h"
#include "javaruntime/support_location.h"

namespace tolvarin::javaruntime {
namespace {

class RecordedMessages final : public platform::MessageBoxes {
 public:
  explicit RecordedMessages(std::vector<std::string>& prompts) : prompts_(prompts) {}
  void Show(const std::string& prompt) override { prompts_.push_back(prompt); }

 private:
  std::vector<std::string>& prompts_;
};

}  // namespace

RuntimePreparation PrepareJavaRuntime(registry::RegistryApi& registry, platform::FileSystem& files,
                                      platform::ProcessServices& process,
                                      const std::string& support_source_directory,
                                      SupportFolderGate* gate) {
  RuntimePreparation preparation;
  RecordedMessages recorded(preparation.prompts);
  JavaRuntimeContext quiet{registry, files, recorded, process, support_source_directory};
  // The launcher's own steps and failure texts; only where they go differs.
  RunGuarded(
      [&] {
        const RuntimeChoice choice = ChooseJavaRuntime(registry);
        if (choice.ending_prompt != nullptr) {
          recorded.Show(choice.ending_prompt);
          return;
        }
        preparation.runtime = choice.name;
        preparation.home = choice.home;
        if (choice.home.empty()) return;
        if (gate != nullptr) {
          std::vector<std::string> directories;
          for (const SupportFilePlace& place :
               SupportFilePlaces(support_source_directory, choice.home)) {
            directories.push_back(place.directory);
          }
          preparation.unsafe = gate->Judge(directories);
          if (!preparation.unsafe.empty()) return;
        }
        InstallCommSupportFiles(quiet, choice.home);
      },
      [&](const std::string& description) { ReportSearchFailure(recorded, description); });
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
