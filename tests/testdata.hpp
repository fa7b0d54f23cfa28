// Access to the public conformance data kept beside the project.
#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>

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

// Parses a data file; the caller skips when it is absent.
inline std::optional<rapidjson::Document> json(const std::string& relative) {
  auto text = read(relative);
  if (!text) return std::nullopt;
  rapidjson::Document d;
  d.Parse(text->data(), text->size());
  if (d.HasParseError()) return std::nullopt;
  return d;
}

}  // namespace testdata

#define QSDK_LOAD_TESTDATA_OR_SKIP(var, relative)                                                        \
  auto var##_opt = ::testdata::json(relative);                                                           \
  if (!var##_opt) GTEST_SKIP() << "conformance data " << (relative) << " not found under " << QSDK_TESTDATA_DIR; \
  const rapidjson::Document& var = *var##_opt
