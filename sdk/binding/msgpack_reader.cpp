// MessagePack decoding: one loop over an explicit stack of open arrays and maps, so nesting
// costs memory in proportion to the input and never call-stack depth.
#include "sdk/binding/msgpack_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

enum class FrameKind : uint8_t { Array, Map };

// An open array or map. A map expects keys and values alternately: twice its pair count.
struct Frame {
  BindingValue* target;
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

class Decoder {
 public:
  Decoder(const uint8_t* data, std::size_t size, BindingResult& result) noexcept
      : data_(data), size_(size), result_(result) {}

  void Run() {
    if (position_ >= size_ || !ReadItem(result_.Value())) return;
    while (!frames_.Empty() && position_ < size_) {
      Frame& top = frames_.Top();
      if (top.next == top.expected) {
        frames_.Pop();
        continue;
      }
      ++top.next;
      bool read;
      if (top.kind == FrameKind::Array) {
        // An element exists only once its first byte is there: a declared count reserves nothing.
        read = ReadItem(top.target->Append());
      } else if ((top.next & 1) != 0) {
        read = ReadKey(top);
      } else {
        read = ReadItem(top.target->MemberForWriting(top.pendingName));
      }
      if (!read) return;
    }
  }

  std::size_t Position() const noexcept { return position_; }

 private:
  bool Fail(const std::string& message) {
    result_.Fail(message);
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

  bool ReadString(BindingValue& target, uint64_t length) {
    std::string_view text;
    if (!ReadText(length, text)) return false;
    target.SetString(text);
    return true;
  }

  bool ReadBlob(BindingValue& target, std::size_t lengthWidth) {
    uint64_t length;
    if (!ReadUnsigned(lengthWidth, length)) return false;
    if (size_ - position_ < length) return Fail(Format(MessagePackText::kRawTruncated, length, position_));
    target.SetBlob(std::span<const uint8_t>(data_ + position_, static_cast<std::size_t>(length)));
    position_ += static_cast<std::size_t>(length);
    return true;
  }

  // An existing Collection or Structure (a repeated map key) is kept and extended.
  // Every open frame is an ancestor of the container being opened: exhausted frames are popped
  // before the next item is read.
  bool Open(BindingValue& target, FrameKind kind, uint64_t count) {
    if (frames_.Size() >= kMaxMessagePackDepth) return Fail(Format(MessagePackText::kTooDeep, position_));
    if (kind == FrameKind::Array) {
      target.MakeCollection();
    } else {
      target.MakeStructure();
      count *= 2;
    }
    if (count != 0) frames_.Push({&target, count, 0, {}, kind});
    return true;
  }

  bool OpenWithCount(BindingValue& target, FrameKind kind, std::size_t countWidth) {
    uint64_t count;
    if (frames_.Size() >= kMaxMessagePackDepth) return Fail(Format(MessagePackText::kTooDeep, position_));
    return ReadUnsigned(countWidth, count) && Open(target, kind, count);
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

  bool ReadItem(BindingValue& target) {
    uint8_t type = data_[position_++];
    if (type <= 0x7F) {
      target.SetSigned(type);
      return true;
    }
    if (type >= 0xE0) {
      target.SetSigned(static_cast<int8_t>(type));
      return true;
    }
    if (type <= 0x8F) return Open(target, FrameKind::Map, type & 0x0F);
    if (type <= 0x9F) return Open(target, FrameKind::Array, type & 0x0F);
    if (type <= 0xBF) return ReadString(target, type & 0x1F);

    uint64_t bits;
    switch (type) {
      case 0xC0:  // nil: a fresh element or member stays Empty
        return true;
      case 0xC2:
      case 0xC3: target.SetBool(type == 0xC3); return true;
      case 0xC4:
      case 0xC5:
      case 0xC6: return ReadBlob(target, std::size_t{1} << (type - 0xC4));
      case 0xCA: {
        if (!ReadUnsigned(4, bits)) return false;
        auto word = static_cast<uint32_t>(bits);
        float single;
        std::memcpy(&single, &word, sizeof single);
        target.SetFloat(single);
        return true;
      }
      case 0xCB: {
        if (!ReadUnsigned(8, bits)) return false;
        double number;
        std::memcpy(&number, &bits, sizeof number);
        target.SetFloat(number);
        return true;
      }
      case 0xCC:
      case 0xCD:
      case 0xCE:
      case 0xCF:
        if (!ReadUnsigned(std::size_t{1} << (type - 0xCC), bits)) return false;
        target.SetUnsigned(bits);
        return true;
      case 0xD0:
        if (!ReadUnsigned(1, bits)) return false;
        target.SetSigned(static_cast<int8_t>(bits));
        return true;
      case 0xD1:
        if (!ReadUnsigned(2, bits)) return false;
        target.SetSigned(static_cast<int16_t>(bits));
        return true;
      case 0xD2:
        if (!ReadUnsigned(4, bits)) return false;
        target.SetSigned(static_cast<int32_t>(bits));
        return true;
      case 0xD3:
        if (!ReadUnsigned(8, bits)) return false;
        target.SetSigned(static_cast<int64_t>(bits));
        return true;
      case 0xD9:
      case 0xDA:
      case 0xDB:
        if (!ReadUnsigned(std::size_t{1} << (type - 0xD9), bits)) return false;
        return ReadString(target, bits);
      case 0xDC: return OpenWithCount(target, FrameKind::Array, 2);
      case 0xDD: return OpenWithCount(target, FrameKind::Array, 4);
      case 0xDE: return OpenWithCount(target, FrameKind::Map, 2);
      case 0xDF: return OpenWithCount(target, FrameKind::Map, 4);
      default:  // 0xC1, ext 8/16/32, fixext 1 to 16
        return Fail(Format(MessagePackText::kInvalidData, position_));
    }
  }

  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  BindingResult& result_;
  FrameStack frames_;
};

}  // namespace

BindingResult DecodeMessagePack(const void* data, std::size_t size, std::size_t* consumed) {
  BindingResult result;
  if (data == nullptr) size = 0;
  Decoder decoder(static_cast<const uint8_t*>(data), size, result);
  decoder.Run();
  if (consumed != nullptr) *consumed = decoder.Position();
  return result;
}

bool LooksLikeMessagePack(const void* data, std::size_t size) noexcept {
  if (data == nullptr || size == 0) return false;
  uint8_t first = *static_cast<const uint8_t*>(data);
  return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace Vela::Sdk
