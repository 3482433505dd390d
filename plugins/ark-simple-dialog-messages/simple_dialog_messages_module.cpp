// The plug-in object of ark-simple-dialog-messages: the store, routes and intake attach here.
#include "plugins/ark-simple-dialog-messages/simple_dialog_messages_module.h"

namespace Vela::Client::SimpleDialogMessages::Api {

SimpleDialogMessagesModule::SimpleDialogMessagesModule() : AppModule(kShortName) {}

SimpleDialogMessagesModule::~SimpleDialogMessagesModule() = default;

void SimpleDialogMessagesModule::RegisterRoutes() {}

bool SimpleDialogMessagesModule::Start() { return true; }

Vela::Sdk::AppModule* CreateSimpleDialogMessagesModule() { return new SimpleDialogMessagesModule(); }

}  // namespace Vela::Client::SimpleDialogMessages::Api
