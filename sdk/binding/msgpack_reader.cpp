// MessagePack decoding: one loop over an explicit stack of open arrays and maps, so nesting
// costs memory in proportion to the input and never call-stack depth.
#include "sdk/binding/msgpack_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "sdk/binding/value_tree_builder.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

enum class FrameKind : uint8_t { Array, Map };

// An open array or map. A map expects keys and values alternately: twice its pair count.
struct Frame {
  uint64_t expected;
  uint64_t next;
  std::string_view pendingName;  // points into the input
  FrameKind kind;
};

// The first frames live inline, so small documents decode without a heap allocation of their own.
class FrameStack {
 public:
  FrameStack() = default;
  FrameStack(const FrameStack&) = delete;
  FrameStack& operator=(const FrameStack&) = delete;

  bool Empty() const noexcept { return size_ == 0; }
  std::size_t Size() const noexcept { return size_; }
  Frame& Top() noexcept { return data_[size_ - 1]; }
  void Pop() noexcept { --size_; }
  void Push(const Frame& frame) {
    if (size_ == capacity_) Grow();
    data_[size_++] = frame;
  }

 private:
  static constexpr std::size_t kInitialFrames = 16;

  void Grow() {
    std::size_t capacity = capacity_ * 2;
    auto grown = std::make_unique<Frame[]>(capacity);
    std::copy(data_, data_ + size_, grown.get());
    heap_ = std::move(grown);
    data_ = heap_.get();
    capacity_ = capacity;
  }

  Frame inline_[kInitialFrames];
  std::unique_ptr<Frame[]> heap_;
  Frame* data_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kInitialFrames;
};

// Decodes into a Sink: ValueTreeBuilder, or ValueEventWriter for input whose maps repeat a key.
template <class Sink>
class Decoder {
 public:
  Decoder(const uint8_t* data, std::size_t size, Sink& sink) noexcept : data_(data), size_(size), sink_(sink) {}

  /// False when the sink could not place a repeated key; the result is then to be read again.
  bool Run() {
    if (position_ >= size_ || !ReadItem()) return true;
    while (!frames_.Empty() && position_ < size_) {
      Frame& top = frames_.Top();
      if (top.next == top.expected) {
        if (!Close(top.kind)) return false;
        continue;
      }
      ++top.next;
      bool read;
      if (top.kind == FrameKind::Array) {
        // An element exists only once its first byte is there: a declared count reserves nothing.
        read = ReadItem();
      } else if ((top.next & 1) != 0) {
        read = ReadKey(top);
      } else {
        sink_.Key(top.pendingName);
        read = ReadItem();
      }
      if (!read) return true;
    }
    // Input that ends inside containers keeps them as far as they were read.
    return sink_.Finish();
  }

  std::size_t Position() const noexcept { return position_; }
  bool Failed() const noexcept { return failed_; }

 private:
  bool Close(FrameKind kind) {
    frames_.Pop();
    if (kind == FrameKind::Array) {
      sink_.EndCollection();
      return true;
    }
    return sink_.EndStructure();
  }

  bool Fail(const std::string& message) {
    failed_ = true;
    failure_ = message;
    return false;
  }

  // Big-endian unsigned integer of `width` (1, 2, 4 or 8) bytes.
  bool ReadUnsigned(std::size_t width, uint64_t& value) {
    if (size_ - position_ < width) return FailTruncated(width);
    const uint8_t* bytes = data_ + position_;
    position_ += width;
    switch (width) {
      case 1: value = bytes[0]; return true;
      case 2: value = (uint64_t{bytes[0]} << 8) | bytes[1]; return true;
      case 4:
        value = (uint64_t{bytes[0]} << 24) | (uint64_t{bytes[1]} << 16) | (uint64_t{bytes[2]} << 8) | bytes[3];
        return true;
      default:
        value = 0;
        for (std::size_t i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
        return true;
    }
  }

  bool FailTruncated(std::size_t width) {
    const char* message = width == 1   ? MessagePackText::kTruncated8
                          : width == 2 ? MessagePackText::kTruncated16
                          : width == 4 ? MessagePackText::kTruncated32
                                       : MessagePackText::kTruncated64;
    return Fail(Format(message, position_));
  }

  bool ReadText(uint64_t length, std::string_view& text) {
    if (size_ - position_ < length) return Fail(Format(MessagePackText::kStringTruncated, length, position_));
    text = std::string_view(reinterpret_cast<const char*>(data_ + position_), static_cast<std::size_t>(length));
    position_ += static_cast<std::size_t>(length);
    return true;
  }

  bool ReadString(uint64_t length) {
    std::string_view text;
    if (!ReadText(length, text)) return false;
    sink_.String(text);
    return true;
  }

  bool ReadBlob(std::size_t lengthWidth) {
    uint64_t length;
    if (!ReadUnsigned(lengthWidth, length)) return false;
    if (size_ - position_ < length) return Fail(Format(MessagePackText::kRawTruncated, length, position_));
    sink_.Blob(std::span<const uint8_t>(data_ + position_, static_cast<std::size_t>(length)));
    position_ += static_cast<std::size_t>(length);
    return true;
  }

  // An existing Collection or Structure (a repeated map key) is kept and extended.
  // Every open frame is an ancestor of the container being opened: exhausted frames are popped
  // before the next item is read.
  bool Open(FrameKind kind, uint64_t count) {
    if (frames_.Size() >= kMaxMessagePackDepth) return Fail(Format(MessagePackText::kTooDeep, position_));
    if (kind == FrameKind::Array) {
      sink_.BeginCollection();
    } else {
      sink_.BeginStructure();
      count *= 2;
    }
    frames_.Push({count, 0, {}, kind});
    return true;
  }

  bool OpenWithCount(FrameKind kind, std::size_t countWidth) {
    uint64_t count;
    if (frames_.Size() >= kMaxMessagePackDepth) return Fail(Format(MessagePackText::kTooDeep, position_));
    return ReadUnsigned(countWidth, count) && Open(kind, count);
  }

  bool ReadKey(Frame& frame) {
    uint8_t type = data_[position_++];
    uint64_t length;
    if (type >= 0xA0 && type <= 0xBF) {
      length = type & 0x1F;
    } else if (type >= 0xD9 && type <= 0xDB) {
      if (!ReadUnsigned(std::size_t{1} << (type - 0xD9), length)) return false;
    } else {
      return Fail(Format(MessagePackText::kKeyNotString, position_));
    }
    return ReadText(length, frame.pendingName);
  }

  bool ReadItem() {
    uint8_t type = data_[position_++];
    if (type <= 0x7F) {
      sink_.Signed(type);
      return true;
    }
    if (type >= 0xE0) {
      sink_.Signed(static_cast<int8_t>(type));
      return true;
    }
    if (type <= 0x8F) return Open(FrameKind::Map, type & 0x0F);
    if (type <= 0x9F) return Open(FrameKind::Array, type & 0x0F);
    if (type <= 0xBF) return ReadString(type & 0x1F);

    uint64_t bits;
    switch (type) {
      case 0xC0:  // nil: a fresh element or member stays Empty
        sink_.Null();
        return true;
      case 0xC2:
      case 0xC3: sink_.Bool(type == 0xC3); return true;
      case 0xC4:
      case 0xC5:
      case 0xC6: return ReadBlob(std::size_t{1} << (type - 0xC4));
      case 0xCA: {
        if (!ReadUnsigned(4, bits)) return false;
        auto word = static_cast<uint32_t>(bits);
        float single;
        std::memcpy(&single, &word, sizeof single);
        sink_.Float(single);
        return true;
      }
      case 0xCB: {
        if (!ReadUnsigned(8, bits)) return false;
        double number;
        std::memcpy(&number, &bits, sizeof number);
        sink_.Float(number);
        return true;
      }
      case 0xCC:
      case 0xCD:
      case 0xCE:
      case 0xCF:
        if (!ReadUnsigned(std::size_t{1} << (type - 0xCC), bits)) return false;
        sink_.Unsigned(bits);
        return true;
      case 0xD0:
        if (!ReadUnsigned(1, bits)) return false;
        sink_.Signed(static_cast<int8_t>(bits));
        return true;
      case 0xD1:
        if (!ReadUnsigned(2, bits)) return false;
        sink_.Signed(static_cast<int16_t>(bits));
        return true;
      case 0xD2:
        if (!ReadUnsigned(4, bits)) return false;
        sink_.Signed(static_cast<int32_t>(bits));
        return true;
      case 0xD3:
        if (!ReadUnsigned(8, bits)) return false;
        sink_.Signed(static_cast<int64_t>(bits));
        return true;
      case 0xD9:
      case 0xDA:
      case 0xDB:
        if (!ReadUnsigned(std::size_t{1} << (type - 0xD9), bits)) return false;
        return ReadString(bits);
      case 0xDC: return OpenWithCount(FrameKind::Array, 2);
      case 0xDD: return OpenWithCount(FrameKind::Array, 4);
      case 0xDE: return OpenWithCount(FrameKind::Map, 2);
      case 0xDF: return OpenWithCount(FrameKind::Map, 4);
      default:  // 0xC1, ext 8/16/32, fixext 1 to 16
        return Fail(Format(MessagePackText::kInvalidData, position_));
    }
  }

  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  Sink& sink_;
  FrameStack frames_;
  bool failed_ = false;
  std::string failure_;

 public:
  const std::string& Failure() const noexcept { return failure_; }
};

}  // namespace

BindingResult DecodeMessagePack(const void* data, std::size_t size, std::size_t* consumed) {
  BindingResult result;
  if (data == nullptr) size = 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::size_t position;
  bool placed;
  bool failed;
  std::string failure;
  {
    ValueTreeBuilder builder(result.Value());
    Decoder<ValueTreeBuilder> decoder(bytes, size, builder);
    placed = decoder.Run();
    position = decoder.Position();
    failed = decoder.Failed();
    failure = decoder.Failure();
  }
  if (!placed) {
    // A map repeated a key: read again, writing each item into the tree as it comes.
    result.Value() = BindingValue();
    ValueEventWriter writer(result.Value());
    Decoder<ValueEventWriter> decoder(bytes, size, writer);
    decoder.Run();
    position = decoder.Position();
    failed = decoder.Failed();
    failure = decoder.Failure();
  }
  if (failed) result.Fail(failure);
  if (consumed != nullptr) *consumed = position;
  return result;
}

bool LooksLikeMessagePack(const void* data, std::size_t size) noexcept {
  if (data == nullptr || size == 0) return false;
  uint8_t first = *static_cast<const uint8_t*>(data);
  return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace Vela::Sdk
