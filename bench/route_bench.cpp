// Route selection for typical requests against a handful of routes, and the template matcher
// next to the regex library's matcher on the same pattern.
#include <benchmark/benchmark.h>

#include <deque>
#include <regex>
#include <string>
#include <vector>

#include "sdk/api/function_registration.h"
#include "sdk/api/route_selection.h"
#include "sdk/api/url_pattern.h"
#include "sdk/binding/function_descriptor.h"

namespace {

using namespace Vela::Sdk;

struct Table {
  std::deque<FunctionDescriptor> functions;
  std::deque<FunctionRegistration> registrations;
  std::vector<ApiRoute> routes;

  void Add(int32_t method, const char* urlTemplate) {
    FunctionDescriptor& function = functions.emplace_back();
    FunctionRegistration& registration = registrations.emplace_back(&function);
    registration.SetUrl(urlTemplate);
    registration.SetMethod(method);
    routes.emplace_back(&function, &registration, registration.UrlTemplate());
  }
};

const Table& Routes() {
  static const Table table = [] {
    Table t;
    t.Add(kMethodGet, "/ark-simple-dialog-messages/v1/messages");
    t.Add(kMethodPost, "/ark-simple-dialog-messages/v1/messages");
    t.Add(kMethodDelete, "/ark-simple-dialog-messages/v1/messages/{messageId}");
    t.Add(kMethodGet, "/ark-simple-dialog-messages/v1/messages/{messageId}/body");
    t.Add(kMethodGet, "/ark-simple-dialog-messages/v1/files/{+path}");
    t.Add(kMethodNone, "/ark-simple-dialog-messages/v1/status");
    return t;
  }();
  return table;
}

void SelectRoute(benchmark::State& state, int32_t method, const char* url) {
  const Table& table = Routes();
  RequestContext context;
  context.method = method;
  context.url = url;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindRoute(context, table.routes, false));
  }
}
BENCHMARK_CAPTURE(SelectRoute, GetList, kMethodGet, "/ark-simple-dialog-messages/v1/messages");
BENCHMARK_CAPTURE(SelectRoute, DeleteById, kMethodDelete, "/ark-simple-dialog-messages/v1/messages/123456");
BENCHMARK_CAPTURE(SelectRoute, GetFile, kMethodGet, "/ark-simple-dialog-messages/v1/files/a/b%20c/d.txt");
BENCHMARK_CAPTURE(SelectRoute, NoMatch, kMethodGet, "/ark-simple-dialog-messages/v2/unknown");

constexpr const char* kTwoGroups = "/m/{id}/{+rest}";

void OwnMatcher(benchmark::State& state) {
  std::vector<std::string> names;
  const UrlPattern pattern(kTwoGroups, names);
  const std::string url = "/m/12345/" + std::string(static_cast<size_t>(state.range(0)), 'x');
  std::vector<std::string_view> captures;
  for (auto _ : state) benchmark::DoNotOptimize(pattern.Match(url, captures));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * url.size()));
}
BENCHMARK(OwnMatcher)->Arg(16)->Arg(1024)->Arg(1 << 20);

// The library's matcher recurses per character, so it is measured on short URLs only.
void LibraryMatcher(benchmark::State& state) {
  std::vector<std::string> names;
  const UrlPattern pattern(kTwoGroups, names);
  const std::string url = "/m/12345/" + std::string(static_cast<size_t>(state.range(0)), 'x');
  std::smatch match;
  for (auto _ : state) benchmark::DoNotOptimize(std::regex_match(url, match, *pattern.Regex()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * url.size()));
}
BENCHMARK(LibraryMatcher)->Arg(16)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
