// The process-wide table of static type records, which keeps identifiers unique.
#include "sdk/binding/static_type.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace Vela::Sdk {

namespace {

constexpr StaticTypeRecord kVoidRecord{0, "void", {0, 0}};

struct RecordTable {
  std::mutex mutex;
  std::unordered_map<uint32_t, const StaticTypeRecord*, Fnv1aWordHasher> byId{{0, &kVoidRecord}};
};

RecordTable& Table() {
  static RecordTable table;
  return table;
}

}  // namespace

const StaticTypeRecord& StaticType::Void() noexcept { return kVoidRecord; }

namespace StaticTypeDetail {

bool Claim(const StaticTypeRecord& record) noexcept {
  RecordTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto [entry, inserted] = table.byId.try_emplace(record.id, &record);
  return inserted || entry->second == &record;
}

const StaticTypeRecord& Enrol(const StaticTypeRecord& record, std::string_view spelling) noexcept {
  if (!Claim(record)) {
    const StaticTypeRecord* holder = nullptr;
    {
      RecordTable& table = Table();
      std::lock_guard lock(table.mutex);
      holder = table.byId.at(record.id);
    }
    // Two types sharing an identifier would convert into each other silently; stop here.
    std::fprintf(stderr, "Static type identifier %08X of '%.*s' is already held by '%s'\n",
                 static_cast<unsigned>(record.id), static_cast<int>(spelling.size()), spelling.data(), holder->name);
    std::abort();
  }
  return record;
}

}  // namespace StaticTypeDetail

}  // namespace Vela::Sdk
