#include "library.hpp"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "wire.hpp"

namespace qsdk::cli {

namespace {

constexpr std::string_view kLibraryEnv = "QUORVEL_SDK_UNIFFI_LIB";
constexpr std::string_view kSoname = "libquorvel_sdk_uniffi.so.0";
// Unversioned: the development link's name, and the one the relocatable
// bundle gives the library.
constexpr std::string_view kPlainName = "libquorvel_sdk_uniffi.so";

struct Candidate {
  std::string place;  // where it was looked for, as the error tells it
  std::string name;   // what dlopen is given
};

// An explicit path is taken alone: loading some other copy instead would
// hide the mistake.
std::vector<Candidate> library_candidates() {
  if (const char* path = std::getenv(kLibraryEnv.data()); path != nullptr && *path != '\0')
    return {{"$" + std::string(kLibraryEnv), path}};
  std::vector<Candidate> out;
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec)
    for (const std::string_view name : {kSoname, kPlainName})
      out.push_back({"next to this program", (self.parent_path() / name).string()});
  out.push_back({"the loader's search path", std::string(kSoname)});
  return out;
}

}  // namespace

Library Library::open() {
  std::string tried;
  for (const Candidate& c : library_candidates()) {
    if (void* handle = dlopen(c.name.c_str(), RTLD_NOW | RTLD_LOCAL)) return Library(handle);
    const char* reason = dlerror();
    tried += "\n  " + c.place + ": " + (reason != nullptr ? reason : "refused");
  }
  throw LoadError("cannot load the library " + std::string(kSoname) + "; tried:" + tried + "\nSet " +
                  std::string(kLibraryEnv) + " to its path, or install it where the loader finds it.");
}

std::uint32_t Library::contract_version() const {
  auto* version = reinterpret_cast<std::uint32_t (*)()>(symbol("ffi_quorvel_sdk_uniffi_uniffi_contract_version"));
  if (version == nullptr) throw LoadError(path() + " lacks ffi_quorvel_sdk_uniffi_uniffi_contract_version");
  return version();
}

std::string Library::path() const {
  const link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return "(unknown path)";
  std::error_code ec;
  const auto real = std::filesystem::canonical(map->l_name, ec);
  return ec ? std::string(map->l_name) : real.string();
}

std::optional<std::string> Library::version() const {
  const std::string file = std::filesystem::path(path()).filename().string();
  const std::string stem = std::string(kPlainName) + ".";
  if (!file.starts_with(stem)) return std::nullopt;
  std::string release = file.substr(stem.size());
  // The SONAME link alone names only the major version.
  if (std::count(release.begin(), release.end(), '.') != 2) return std::nullopt;
  return release;
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* Library::symbol(const std::string& name) const { return dlsym(handle_, name.c_str()); }

void* Library::operation(const iface::Op& op) const {
  if (const std::uint32_t found = contract_version(); found != iface::kContractVersion)
    throw LoadError(path() + " is of contract version " + std::to_string(found) + ", not " +
                    std::to_string(iface::kContractVersion));
  const std::string name(op.name);
  void* fn = symbol("uniffi_quorvel_sdk_uniffi_fn_func_" + name);
  if (fn == nullptr) throw LoadError("the library lacks the export uniffi_quorvel_sdk_uniffi_fn_func_" + name);
  auto* checksum = reinterpret_cast<std::uint16_t (*)()>(symbol("uniffi_quorvel_sdk_uniffi_checksum_func_" + name));
  if (checksum == nullptr || checksum() != op.checksum)
    throw LoadError("checksum mismatch for " + name + ": the library declares another interface");
  return fn;
}

RustBuffer Library::buffer(std::string_view bytes) const {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::length_error("a value of more than 2147483647 bytes cannot be passed");
  auto* from_bytes =
      reinterpret_cast<RustBuffer (*)(ForeignBytes, RustCallStatus*)>(symbol("ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes"));
  if (from_bytes == nullptr) throw LoadError("the library lacks ffi_quorvel_sdk_uniffi_rustbuffer_from_bytes");
  RustCallStatus status{};
  const ForeignBytes foreign{static_cast<std::int32_t>(bytes.size()), reinterpret_cast<const std::uint8_t*>(bytes.data())};
  RustBuffer buf = from_bytes(foreign, &status);
  if (const CallOutcome o = outcome(status, false); o.kind != CallOutcome::Kind::Ok) throw WireError(o.message);
  return buf;
}

void Library::release(RustBuffer buf) const {
  auto* free_buffer = reinterpret_cast<void (*)(RustBuffer, RustCallStatus*)>(symbol("ffi_quorvel_sdk_uniffi_rustbuffer_free"));
  if (free_buffer == nullptr) return;  // nothing can release it; the process ends soon
  RustCallStatus status{};
  free_buffer(buf, &status);
  if (status.code != 0 && status.error_buf.data != nullptr) {
    RustCallStatus ignored{};  // a refused release leaves only its message to drop
    free_buffer(status.error_buf, &ignored);
  }
}

std::string Library::take(RustBuffer buf) const {
  std::string bytes = buf.len == 0 ? std::string() : std::string(reinterpret_cast<const char*>(buf.data), buf.len);
  release(buf);
  return bytes;
}

CallOutcome Library::outcome(RustCallStatus& status, bool declares_error) const {
  const int code = status.code;
  if (code == 0) return {};
  const std::string payload = code == 1 || code == 2 ? take(status.error_buf) : std::string();
  status.error_buf = RustBuffer{};
  if (code == 2) return {CallOutcome::Kind::Internal, payload};
  if (code != 1 || !declares_error) return {CallOutcome::Kind::Internal, "unexpected call status " + std::to_string(code)};
  WireReader reader(payload);
  const std::int32_t variant = reader.i32();
  std::string message = reader.sized();
  reader.finish();
  if (variant == 1) return {CallOutcome::Kind::Sdk, std::move(message)};
  if (variant == 2) return {CallOutcome::Kind::InsecureOrigin, std::move(message)};
  throw WireError("unknown SdkError variant " + std::to_string(variant));
}

}  // namespace qsdk::cli
