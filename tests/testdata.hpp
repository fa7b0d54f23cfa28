// Access to the public conformance data kept in tests/testdata. A conformance
// suite without its data fails: a skipped suite would pass unnoticed.
#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <expected>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace testdata {

inline std::optional<std::string> read(const std::string& relative) {
  std::ifstream in(std::string(QSDK_TESTDATA_DIR) + "/" + relative, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Parses a data file; the error says what is wrong with it and where.
inline std::expected<rapidjson::Document, std::string> json(const std::string& relative) {
  const std::string where = std::string(QSDK_TESTDATA_DIR) + "/" + relative;
  auto text = read(relative);
  if (!text) return std::unexpected("conformance data " + where + " cannot be read");
  rapidjson::Document d;
  d.Parse(text->data(), text->size());
  if (d.HasParseError()) return std::unexpected("conformance data " + where + " is not JSON");
  return d;
}

}  // namespace testdata

#define QSDK_LOAD_TESTDATA(var, relative)                 \
  auto var##_loaded = ::testdata::json(relative);          \
  if (!var##_loaded) FAIL() << var##_loaded.error();       \
  const rapidjson::Document& var = *var##_loaded
