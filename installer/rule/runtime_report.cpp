#include "installer/rule/runtime_report.h"

#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {
namespace {

// Started from the Start menu it asks for an administrator and prepares the runtime, without
// running the SMS server as one.
constexpr char kPrepareLater[] =
    "run \"Prepare Java for Tolvarin\" from the Start menu (it asks for an administrator), or "
    "run this installer again.";

// The launcher's multi-line prompts, one line each.
void AppendLines(const String& text, Vector<String>& lines) {
  String::size_type start = 0;
  for (String::size_type end; (end = text.find("\r\n", start)) != String::npos;
       start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
}

}  // namespace

int RuntimeStatus(const javaruntime::RuntimePreparation& preparation,
                  const Vector<String>& differing) {
  if (preparation.ready) return differing.empty() ? kRuntimeReady : kRuntimeFilesDiffer;
  if (!preparation.unsafe.empty()) return kRuntimeUnsafe;
  if (preparation.home.empty()) return kRuntimeNotFound;
  return kRuntimeNotCopied;
}

Vector<String> DescribeRuntimePreparation(
    const javaruntime::RuntimePreparation& preparation, const Vector<String>& differing) {
  const String runtime =
      "The Java runtime " + preparation.runtime +
      (preparation.home.empty() ? String() : " at " + preparation.home);
  Vector<String> lines;
  if (preparation.ready) {
    lines.push_back(runtime + " has the serial-port support files.");
    for (const String& path : differing) {
      lines.push_back(path + " differs from Setup's copy and was kept, as Varnolet.exe keeps it: "
                      "if nobody put it there on purpose, delete it, then " + kPrepareLater);
    }
    return lines;
  }
  for (const String& prompt : preparation.prompts) AppendLines(prompt, lines);
  if (!preparation.unsafe.empty()) {
    lines.push_back(runtime + " was not prepared: Setup writes into a runtime only where nobody "
                    "but an administrator can change what it writes.");
    lines.insert(lines.end(), preparation.unsafe.begin(), preparation.unsafe.end());
    lines.push_back("Let only administrators change the runtime's bin, lib and lib\\ext folders "
                    "(or reinstall it under the programs folder), then " +
                    String(kPrepareLater));
    return lines;
  }
  if (preparation.runtime.empty()) {
    lines.push_back("No Java runtime 1.5 or later was found for Varnolet.exe, so the serial-port "
                    "support files were not copied into one.");
  } else if (preparation.home.empty()) {
    lines.push_back(runtime + " is registered without a home directory, so the serial-port "
                    "support files were not copied into it.");
  } else {
    lines.push_back(runtime + " lacks serial-port support files that could not be copied.");
  }
  lines.push_back(
      "Varnolet.exe needs them to reach the modem: install a 32-bit Java Runtime Environment 1.5 "
      "or later if there is none, then " + String(kPrepareLater));
  return lines;
}

}  // namespace tolvarin::installer
