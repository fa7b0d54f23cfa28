#include "json_writer.hpp"

namespace qsdk::cli {

namespace {

// Length of the well-formed UTF-8 sequence starting at `s[0]`, or 0 when the
// bytes there do not start one (bad lead, truncated, overlong, surrogate or
// beyond U+10FFFF), following the table of well-formed sequences in Unicode.
std::size_t utf8_sequence(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xbf;  // bounds of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) n = 2;
  else if (lead >= 0xe0 && lead <= 0xef) {
    n = 3;
    if (lead == 0xe0) lo = 0xa0;
    if (lead == 0xed) hi = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    n = 4;
    if (lead == 0xf0) lo = 0x90;
    if (lead == 0xf4) hi = 0x8f;
  } else {
    return 0;
  }
  if (s.size() < n || byte(1) < lo || byte(1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  return n;
}

void append_escaped_ascii(std::string& out, char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (static_cast<unsigned char>(c) < 0x20) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    return;
  }
  out += c;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const std::size_t n = utf8_sequence(text);
    if (n == 0) {
      out += "\\ufffd";
      text.remove_prefix(1);
    } else if (n == 1) {
      append_escaped_ascii(out, text[0]);
      text.remove_prefix(1);
    } else {
      out += text.substr(0, n);
      text.remove_prefix(n);
    }
  }
  out += '"';
  return out;
}

void JsonObjectWriter::member(std::string_view name, std::string_view json_value) {
  body_ += body_.empty() ? "\n  " : ",\n  ";
  body_ += json_string(name);
  body_ += ": ";
  body_ += json_value;
}

std::string JsonObjectWriter::finish() const { return "{" + body_ + (body_.empty() ? "}\n" : "\n}\n"); }

}  // namespace qsdk::cli
