// Raw deflate against known streams of every block kind, hand-built streams at
// the edges of the format, each kind of corrupt stream, the output limit, and
// CRC-32 against its check values. Touches no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "system/inflate.h"

namespace {

using Bytes = std::vector<unsigned char>;

const char* const Corrupt = "corrupt deflate data: ";

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

template <typename T>
std::vector<T> Join(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

uint32_t Crc(const Bytes& bytes) { return host::Crc32(bytes.data(), bytes.size()); }

// The sequence the plain texts of the zlib streams below were made from: the
// top byte of each step of a linear congruential generator.
struct Lcg {
  uint32_t state;
  unsigned char Next() {
    state = state * 1664525U + 1013904223U;
    return static_cast<unsigned char>(state >> 24);
  }
};

template <typename Draw>
Bytes Generate(uint32_t seed, size_t n, Draw draw) {
  Lcg lcg{seed};
  Bytes bytes;
  for (size_t i = 0; i < n; ++i) bytes.push_back(draw(lcg));
  return bytes;
}

Bytes RandomBytes(uint32_t seed, size_t n) {
  return Generate(seed, n, [](Lcg& lcg) { return lcg.Next(); });
}

// Mostly four letters, one byte in nine anything: a dynamic code with copies.
Bytes SkewedBytes(uint32_t seed, size_t n) {
  return Generate(seed, n, [](Lcg& lcg) {
    const unsigned char a = lcg.Next(), b = lcg.Next();
    return a < 230 ? static_cast<unsigned char>("etao"[a & 3]) : b;
  });
}

// Letter k with probability 2^-(k+1): the rare letters get codes of ten bits and more.
Bytes GeometricLetters(uint32_t seed, size_t n) {
  return Generate(seed, n, [](Lcg& lcg) {
    int k = 0;
    while (k < 25 && lcg.Next() < 128) ++k;
    return static_cast<unsigned char>('a' + k);
  });
}

// 300 letters, digits up to 32500 bytes, the same 300 letters: copies of 258
// bytes from 32500 bytes back.
Bytes FarRepeat() {
  const Bytes head = Generate(7, 300, [](Lcg& lcg) { return static_cast<unsigned char>('a' + (lcg.Next() & 15)); });
  Bytes bytes = head;
  for (size_t i = 0; i < 32500 - 300; ++i) bytes.push_back(static_cast<unsigned char>('0' + i % 10));
  return Join(bytes, head);
}

Bytes TableRows() {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "row " + std::to_string(i) + " of the table\n";
  return FromText(text);
}

struct KnownStream {
  const char* name;
  Bytes plain;
  Bytes deflated;
  uint32_t crc;  // as Python's zlib.crc32 gives it
};

// Made with Python's zlib: compressobj(level, DEFLATED, -15, 9, strategy), level 9 and the
// default strategy unless the name says otherwise; "several blocks" used memLevel 1 and a
// Z_SYNC_FLUSH after its first 500 bytes. zlib stored the random bytes whole, after a header.
std::vector<KnownStream> KnownStreams() {
  return {
      {"empty", {}, FromHex("0300"), 0},
      {"short text", FromText("Hello, hello, hello deflate!"), FromHex("f348cdc9c9d751c840a2145252d372124b521501"),
       0xe52faa03},
      {"stored (level 0)", FromText("A stored block keeps its bytes as they are."),
       FromHex("012b00d4ff412073746f72656420626c6f636b206b65657073206974732062797465732061732074686579206172652e"),
       0x09cb4736},
      {"fixed (Z_FIXED)", FromText("abracadabra abracadabra abracadabra"), FromHex("4b4c2a4a4c4e4c4904520a89d8d900"),
       0xf994de83},
      {"dynamic", SkewedBytes(3, 300),
       FromHex("258fa11102511043053481402291d481c3476410889814700d20f1081a608606709482a00418483effeecfcd6e36d9771444"
               "ca906d5a8049d06df1004700c57dbe3a8378e5f2660215003ee399315ec192f56026afa92e88298f1a88ee602d4c6f34d124"
               "f2c39eb1a5edc19059a554f3b4f329e68c06308a36e23a21dfa229a09c6f4b9d381f5bae12169a1cbc971a946c4067924a4d"
               "be8fbc2ad9198bb418bfd3d5289907755f14e3aff007"),
       0xf355a582},
      {"long codes (Z_HUFFMAN_ONLY)", GeometricLetters(3, 600),
       FromHex("05c1c16118471004b158513d7ba46ce5ff161059f01efcda16b5f57a99c7c632481d3f083d477a6218484a35b34b58047f3f"
               "80d510e71d3dccb78bb3353dbbe1cd09d15adc0f2c375c0dbf32edba17885067f63ba5ff0c539ae196f290f3bdfb5f4f0a6c"
               "c1c74dc23e7226919235a5027d177dda7e66d57009eda15bcc99af1b406171f2a17039ade625ad9c2be27eb2ef8f4793384a"
               "a86cd451f89323ddeed5738b2c2d74a78d297329e0ede4f1b249ff00"),
       0x5d84c954},
      {"far repeat", FarRepeat(),
       FromHex("edddc9ad18300845d196f2939fa91cdbe001db40ffab381d641d5d564702c1eb00b7ebf75cafc796dc3de7b17dcfcc7efca4"
               "eaf1ec8f3a7791912b4bcdebe58cb8e9a5b6d76ab944cbb12ead0f99ddcf43ab5bb786ba141dc3da2c779cec12adecc80c6b"
               "cbf2ca6c7efcf69e99a33519ee51bc2e0bbff5ef985b1f73a50c9de16269b24c754fd11ccb4ff57853ad8aae1d2f5186aac4"
               "eef55a9ed64acf7ad6325f1121a52eb55765df992f9dbd9c55defab06d71dff53356b65debb0be5e2c3b7bbcab7bfa282a69"
               "56bf7c7cfdf6f9fdc7cf5fbf1142082184104208218410420821841042082184104208218410420821841042082184104208"
               "218410420821841042082184104208218410420821841042082184104208218410420821841042e8ff90f3f3fe9f7fdeff01"),
       0xc262062a},
      {"several blocks", TableRows(),
       FromHex("6cd13b0a80301444d1de556409cef3bf1c858885100801b7afd8ce6d6f3587a9e5497d2a676a574e6d3feedcd52fc953781a"
               "3c8d9e264fb3a7c5d3ea6983a9341ff60b000281802030081002858021700438827e00478023c011bfe3050000ffff6dd3b1"
               "0d00301002b19d1ed87fb5f4915b3a4bdcb7c171701c1c0747e0081cd1a1e0081c812370048ec011380a47e1281c55197014"
               "8ec251380a47e1181c8363700c8e29713806c7e0181cfb1c0f"),
       0x7f328746},
      {"random", RandomBytes(11, 2000), Join(FromHex("01d0072ff8"), RandomBytes(11, 2000)), 0x3f182a28},
  };
}

// Builds streams bit by bit: header fields go least significant bit first,
// Huffman codes most significant bit first.
class BitWriter {
 public:
  BitWriter& Bits(int value, int count) {
    for (int i = 0; i < count; ++i) Bit((static_cast<uint32_t>(value) >> i) & 1U);
    return *this;
  }
  BitWriter& Code(int code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((static_cast<uint32_t>(code) >> i) & 1U);
    return *this;
  }
  BitWriter& Header(bool last, int type) { return Bits(last ? 1 : 0, 1).Bits(type, 2); }
  // A symbol of the fixed literal/length code.
  BitWriter& Fixed(int s) {
    if (s < 144) return Code(0x30 + s, 8);
    if (s < 256) return Code(0x190 + s - 144, 9);
    if (s < 280) return Code(s - 256, 7);
    return Code(0xc0 + s - 280, 8);
  }
  // The counts of a dynamic block and a complete code length code: symbols
  // 0-12 have four bits, 13-18 five.
  BitWriter& Dynamic(bool last, int literals, int distances) {
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    Header(last, 2).Bits(literals - 257, 5).Bits(distances - 1, 5);
    Bits(19 - 4, 4);
    for (const int s : order) Bits(s < 13 ? 4 : 5, 3);
    return *this;
  }
  BitWriter& LengthSymbol(int s) { return s < 13 ? Code(s, 4) : Code(s + 13, 5); }
  // Code lengths as a header gives them, runs of three zeros and more as one symbol.
  BitWriter& Lengths(const std::vector<int>& lengths) {
    for (size_t i = 0; i < lengths.size();) {
      size_t run = 0;
      while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) ++run;
      if (run >= 11) {
        LengthSymbol(18).Bits(static_cast<int>(run) - 11, 7);
      } else if (run >= 3) {
        LengthSymbol(17).Bits(static_cast<int>(run) - 3, 3);
      } else {
        LengthSymbol(lengths[i]);
        run = 1;
      }
      i += run;
    }
    return *this;
  }
  Bytes bytes;

 private:
  void Bit(uint32_t bit) {
    if (used_ % 8 == 0) bytes.push_back(0);
    bytes.back() = static_cast<unsigned char>(bytes.back() | bit << (used_ % 8));
    ++used_;
  }
  size_t used_ = 0;
};

// A dynamic block of 258 literal/length symbols, their lengths given as
// (symbol, length) pairs, and `distances` distance lengths; its header only.
BitWriter SmallDynamic(const std::vector<int>& literals, const std::vector<int>& distances) {
  std::vector<int> lengths(258, 0);
  for (size_t i = 0; i + 1 < literals.size(); i += 2) lengths[static_cast<size_t>(literals[i])] = literals[i + 1];
  BitWriter w;
  w.Dynamic(true, 258, static_cast<int>(distances.size())).Lengths(Join(lengths, distances));
  return w;
}

// 'a' gets the code 0, end-of-block 10 and the length 3 11.
std::vector<int> SmallLiterals() { return {'a', 1, 256, 2, 257, 2}; }

struct Outcome {
  bool ok;
  Bytes out;
  std::string error;
};

Outcome InflateAll(const Bytes& in, size_t limit = 1U << 24) {
  Outcome outcome;
  outcome.ok = host::Inflate(in.data(), in.size(), limit, outcome.out, outcome.error);
  return outcome;
}

TEST(Inflate, DecodesZlibStreamsOfEveryKind) {
  for (const KnownStream& row : KnownStreams()) {
    const Outcome outcome = InflateAll(row.deflated);
    ASSERT_TRUE(outcome.ok) << row.name << ": " << outcome.error;
    EXPECT_EQ(outcome.out, row.plain) << row.name;
    EXPECT_EQ(Crc(outcome.out), row.crc) << row.name;
  }
}

TEST(Inflate, CopiesFromTheFarEndOfTheWindow) {
  // 258 random literals, 32510 'z's, then 258 bytes from exactly 32768 back.
  const Bytes head = RandomBytes(5, 258);
  BitWriter w;
  w.Header(true, 1);
  for (const unsigned char c : head) w.Fixed(c);
  w.Fixed('z').Fixed('z');
  for (int i = 0; i < 126; ++i) w.Fixed(285).Code(0, 5);
  w.Fixed(285).Code(29, 5).Bits(32768 - 24577, 13).Fixed(256);
  const Outcome outcome = InflateAll(w.bytes);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.out, Join(Join(head, Bytes(32510, 'z')), head));
}

// Inflated into a sink, the output leaves in pieces while the decoder keeps
// only its window and a chunk, copies reaching back across each hand-off; the
// pieces, their CRC-32 and size are those of the whole.
TEST(Inflate, HandsItsOutputOnInBoundedPieces) {
  const Bytes head = RandomBytes(7, 32768);
  BitWriter w;
  w.Header(true, 1);
  for (const unsigned char c : head) w.Fixed(c);
  for (int i = 0; i < 12000; ++i) w.Fixed(285).Code(29, 5).Bits(32768 - 24577, 13);  // 258 from 32768 back
  w.Fixed(256);
  const Outcome whole = InflateAll(w.bytes);
  ASSERT_TRUE(whole.ok) << whole.error;
  struct Pieces final : host::InflateSink {
    Bytes out;
    size_t largest = 0;
    bool Take(const unsigned char* bytes, size_t size, std::string&) override {
      out.insert(out.end(), bytes, bytes + size);
      largest = std::max(largest, size);
      return true;
    }
  } pieces;
  uint32_t crc = 0;
  uint64_t total = 0;
  std::string error;
  ASSERT_TRUE(host::InflateTo(w.bytes.data(), w.bytes.size(), 1U << 30, pieces, crc, total, error)) << error;
  EXPECT_EQ(pieces.out, whole.out);
  EXPECT_EQ(total, whole.out.size());
  EXPECT_EQ(crc, Crc(whole.out));
  EXPECT_LE(pieces.largest, size_t{(1U << 20) + 65536});  // never the whole 3 MiB at once
  EXPECT_GT(whole.out.size(), 3U * pieces.largest / 2);
}

struct CodeRange {
  int symbol;
  int base;
  int extraBits;
};

// The length and distance codes as the rule that makes them says: each base
// follows the last by the span of its extra bits, which grow by one every four
// length codes from 265 and every two distance codes from 4; 285 is 258 alone.
std::vector<CodeRange> LengthCodes() {
  std::vector<CodeRange> codes;
  for (int s = 257, base = 3; s < 285; ++s) {
    codes.push_back({s, base, s < 265 ? 0 : (s - 261) / 4});
    base += 1 << codes.back().extraBits;
  }
  codes.push_back({285, 258, 0});
  return codes;
}

std::vector<CodeRange> DistanceCodes() {
  std::vector<CodeRange> codes;
  for (int s = 0, base = 1; s < 30; ++s) {
    codes.push_back({s, base, s < 4 ? 0 : s / 2 - 1});
    base += 1 << codes.back().extraBits;
  }
  return codes;
}

TEST(Inflate, DecodesEveryLengthAndDistanceCode) {
  // 32768 random literals, then 60 copies: each distance code and each length
  // code (over again from the start), with no extra bits and with the top one set.
  const std::vector<CodeRange> lengths = LengthCodes(), distances = DistanceCodes();
  Bytes expected = RandomBytes(9, 32768);
  BitWriter w;
  w.Header(true, 1);
  for (const unsigned char c : expected) w.Fixed(c);
  for (size_t k = 0; k < 2 * distances.size(); ++k) {
    const CodeRange& length = lengths[k / 2 % lengths.size()];
    const CodeRange& distance = distances[k / 2];
    const int lengthExtra = k % 2 == 0 ? 0 : 1 << length.extraBits >> 1;
    const int distanceExtra = k % 2 == 0 ? 0 : 1 << distance.extraBits >> 1;
    w.Fixed(length.symbol).Bits(lengthExtra, length.extraBits);
    w.Code(distance.symbol, 5).Bits(distanceExtra, distance.extraBits);
    for (int i = 0; i < length.base + lengthExtra; ++i) {
      expected.push_back(expected[expected.size() - static_cast<size_t>(distance.base + distanceExtra)]);
    }
  }
  const Outcome outcome = InflateAll(w.Fixed(256).bytes);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.out, expected);
}

TEST(Inflate, TakesADistanceCodeOfOneOrNoCodes) {
  const std::vector<int> small = SmallLiterals();
  // A literal and a copy of three bytes from one back through the lone one-bit code.
  const Outcome oneCode = InflateAll(SmallDynamic(small, {1}).Code(0, 1).Code(3, 2).Code(0, 1).Code(2, 2).bytes);
  // Literals only, every distance length zero.
  const Outcome noCode = InflateAll(SmallDynamic(small, {0}).Code(0, 1).Code(0, 1).Code(0, 1).Code(2, 2).bytes);
  EXPECT_EQ(oneCode.out, FromText("aaaa")) << oneCode.error;
  EXPECT_EQ(noCode.out, FromText("aaa")) << noCode.error;
}

TEST(Inflate, RejectsEachKindOfCorruptStream) {
  const std::vector<int> small = SmallLiterals();
  // A dynamic header with no counts beyond the least (257, 1, 4) and then the
  // lengths of code length symbols 16, 17, 18 and 0.
  const BitWriter leastCounts = BitWriter().Header(true, 2).Bits(0, 14);
  struct Row {
    const char* name;
    Bytes in;
    std::string what;
  };
  const Row rows[] = {
      {"block type 3", BitWriter().Header(true, 3).bytes, "block type 3"},
      {"stored length against its complement", FromHex("0105000000"),
       "stored block length does not match its complement"},
      {"over-subscribed code length code", BitWriter(leastCounts).Bits(1, 3).Bits(1, 3).Bits(1, 3).Bits(1, 3).bytes,
       "over-subscribed code length code"},
      {"code length code of one one-bit code", BitWriter(leastCounts).Bits(1, 3).Bits(0, 9).bytes,
       "incomplete code length code"},
      {"repeat before any length", BitWriter().Dynamic(true, 257, 1).LengthSymbol(16).Bits(0, 2).bytes,
       "a repeat before any code length"},
      {"lengths one past the counts",
       BitWriter().Dynamic(true, 257, 1).LengthSymbol(18).Bits(138 - 11, 7).LengthSymbol(18).Bits(121 - 11, 7).bytes,
       "code lengths run past the literal/length and distance counts"},
      {"287 literal/length codes", BitWriter().Header(true, 2).Bits(30, 5).Bits(0, 9).bytes,
       "more literal/length or distance codes than there are symbols"},
      {"31 distance codes", BitWriter().Header(true, 2).Bits(0, 5).Bits(30, 5).Bits(0, 4).bytes,
       "more literal/length or distance codes than there are symbols"},
      {"no end-of-block code", SmallDynamic({'a', 1, 257, 1}, {1}).bytes, "no end-of-block code"},
      {"over-subscribed literal/length code", SmallDynamic({'a', 1, 256, 1, 257, 1}, {1}).bytes,
       "over-subscribed literal/length code"},
      {"incomplete literal/length code", SmallDynamic({'a', 1, 256, 2}, {1}).bytes, "incomplete literal/length code"},
      {"literal/length code of end-of-block alone", SmallDynamic({256, 1}, {1}).bytes,
       "incomplete literal/length code"},
      {"over-subscribed distance code", SmallDynamic(small, {1, 1, 1}).bytes, "over-subscribed distance code"},
      {"incomplete distance code", SmallDynamic(small, {2, 2}).bytes, "incomplete distance code"},
      {"unused code of a lone distance code",
       SmallDynamic(small, {1}).Code(0, 1).Code(3, 2).Code(1, 1).Bits(0, 8).bytes, "a code that decodes to no symbol"},
      {"copy with no distance code", SmallDynamic(small, {0}).Code(0, 1).Code(3, 2).Bits(0, 8).bytes,
       "a code that decodes to no symbol"},
      {"copy before any output", BitWriter().Header(true, 1).Fixed(257).Code(0, 5).Fixed(256).bytes,
       "distance 1 reaches before the start of the output"},
      {"copy from before the output", BitWriter().Header(true, 1).Fixed('a').Fixed(257).Code(1, 5).Fixed(256).bytes,
       "distance 2 reaches before the start of the output"},
      {"literal/length 286", BitWriter().Header(true, 1).Fixed('a').Fixed(286).bytes, "literal/length symbol 286"},
      {"literal/length 287", BitWriter().Header(true, 1).Fixed('a').Fixed(287).bytes, "literal/length symbol 287"},
      {"distance 30", BitWriter().Header(true, 1).Fixed('a').Fixed(257).Code(30, 5).bytes, "distance symbol 30"},
      {"distance 31", BitWriter().Header(true, 1).Fixed('a').Fixed(257).Code(31, 5).bytes, "distance symbol 31"},
      {"nothing", {}, "ends before its last block"},
      {"no block after one not the last", BitWriter().Header(false, 1).Fixed(256).bytes, "ends before its last block"},
      {"stored block longer than the data", FromHex("010500faff6162"), "ends before its last block"},
  };
  for (const Row& row : rows) {
    const Outcome outcome = InflateAll(row.in);
    EXPECT_FALSE(outcome.ok) << row.name;
    EXPECT_EQ(outcome.error, std::string(Corrupt) + row.what) << row.name;
    EXPECT_TRUE(outcome.out.empty()) << row.name;
  }
}

TEST(Inflate, FailsCleanlyWhereverTheDataIsCutShort) {
  for (const KnownStream& row : KnownStreams()) {
    for (size_t size = 0; size < row.deflated.size(); ++size) {
      const Outcome outcome = InflateAll(Bytes(row.deflated.data(), row.deflated.data() + size));
      ASSERT_FALSE(outcome.ok) << row.name << " cut to " << size;
      ASSERT_EQ(outcome.error, std::string(Corrupt) + "ends before its last block") << row.name << " cut to " << size;
    }
  }
}

// A zero, then copies from one back: 4063 of 258 bytes and 107 of 3, 1 MiB in all.
Bytes MebibyteOfZeros() {
  BitWriter w;
  w.Header(true, 1).Fixed(0);
  for (int i = 0; i < 4063; ++i) w.Fixed(285).Code(0, 5);
  for (int i = 0; i < 107; ++i) w.Fixed(257).Code(0, 5);
  return w.Fixed(256).bytes;
}

TEST(Inflate, StopsAtItsLimit) {
  const Bytes zeros = MebibyteOfZeros();
  const Bytes stored = Join(FromHex("012b00d4ff"), FromText("A stored block keeps its bytes as they are."));
  struct Row {
    const char* name;
    const Bytes& in;
    size_t limit;
    const char* error;  // nullptr: it inflates
  };
  const Row rows[] = {
      {"copies past the limit", zeros, 1000, "inflates beyond 1000 bytes"},
      {"copies one byte past", zeros, (1U << 20) - 1, "inflates beyond 1048575 bytes"},
      {"copies up to the limit", zeros, 1U << 20, nullptr},
      {"a literal past the limit", zeros, 0, "inflates beyond 0 bytes"},
      {"a stored block one byte past", stored, 42, "inflates beyond 42 bytes"},
      {"a stored block up to the limit", stored, 43, nullptr},
  };
  for (const Row& row : rows) {
    const Outcome outcome = InflateAll(row.in, row.limit);
    EXPECT_EQ(outcome.ok, row.error == nullptr) << row.name;
    EXPECT_EQ(outcome.error, row.error == nullptr ? "" : row.error) << row.name;
    EXPECT_EQ(outcome.out.size(), row.error == nullptr ? row.limit : 0U) << row.name;
  }
  EXPECT_EQ(InflateAll(zeros).out, Bytes(1U << 20, 0));
}

TEST(Crc32, MatchesItsCheckValues) {
  EXPECT_EQ(Crc(FromText("123456789")), 0xcbf43926U);
  EXPECT_EQ(Crc(Bytes()), 0U);
  EXPECT_EQ(host::Crc32(nullptr, 0), 0U);
  EXPECT_EQ(Crc(FromText("The quick brown fox jumps over the lazy dog")), 0x414fa339U);
}

TEST(Crc32, ContinuesFromAnEarlierPiece) {
  const Bytes bytes = RandomBytes(1, 1000);
  for (const size_t split : {size_t{0}, size_t{1}, size_t{500}, size_t{999}, size_t{1000}}) {
    const uint32_t first = host::Crc32(bytes.data(), split);
    EXPECT_EQ(host::Crc32(bytes.data() + split, bytes.size() - split, first), Crc(bytes)) << split;
  }
}

}  // namespace
