// The launch sequence from the tick to the started process, on the real registry store
// (loaded from an export file at the tick, as the launcher's first and only tick does:
// MakeNativeRegistryApi keeps its store for the process, so the store is loaded here
// each time through LoadRegFileStore), the real file system
// and a real spawn: "java" is /bin/true under the chosen runtime's bin. Stores of 5 and
// of 10,000 runtimes; the qualifying runtime enumerated last (every other name is below
// 1.5, so the walk reads them all) or first; support files present, or copied each time.
//   launch_sequence_benchmark [benchmark flags]

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "javaruntime/java_runtime_context.h"
#include "javaruntime/locate_java_runtime.h"
#include "launcher/launch_sequence.h"
#include "platform/file_system.h"
#include "platform/function.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/splash_window.h"
#include "platform/text.h"
#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"

namespace tolvarin::launcher {
namespace {

namespace fs = std::filesystem;

const char* const kSupportFiles[][2] = {
    {"lib/ext", "Comm.jar"}, {"lib", "javax.comm.properties"}, {"bin", "Win32com.dll"}};

// The splash is gone by the tick; closing it costs nothing worth timing.
class ClosedSplash final : public platform::SplashWindow {
 public:
  platform::Result<int> Run(std::chrono::milliseconds,
                            const Function<int()>& on_tick) override {
    return on_tick();
  }
  void Close() override {}
};

// A box would stop the run: count them instead, and fail the benchmark if any shows.
class CountedMessages final : public platform::MessageBoxes {
 public:
  void Show(const String& prompt) override {
    ++shown;
    last = prompt;
  }
  int shown = 0;
  String last;
};

// The native services, with every started child counted so the loop can reap it
// outside the timed region; ending the process would end the benchmark.
class CountingProcess final : public platform::ProcessServices {
 public:
  platform::Result<String> ExecutableDirectory() const override {
    return native_->ExecutableDirectory();
  }
  platform::Result<String> CurrentDirectory() const override {
    return native_->CurrentDirectory();
  }
  platform::Outcome ChangeDirectory(const String& path) override {
    return native_->ChangeDirectory(path);
  }
  platform::Outcome StartHidden(const platform::NativeCommand& command) override {
    platform::Outcome started_one = native_->StartHidden(command);
    if (started_one.ok()) ++started;
    return started_one;
  }
  [[noreturn]] void EndProcess(int status) override {
    std::fprintf(stderr, "launch sequence ended the process with status %d\n", status);
    std::abort();
  }

  // Waits for every child started so far.
  void ReapChildren() {
    for (; started > 0; --started) {
      int status = 0;
      while (::waitpid(-1, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  int started = 0;

 private:
  std::unique_ptr<platform::ProcessServices> native_ = platform::MakeNativeProcessServices();
};

void WriteFile(const fs::path& path, const String& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// A scratch tree shared by all runs: the support directory, the chosen runtime's home
// with /bin/true as its java, and one export per store shape.
struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "tolvarin-launch-bench.XXXXXX").string();
    root = ::mkdtemp(pattern.data());
    fs::create_directories(root / "support");
    for (const auto& file : kSupportFiles) WriteFile(root / "support" / file[1], "stand-in\n");
    home = root / "jre1.5";
    for (const char* directory : {"lib/ext", "lib", "bin"}) fs::create_directories(home / directory);
    fs::create_symlink("/bin/true", home / "bin" / "java");
  }
  ~Scratch() { fs::remove_all(root); }

  // A UTF-16 export as regedit writes it, of `runtimes` runtime keys: "1.5" and, when
  // `chosen_first`, names that enumerate after it (1.6.*), otherwise names below 1.5 that
  // enumerate before it (1.4.*). Returns its path.
  String ExportOf(int runtimes, bool chosen_first) const {
    String text = "Windows Registry Editor Version 5.00\r\n\r\n";
    const String prefix = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\";
    text += prefix + "1.5]\r\n\"JavaHome\"=\"" + home.string().c_str() + "\"\r\n\r\n";
    char name[32];
    for (int i = 0; i < runtimes - 1; ++i) {
      std::snprintf(name, sizeof name, "%s.%05d", chosen_first ? "1.6" : "1.4", i);
      text += prefix + name + "]\r\n\"JavaHome\"=\"/opt/java/jre" + name + "\"\r\n\r\n";
    }
    String utf16 = "\xFF\xFE";
    for (const char c : text) {
      utf16 += c;
      utf16 += '\0';
    }
    const fs::path path =
        root / ("runtimes-" + std::to_string(runtimes) + (chosen_first ? "-first" : "-last") + ".reg");
    WriteFile(path, utf16);
    return path.string();
  }

  void RemoveCopiedFiles() const {
    for (const auto& file : kSupportFiles) fs::remove(home / file[0] / file[1]);
  }
  void CopySupportFiles() const {
    for (const auto& file : kSupportFiles) {
      fs::copy_file(root / "support" / file[1], home / file[0] / file[1],
                    fs::copy_options::overwrite_existing);
    }
  }

  fs::path root;
  fs::path home;
};

Scratch& SharedScratch() {
  static Scratch scratch;
  return scratch;
}

// args: runtimes in the store; whether 1.5 is enumerated first; whether the support
// files are missing (and so copied) at every launch; whether the export is loaded at the
// tick, as the launcher does (0 times the walk alone, on a store loaded beforehand).
void BM_LaunchSequence(benchmark::State& state) {
  const int runtimes = static_cast<int>(state.range(0));
  const bool chosen_first = state.range(1) != 0;
  const bool copy = state.range(2) != 0;
  const bool load_at_tick = state.range(3) != 0;
  Scratch& scratch = SharedScratch();
  const String export_file = scratch.ExportOf(runtimes, chosen_first);
  if (copy) {
    scratch.RemoveCopiedFiles();
  } else {
    scratch.CopySupportFiles();
  }

  ClosedSplash splash;
  CountingProcess process;
  CountedMessages messages;
  const auto files = platform::MakeNativeFileSystem();
  const String support = (scratch.root / "support").string() + "/";
  const auto preloaded = std::make_shared<const registry::RegFileStore>(
      *registry::LoadRegFileStore(export_file));
  LaunchContext context{splash, process, messages, [&] {
                          registry::RegFileRegistryApi registry(
                              load_at_tick ? std::make_shared<const registry::RegFileStore>(
                                                 *registry::LoadRegFileStore(export_file))
                                           : preloaded);
                          javaruntime::JavaRuntimeContext runtime{registry, *files, messages,
                                                                  process, support};
                          javaruntime::LocateJavaRuntime(runtime);
                        }};
  for (auto _ : state) {
    const int status = RunLaunchSequence(context);
    state.PauseTiming();
    const int started = process.started;
    process.ReapChildren();
    if (copy) scratch.RemoveCopiedFiles();
    if (status != 0 || messages.shown != 0 || started != 1) {
      state.SkipWithError(("launch failed: " + messages.last).c_str());
      state.ResumeTiming();
      break;
    }
    state.ResumeTiming();
  }
  state.counters["runtimes"] = runtimes;
}
BENCHMARK(BM_LaunchSequence)
    ->ArgNames({"runtimes", "chosen_first", "copy", "load"})
    ->Args({5, 0, 0, 1})
    ->Args({5, 1, 0, 1})
    ->Args({5, 0, 1, 1})
    ->Args({10000, 0, 0, 1})
    ->Args({10000, 1, 0, 1})
    ->Args({10000, 0, 0, 0})
    ->Args({10000, 1, 0, 0})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace
}  // namespace tolvarin::launcher

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
