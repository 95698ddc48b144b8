#ifndef TOLVARIN_INSTALLER_RUNTIME_REPORT_H_
#define TOLVARIN_INSTALLER_RUNTIME_REPORT_H_

#include <string>
#include <vector>

#include "javaruntime/prepare_java_runtime.h"

namespace tolvarin::installer {

// Exit status of the runtime step when the runtime is ready, and when it is not (the install
// goes on either way: a runtime may be installed later).
inline constexpr int kRuntimeReadyStatus = 0;
inline constexpr int kRuntimeNotReadyStatus = 1;

// The installer's account of `preparation`, one line per element, for its details, its last
// page and its log: what the launcher would have shown, which runtime was found (name and
// home), and, when it is not ready, what the user must do.
std::vector<std::string> DescribeRuntimePreparation(
    const javaruntime::RuntimePreparation& preparation);

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_RUNTIME_REPORT_H_
