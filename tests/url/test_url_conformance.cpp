// The URL parser and host processing against the web-platform-tests URL data,
// run the way those tests drive a browser's URL class.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "json/test_json_reader.hpp"
#include "newer_unicode.hpp"
#include "url/url.hpp"

namespace qsdk::core::url {
namespace {

std::unique_ptr<testjson::Value> load_wpt(const std::string& name) {
  return testjson::load(std::string(QSDK_TESTDATA_DIR) + "/wpt-url/" + name);
}

#define LOAD_WPT(var, name) \
  auto var = load_wpt(name);  \
  if (!var) FAIL() << "test data " name " cannot be read under " QSDK_TESTDATA_DIR "/wpt-url"

// The URL class's attribute getters, from the record.
std::string host_attr(const Url& u) {
  if (!u.host) return "";
  return u.port ? *u.host + ":" + std::to_string(*u.port) : *u.host;
}
std::string search_attr(const Url& u) { return u.query && !u.query->empty() ? "?" + *u.query : ""; }
std::string hash_attr(const Url& u) { return u.fragment && !u.fragment->empty() ? "#" + *u.fragment : ""; }

struct Tally {
  int passed = 0;
  int total = 0;
  void report(const char* what) const { std::cout << "[ conformance ] " << what << ": " << passed << " of " << total << " pass\n"; }
};

// Compares one attribute when the case lists it.
void check_attribute(const testjson::Value& t, const char* key, const std::string& actual, const std::string& label,
                     bool& ok) {
  const testjson::Value* expected = t.get(key);
  if (expected == nullptr || !expected->is_string()) return;
  EXPECT_EQ(actual, expected->text) << key << " of " << label;
  ok = ok && actual == expected->text;
}

TEST(UrlConformance, EveryCaseWithoutBase) {
  LOAD_WPT(doc, "urltestdata.json");
  Tally tally;
  for (const auto& t : doc->items) {
    if (!t.is_object()) continue;  // comments
    const testjson::Value* base = t.get("base");
    if (base != nullptr && !base->is_null()) continue;
    ++tally.total;
    const std::string input = t.str("input");
    const auto parsed = parse(input);
    if (t.flag("failure")) {
      EXPECT_FALSE(parsed.has_value()) << "accepted " << input << " as " << parsed->href();
      tally.passed += parsed.has_value() ? 0 : 1;
      continue;
    }
    if (!parsed) {
      ADD_FAILURE() << "refused " << input << ": " << message(parsed.error());
      continue;
    }
    const Url& u = *parsed;
    bool ok = true;
    check_attribute(t, "href", u.href(), input, ok);
    check_attribute(t, "protocol", u.scheme + ":", input, ok);
    check_attribute(t, "username", u.username, input, ok);
    check_attribute(t, "password", u.password, input, ok);
    check_attribute(t, "host", host_attr(u), input, ok);
    check_attribute(t, "hostname", u.host.value_or(""), input, ok);
    check_attribute(t, "port", u.port ? std::to_string(*u.port) : "", input, ok);
    check_attribute(t, "pathname", u.pathname(), input, ok);
    check_attribute(t, "search", search_attr(u), input, ok);
    check_attribute(t, "hash", hash_attr(u), input, ok);
    // A serialisation parses back to itself.
    const auto again = parse(u.href());
    ok = ok && again && again->href() == u.href();
    EXPECT_TRUE(again && again->href() == u.href()) << "not idempotent: " << u.href();
    tally.passed += ok ? 1 : 0;
  }
  tally.report("urltestdata.json, base null");
  EXPECT_GT(tally.total, 500);
}

// Host processing as the URL class exposes it: "https://" + host + "/x".
void run_host_cases(const testjson::Value& doc, bool encode_delimiters, const char* what) {
  Tally tally;
  int newer_unicode = 0;
  for (const auto& t : doc.items) {
    if (!t.is_object()) continue;
    std::string host = t.str("input");
    if (host.empty()) continue;  // the URL class cannot express an empty host
    if (encode_delimiters) {
      // Code points that would end the host are percent-encoded, so that
      // they reach host processing instead of starting a port or path.
      std::string encoded;
      for (char c : host) {
        if (c == ':' || c == '/' || c == '?' || c == '#' || c == '\\') {
          static constexpr char kHex[] = "0123456789ABCDEF";
          encoded += '%';
          encoded += kHex[static_cast<unsigned char>(c) >> 4];
          encoded += kHex[c & 0x0f];
        } else {
          encoded += c;
        }
      }
      host = encoded;
    }
    ++tally.total;
    const auto parsed = parse("https://" + host + "/x");
    const testjson::Value* output = t.get("output");
    if (output == nullptr || output->is_null()) {
      EXPECT_FALSE(parsed.has_value()) << "accepted host " << t.str("input") << " as " << parsed->href();
      tally.passed += parsed.has_value() ? 0 : 1;
      continue;
    }
    const std::string expected = "https://" + output->text + "/x";
    if (!parsed && parsed.error() == UrlError::IdnaError && testdata::uses_newer_unicode(t.str("input"))) {
      ++newer_unicode;
      continue;
    }
    if (!parsed) {
      ADD_FAILURE() << "refused host " << t.str("input") << " (" << message(parsed.error()) << "), expected "
                    << output->text;
      continue;
    }
    EXPECT_EQ(parsed->href(), expected) << "host " << t.str("input");
    EXPECT_EQ(parsed->host.value_or(""), output->text);
    tally.passed += parsed->href() == expected ? 1 : 0;
  }
  tally.report(what);
  if (newer_unicode > 0)
    std::cout << "[ conformance ] " << what << ": " << newer_unicode
              << " refused for Unicode data newer than the installed ICU's\n";
  EXPECT_GT(tally.total, 0);
}

TEST(UrlConformance, IdnaTestV2) {
  LOAD_WPT(doc, "IdnaTestV2.json");
  run_host_cases(*doc, true, "IdnaTestV2.json");
}

TEST(UrlConformance, IdnaTestV2Removed) {
  LOAD_WPT(doc, "IdnaTestV2-removed.json");
  run_host_cases(*doc, true, "IdnaTestV2-removed.json");
}

TEST(UrlConformance, ToAscii) {
  LOAD_WPT(doc, "toascii.json");
  run_host_cases(*doc, false, "toascii.json");
}

// The pathname setter is what replaces an issuer's path.
TEST(UrlConformance, PathnameSetter) {
  LOAD_WPT(doc, "setters_tests.json");
  const testjson::Value* cases = doc->get("pathname");
  ASSERT_NE(cases, nullptr);
  Tally tally;
  for (const auto& t : cases->items) {
    ++tally.total;
    auto parsed = parse(t.str("href"));
    ASSERT_TRUE(parsed.has_value()) << t.str("href");
    parsed->set_pathname(t.str("new_value"));
    const testjson::Value* expected = t.get("expected");
    ASSERT_NE(expected, nullptr);
    bool ok = true;
    check_attribute(*expected, "href", parsed->href(), t.str("href"), ok);
    check_attribute(*expected, "pathname", parsed->pathname(), t.str("href"), ok);
    tally.passed += ok ? 1 : 0;
  }
  tally.report("setters_tests.json, pathname");
}

}  // namespace
}  // namespace qsdk::core::url
