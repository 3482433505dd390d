// Decoding MessagePack into BindingValue: every type byte, the exact failure texts and positions,
// truncated and hostile input.
#include "sdk/binding/msgpack_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace Vela::Sdk {
namespace {

using Bytes = std::vector<uint8_t>;

BindingResult Decode(const Bytes& bytes, std::size_t* consumed = nullptr) {
  return DecodeMessagePack(bytes.data(), bytes.size(), consumed);
}

BindingValue Collection(std::initializer_list<BindingValue> elements) {
  BindingValue value;
  value.MakeCollection();
  for (const BindingValue& element : elements) value.Append() = element;
  return value;
}

BindingValue Blob(std::initializer_list<uint8_t> bytes) { return BindingValue(BindingValue::Blob(bytes)); }

struct ScalarCase {
  Bytes bytes;
  BindingValue expected;
};

TEST(MessagePackReader, EveryScalarTypeByte) {
  // Integers keep their signedness family: fixint and int N give Signed, uint N gives Unsigned.
  const ScalarCase cases[] = {
      {{0x00}, BindingValue(int64_t{0})},
      {{0x7F}, BindingValue(int64_t{127})},
      {{0xE0}, BindingValue(int64_t{-32})},
      {{0xFF}, BindingValue(int64_t{-1})},
      {{0xC2}, BindingValue(false)},
      {{0xC3}, BindingValue(true)},
      {{0xCC, 0xFF}, BindingValue(uint64_t{255})},
      {{0xCD, 0x01, 0x02}, BindingValue(uint64_t{0x0102})},
      {{0xCE, 0x01, 0x02, 0x03, 0x04}, BindingValue(uint64_t{0x01020304})},
      {{0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, BindingValue(std::numeric_limits<uint64_t>::max())},
      {{0xD0, 0xFF}, BindingValue(int64_t{-1})},
      {{0xD0, 0x7F}, BindingValue(int64_t{127})},
      {{0xD1, 0x80, 0x00}, BindingValue(int64_t{-32768})},
      {{0xD2, 0xFF, 0xFF, 0xFF, 0xFE}, BindingValue(int64_t{-2})},
      {{0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}, BindingValue(std::numeric_limits<int64_t>::min())},
      {{0xCA, 0x3F, 0xC0, 0x00, 0x00}, BindingValue(1.5)},
      {{0xCB, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, BindingValue(3.141592653589793)},
      {{0xA0}, BindingValue("")},
      {{0xA3, 'a', 'b', 'c'}, BindingValue("abc")},
      {{0xD9, 0x02, 'h', 'i'}, BindingValue("hi")},
      {{0xDA, 0x00, 0x01, 'x'}, BindingValue("x")},
      {{0xDB, 0x00, 0x00, 0x00, 0x02, 'x', 0x00}, BindingValue("x\0", 2)},
      {{0xC4, 0x03, 1, 2, 3}, Blob({1, 2, 3})},
      {{0xC5, 0x00, 0x01, 9}, Blob({9})},
      {{0xC6, 0x00, 0x00, 0x00, 0x00}, Blob({})},
      {{0xDC, 0x00, 0x02, 0x01, 0x02}, Collection({BindingValue(int64_t{1}), BindingValue(int64_t{2})})},
      {{0xDD, 0x00, 0x00, 0x00, 0x01, 0xC3}, Collection({BindingValue(true)})},
  };
  for (const ScalarCase& test : cases) {
    std::size_t consumed = 0;
    BindingResult result = Decode(test.bytes, &consumed);
    ASSERT_TRUE(result.Ok()) << result.ErrorText() << " for first byte " << int{test.bytes[0]};
    EXPECT_TRUE(result.Value() == test.expected) << "first byte " << int{test.bytes[0]};
    EXPECT_EQ(result.Value().Kind(), test.expected.Kind()) << "first byte " << int{test.bytes[0]};
    EXPECT_EQ(consumed, test.bytes.size()) << "first byte " << int{test.bytes[0]};
  }
}

TEST(MessagePackReader, MapsOfEveryWidthIterateByName) {
  const Bytes shapes[] = {
      {0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0x02},
      {0xDE, 0x00, 0x02, 0xA1, 'b', 0x01, 0xD9, 0x01, 'a', 0x02},
      {0xDF, 0x00, 0x00, 0x00, 0x02, 0xDA, 0x00, 0x01, 'b', 0x01, 0xDB, 0, 0, 0, 1, 'a', 0x02},
  };
  for (const Bytes& bytes : shapes) {
    BindingResult result = Decode(bytes);
    ASSERT_TRUE(result.Ok()) << result.ErrorText();
    std::string order;
    for (auto member : result.Value().Members())
      order += std::string(member.name) + "=" + std::to_string(member.value.GetSigned());
    EXPECT_EQ(order, "a=2b=1");
  }
}

TEST(MessagePackReader, NilLeavesTheTargetEmpty) {
  std::size_t consumed = 0;
  BindingResult result = Decode({0x93, 0x01, 0xC0, 0xA1, 'x'}, &consumed);
  ASSERT_TRUE(result.Ok());
  EXPECT_TRUE(result.Value() == Collection({BindingValue(int64_t{1}), BindingValue(), BindingValue("x")}));
  EXPECT_EQ(consumed, 5u);

  BindingResult member = Decode({0x81, 0xA1, 'a', 0xC0});
  ASSERT_TRUE(member.Ok());
  EXPECT_TRUE(member.Value().HasMember("a"));
  EXPECT_TRUE(member.Value()["a"].IsEmpty());

  BindingResult root = Decode({0xC0});
  EXPECT_TRUE(root.Ok());
  EXPECT_TRUE(root.Value().IsEmpty());
}

struct FailureCase {
  Bytes bytes;
  const char* message;
};

TEST(MessagePackReader, MalformedInputFailsWithItsPosition) {
  // Positions are where the failing read began: just after an offending type byte, or at the
  // first byte of a number, string or byte run that is cut short.
  const FailureCase cases[] = {
      {{0xC1}, "Invalid MessagePack data at position 1."},
      {{0xC7, 0x01, 0x01, 0x00}, "Invalid MessagePack data at position 1."},
      {{0xC8}, "Invalid MessagePack data at position 1."},
      {{0xC9}, "Invalid MessagePack data at position 1."},
      {{0xD4, 0x00, 0x00}, "Invalid MessagePack data at position 1."},
      {{0xD5}, "Invalid MessagePack data at position 1."},
      {{0xD6}, "Invalid MessagePack data at position 1."},
      {{0xD7}, "Invalid MessagePack data at position 1."},
      {{0xD8}, "Invalid MessagePack data at position 1."},
      {{0x92, 0x01, 0xC1}, "Invalid MessagePack data at position 3."},
      {{0x81, 0x01, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
      {{0x81, 0xC4, 0x01, 'a', 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
      {{0x82, 0xA1, 'a', 0x01, 0xC0, 0x02}, "Invalid MessagePack data at position 5. Map keys must be strings."},
      {{0xCC}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
      {{0xD0}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
      {{0xCD, 0x01}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {{0xD1}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {{0xCE, 0, 0, 0}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {{0xCA, 0x3F}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {{0xD2}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {{0xCF, 0, 0, 0, 0, 0, 0, 0}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
      {{0xCB}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
      {{0xD3, 0}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
      {{0x91, 0xCD, 0x00}, "Invalid MessagePack data. 16-bit integer value at position 2 is truncated."},
      {{0xD9}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
      {{0xDC, 0x00}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {{0xDF, 0x00, 0x00}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {{0xA5, 'a', 'b'}, "Invalid MessagePack data. String of size 5 at position 1 is truncated."},
      {{0xD9, 0x03, 'a'}, "Invalid MessagePack data. String of size 3 at position 2 is truncated."},
      {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},
       "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated."},
      {{0x81, 0xA3, 'a'}, "Invalid MessagePack data. String of size 3 at position 2 is truncated."},
      {{0xC4, 0x02, 0x00}, "Invalid MessagePack data. Raw bytes of size 2 at position 2 are truncated."},
      {{0xC6, 0xFF, 0xFF, 0xFF, 0xFF},
       "Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated."},
      {{0xC5, 0x01}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
  };
  for (const FailureCase& test : cases) {
    BindingResult result = Decode(test.bytes);
    EXPECT_FALSE(result.Ok()) << test.message;
    EXPECT_EQ(result.ErrorText(), test.message);
  }
}

TEST(MessagePackReader, InputEndingInsideContainersKeepsWhatWasRead) {
  BindingResult shortArray = Decode({0x92, 0x01});
  ASSERT_TRUE(shortArray.Ok());
  EXPECT_TRUE(shortArray.Value() == Collection({BindingValue(int64_t{1})}));

  // A key without its value adds no member.
  BindingResult keyOnly = Decode({0x82, 0xA1, 'a', 0x01, 0xA1, 'b'});
  ASSERT_TRUE(keyOnly.Ok());
  EXPECT_EQ(keyOnly.Value().Size(), 1u);
  EXPECT_FALSE(keyOnly.Value().HasMember("b"));

  BindingResult nested = Decode({0x91, 0x81, 0xA1, 'k', 0x92});
  ASSERT_TRUE(nested.Ok());
  EXPECT_EQ(nested.Value()[0]["k"].Kind(), ValueKind::Collection);
  EXPECT_EQ(nested.Value()[0]["k"].Size(), 0u);
}

TEST(MessagePackReader, HugeDeclaredCountsAllocateNothingAhead) {
  // 2^32 - 1 elements or pairs declared and none (or few) present: the decode must end at once
  // with only what is there.
  auto started = std::chrono::steady_clock::now();
  BindingResult array = Decode({0xDD, 0xFF, 0xFF, 0xFF, 0xFF});
  ASSERT_TRUE(array.Ok());
  EXPECT_EQ(array.Value().Kind(), ValueKind::Collection);
  EXPECT_EQ(array.Value().Size(), 0u);

  BindingResult map = Decode({0xDF, 0xFF, 0xFF, 0xFF, 0xFF});
  ASSERT_TRUE(map.Ok());
  EXPECT_EQ(map.Value().Kind(), ValueKind::Structure);

  Bytes few = {0xDD, 0xFF, 0xFF, 0xFF, 0xFF};
  few.insert(few.end(), 1000, 0x07);
  std::size_t consumed = 0;
  BindingResult partial = Decode(few, &consumed);
  ASSERT_TRUE(partial.Ok());
  EXPECT_EQ(partial.Value().Size(), 1000u);
  EXPECT_EQ(consumed, few.size());

  BindingResult nestedHuge = Decode({0x91, 0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0xC6, 0xFF, 0xFF, 0xFF, 0xF0});
  EXPECT_EQ(nestedHuge.ErrorText(),
            "Invalid MessagePack data. Raw bytes of size 4294967280 at position 11 are truncated.");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(MessagePackReader, RepeatedKeyWritesIntoTheSameMember) {
  // {"a": 1, "a": 2}: the later scalar replaces.
  BindingResult scalar = Decode({0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02});
  ASSERT_TRUE(scalar.Ok());
  EXPECT_EQ(scalar.Value().Size(), 1u);
  EXPECT_EQ(scalar.Value()["a"].GetSigned(), 2);

  // {"a": [1], "a": [2]}: the later array appends, and decoding goes on after it.
  BindingResult arrays = Decode({0x83, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0x91, 0x02, 0xA1, 'z', 0xC3});
  ASSERT_TRUE(arrays.Ok()) << arrays.ErrorText();
  EXPECT_TRUE(arrays.Value()["a"] == Collection({BindingValue(int64_t{1}), BindingValue(int64_t{2})}));
  EXPECT_TRUE(arrays.Value()["z"].GetBool());

  // {"a": {"x": 1}, "a": {"y": 2}}: the later map merges.
  BindingResult maps = Decode({0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'a', 0x81, 0xA1, 'y', 0x02});
  ASSERT_TRUE(maps.Ok()) << maps.ErrorText();
  EXPECT_EQ(maps.Value()["a"]["x"].GetSigned(), 1);
  EXPECT_EQ(maps.Value()["a"]["y"].GetSigned(), 2);

  // {"a": [1], "a": 5}: a scalar replaces a container.
  BindingResult replaced = Decode({0x82, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0x05});
  ASSERT_TRUE(replaced.Ok());
  EXPECT_EQ(replaced.Value()["a"].GetSigned(), 5);
}

TEST(MessagePackReader, ConsumesExactlyOneValue) {
  struct Case {
    Bytes bytes;
    std::size_t consumed;
  };
  const Case cases[] = {
      {{}, 0},
      {{0x01, 0x02}, 1},
      {{0x90, 0x90}, 1},
      {{0x80, 0xC3}, 1},
      {{0x92, 0x01, 0x91, 0x02, 0xFF}, 4},
      {{0x81, 0xA1, 'a', 0x90, 0x00}, 4},
  };
  for (const Case& test : cases) {
    std::size_t consumed = 99;
    BindingResult result = Decode(test.bytes, &consumed);
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(consumed, test.consumed) << "input of " << test.bytes.size() << " bytes";
  }
  std::size_t consumed = 99;
  EXPECT_TRUE(DecodeMessagePack(nullptr, 0, &consumed).Value().IsEmpty());
  EXPECT_EQ(consumed, 0u);
}

TEST(MessagePackReader, LooksLikeMessagePackOnlyForMapsAndArrays) {
  const Bytes yes[] = {{0x80}, {0x8F}, {0x90}, {0x9F, 0x00}, {0xDC}, {0xDD}, {0xDE}, {0xDF}};
  const Bytes no[] = {{}, {0x7F}, {0xA0}, {0xC0}, {0xDB}, {0xE0}, {'{'}, {'['}};
  for (const Bytes& bytes : yes) EXPECT_TRUE(LooksLikeMessagePack(bytes.data(), bytes.size())) << int{bytes[0]};
  for (const Bytes& bytes : no) {
    EXPECT_FALSE(LooksLikeMessagePack(bytes.data(), bytes.size())) << (bytes.empty() ? -1 : int{bytes[0]});
  }
  EXPECT_FALSE(LooksLikeMessagePack(nullptr, 4));
}

// A document touching every kind, with nesting, used for the prefix and corruption sweeps.
Bytes SampleDocument() {
  Bytes bytes = {0x84, 0xA2, 'i', 'd',  0xCF, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0xA4, 'l',
                 'i',  's',  't', 0xDC, 0x00, 0x06, 0xD9, 0x03, 'a',  'b',  'c',  0xCB, 0x3F, 0xF8, 0,
                 0,    0,    0,   0,    0,    0xD1, 0xFF, 0x00, 0xC0, 0xC4, 0x02, 0xAA, 0xBB, 0x91, 0x80,
                 0xA3, 'm',  'a', 'p',  0xDE, 0x00, 0x02, 0xDA, 0x00, 0x01, 'k',  0xCA, 0x3F, 0x80, 0,
                 0,    0xA1, 'n', 0xD3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xA1, 't',  0xC3};
  return bytes;
}

TEST(MessagePackReader, EveryPrefixOfADocumentDecodesOrFailsCleanly) {
  Bytes document = SampleDocument();
  BindingResult whole = Decode(document);
  ASSERT_TRUE(whole.Ok()) << whole.ErrorText();
  EXPECT_EQ(whole.Value()["list"].Size(), 6u);
  EXPECT_EQ(whole.Value()["map"]["n"].GetSigned(), -2);
  for (std::size_t length = 0; length < document.size(); ++length) {
    Bytes prefix(document.begin(), document.begin() + static_cast<std::ptrdiff_t>(length));
    std::size_t consumed = 0;
    BindingResult result = Decode(prefix, &consumed);
    EXPECT_LE(consumed, length);
    if (!result.Ok()) {
      EXPECT_EQ(result.ErrorText().find("Invalid MessagePack data. "), 0u) << result.ErrorText();
      EXPECT_NE(result.ErrorText().find("truncated."), std::string_view::npos) << result.ErrorText();
    }
  }
}

TEST(MessagePackReader, CorruptedBytesNeverCrash) {
  Bytes document = SampleDocument();
  uint32_t seed = 12345;
  for (int round = 0; round < 20000; ++round) {
    Bytes corrupted = document;
    for (int flips = 0; flips < 3; ++flips) {
      seed = seed * 1664525u + 1013904223u;
      corrupted[(seed >> 8) % corrupted.size()] = static_cast<uint8_t>(seed >> 24);
    }
    std::size_t consumed = 0;
    BindingResult result = Decode(corrupted, &consumed);
    EXPECT_LE(consumed, corrupted.size());
  }
}

TEST(MessagePackReader, NestingIsBoundedBeforeTheTreeGetsDangerous) {
  // 512 levels decode; the 513th container is refused right after its type byte, whatever its
  // width, and a megabyte of nested arrays ends with that message rather than a stack overflow.
  Bytes deepest(kMaxMessagePackDepth, 0x91);
  deepest.push_back(0x2A);
  BindingResult accepted = Decode(deepest);
  ASSERT_TRUE(accepted.Ok()) << accepted.ErrorText();
  const BindingValue* level = &accepted.Value();
  std::size_t depth = 0;
  while (level->Kind() == ValueKind::Collection) {
    level = &level->Element(0);
    ++depth;
  }
  EXPECT_EQ(depth, kMaxMessagePackDepth);
  EXPECT_EQ(level->GetSigned(), 42);

  const uint8_t openers[] = {0x90, 0x80, 0xDC, 0xDF};
  for (uint8_t opener : openers) {
    Bytes tooDeep(kMaxMessagePackDepth, 0x91);
    tooDeep.push_back(opener);
    EXPECT_EQ(Decode(tooDeep).ErrorText(), "Invalid MessagePack data at position 513. Nesting too deep.")
        << int{opener};
  }

  Bytes hostile(1000000, 0x91);
  EXPECT_EQ(Decode(hostile).ErrorText(), "Invalid MessagePack data at position 513. Nesting too deep.");
  Bytes maps;
  for (int i = 0; i < 300000; ++i) maps.insert(maps.end(), {0x81, 0xA1, 'k'});
  EXPECT_EQ(Decode(maps).ErrorText(), "Invalid MessagePack data at position 1537. Nesting too deep.");
}

}  // namespace
}  // namespace Vela::Sdk
