// Loading a large registry export into the store, and the three registry operations on
// stores of 10 and of 100,000 keys: an operation must cost the same on both.
//   registry_benchmark [benchmark flags]
//   registry_benchmark --write_export=<file>   writes the 100,000-key export and exits

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/text.h"
#include "registry/reg_file_registry_api.h"
#include "registry/reg_file_store.h"
#include "registry/registry.h"

namespace tolvarin::registry {
namespace {

constexpr int kLargeStoreKeys = 100000;
constexpr int kKeysPerGroup = 1000;
constexpr int kBlobBytes = 24;
const String kRuntimes = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

void AppendUtf16(String& out, const String& ascii) {
  for (const char c : ascii) {
    out += c;
    out += '\0';
  }
}

// A UTF-16 export as regedit writes it: `keys` keys of about 500 bytes each, in groups
// of 1000, and the five runtime keys the operations are timed on.
String GenerateExport(int keys) {
  String out = "\xFF\xFE";
  AppendUtf16(out, "Windows Registry Editor Version 5.00\r\n\r\n");
  for (const char* version : {"1.4", "1.4.2_06", "1.5", "1.5.0_06", "1.6"}) {
    AppendUtf16(out, "[HKEY_LOCAL_MACHINE\\" + kRuntimes + "\\" + version +
                         "]\r\n\"JavaHome\"=\"C:\\\\Program Files\\\\Java\\\\jre" + version +
                         "\"\r\n\r\n");
  }
  char number[16];
  for (int key = 0; key < keys; ++key) {
    std::snprintf(number, sizeof number, "%06d", key);
    String text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvarinBench\\Group" +
                       DecimalString(key / kKeysPerGroup) + "\\Key" + number + "]\r\n";
    text += "\"JavaHome\"=\"C:\\\\Java\\\\jre" +
            String(number) + "\"\r\n";
    text += "\"Version\"=dword:" + String(number) + "\r\n";
    text += "\"Blob\"=hex:";
    for (int i = 0; i < kBlobBytes; ++i) {
      char byte[16];
      std::snprintf(byte, sizeof byte, "%02x%s", (key + i) & 0xFF,
                    i == kBlobBytes - 1 ? "\r\n" : (i % 20 == 19 ? ",\\\r\n  " : ","));
      text += byte;
    }
    text += "\"Path\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\r\n\r\n";
    AppendUtf16(out, text);
  }
  return out;
}

std::shared_ptr<const RegFileStore> StoreOf(int keys) {
  auto store = std::make_shared<RegFileStore>();
  if (!store->Import(GenerateExport(keys), "generated.reg").ok()) std::abort();
  return store;
}

const std::shared_ptr<const RegFileStore>& Store(int keys) {
  static const std::shared_ptr<const RegFileStore> small = StoreOf(10);
  static const std::shared_ptr<const RegFileStore> large = StoreOf(kLargeStoreKeys);
  return keys == 10 ? small : large;
}

void BM_LoadExport(benchmark::State& state) {
  const String contents = GenerateExport(kLargeStoreKeys);
  for (auto _ : state) {
    RegFileStore store;
    if (!store.Import(contents, "generated.reg").ok()) std::abort();
    benchmark::DoNotOptimize(store);
  }
  state.counters["MB"] = static_cast<double>(contents.size()) / 1e6;
  state.counters["keys"] = kLargeStoreKeys;
}
BENCHMARK(BM_LoadExport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RegistryKeyExists(benchmark::State& state) {
  RegFileRegistryApi api(Store(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(RegistryKeyExists(api, kHkeyLocalMachine, kRuntimes));
  }
}
BENCHMARK(BM_RegistryKeyExists)->Arg(10)->Arg(kLargeStoreKeys);

void BM_ListRegistrySubkeys(benchmark::State& state) {
  RegFileRegistryApi api(Store(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ListRegistrySubkeys(api, kHkeyLocalMachine, kRuntimes));
  }
}
BENCHMARK(BM_ListRegistrySubkeys)->Arg(10)->Arg(kLargeStoreKeys);

void BM_ReadRegistryValue(benchmark::State& state) {
  RegFileRegistryApi api(Store(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ReadRegistryValue(api, kHkeyLocalMachine, kRuntimes + "\\1.5", "JavaHome"));
  }
}
BENCHMARK(BM_ReadRegistryValue)->Arg(10)->Arg(kLargeStoreKeys);

}  // namespace
}  // namespace tolvarin::registry

int main(int argc, char** argv) {
  const std::string write_flag = "--write_export=";
  if (argc == 2 && std::string(argv[1]).rfind(write_flag, 0) == 0) {
    std::ofstream(std::string(argv[1]).substr(write_flag.size()), std::ios::binary)
        << tolvarin::registry::GenerateExport(tolvarin::registry::kLargeStoreKeys);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
