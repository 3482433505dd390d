// orb-host: loads a plug-in through the host stand-in, runs it through its life once and prints
// what the host sees of it.
#include <cstdio>
#include <string>

#include "devhost/host_stand_in.h"

namespace {

using Vela::DevHost::HostStandIn;

void PrintMemory(const char* when, const Vela::Sdk::MemoryStatisticsRecord& memory) {
  std::printf("memory %s: %llu allocations, %llu frees, %llu bytes allocated, %llu freed, peak %llu bytes in %llu blocks\n",
              when, static_cast<unsigned long long>(memory.allocationCount),
              static_cast<unsigned long long>(memory.freeCount),
              static_cast<unsigned long long>(memory.totalBytesAllocated),
              static_cast<unsigned long long>(memory.totalBytesFreed),
              static_cast<unsigned long long>(memory.peakLiveBytes),
              static_cast<unsigned long long>(memory.liveCountAtPeak));
}

void PrintCalls(const HostStandIn& host, std::size_t from) {
  for (std::size_t i = from; i < host.Calls().size(); ++i) {
    const Vela::DevHost::HostCall& call = host.Calls()[i];
    std::string arguments;
    for (const std::string& argument : call.arguments) arguments += (arguments.empty() ? "" : ", ") + argument;
    std::printf("  host call %s(%s)\n", Vela::DevHost::kHostFunctionNames[call.slot], arguments.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : Vela::DevHost::BuiltPluginPath();
  HostStandIn host;
  if (!host.Load(path)) {
    std::fprintf(stderr, "orb-host: %s\n", host.LastError().c_str());
    return 1;
  }
  std::printf("loaded %s\n", path.c_str());

  const uint32_t hostMajor = 18, hostMinor = 0, hostPatch = 0;
  int result = host.Handshake(hostMajor, hostMinor, hostPatch);
  const Vela::Sdk::PluginHandshake& record = host.HandshakeRecord();
  if (result != 0 || !host.IsAlive()) {
    std::fprintf(stderr, "orb-host: handshake failed with %d\n", result);
    return 1;
  }
  std::printf("handshake as host %u.%u.%u: plug-in API %u.%u.%u, short name \"%s\"\n", hostMajor, hostMinor,
              hostPatch, record.major, record.minor, record.patch, record.shortName);
  std::printf("full name (back-end kind): orb-be-%s\n", record.shortName);
  const Vela::Sdk::FlatApiDescription* api = host.Api();
  std::printf("API table: %u functions, %u types, %u events\n", api->functionCount, api->typeCount, api->eventCount);
  for (const std::string& name : host.FunctionNames()) std::printf("  function %s\n", name.c_str());

  bool started = host.Initialise();
  std::printf("initialise: %s\n", started ? "started" : "failed");
  PrintCalls(host, 0);
  for (const auto& [name, listener] : host.Listeners()) {
    std::printf("  listener %s (flag %d)\n", name.c_str(), listener.flag);
  }
  for (const auto& log : host.Logs()) std::printf("  log %d %s\n", log.level, log.message.c_str());

  std::size_t before = host.Calls().size();
  host.Destroy();
  std::printf("destroyed\n");
  PrintCalls(host, before);
  PrintMemory("after destroy", host.MemoryStatistics());
  return started ? 0 : 1;
}
