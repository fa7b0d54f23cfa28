#include "anchors.hpp"

#include <openssl/sha.h>
#include <rapidjson/document.h>
#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace bench {
namespace {

// Unescaped runs are copied whole; quote, backslash and control characters
// are escaped.
void put_string(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t run = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.substr(run, i - run));
    run = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  out.append(s.substr(run));
  out += '"';
}

template <class N>
void put_number(std::string& out, N n) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

void digest_into(const std::string& text) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), d);
  benchmark::DoNotOptimize(d);
}

void put(std::string& out, const rapidjson::Value& v) {
  switch (v.GetType()) {
    case rapidjson::kNullType: out += "null"; return;
    case rapidjson::kFalseType: out += "false"; return;
    case rapidjson::kTrueType: out += "true"; return;
    case rapidjson::kStringType: return put_string(out, {v.GetString(), v.GetStringLength()});
    case rapidjson::kNumberType:
      if (v.IsUint64()) return put_number(out, v.GetUint64());
      if (v.IsInt64()) return put_number(out, v.GetInt64());
      return put_number(out, v.GetDouble());
    case rapidjson::kArrayType: {
      out += '[';
      bool first = true;
      for (const auto& e : v.GetArray()) {
        if (!std::exchange(first, false)) out += ',';
        put(out, e);
      }
      out += ']';
      return;
    }
    case rapidjson::kObjectType: {
      std::vector<const rapidjson::Value::Member*> members;
      members.reserve(v.MemberCount());
      for (const auto& m : v.GetObject()) members.push_back(&m);
      const auto name = [](const rapidjson::Value::Member* m) {
        return std::string_view(m->name.GetString(), m->name.GetStringLength());
      };
      std::stable_sort(members.begin(), members.end(), [&](auto* a, auto* b) { return name(a) < name(b); });
      out += '{';
      for (std::size_t i = 0; i < members.size(); ++i) {
        if (i != 0) out += ',';
        put_string(out, name(members[i]));
        out += ':';
        put(out, members[i]->value);
      }
      out += '}';
      return;
    }
  }
}

void put(std::string& out, simdjson::dom::element v) {
  switch (v.type()) {
    case simdjson::dom::element_type::NULL_VALUE: out += "null"; return;
    case simdjson::dom::element_type::BOOL: out += bool(v) ? "true" : "false"; return;
    case simdjson::dom::element_type::STRING: return put_string(out, std::string_view(v));
    case simdjson::dom::element_type::UINT64: return put_number(out, std::uint64_t(v));
    case simdjson::dom::element_type::INT64: return put_number(out, std::int64_t(v));
    case simdjson::dom::element_type::DOUBLE: return put_number(out, double(v));
    case simdjson::dom::element_type::ARRAY: {
      out += '[';
      bool first = true;
      for (const simdjson::dom::element e : simdjson::dom::array(v)) {
        if (!std::exchange(first, false)) out += ',';
        put(out, e);
      }
      out += ']';
      return;
    }
    case simdjson::dom::element_type::OBJECT: {
      std::vector<simdjson::dom::key_value_pair> members;
      for (const auto m : simdjson::dom::object(v)) members.push_back(m);
      std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
      out += '{';
      for (std::size_t i = 0; i < members.size(); ++i) {
        if (i != 0) out += ',';
        put_string(out, members[i].key);
        out += ':';
        put(out, members[i].value);
      }
      out += '}';
      return;
    }
  }
}

}  // namespace

Floor rapidjson_anchor(std::string text) {
  return {"RapidJSON DOM + sorted write + SHA-256 of " + std::to_string(text.size()) + " B", [text = std::move(text)] {
            rapidjson::Document doc;
            doc.Parse<rapidjson::kParseValidateEncodingFlag>(text.data(), text.size());
            if (doc.HasParseError()) throw std::runtime_error("RapidJSON anchor: parse failed");
            std::string out;
            out.reserve(text.size());
            put(out, doc);
            digest_into(out);
          }};
}

Floor simdjson_anchor(std::string text) {
  return {"simdjson DOM + sorted write + SHA-256 of " + std::to_string(text.size()) + " B", [text = std::move(text)] {
            simdjson::dom::parser parser;
            simdjson::dom::element root;
            if (parser.parse(text.data(), text.size()).get(root) != simdjson::SUCCESS)
              throw std::runtime_error("simdjson anchor: parse failed");
            std::string out;
            out.reserve(text.size());
            put(out, root);
            digest_into(out);
          }};
}

}  // namespace bench
