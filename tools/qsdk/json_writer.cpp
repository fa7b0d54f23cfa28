#include "json_writer.hpp"

#include "base/utf8.hpp"

namespace qsdk::cli {

namespace {

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
  for (core::Utf8Cursor cursor(text); !cursor.done();) {
    const std::size_t start = cursor.offset();
    const char32_t cp = cursor.next();
    const std::size_t length = cursor.offset() - start;
    if (length > 1) out += text.substr(start, length);
    else if (cp == 0xfffd) out += "\\ufffd";  // a byte that starts no well-formed sequence
    else append_escaped_ascii(out, text[start]);
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
