// Code points whose UTS #46 status changed in Unicode 15.1 or later from
// disallowed to mapped or ignored, or that were assigned after the Unicode
// version of the installed ICU (72: Unicode 15.0). With the older data,
// names holding them are refused; that is the only divergence the web
// platform's IDNA data may show.
#pragma once

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <string>

namespace testdata {

inline bool newer_than_icu_data(char32_t cp) {
  if (!u_isdefined(static_cast<UChar32>(cp))) return true;
  if (cp >= 0x10A0 && cp <= 0x10C5) return true;    // Georgian capitals, now mapped to small letters
  if (cp >= 0x1D173 && cp <= 0x1D17A) return true;  // musical format controls, now ignored
  if (cp >= 0x2F800 && cp <= 0x2FA1D) return true;  // compatibility ideographs, some now mapped
  switch (cp) {
    case 0x04C0: case 0x2132: case 0x2183:                // capitals whose small letters came later
    case 0x115F: case 0x1160: case 0x3164: case 0xFFA0:   // Hangul fillers, now ignored
    case 0x17B4: case 0x17B5: case 0x180E: case 0x206B:   // default ignorables, now ignored
      return true;
    default:
      return false;
  }
}

inline bool uses_newer_unicode(const std::string& utf8) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const auto length = static_cast<std::int32_t>(utf8.size());
  for (std::int32_t i = 0; i < length;) {
    UChar32 cp = 0;
    U8_NEXT(s, i, length, cp);
    if (cp >= 0 && newer_than_icu_data(static_cast<char32_t>(cp))) return true;
  }
  return false;
}

}  // namespace testdata
