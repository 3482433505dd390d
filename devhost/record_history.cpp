// The host's bounded record histories.
#include "devhost/record_history.h"

#include <algorithm>

namespace Vela::DevHost {

void RecordHistory::Add(SharedText json) {
  bytes_ += ChargeOf(*json);
  records_.push_back(std::move(json));
  Trim();
}

void RecordHistory::Add(std::string json) {
  // A text built by appending may hold twice its length; the history keeps it for long.
  json.shrink_to_fit();
  Add(std::make_shared<const std::string>(std::move(json)));
}

void RecordHistory::Trim() {
  while (records_.size() > bounds_.count || (records_.size() > 1 && bytes_ > bounds_.bytes)) {
    bytes_ -= ChargeOf(*records_.front());
    records_.pop_front();
    ++dropped_;
  }
}

std::vector<SharedText> RecordHistory::Since(uint64_t from) const {
  std::vector<SharedText> out;
  const uint64_t first = std::max(from, dropped_) - dropped_;
  for (auto i = static_cast<std::size_t>(std::min<uint64_t>(first, records_.size())); i < records_.size(); ++i) {
    out.push_back(records_[i]);
  }
  return out;
}

std::string RecordHistory::JsonSince(uint64_t from) const {
  std::vector<SharedText> records = Since(from);
  std::size_t length = 2;
  for (const SharedText& record : records) length += record->size() + 1;
  std::string json;
  json.reserve(length);
  json += '[';
  for (const SharedText& record : records) {
    if (json.size() > 1) json += ',';
    json += *record;
  }
  json += ']';
  return json;
}

}  // namespace Vela::DevHost
