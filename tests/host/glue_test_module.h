// GlueModule: an AppModule linked into the test and driven through the host stand-in, with the
// traces it writes collected.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "devhost/host_stand_in.h"
#include "sdk/host/app_module.h"

namespace Vela::Sdk::GlueTest {

inline constexpr char kGlueName[] = "glue";

/// A record the tests observe resources and LCDS messages as.
struct Session {
  std::string phase;
  int32_t round = 0;
};

/// Collects traces while alive.
class TraceCapture {
 public:
  TraceCapture() : previous_(SetTraceHook(&Collect)) { Texts().clear(); }
  ~TraceCapture() { SetTraceHook(previous_); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  static std::vector<std::string>& Texts() {
    static std::vector<std::string> texts;
    return texts;
  }

 private:
  static void Collect(const char* text) { Texts().emplace_back(text); }
  TraceHook previous_;
};

class GlueModule : public AppModule {
 public:
  GlueModule() : AppModule(kGlueName) {}
  void RegisterRoutes() override {
    RegisterStruct<Session>(Registry(), "GlueSession").Field("phase", &Session::phase).Field("round", &Session::round);
  }
  bool Start() override { return true; }

  using AppModule::TypeNameOf;
};

inline GlueModule*& LastGlueModule() {
  static GlueModule* module = nullptr;
  return module;
}

inline int LoadGlueModule(PluginHandshake* handshake) {
  return LoadPlugin(handshake, []() -> AppModule* { return LastGlueModule() = new GlueModule(); });
}

/// A stand-in that has shaken hands with a fresh GlueModule and initialised it.
struct GlueHost {
  DevHost::HostStandIn host;
  GlueModule* module = nullptr;

  GlueHost() {
    host.Attach(&LoadGlueModule);
    EXPECT_EQ(host.Handshake(), 0);
    module = LastGlueModule();
    EXPECT_TRUE(host.Initialise());
    host.ClearCalls();
  }
};

/// The calls of one host function as their argument lists.
inline std::vector<std::vector<std::string>> ArgumentsOf(const DevHost::HostStandIn& host, int slot) {
  std::vector<std::vector<std::string>> arguments;
  for (const DevHost::HostCall& call : host.CallsOf(slot)) arguments.push_back(call.arguments);
  return arguments;
}

}  // namespace Vela::Sdk::GlueTest
