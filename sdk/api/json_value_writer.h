// JsonValueWriter: a ValueVisitor that writes what it visits as JSON text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "sdk/api/value_visitor.h"

namespace Vela::Sdk {

class EnumNameResolver;

/// Writes compact JSON, or indented JSON (four spaces, line feeds) when `indented` is set.
/// Blobs become Base64 strings, enums their enumerator's name when `enumResolver` knows it and
/// their number otherwise. A NaN or infinite float is written as null, since JSON has no literal
/// for it and leaving it out would break the text.
class JsonValueWriter final : public ValueVisitor {
 public:
  explicit JsonValueWriter(const EnumNameResolver* enumResolver = nullptr, bool indented = false);
  ~JsonValueWriter() override;
  JsonValueWriter(const JsonValueWriter&) = delete;
  JsonValueWriter& operator=(const JsonValueWriter&) = delete;

  void Null() override;
  void Bool(bool value) override;
  void Signed(int64_t value) override;
  void Unsigned(uint64_t value) override;
  void Float(double value) override;
  void String(std::string_view text) override;
  void Blob(const uint8_t* bytes, std::size_t size) override;
  void Enum(int32_t value, uint32_t enumType) override;
  void BeginCollection(std::size_t count) override;
  void EndCollection() override;
  void BeginStructure(std::size_t count) override;
  void BeginMember(std::string_view name) override;
  void EndStructure() override;

  /// The text written so far.
  std::string_view Text() const { return {buffer_.GetString(), buffer_.GetSize()}; }

 private:
  template <class Action>
  void Write(Action&& action) {
    if (indented_) {
      action(pretty_);
    } else {
      action(compact_);
    }
  }

  rapidjson::StringBuffer buffer_;
  rapidjson::Writer<rapidjson::StringBuffer> compact_;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> pretty_;
  const EnumNameResolver* enumResolver_;
  bool indented_;
  std::string scratch_;  // Base64 text of the blob being written
};

}  // namespace Vela::Sdk
