#include "json_writer.hpp"

#include "base/utf8.hpp"
#include "json/writer.hpp"

namespace qsdk::cli {

// Valid runs go through the library's escaper; each byte that starts no
// well-formed sequence becomes U+FFFD, so that the output stays valid UTF-8.
std::string json_string(std::string_view text) {
  std::string out;
  {
    core::json::Writer w(out);
    w.put('"');
    std::size_t run = 0;  // start of the valid bytes not yet written
    for (core::Utf8Cursor cursor(text); !cursor.done();) {
      const std::size_t start = cursor.offset();
      if (cursor.next() != 0xfffd || cursor.offset() - start != 1) continue;
      core::json::write_escaped(w, text.substr(run, start - run));
      w.put("\\ufffd");
      run = cursor.offset();
    }
    core::json::write_escaped(w, text.substr(run));
    w.put('"');
  }
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
