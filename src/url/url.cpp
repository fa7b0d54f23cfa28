#include "url/url.hpp"

#include <array>
#include <limits>
#include <utility>

#include "base/text.hpp"
#include "base/utf8.hpp"
#include "url/url_host.hpp"
#include "url/url_percent.hpp"

namespace qsdk::core::url {
namespace {

// Serialisations are indexed with 32-bit offsets by many URL consumers; a
// longer URL is refused rather than handed on.
constexpr std::size_t kMaxHref = std::numeric_limits<std::uint32_t>::max();

constexpr char32_t kEof = 0xffffffff;

struct SpecialScheme {
  std::string_view name;
  std::optional<std::uint16_t> default_port;
};
constexpr std::array<SpecialScheme, 6> kSpecialSchemes = {{
    {"ftp", 21}, {"file", std::nullopt}, {"http", 80}, {"https", 443}, {"ws", 80}, {"wss", 443},
}};

const SpecialScheme* find_special(std::string_view scheme) {
  for (const auto& s : kSpecialSchemes)
    if (s.name == scheme) return &s;
  return nullptr;
}

constexpr bool is_ascii_alpha(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool is_ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }
constexpr char ascii_lower(char32_t c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }

bool is_windows_drive_letter(std::string_view s) {
  return s.size() == 2 && is_ascii_alpha(static_cast<unsigned char>(s[0])) && (s[1] == ':' || s[1] == '|');
}
bool is_normalized_windows_drive_letter(std::string_view s) { return is_windows_drive_letter(s) && s[1] == ':'; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}
bool is_single_dot(std::string_view s) { return s == "." || equals_ignoring_case(s, "%2e"); }
bool is_double_dot(std::string_view s) {
  return s == ".." || equals_ignoring_case(s, ".%2e") || equals_ignoring_case(s, "%2e.") ||
         equals_ignoring_case(s, "%2e%2e");
}

constexpr bool is_c0_control_or_space(unsigned char b) { return b <= 0x20; }
constexpr bool is_tab_or_newline(unsigned char b) { return b == '\t' || b == '\n' || b == '\r'; }

// The text the state machine walks: outer C0 controls and spaces trimmed
// (only for a fresh parse), every tab and newline removed, and ill-formed
// UTF-8 replaced so that every position decodes.
std::string prepare_input(std::string_view input, bool trim) {
  if (trim) {
    while (!input.empty() && is_c0_control_or_space(static_cast<unsigned char>(input.front()))) input.remove_prefix(1);
    while (!input.empty() && is_c0_control_or_space(static_cast<unsigned char>(input.back()))) input.remove_suffix(1);
  }
  std::string kept;
  kept.reserve(input.size());
  for (char c : input)
    if (!is_tab_or_newline(static_cast<unsigned char>(c))) kept += c;
  return scalar_values(kept);
}

enum class State {
  SchemeStart,
  Scheme,
  NoScheme,
  SpecialAuthoritySlashes,
  SpecialAuthorityIgnoreSlashes,
  PathOrAuthority,
  Authority,
  Host,
  Port,
  File,
  FileSlash,
  FileHost,
  PathStart,
  Path,
  OpaquePath,
  Query,
  Fragment,
};

// The basic URL parser's state machine, without a base URL. A state
// override is used only by the pathname setter (path start state), so the
// override tests of the other states are left out.
class Parser {
 public:
  Parser(std::string input, Url& url, std::optional<State> state_override)
      : in_(std::move(input)), url_(url), override_(state_override), state_(state_override.value_or(State::SchemeStart)) {}

  UrlResult<void> run() {
    for (;;) {
      const char32_t c = decode_at(p_);
      reconsume_ = false;
      if (auto r = dispatch(c); !r) return r;
      if (reconsume_) continue;
      if (c == kEof) return {};
      p_ += len_;
    }
  }

 private:
  char32_t decode_at(std::size_t p) {
    if (p >= in_.size()) {
      len_ = 0;
      return kEof;
    }
    if (static_cast<unsigned char>(in_[p]) < 0x80) {
      len_ = 1;
      return static_cast<unsigned char>(in_[p]);
    }
    Utf8Cursor cur(std::string_view(in_).substr(p));
    const char32_t c = cur.next();
    len_ = cur.offset();
    return c;
  }

  // "remaining starts with": the code points after c.
  bool remaining_starts_with(char ch) const { return p_ + len_ < in_.size() && in_[p_ + len_] == ch; }
  void reconsume() { reconsume_ = true; }
  void skip_next_ascii() { ++p_; }
  void append_c(std::string& out) const { out.append(in_, p_, len_); }
  bool special() const { return url_.is_special(); }
  bool is_slash(char32_t c) const { return c == '/' || (c == '\\' && special()); }
  bool ends_authority(char32_t c) const { return c == kEof || c == '?' || c == '#' || is_slash(c); }

  UrlResult<void> dispatch(char32_t c) {
    switch (state_) {
      case State::SchemeStart: scheme_start(c); return {};
      case State::Scheme: scheme(c); return {};
      case State::NoScheme: return std::unexpected(UrlError::RelativeUrlWithoutBase);
      case State::SpecialAuthoritySlashes: special_authority_slashes(c); return {};
      case State::SpecialAuthorityIgnoreSlashes: special_authority_ignore_slashes(c); return {};
      case State::PathOrAuthority: path_or_authority(c); return {};
      case State::Authority: return authority(c);
      case State::Host: return host(c);
      case State::Port: return port(c);
      case State::File: file(c); return {};
      case State::FileSlash: file_slash(c); return {};
      case State::FileHost: return file_host(c);
      case State::PathStart: path_start(c); return {};
      case State::Path: path(c); return {};
      case State::OpaquePath: opaque_path(c); return {};
      case State::Query: query(c); return {};
      case State::Fragment: fragment(c); return {};
    }
    return {};
  }

  void scheme_start(char32_t c) {
    if (is_ascii_alpha(c)) {
      buffer_ += ascii_lower(c);
      state_ = State::Scheme;
    } else {
      state_ = State::NoScheme;
      reconsume();
    }
  }

  void scheme(char32_t c) {
    if (is_ascii_alpha(c) || is_ascii_digit(c) || c == '+' || c == '-' || c == '.') {
      buffer_ += ascii_lower(c);
    } else if (c == ':') {
      url_.scheme = std::move(buffer_);
      buffer_.clear();
      if (url_.scheme == "file") {
        state_ = State::File;
      } else if (special()) {
        state_ = State::SpecialAuthoritySlashes;
      } else if (remaining_starts_with('/')) {
        state_ = State::PathOrAuthority;
        skip_next_ascii();
      } else {
        url_.opaque_path.emplace();
        state_ = State::OpaquePath;
      }
    } else {
      // Not a scheme after all: start over from the first code point.
      buffer_.clear();
      state_ = State::NoScheme;
      p_ = 0;
      reconsume();
    }
  }

  void special_authority_slashes(char32_t c) {
    state_ = State::SpecialAuthorityIgnoreSlashes;
    if (c == '/' && remaining_starts_with('/')) skip_next_ascii();
    else reconsume();
  }

  void special_authority_ignore_slashes(char32_t c) {
    if (c != '/' && c != '\\') {
      state_ = State::Authority;
      reconsume();
    }
  }

  void path_or_authority(char32_t c) {
    if (c == '/') {
      state_ = State::Authority;
    } else {
      state_ = State::Path;
      reconsume();
    }
  }

  UrlResult<void> authority(char32_t c) {
    if (c == '@') {
      if (at_sign_seen_) buffer_.insert(0, "%40");
      at_sign_seen_ = true;
      take_userinfo();
      return {};
    }
    if (ends_authority(c)) {
      if (at_sign_seen_ && buffer_.empty()) return std::unexpected(UrlError::EmptyHost);
      // Read the same text again, now as host and port.
      p_ -= buffer_.size();
      buffer_.clear();
      state_ = State::Host;
      reconsume();
      return {};
    }
    append_c(buffer_);
    return {};
  }

  // The buffer up to an "@" is userinfo: the first ":" splits the username
  // from the password.
  void take_userinfo() {
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
      if (buffer_[i] == ':' && !password_token_seen_) {
        password_token_seen_ = true;
        continue;
      }
      percent_encode(password_token_seen_ ? url_.password : url_.username, std::string_view(buffer_).substr(i, 1),
                     kUserinfoSet);
    }
    buffer_.clear();
  }

  UrlResult<void> set_host_from_buffer(State next) {
    auto host = parse_host(buffer_, !special());
    if (!host) return std::unexpected(host.error());
    url_.host = std::move(*host);
    buffer_.clear();
    state_ = next;
    return {};
  }

  UrlResult<void> host(char32_t c) {
    if (c == ':' && !inside_brackets_) {
      if (buffer_.empty()) return std::unexpected(UrlError::EmptyHost);
      return set_host_from_buffer(State::Port);
    }
    if (ends_authority(c)) {
      reconsume();
      if (special() && buffer_.empty()) return std::unexpected(UrlError::EmptyHost);
      return set_host_from_buffer(State::PathStart);
    }
    if (c == '[') inside_brackets_ = true;
    if (c == ']') inside_brackets_ = false;
    append_c(buffer_);
    return {};
  }

  UrlResult<void> port(char32_t c) {
    if (is_ascii_digit(c)) {
      buffer_ += static_cast<char>(c);
      return {};
    }
    if (!ends_authority(c)) return std::unexpected(UrlError::InvalidPort);
    if (!buffer_.empty()) {
      std::uint32_t value = 0;
      for (char d : buffer_) {
        value = value * 10 + static_cast<std::uint32_t>(d - '0');
        if (value > 0xffff) return std::unexpected(UrlError::InvalidPort);
      }
      const SpecialScheme* s = find_special(url_.scheme);
      if (s != nullptr && s->default_port == value) url_.port.reset();
      else url_.port = static_cast<std::uint16_t>(value);
      buffer_.clear();
    }
    state_ = State::PathStart;
    reconsume();
    return {};
  }

  void file(char32_t c) {
    url_.scheme = "file";
    url_.host.emplace();
    if (c == '/' || c == '\\') {
      state_ = State::FileSlash;
    } else {
      state_ = State::Path;
      reconsume();
    }
  }

  void file_slash(char32_t c) {
    if (c == '/' || c == '\\') {
      state_ = State::FileHost;
    } else {
      state_ = State::Path;
      reconsume();
    }
  }

  UrlResult<void> file_host(char32_t c) {
    if (!(c == kEof || c == '/' || c == '\\' || c == '?' || c == '#')) {
      append_c(buffer_);
      return {};
    }
    reconsume();
    if (is_windows_drive_letter(buffer_)) {
      // "file://C:/x": the drive letter is the path's first segment, not a
      // host; the buffer carries over into the path state.
      state_ = State::Path;
      return {};
    }
    if (buffer_.empty()) {
      url_.host.emplace();
      state_ = State::PathStart;
      return {};
    }
    if (auto r = set_host_from_buffer(State::PathStart); !r) return r;
    if (url_.host == "localhost") url_.host->clear();
    return {};
  }

  void path_start(char32_t c) {
    if (special()) {
      state_ = State::Path;
      if (c != '/' && c != '\\') reconsume();
      return;
    }
    if (!override_ && start_query_or_fragment(c)) return;
    if (c != kEof) {
      state_ = State::Path;
      if (c != '/') reconsume();
    } else if (override_ && !url_.host) {
      url_.path.emplace_back();
    }
  }

  // "?" starts the query and "#" the fragment; false for any other c.
  bool start_query_or_fragment(char32_t c) {
    if (c == '?') {
      url_.query.emplace();
      state_ = State::Query;
    } else if (c == '#') {
      url_.fragment.emplace();
      state_ = State::Fragment;
    } else {
      return false;
    }
    return true;
  }

  void shorten_path() {
    auto& path = url_.path;
    if (url_.scheme == "file" && path.size() == 1 && is_normalized_windows_drive_letter(path[0])) return;
    if (!path.empty()) path.pop_back();
  }

  void end_segment(char32_t c) {
    if (is_double_dot(buffer_)) {
      shorten_path();
      // "/usr/.." is "/", not an empty path.
      if (!is_slash(c)) url_.path.emplace_back();
    } else if (is_single_dot(buffer_)) {
      if (!is_slash(c)) url_.path.emplace_back();
    } else {
      if (url_.scheme == "file" && url_.path.empty() && is_windows_drive_letter(buffer_)) buffer_[1] = ':';
      url_.path.push_back(std::move(buffer_));
    }
    buffer_.clear();
  }

  void path(char32_t c) {
    if (c == kEof || is_slash(c) || (!override_ && (c == '?' || c == '#'))) {
      end_segment(c);
      start_query_or_fragment(c);
      return;
    }
    percent_encode(buffer_, std::string_view(in_).substr(p_, len_), kPathSet);
  }

  void opaque_path(char32_t c) {
    if (start_query_or_fragment(c)) return;
    if (c == ' ') {
      // A space just before "?" or "#" is encoded, so that the path keeps it
      // when the query or fragment is later removed.
      *url_.opaque_path += remaining_starts_with('?') || remaining_starts_with('#') ? "%20" : " ";
    } else if (c != kEof) {
      percent_encode(*url_.opaque_path, std::string_view(in_).substr(p_, len_), kC0ControlSet);
    }
  }

  // UTF-8 is stateless, so the query is encoded as it is read rather than
  // buffered up to its end.
  void query(char32_t c) {
    if (c == '#') {
      url_.fragment.emplace();
      state_ = State::Fragment;
    } else if (c != kEof) {
      percent_encode(*url_.query, std::string_view(in_).substr(p_, len_), special() ? kSpecialQuerySet : kQuerySet);
    }
  }

  void fragment(char32_t c) {
    if (c != kEof) percent_encode(*url_.fragment, std::string_view(in_).substr(p_, len_), kFragmentSet);
  }

  std::string in_;
  Url& url_;
  std::optional<State> override_;
  State state_;
  std::size_t p_ = 0;    // byte offset of c
  std::size_t len_ = 0;  // byte length of c
  bool reconsume_ = false;  // run the next state on the same c
  std::string buffer_;
  bool at_sign_seen_ = false;
  bool inside_brackets_ = false;
  bool password_token_seen_ = false;
};

}  // namespace

std::string_view message(UrlError e) {
  switch (e) {
    case UrlError::EmptyHost: return "empty host";
    case UrlError::IdnaError: return "invalid international domain name";
    case UrlError::InvalidPort: return "invalid port number";
    case UrlError::InvalidIpv4Address: return "invalid IPv4 address";
    case UrlError::InvalidIpv6Address: return "invalid IPv6 address";
    case UrlError::InvalidDomainCharacter: return "invalid domain character";
    case UrlError::RelativeUrlWithoutBase: return "relative URL without a base";
    case UrlError::Overflow: return "URLs more than 4 GB are not supported";
  }
  return "invalid URL";
}

bool Url::is_special() const { return find_special(scheme) != nullptr; }

namespace {

// Stands in for the output text where only its length is wanted.
struct LengthCounter {
  std::size_t size = 0;
  LengthCounter& operator+=(std::string_view s) {
    size += s.size();
    return *this;
  }
  LengthCounter& operator+=(char) {
    ++size;
    return *this;
  }
};

template <class Out>
void write_pathname(const Url& u, Out& out) {
  if (u.opaque_path) {
    out += *u.opaque_path;
    return;
  }
  for (const auto& segment : u.path) {
    out += '/';
    out += segment;
  }
}

template <class Out>
void write_href(const Url& u, Out& out) {
  out += u.scheme;
  out += ':';
  if (u.host) {
    out += "//";
    // "If url includes credentials": a non-empty username or password.
    if (!u.username.empty() || !u.password.empty()) {
      out += u.username;
      if (!u.password.empty()) {
        out += ':';
        out += u.password;
      }
      out += '@';
    }
    out += *u.host;
    if (u.port) {
      out += ':';
      out += std::string_view(cat(*u.port));
    }
  } else if (!u.opaque_path && u.path.size() > 1 && u.path[0].empty()) {
    // Without "/." a path starting "//" would read back as a host.
    out += "/.";
  }
  write_pathname(u, out);
  if (u.query) {
    out += '?';
    out += *u.query;
  }
  if (u.fragment) {
    out += '#';
    out += *u.fragment;
  }
}

std::size_t href_size(const Url& u) {
  LengthCounter counter;
  write_href(u, counter);
  return counter.size;
}

}  // namespace

std::string Url::pathname() const {
  std::string out;
  write_pathname(*this, out);
  return out;
}

std::string Url::href() const {
  std::string out;
  out.reserve(href_size(*this));
  write_href(*this, out);
  return out;
}

void Url::set_pathname(std::string_view value) {
  if (opaque_path) return;
  path.clear();
  // Path parsing cannot fail: only the host and port states refuse input.
  (void)Parser(prepare_input(value, false), *this, State::PathStart).run();
}

void Url::replace_opaque_path(std::string_view value) {
  std::string encoded;
  percent_encode(encoded, scalar_values(value), kPathSet.with("/"));
  opaque_path = std::move(encoded);
  path.clear();
}

UrlResult<Url> detail::parse_with_limit(std::string_view input, std::size_t max_href) {
  // Refused before any copy is made. Dot segments could in principle shrink
  // such an input below the ceiling, but no real URL needs that.
  if (input.size() > max_href) return std::unexpected(UrlError::Overflow);
  Url url;
  if (auto r = Parser(prepare_input(input, true), url, std::nullopt).run(); !r) return std::unexpected(r.error());
  if (href_size(url) > max_href) return std::unexpected(UrlError::Overflow);
  return url;
}

UrlResult<Url> parse(std::string_view input) { return detail::parse_with_limit(input, kMaxHref); }

void append_form_pair(std::string& query, std::string_view name, std::string_view value) {
  if (!query.empty()) query += '&';
  percent_encode(query, name, kFormSet, true);
  query += '=';
  percent_encode(query, value, kFormSet, true);
}

}  // namespace qsdk::core::url
