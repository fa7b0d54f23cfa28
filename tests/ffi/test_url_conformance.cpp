// The web-platform-tests URL and IDNA data through the C interface: the
// issuer of build_authorize_url is parsed as a browser parses a URL. Run on
// the relocatable bundle, this proves its trimmed ICU data serves every case.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "json/test_json_reader.hpp"
#include "ffi/host.hpp"
#include "newer_unicode.hpp"

namespace {

using AuthorizeFn = RustBuffer(RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer, RustBuffer,
                               RustCallStatus*);
constexpr std::string_view kIdnaRefusal = "input: invalid international domain name";

host::TextOutcome authorize(const std::string& issuer) {
  auto* fn = host::lib().op<AuthorizeFn>("build_authorize_url");
  std::array<RustBuffer, 6> a = {host::text(issuer), host::text("c"), host::text("r"),
                                 host::text("s"),    host::text("n"), host::text("ch")};
  return host::text_outcome([&](RustCallStatus* st) { return fn(a[0], a[1], a[2], a[3], a[4], a[5], st); });
}

// The data is read with the reader that keeps U+0000 and lone surrogates as
// a browser sees them; a missing file fails the test.
std::unique_ptr<testjson::Value> load_wpt(const std::string& name) {
  auto doc = testjson::load(std::string(QSDK_TESTDATA_DIR) + "/wpt-url/" + name);
  EXPECT_NE(doc, nullptr) << "conformance data " << name << " not found under " << QSDK_TESTDATA_DIR;
  return doc;
}

// Code points that would end the host are percent-encoded, so that they
// reach host processing instead of starting a port or path.
std::string encode_delimiters(const std::string& host) {
  std::string out;
  for (char c : host) {
    if (c == ':' || c == '/' || c == '?' || c == '#' || c == '\\') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[static_cast<unsigned char>(c) >> 4];
      out += kHex[c & 0x0f];
    } else {
      out += c;
    }
  }
  return out;
}

// Each host case as the issuer "https://<host>/x": the result carries the
// expected ASCII host, or the call refuses it.
void run_host_cases(const std::string& file, bool encode) {
  const auto doc = load_wpt(file);
  if (!doc) return;
  int checked = 0;
  for (const auto& t : doc->items) {
    const std::string input = t.str("input");
    if (!t.is_object() || input.empty()) continue;  // comments; the URL class cannot express an empty host
    ++checked;
    const auto o = authorize("https://" + (encode ? encode_delimiters(input) : input) + "/x");
    const testjson::Value* output = t.get("output");
    if (output == nullptr || output->is_null()) {
      EXPECT_EQ(o.code, host::kSdk) << "accepted host " << input << " as " << o.value;
      continue;
    }
    if (o.code == host::kSdk && o.message == kIdnaRefusal && testdata::uses_newer_unicode(input)) continue;
    const std::string expected = "https://" + output->text + "/authorize?";
    EXPECT_TRUE(o.code == 0 && o.value.starts_with(expected)) << "host " << input << ": " << o.value << o.message;
  }
  EXPECT_GT(checked, 0);
}

TEST(UrlConformanceExport, ToAscii) { run_host_cases("toascii.json", false); }
TEST(UrlConformanceExport, IdnaTestV2) { run_host_cases("IdnaTestV2.json", true); }
TEST(UrlConformanceExport, IdnaTestV2Removed) { run_host_cases("IdnaTestV2-removed.json", true); }

// Every URL without a base: refused exactly when the data says it fails,
// and when it parses, the issuer's scheme and host lead the result.
TEST(UrlConformanceExport, EveryCaseWithoutBase) {
  const auto doc = load_wpt("urltestdata.json");
  if (!doc) return;
  int checked = 0;
  for (const auto& t : doc->items) {
    const testjson::Value* base = t.get("base");
    if (!t.is_object() || (base != nullptr && !base->is_null())) continue;
    ++checked;
    const std::string input = t.str("input");
    const auto o = authorize(input);
    if (t.flag("failure")) {
      EXPECT_EQ(o.code, host::kSdk) << "accepted " << input << " as " << o.value;
      continue;
    }
    EXPECT_EQ(o.code, 0) << input << ": " << o.message;
    if (o.code != 0) continue;
    EXPECT_TRUE(o.value.starts_with(t.str("protocol"))) << input << ": " << o.value;
    EXPECT_NE(o.value.find(t.str("host")), std::string::npos) << input << ": " << o.value;
  }
  EXPECT_GT(checked, 500);
}

}  // namespace
