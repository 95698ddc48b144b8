#ifndef TOLVARIN_INSTALLER_RULE_RUNTIME_REPORT_H_
#define TOLVARIN_INSTALLER_RULE_RUNTIME_REPORT_H_

#include "javaruntime/prepare_java_runtime.h"
#include "platform/text.h"
#include "platform/vector.h"

namespace tolvarin::installer {

// Exit statuses of the runtime step. The install goes on whatever it is: a runtime may be
// installed later.
inline constexpr int kRuntimeReady = 0;
inline constexpr int kRuntimeNotFound = 10;      // no runtime 1.5 or later, or it has no home
inline constexpr int kRuntimeNotCopied = 11;     // support files it lacks could not be copied
inline constexpr int kRuntimeUnsafe = 12;        // its folders are links or others can change them
inline constexpr int kRuntimeFilesDiffer = 13;   // ready, but with support files not Setup's
inline constexpr int kRuntimeLogUnwritten = 14;  // whatever the rest: the log could not be written

// The runtime step's exit status for `preparation`, `differing` naming the support files the
// runtime holds that differ from Setup's.
int RuntimeStatus(const javaruntime::RuntimePreparation& preparation,
                  const Vector<String>& differing);

// The installer's account of `preparation`, one line per element, for its details, its last
// page and its log: what the launcher would have shown, which runtime was found (name and
// home), what is wrong with its folders, which of its support files differ from Setup's, and,
// when it is not ready, what the user must do.
Vector<String> DescribeRuntimePreparation(
    const javaruntime::RuntimePreparation& preparation,
    const Vector<String>& differing = {});

}  // namespace tolvarin::installer

#endif  // TOLVARIN_INSTALLER_RULE_RUNTIME_REPORT_H_
