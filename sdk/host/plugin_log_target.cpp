// The log target that forwards to the host.
#include "sdk/host/plugin_log_target.h"

#include "sdk/diag/logger.h"

namespace Vela::Sdk {

// Records may still arrive from other threads until the target has left the logger.
PluginLogTarget::~PluginLogTarget() { Detach(); }

bool PluginLogTarget::Write(const LogRecord& record) {
  if (table_ != nullptr && table_->log != nullptr) {
    table_->log(table_, record.level, record.message != nullptr ? record.message : "");
  }
  return true;
}

std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(HostFunctionTable* table) {
  Logger& logger = Logger::Instance();
  if (logger.FindTarget(kPluginLogTargetName) != nullptr) return nullptr;
  logger.UnregisterConsoleTargets();
  logger.SetMinimumLevel(kLogOkay);
  logger.SetMutedCategories(kPluginMutedCategories);
  auto target = std::make_unique<PluginLogTarget>(table);
  LogTargetSettings settings;
  settings.minimumLevel = logger.MinimumLevel();
  settings.acceptedMask = 0;
  settings.mutedMask = 0;
  settings.lineFormat = kPluginLogTargetFormat;
  Configure(*target, settings);
  return target;
}

}  // namespace Vela::Sdk
