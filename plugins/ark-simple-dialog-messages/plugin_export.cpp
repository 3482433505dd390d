// The plug-in's only export.
#include "plugins/ark-simple-dialog-messages/simple_dialog_messages_module.h"

extern "C" [[gnu::visibility("default")]] int load_ark_simple_dialog_messages(Vela::Sdk::PluginHandshake* handshake) {
  return Vela::Sdk::LoadPlugin(handshake, &Vela::Client::SimpleDialogMessages::Api::CreateSimpleDialogMessagesModule);
}
