#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>

#include "json/record.hpp"

namespace qsdk::core {
namespace {

struct Inner {
  std::uint64_t n = 0;
  bool operator==(const Inner&) const = default;
};

struct Sample {
  std::string s;
  std::vector<std::string> list;
  std::optional<std::uint64_t> opt;
  json::Object extra;
  Inner inner;
  bool operator==(const Sample&) const = default;
};

}  // namespace

template <>
struct json::Record<Inner> {
  static constexpr std::string_view name = "Inner";
  static constexpr auto fields = std::tuple{json::field("n", &Inner::n)};
};

template <>
struct json::Record<Sample> {
  static constexpr std::string_view name = "Sample";
  static constexpr auto fields =
      std::tuple{json::field("s", &Sample::s), json::field("list", &Sample::list), json::field("opt", &Sample::opt),
                 json::defaulted("extra", &Sample::extra), json::field("inner", &Sample::inner)};
};

namespace {

struct RoundTrip {
  std::string input;
  std::string canonical;
};

TEST(Json, GenericValuesRoundTripToCanonicalText) {
  const std::vector<RoundTrip> cases = {
      {" \t\r\n[ 1 , 2 ]\n ", "[1,2]"},
      {"{ \"b\" : [ ] , \"a\" : { } ,\"c\"\n:\t[ 1 ,2 ] }", R"({"a":{},"b":[],"c":[1,2]})"},
      {R"({"b":1,"a":2})", R"({"a":2,"b":1})"},
      {R"({"a":{"z":1,"y":[{"d":0,"c":0}]}})", R"({"a":{"y":[{"c":0,"d":0}],"z":1}})"},
      // Byte order: upper case before lower case before any non-ASCII name.
      {"{\"\xc3\xa9\":1,\"z\":2,\"Z\":3,\"\":4}", "{\"\":4,\"Z\":3,\"z\":2,\"\xc3\xa9\":1}"},
      // A repeated name keeps the last value, wherever it stood.
      {R"({"a":1,"b":2,"a":{"x":[]}})", R"({"a":{"x":[]},"b":2})"},
      {"[null,true,false,{},[]]", "[null,true,false,{},[]]"},
      // Numbers keep integers exact and print doubles shortest.
      {"[1.50,100,-7,1.0,1e2,0]", "[1.5,100,-7,1.0,100.0,0]"},
      {"[-0,-0.0,0.0,-0e5]", "[-0.0,-0.0,0.0,-0.0]"},
      {"[1e16,1e15,123456789012345678]", "[1e16,1000000000000000.0,123456789012345678]"},
      {"[1.5e-7,0.00001,1e-6,0.000012345,1E-5]", "[1.5e-7,0.00001,1e-6,0.000012345,0.00001]"},
      // Decimals copied as spelled, and those just outside that: 16 digits, 1e-6, trailing zeros.
      {"[0.1,-2.25,0.000012,0.0000012,99999999999999.9,123456789012345.6,0.1234567890123456,2.50,0.10]",
       "[0.1,-2.25,0.000012,1.2e-6,99999999999999.9,123456789012345.6,0.1234567890123456,2.5,0.1]"},
      {"[18446744073709551615,18446744073709551616]", "[18446744073709551615,1.8446744073709552e19]"},
      // Digits are skipped eight at a time: integers either side of that, and what ends them.
      {"[1234567,12345678,123456789,1234567890123456,12345678.25,12345678E1]",
       "[1234567,12345678,123456789,1234567890123456,12345678.25,123456780.0]"},
      // 19 digits are read while tokenising; 20 are read from the spelling.
      {"[9999999999999999999,10000000000000000000]", "[9999999999999999999,10000000000000000000]"},
      {"[-9223372036854775808,-9223372036854775809]", "[-9223372036854775808,-9.223372036854776e18]"},
      {"[5e-324,1.7976931348623157e308,2.2250738585072014e-308]",
       "[5e-324,1.7976931348623157e308,2.2250738585072014e-308]"},
      {"[1e-400,-1e-400,0.1e1]", "[0.0,-0.0,1.0]"},
      // Every spelling is the exact decimal it writes, rounded once.
      {"[0e309,-0E+400,0.0e310,0e99999999999,-0e-99999999999]", "[0.0,-0.0,0.0,0.0,-0.0]"},
      {"[1" + std::string(400, '0') + "e-400,1" + std::string(309, '0') + ".5e-300]", "[1.0,1000000000.0]"},
      {"[0." + std::string(400, '0') + "1e401,-1" + std::string(300, '0') + "]", "[1.0,-1e300]"},
      {"[123456789012345680000,0.3,1e21,12.5e300]", "[1.2345678901234568e20,0.3,1e21,1.25e301]"},
      // Escapes: only quote, backslash and control characters.
      {R"(["\u0001\t\"\\\/\u007f\u00e9\b\f\n\r\u001f"])",
       "[\"\\u0001\\t\\\"\\\\/\x7f\xc3\xa9\\b\\f\\n\\r\\u001f\"]"},
      {R"(["\ud83d\ude00", "\u0000"])", "[\"\xf0\x9f\x98\x80\",\"\\u0000\"]"},
      {"\"\xe2\x82\xac/\"", "\"\xe2\x82\xac/\""},
      // Strings around the lengths scanned at once, with an escape past the first sixteen bytes.
      {R"(["","a","abc","abcd","abcdefg","abcdefgh","abcdefghijklmno","abcdefghijklmnop","abcdefghijklmnopq"])",
       R"(["","a","abc","abcd","abcdefg","abcdefgh","abcdefghijklmno","abcdefghijklmnop","abcdefghijklmnopq"])"},
      {R"(["abcdefghijklmnop\u0041\n"])", R"(["abcdefghijklmnopA\n"])"},
      // More members than an object keeps inline, out of order, one repeated.
      {R"({"n":1,"m":2,"l":3,"k":4,"j":5,"i":6,"h":7,"g":8,"f":9,"e":10,"d":11,"c":12,"b":13,"a":14,"n":0})",
       R"({"a":14,"b":13,"c":12,"d":11,"e":10,"f":9,"g":8,"h":7,"i":6,"j":5,"k":4,"l":3,"m":2,"n":0})"},
  };
  for (const auto& c : cases) {
    const auto v = json::parse(c.input);
    ASSERT_TRUE(v.has_value()) << c.input << ": " << v.error();
    EXPECT_EQ(json::to_text(*v), c.canonical) << c.input;
    EXPECT_EQ(json::canonical_text<json::Value>(c.input), c.canonical) << c.input;
    // The canonical form is a fixed point.
    const auto again = json::parse(c.canonical);
    ASSERT_TRUE(again.has_value()) << c.canonical;
    EXPECT_EQ(json::to_text(*again), c.canonical);
  }
}

TEST(Json, NumbersKeepTheirClass) {
  const auto v = json::parse("[5,-5,5.0,-0,18446744073709551616]");
  ASSERT_TRUE(v.has_value());
  const auto& a = *v->as_array();
  EXPECT_TRUE(std::holds_alternative<std::uint64_t>(a[0].v));
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(a[1].v));
  EXPECT_TRUE(std::holds_alternative<double>(a[2].v));
  ASSERT_TRUE(std::holds_alternative<double>(a[3].v));
  EXPECT_TRUE(std::signbit(std::get<double>(a[3].v)));
  EXPECT_TRUE(std::holds_alternative<double>(a[4].v));
}

TEST(Json, DoublesReadBackExactly) {
  std::mt19937_64 rng(20240611);
  for (int i = 0; i < 20000; ++i) {
    const double d = std::bit_cast<double>(rng());
    if (!std::isfinite(d)) continue;
    std::string text;
    {
      json::Writer w(text);
      json::write_number(w, d);
    }
    double back = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(r.ec, std::errc{}) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(d)) << text;
    // Shape: fixed notation always carries a fractional digit.
    if (text.find('e') == std::string::npos) {
      EXPECT_NE(text.find('.'), std::string::npos) << text;
    }
  }
}

struct Failure {
  std::string input;
  std::string message;
};

void expect_failures(const std::vector<Failure>& cases) {
  for (const auto& c : cases) {
    const auto v = json::parse(c.input);
    ASSERT_FALSE(v.has_value()) << c.input;
    EXPECT_EQ(v.error(), c.message) << c.input;
    EXPECT_EQ(json::canonical_text<json::Value>(c.input).error(), c.message) << c.input;
  }
}

TEST(Json, SyntaxFailuresCarryTheirPosition) {
  expect_failures({
      {"", "EOF while parsing a value at line 1 column 1"},
      {"   ", "EOF while parsing a value at line 1 column 4"},
      {"[", "EOF while parsing a value at line 1 column 2"},
      {"[1", "EOF while parsing a list at line 1 column 3"},
      {"{\"a\":1", "EOF while parsing an object at line 1 column 7"},
      {"\"abc", "EOF while parsing a string at line 1 column 5"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"[1 , ]", "trailing comma at line 1 column 6"},
      {"[12345678/]", "expected `,` or `]` at line 1 column 10"},
      {"{\"a\":123456789:1}", "expected `,` or `}` at line 1 column 15"},
      {"{\"a\":1 , }", "trailing comma at line 1 column 10"},
      {"{ \"a\"  1}", "expected `:` at line 1 column 8"},
      {"{ , }", "key must be a string at line 1 column 3"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"[x]", "expected value at line 1 column 2"},
      {"\"a\\qb\"", "invalid escape at line 1 column 3"},
      {"\"a\x01\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\\ud800\"", "lone leading surrogate in hex escape at line 1 column 2"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 8"},
      {"\"\xc3\x28\"", "invalid unicode code point at line 1 column 2"},
      {"\"\xed\xa0\x80\"", "invalid unicode code point at line 1 column 2"},
      {"[1e400]", "number out of range at line 1 column 2"},
      {"[0, 1" + std::string(309, '0') + "]", "number out of range at line 1 column 5"},
      {"[1e99999999999]", "number out of range at line 1 column 2"},
      {R"(["\ud800\u0041"])", "lone leading surrogate in hex escape at line 1 column 3"},
      {R"(["\ud800\uzz"])", "invalid escape at line 1 column 3"},
      {"[-1.8e308]", "number out of range at line 1 column 2"},
      {"[] x", "trailing characters at line 1 column 4"},
      {"1 2", "trailing characters at line 1 column 3"},
      {"01", "trailing characters at line 1 column 2"},
      {std::string("[]\0", 3), "trailing characters at line 1 column 3"},
      {std::string("[\0]", 3), "expected value at line 1 column 2"},
      {"[1,\n  2,\r\n x]", "expected value at line 3 column 2"},
      {"[]\f", "trailing characters at line 1 column 3"},
  });
}

std::string nested(std::size_t depth, std::string_view open, std::string_view close, std::string_view inner = "") {
  std::string s;
  s.reserve(depth * (open.size() + close.size()) + inner.size());
  for (std::size_t i = 0; i < depth; ++i) s += open;
  s += inner;
  for (std::size_t i = 0; i < depth; ++i) s += close;
  return s;
}

TEST(Json, NestingStopsAtTheLimit) {
  EXPECT_TRUE(json::parse(nested(127, "[", "]")).has_value());
  EXPECT_TRUE(json::parse(nested(127, "{\"a\":", "}", "1")).has_value());
  EXPECT_EQ(json::parse(nested(128, "[", "]")).error(), "recursion limit exceeded at line 1 column 128");
  EXPECT_EQ(json::parse(nested(128, "{\"a\":", "}", "1")).error(), "recursion limit exceeded at line 1 column 636");
  // Hostile depth is refused without exhausting the stack.
  EXPECT_EQ(json::parse(std::string(1'000'000, '[')).error(), "recursion limit exceeded at line 1 column 128");
  EXPECT_EQ(json::parse(nested(1'000'000, "{\"a\":[", "]}")).error(),
            "recursion limit exceeded at line 1 column 384");
}

// The number reader against the standard library's on random spellings of
// every shape the grammar allows: the same double, bit for bit.
TEST(Json, NumbersReadAsFromChars) {
  std::mt19937_64 rng(20261209);
  const auto digits = [&](std::size_t max, bool leading_zero_ok) {
    std::string out(1 + rng() % max, '0');
    for (char& c : out) c = static_cast<char>('0' + rng() % 10);
    if (!leading_zero_ok && out.size() > 1 && out[0] == '0') out[0] = '1';
    return out;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string text = rng() % 2 ? "-" : "";
    text += digits(rng() % 4 ? 20 : 400, false);
    const bool fraction = rng() % 2 != 0;
    if (fraction) text += "." + digits(rng() % 4 ? 20 : 400, true);
    if (!fraction || rng() % 2) text += std::string(rng() % 2 ? "e" : "E") + (rng() % 3 ? "-" : "+") + digits(3, true);
    double want = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), want);
    const auto v = json::parse(text);
    if (r.ec == std::errc::result_out_of_range) {
      if (!v) EXPECT_EQ(v.error(), "number out of range at line 1 column 1") << text;
      else EXPECT_EQ(std::get<double>(v->v), 0.0) << text;
      continue;
    }
    ASSERT_TRUE(v.has_value()) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::get<double>(v->v)), std::bit_cast<std::uint64_t>(want)) << text;
  }
}

// Linear in the length of a number, however many digits its parts have.
TEST(Json, LongNumbersAreReadInLinearTime) {
  const auto v = json::parse("0." + std::string(1'000'000, '0') + "1e" + std::string(10'000'000, '0') + "1000001");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(std::get<double>(v->v), 1.0);
  EXPECT_EQ(json::parse("[1" + std::string(1'000'000, '0') + "]").error(), "number out of range at line 1 column 2");
}

TEST(Json, DeepValuesAreWrittenAndReleasedWithoutRecursion) {
  json::Value deep;
  for (int i = 0; i < 1'000'000; ++i) {
    json::Array a;
    a.push_back(std::move(deep));
    deep = json::Value(std::move(a));
  }
  json::Object o;
  o.append("k") = std::move(deep);
  json::Value root(std::move(o));
  const std::string text = json::to_text(root);
  EXPECT_EQ(text.size(), 2'000'000u + 10u);
  EXPECT_TRUE(text.starts_with("{\"k\":[[[") && text.ends_with("]]]}"));
  EXPECT_EQ(text.find("null"), 5u + 1'000'000u);
}

TEST(Json, MemberLookup) {
  const auto v = json::parse(R"({"alg":"ES256","kid":5,"alg":"none"})");
  ASSERT_TRUE(v.has_value());
  ASSERT_NE(v->member("alg"), nullptr);
  EXPECT_EQ(*v->member("alg")->as_string(), "none");
  EXPECT_EQ(v->member("kid")->as_string(), nullptr);
  EXPECT_EQ(v->member("x"), nullptr);
  EXPECT_EQ(json::parse("[1]")->member("alg"), nullptr);
}

// ---------------------------------------------------------------------------
// Typed records

TEST(JsonRecord, ReadsEitherFormAndWritesCanonically) {
  const Sample want{"a", {"x", "y"}, 7, json::Object{{"k", json::Value(1)}}, Inner{3}};
  for (const std::string text : {
           R"({"s":"a","list":["x","y"],"opt":7,"extra":{"k":1},"inner":{"n":3}})",
           R"( { "inner" : [3] , "unknown" : {"deep":[1,{"x":null}]}, "extra":{"k":1},"opt":7,"list":["x","y"],"s":"a"} )",
           R"(["a",["x","y"],7,{"k":1},{"n":3}])",
           // Names that only look like the one expected next, or spell it with an escape.
           R"({"\u0073":"a", "lis" :0,"list" :["x","y"],"listx":1,"opt":7,"extra":{"k":1},"inner":{"n":3}})",
           // Skipped members are only checked for grammar.
           R"({"zz":1e400,"s":"a","list":["x","y"],"z":[-1e99999999999,"\udc00\ud800"],"opt":7,"extra":{"k":1},"inner":[3]})",
       }) {
    const auto s = json::parse_as<Sample>(text);
    ASSERT_TRUE(s.has_value()) << text << ": " << s.error();
    EXPECT_EQ(*s, want) << text;
    EXPECT_EQ(json::canonical_text<Sample>(text), json::to_text(want)) << text;
  }
  EXPECT_EQ(json::to_text(want), R"({"s":"a","list":["x","y"],"opt":7,"extra":{"k":1},"inner":{"n":3}})");

  // Null optionals, missing optionals and empty defaults are all left out.
  const auto bare = json::parse_as<Sample>(R"({"s":"","list":[],"opt":null,"inner":{"n":0}})");
  ASSERT_TRUE(bare.has_value());
  EXPECT_FALSE(bare->opt.has_value());
  EXPECT_EQ(json::to_text(*bare), R"({"s":"","list":[],"inner":{"n":0}})");
  EXPECT_EQ(json::canonical_text<Sample>(R"({"opt":null,"s":"","list":[],"extra":{},"inner":{"n":0}})"),
            R"({"s":"","list":[],"inner":{"n":0}})");
  EXPECT_EQ(json::to_text(*json::parse_as<Sample>(R"(["",[],null,{},[0]])")), R"({"s":"","list":[],"inner":{"n":0}})");
}

struct RecordFailure {
  std::string input;
  std::string message;
};

TEST(JsonRecord, FailuresReadLikeADerivedDeserializer) {
  const std::string tail = R"("list":[],"inner":{"n":1})";
  const std::vector<RecordFailure> cases = {
      {R"({"list":[],"inner":{"n":1}})", "missing field `s` at line 1 column 27"},
      {R"({"s":"a","list":[]})", "missing field `inner` at line 1 column 19"},
      {"{\n\"s\":\"a\",\n\"list\":[]\n}", "missing field `inner` at line 4 column 1"},
      {R"({"s":"a","s":"b",)" + tail + "}", "duplicate field `s` at line 1 column 12"},
      {R"({"opt":null,"opt":1})", "duplicate field `opt` at line 1 column 17"},
      {R"({"list":[],"s":"a","list":[]})", "duplicate field `list` at line 1 column 25"},
      {R"({"s" "a"})", "expected `:` at line 1 column 6"},
      {R"({"s")", "EOF while parsing an object at line 1 column 5"},
      {R"({"s":5,)" + tail + "}", "invalid type: integer `5`, expected a string at line 1 column 6"},
      {R"({"s":-5})", "invalid type: integer `-5`, expected a string at line 1 column 7"},
      {R"({"s":1.5e-7})", "invalid type: floating point `0.00000015`, expected a string at line 1 column 11"},
      {R"({"s":1e16})", "invalid type: floating point `10000000000000000.0`, expected a string at line 1 column 9"},
      {R"({"s":true})", "invalid type: boolean `true`, expected a string at line 1 column 9"},
      {R"({"s":null})", "invalid type: null, expected a string at line 1 column 9"},
      {R"({"s":["x"]})", "invalid type: sequence, expected a string at line 1 column 6"},
      {R"({"s":{}})", "invalid type: map, expected a string at line 1 column 6"},
      {R"({"s":"a","list":"x\"y\n"})", R"(invalid type: string "x\"y\n", expected a sequence at line 1 column 24)"},
      {R"({"s":"a","list":[1]})", "invalid type: integer `1`, expected a string at line 1 column 18"},
      {R"({"s":"a","list":[],"inner":7})", "invalid type: integer `7`, expected struct Inner at line 1 column 28"},
      {R"({"s":"a","list":[],"extra":null})", "invalid type: null, expected a map at line 1 column 31"},
      {R"({"s":"a","opt":-1})", "invalid value: integer `-1`, expected u64 at line 1 column 17"},
      {R"({"s":"a","opt":1.0})", "invalid type: floating point `1.0`, expected u64 at line 1 column 18"},
      {R"({"s":"a","opt":-0})", "invalid type: floating point `-0.0`, expected u64 at line 1 column 17"},
      {R"({"s":"a","opt":-9223372036854775809})",
       "invalid value: integer `-9223372036854775809`, expected u64 at line 1 column 35"},
      {R"({"s":"a","opt":-1)" + std::string(400, '0') + "}",
       "invalid value: integer `-1" + std::string(400, '0') + "`, expected u64 at line 1 column 417"},
      {R"({"s":-1)" + std::string(400, '0') + "}", "number out of range at line 1 column 6"},
      {R"({"s":"a","opt":1e400})", "number out of range at line 1 column 16"},
      {R"({"s":"\udc00"})", "lone leading surrogate in hex escape at line 1 column 13"},
      {R"({"s":"a","extra":{"k":[0,1e400]}})", "number out of range at line 1 column 26"},
      {R"({"s":"a","opt":18446744073709551616})",
       "invalid type: floating point `18446744073709552000.0`, expected u64 at line 1 column 35"},
      {R"(["a",[]])", "invalid length 2, expected struct Sample with 5 elements at line 1 column 8"},
      {R"([])", "invalid length 0, expected struct Sample with 5 elements at line 1 column 2"},
      {R"(["a",[],null,{},[1], 5])", "trailing characters at line 1 column 22"},
      {R"(["a",[],null,null,[1]])", "invalid type: null, expected a map at line 1 column 17"},
      {R"("x")", "invalid type: string \"x\", expected struct Sample at line 1 column 3"},
      // The first fault in document order wins over a later syntax error...
      {R"({"s":5,"list":[)", "invalid type: integer `5`, expected a string at line 1 column 6"},
      {R"({"list":[],"inner":{"n":1}} x)", "missing field `s` at line 1 column 27"},
      // ...and a syntax error wins over a later fault.
      {R"({"s":"a","list":[,)", "expected value at line 1 column 18"},
      {R"({"s":"a",)" + tail + "} x", "trailing characters at line 1 column 37"},
      // Unknown members are skipped but must be well formed.
      {R"({"zz":[1,],"s":5})", "trailing comma at line 1 column 10"},
      {R"({"s":"a","zz":{"a":1 "b":2}})", "expected `,` or `}` at line 1 column 22"},
  };
  for (const auto& c : cases) {
    const auto s = json::parse_as<Sample>(c.input);
    ASSERT_FALSE(s.has_value()) << c.input;
    EXPECT_EQ(s.error(), c.message) << c.input;
    EXPECT_EQ(json::canonical_text<Sample>(c.input).error(), c.message) << c.input;
  }
}

TEST(JsonRecord, ListsOfRecordsWantASequence) {
  EXPECT_EQ(json::parse_as<std::vector<Inner>>(R"({"n":1})").error(),
            "invalid type: map, expected a sequence at line 1 column 1");
  EXPECT_EQ(json::parse_as<std::vector<Inner>>(R"([{"n":1},{"m":2}])").error(),
            "missing field `n` at line 1 column 16");
  EXPECT_EQ(json::parse_as<std::vector<Inner>>("[]")->size(), 0u);
}

}  // namespace
}  // namespace qsdk::core
