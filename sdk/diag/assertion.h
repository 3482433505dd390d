// Assertion reports: the last words before the process ends on an unrecoverable condition.
#pragma once

#include <cstdint>
#include <string>

namespace Vela::Sdk {

/// "Assertion failed!", two line feeds, then the non-empty parts in order: "File: ...",
/// "Line: ...", "Function: ...", "Expression: ...", "Description: ...". Null or empty texts and
/// line 0 are left out.
std::string BuildAssertionReport(const char* expression, const char* file, int32_t line, const char* function,
                                 const char* description);

/// Logs the report at level 2 (" ERROR") in category "DBG".
void ReportAssertion(const char* expression, const char* description, const char* file, int32_t line,
                     const char* function) noexcept;

/// Reports `identifier` (such as "ALE-EECF0606") as the expression, then ends the process as
/// abort() does, with nothing unwound.
[[noreturn]] void FatalError(const char* identifier) noexcept;
/// The same with a description part in the report.
[[noreturn]] void FatalError(const char* identifier, const char* description) noexcept;

}  // namespace Vela::Sdk
