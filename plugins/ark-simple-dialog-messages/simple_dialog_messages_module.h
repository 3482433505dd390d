// The plug-in object of ark-simple-dialog-messages.
#pragma once

#include "sdk/host/app_module.h"

namespace Vela::Client::SimpleDialogMessages::Api {

/// The plug-in's short name; its full name adds the back-end prefix.
inline constexpr char kShortName[] = "ark-simple-dialog-messages";

class SimpleDialogMessagesModule final : public Vela::Sdk::AppModule {
 public:
  SimpleDialogMessagesModule();
  ~SimpleDialogMessagesModule() override;

  /// Registers the service's records and its message routes.
  void RegisterRoutes() override;
  /// Subscribes to the platform's messages and the resources that gate them.
  bool Start() override;
};

/// Builds the plug-in object for the export.
Vela::Sdk::AppModule* CreateSimpleDialogMessagesModule();

}  // namespace Vela::Client::SimpleDialogMessages::Api
