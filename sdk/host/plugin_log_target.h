// PluginLogTarget: the log target that hands every record to the host's log function, in place
// of the console targets, which a plug-in inside the host cannot use.
#pragma once

#include <memory>

#include "sdk/diag/log_target.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

inline constexpr char kPluginLogTargetName[] = "PluginLogTarget";
/// The format the target is configured with; the host is given the bare message all the same.
inline constexpr char kPluginLogTargetFormat[] = "#D| #L| #G| #M";
/// Categories the logger mutes once the plug-in logs to the host: "XTR".
inline constexpr uint64_t kPluginMutedCategories = 4;

class PluginLogTarget final : public LogTarget {
 public:
  explicit PluginLogTarget(HostFunctionTable* table) noexcept : table_(table) {}
  ~PluginLogTarget() override;

  const char* Name() const override { return kPluginLogTargetName; }
  /// Host function 9 with the record's level and message; the rendered line is not used.
  bool Write(const LogRecord& record) override;

 private:
  HostFunctionTable* table_;
};

/// Unless a target named "PluginLogTarget" is registered already (then null): unregisters the
/// console targets, lets the logger pass every level with "XTR" muted, and returns a new
/// PluginLogTarget for `table`, configured and registered.
std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(HostFunctionTable* table);

}  // namespace Vela::Sdk
