#include "anchors.hpp"

#include "json/writer.hpp"

#include <openssl/sha.h>
#include <rapidjson/document.h>
#include <simdjson.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace bench {
namespace {

// The library's own canonical writer pieces (string escaping, number
// layout), so that the anchors and the library write the same text and
// differ only in how they read it.
using qsdk::core::json::Writer;
using qsdk::core::json::write_number;
using qsdk::core::json::write_string;

void digest_into(const std::string& text) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), d);
  benchmark::DoNotOptimize(d);
}

void put(Writer& out, const rapidjson::Value& v) {
  switch (v.GetType()) {
    case rapidjson::kNullType: out.put("null"); return;
    case rapidjson::kFalseType: out.put("false"); return;
    case rapidjson::kTrueType: out.put("true"); return;
    case rapidjson::kStringType: return write_string(out, {v.GetString(), v.GetStringLength()});
    case rapidjson::kNumberType:
      if (v.IsUint64()) return write_number(out, v.GetUint64());
      if (v.IsInt64()) return write_number(out, v.GetInt64());
      return write_number(out, v.GetDouble());
    case rapidjson::kArrayType: {
      out.put('[');
      bool first = true;
      for (const auto& e : v.GetArray()) {
        if (!std::exchange(first, false)) out.put(',');
        put(out, e);
      }
      out.put(']');
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
      out.put('{');
      for (std::size_t i = 0; i < members.size(); ++i) {
        if (i != 0) out.put(',');
        write_string(out, name(members[i]));
        out.put(':');
        put(out, members[i]->value);
      }
      out.put('}');
      return;
    }
  }
}

void put(Writer& out, simdjson::dom::element v) {
  switch (v.type()) {
    case simdjson::dom::element_type::NULL_VALUE: out.put("null"); return;
    case simdjson::dom::element_type::BOOL: out.put(bool(v) ? "true" : "false"); return;
    case simdjson::dom::element_type::STRING: return write_string(out, std::string_view(v));
    case simdjson::dom::element_type::UINT64: return write_number(out, std::uint64_t(v));
    case simdjson::dom::element_type::INT64: return write_number(out, std::int64_t(v));
    case simdjson::dom::element_type::DOUBLE: return write_number(out, double(v));
    case simdjson::dom::element_type::ARRAY: {
      out.put('[');
      bool first = true;
      for (const simdjson::dom::element e : simdjson::dom::array(v)) {
        if (!std::exchange(first, false)) out.put(',');
        put(out, e);
      }
      out.put(']');
      return;
    }
    case simdjson::dom::element_type::OBJECT: {
      std::vector<simdjson::dom::key_value_pair> members;
      for (const auto m : simdjson::dom::object(v)) members.push_back(m);
      std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
      out.put('{');
      for (std::size_t i = 0; i < members.size(); ++i) {
        if (i != 0) out.put(',');
        write_string(out, members[i].key);
        out.put(':');
        put(out, members[i].value);
      }
      out.put('}');
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
            {
              Writer w(out);
              put(w, doc);
            }
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
            {
              Writer w(out);
              put(w, root);
            }
            digest_into(out);
          }};
}

}  // namespace bench
