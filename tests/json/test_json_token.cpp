#include <gtest/gtest.h>

#include <array>

#include "json/record.hpp"
#include "json/members.hpp"

namespace qsdk::core::json {
namespace {

constexpr std::array<std::string_view, 2> kNames = {"alg", "kid"};

// What the generic value says: the member's string, if the value is an
// object whose member (its last occurrence) is a string.
StringSlot expected_slot(const Value& v, std::string_view name) {
  const Value* m = v.member(name);
  const std::string* s = m != nullptr ? m->as_string() : nullptr;
  return s != nullptr ? StringSlot(*s) : std::nullopt;
}

// The lean reading must agree with json::parse on every text: the same
// members where it succeeds, the same message where it fails.
TEST(JsonStringMembers, AgreesWithTheGenericParse) {
  const std::string deep = std::string(127, '[') + std::string(127, ']');
  const std::string too_deep = std::string(128, '[') + std::string(128, ']');
  const std::string deep_member = R"({"alg":"a","x":)" + std::string(126, '[') + std::string(126, ']') + "}";
  const std::string too_deep_member = R"({"alg":"a","x":)" + std::string(127, '[') + std::string(127, ']') + "}";
  const std::string texts[] = {
      R"({"alg":"ES256","kid":"k"})",
      R"( {"kid":"k" , "alg":"ES256"} )",
      R"({"alg":"none","alg":"ES256"})",
      R"({"alg":"ES256","alg":1})",
      R"({"alg":"ES256","alg":null})",
      R"({"alg":["ES256"],"kid":{"kid":"inner"}})",
      R"({"a\u006cg":"ES\u0032\u00356","kid":"caf\u00e9"})",
      R"({"other":{"alg":"x"},"alg":"ES256"})",
      R"(["alg","ES256"])",
      R"("alg")",
      "null",
      "17",
      "{}",
      deep,
      deep_member,
      // Failures, before, inside and after the wanted members.
      "",
      "   ",
      "{",
      R"({"alg":"ES256")",
      R"({"alg":"ES256",})",
      R"({"alg":"ES256"} x)",
      R"({"alg":"ES256"} {})",
      R"({"x":[1,2,}],"alg":"ES256"})",
      R"({"alg":"ES256","x":tru})",
      R"({"alg":"ES256","kid":"k\q"})",
      R"({"alg":"ES256","x":01})",
      "{\"alg\":\"ES\x01\"}",
      "{\"alg\":\"\xff\"}",
      R"({"alg" "ES256"})",
      R"([1,2)",
      too_deep,
      too_deep_member,
  };
  for (const std::string& text : texts) {
    Cursor c(text);
    std::array<StringSlot, kNames.size()> slots;
    const bool read = read_string_members(c, kNames, slots) && c.finish();
    const auto value = parse(text);
    ASSERT_EQ(read, value.has_value()) << text;
    if (!read) {
      EXPECT_EQ(c.error(), value.error()) << text;
      continue;
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) EXPECT_EQ(slots[i], expected_slot(*value, kNames[i])) << text;
  }
}

}  // namespace
}  // namespace qsdk::core::json
