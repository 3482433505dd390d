// Assertion reports and the fatal end of the process.
#include "sdk/diag/assertion.h"

#include <cstdio>
#include <cstdlib>

#include "sdk/diag/log.h"

namespace Vela::Sdk {

namespace {

bool IsGiven(const char* text) { return text != nullptr && text[0] != '\0'; }

}  // namespace

std::string BuildAssertionReport(const char* expression, const char* file, int32_t line, const char* function,
                                 const char* description) {
  std::string report = "Assertion failed!\n\n";
  if (IsGiven(file)) {
    report += "File: ";
    report += file;
    report += '\n';
  }
  if (line != 0) {
    report += "Line: ";
    report += std::to_string(line);
    report += "\n\n";
  }
  if (IsGiven(function)) {
    report += "Function: ";
    report += function;
    report += "\n\n";
  }
  if (IsGiven(expression)) {
    report += "Expression: ";
    report += expression;
  }
  if (IsGiven(description)) {
    report += "\n\nDescription: ";
    report += description;
  }
  return report;
}

void ReportAssertion(const char* expression, const char* description, const char* file, int32_t line,
                     const char* function) noexcept {
  std::string report = BuildAssertionReport(expression, file, line, function, description);
  Log(kLogError, kCategoryDbg, "%s", report.c_str());
}

void FatalError(const char* identifier) noexcept { FatalError(identifier, ""); }

void FatalError(const char* identifier, const char* description) noexcept {
  ReportAssertion(identifier, description, "", 0, "");
  // Standard error is unbuffered, but a target may sit on a buffered stream.
  std::fflush(nullptr);
  std::abort();
}

}  // namespace Vela::Sdk
