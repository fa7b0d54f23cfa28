// A small JSON reader for third-party test data. Strings are byte strings
// (they may hold U+0000), and a lone surrogate escape reads as U+FFFD, the
// way a browser turns such a string into the scalar values a URL parser sees.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/utf8.hpp"

namespace testjson {

struct Member;

struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's bytes, or a number's literal
  std::vector<Value> items;
  // std::vector may hold an incomplete type, std::pair may not: members are
  // a struct of their own, complete only after Value.
  std::vector<Member> members;

  bool is_null() const { return kind == Kind::Null; }
  bool is_string() const { return kind == Kind::String; }
  bool is_object() const { return kind == Kind::Object; }
  const Value* get(std::string_view key) const;
  // The member as text; empty when absent or not a string.
  std::string str(std::string_view key) const {
    const Value* v = get(key);
    return v != nullptr && v->is_string() ? v->text : std::string();
  }
  bool flag(std::string_view key) const {
    const Value* v = get(key);
    return v != nullptr && v->kind == Kind::Bool && v->boolean;
  }
};

struct Member {
  std::string key;
  Value value;
};

inline const Value* Value::get(std::string_view key) const {
  for (const Member& m : members)
    if (m.key == key) return &m.value;
  return nullptr;
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  Value document() {
    Value v = value();
    ws();
    if (p_ != s_.size()) error("trailing data");
    return v;
  }

 private:
  [[noreturn]] void error(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(p_));
  }
  void ws() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\r' || s_[p_] == '\t')) ++p_;
  }
  char peek() {
    ws();
    if (p_ >= s_.size()) error("unexpected end");
    return s_[p_];
  }
  void expect(char c) {
    if (peek() != c) error(std::string("expected ") + c);
    ++p_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(p_, word.size()) != word) return false;
    p_ += word.size();
    return true;
  }

  Value value() {
    Value v;
    const char c = peek();
    if (c == '{') {
      v.kind = Value::Kind::Object;
      ++p_;
      if (peek() == '}') {
        ++p_;
        return v;
      }
      for (;;) {
        std::string key = string();
        expect(':');
        v.members.push_back(Member{std::move(key), value()});
        if (peek() == ',') {
          ++p_;
          continue;
        }
        expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = Value::Kind::Array;
      ++p_;
      if (peek() == ']') {
        ++p_;
        return v;
      }
      for (;;) {
        v.items.push_back(value());
        if (peek() == ',') {
          ++p_;
          continue;
        }
        expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Value::Kind::String;
      v.text = string();
      return v;
    }
    if (literal("null")) return v;
    if (literal("true") || literal("false")) {
      v.kind = Value::Kind::Bool;
      v.boolean = s_[p_ - 4] == 't';
      return v;
    }
    v.kind = Value::Kind::Number;
    const std::size_t start = p_;
    while (p_ < s_.size() && std::string_view("+-.0123456789eE").find(s_[p_]) != std::string_view::npos) ++p_;
    if (p_ == start) error("unexpected character");
    v.text.assign(s_.substr(start, p_ - start));
    return v;
  }

  unsigned hex4() {
    if (p_ + 4 > s_.size()) error("short \\u escape");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[p_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') v |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') v |= static_cast<unsigned>(h - 'A' + 10);
      else error("bad \\u escape");
    }
    return v;
  }

  char32_t unicode_escape() {
    const unsigned first = hex4();
    if (first >= 0xdc00 && first <= 0xdfff) return 0xfffd;
    if (first < 0xd800 || first > 0xdbff) return first;
    if (s_.substr(p_, 2) != "\\u") return 0xfffd;
    const std::size_t save = p_;
    p_ += 2;
    const unsigned second = hex4();
    if (second < 0xdc00 || second > 0xdfff) {
      p_ = save;  // the next escape stands on its own
      return 0xfffd;
    }
    return 0x10000 + ((first - 0xd800) << 10) + (second - 0xdc00);
  }

  std::string string() {
    expect('"');
    std::string out;
    for (;;) {
      if (p_ >= s_.size()) error("unterminated string");
      const char c = s_[p_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p_ >= s_.size()) error("unterminated escape");
      const char e = s_[p_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': qsdk::core::append_utf8(out, unicode_escape()); break;
        default: error("bad escape");
      }
    }
  }

  std::string_view s_;
  std::size_t p_ = 0;
};

// Reads a whole file; nullptr when it cannot be opened.
inline std::unique_ptr<Value> load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return nullptr;
  std::ostringstream ss;
  ss << f.rdbuf();
  return std::make_unique<Value>(Reader(ss.str()).document());
}

}  // namespace testjson
