#include "installer/runtime_report.h"

#include <string>
#include <vector>

namespace tolvarin::installer {
namespace {

constexpr char kAdvice[] =
    "Varnolet.exe needs them to reach the modem: install a 32-bit Java Runtime Environment 1.5 "
    "or later if there is none, then start Varnolet.exe once as an administrator, or run this "
    "installer again.";

// The launcher's multi-line prompts, one line each.
void AppendLines(const std::string& text, std::vector<std::string>& lines) {
  std::string::size_type start = 0;
  for (std::string::size_type end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
}

}  // namespace

std::vector<std::string> DescribeRuntimePreparation(
    const javaruntime::RuntimePreparation& preparation) {
  const std::string runtime =
      "The Java runtime " + preparation.runtime +
      (preparation.home.empty() ? std::string() : " at " + preparation.home);
  if (preparation.ready) {
    return {runtime + " has the serial-port support files."};
  }
  std::vector<std::string> lines;
  for (const std::string& prompt : preparation.prompts) AppendLines(prompt, lines);
  if (preparation.runtime.empty()) {
    lines.push_back("No Java runtime 1.5 or later was found for Varnolet.exe, so the serial-port "
                    "support files were not copied into one.");
  } else if (preparation.home.empty()) {
    lines.push_back(runtime + " is registered without a home directory, so the serial-port "
                    "support files were not copied into it.");
  } else {
    lines.push_back(runtime + " lacks serial-port support files that could not be copied.");
  }
  lines.push_back(kAdvice);
  return lines;
}

}  // namespace tolvarin::installer
