// The plug-in's only export.
#include "plugins/ark-simple-dialog-messages/simple_dialog_messages_module.h"
#include "sdk/host/plugin_entry.h"

ORB_PLUGIN_ENTRY(&Vela::Client::SimpleDialogMessages::Api::CreateSimpleDialogMessagesModule)
