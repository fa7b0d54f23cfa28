"""Python binding of libquorvel_sdk_uniffi, the Quorvel client toolkit.

Shaped like a generated UniFFI binding and built on ctypes alone: one function
per operation with the declared argument names, the records ``Deed``,
``Claims``, ``AppKey`` and ``Pkce`` as dataclasses, and the exception
``SdkError`` with the variants ``SdkError.Sdk`` and ``SdkError.InsecureOrigin``.
An internal failure of the library (call status 2) raises ``InternalError``.

The library is the file the environment variable QUORVEL_SDK_UNIFFI_LIB names
when it is set; else libquorvel_sdk_uniffi.so.0 (or .so, the bundle's name)
next to this module; else libquorvel_sdk_uniffi.so.0, its SONAME, wherever the
system's loader finds it (LD_LIBRARY_PATH, the ld.so cache). At import the
contract version and the checksum of every operation are compared with the
values this binding was written against, so that a binding and a library of
different interfaces never talk to each other. An operation whose export is
absent from the library (a partial build) raises ``InternalError`` when
called; ``operation_available`` tells beforehand.
"""

import ctypes
import dataclasses
import inspect
import os
import pathlib
import struct
import typing

__version__ = "0.1.0"  # the library release this binding belongs to

__all__ = ["Deed", "Claims", "AppKey", "Pkce", "SdkError", "InternalError", "operation_available"]

_NAMESPACE = "quorvel_sdk_uniffi"
_CONTRACT_VERSION = 30
_LIBRARY_FILE = "lib" + _NAMESPACE + ".so"
_SONAME = _LIBRARY_FILE + ".0"
_LIBRARY_ENV = "QUORVEL_SDK_UNIFFI_LIB"
_FN_PREFIX = "uniffi_" + _NAMESPACE + "_fn_func_"
_CHECKSUM_PREFIX = "uniffi_" + _NAMESPACE + "_checksum_func_"
_FFI_PREFIX = "ffi_" + _NAMESPACE + "_"


# --- errors -------------------------------------------------------------------------------------------------------


class InternalError(Exception):
    """The library failed internally (status 2), or binding and library disagree."""


class SdkError(Exception):
    """The one error of the interface; raised as one of its two variants."""

    def __init__(self, message: str):
        super().__init__(message)
        self.message = message

    def __repr__(self) -> str:
        return f"SdkError.{type(self).__name__}({self.message!r})"


class _SdkErrorSdk(SdkError):
    """Any refusal; the message carries its class prefix ("input: ", "crypto: ", ...)."""


class _SdkErrorInsecureOrigin(SdkError):
    """A refusal by the fail-closed origin policy; the message has no prefix."""


for _variant, _cls in (("Sdk", _SdkErrorSdk), ("InsecureOrigin", _SdkErrorInsecureOrigin)):
    _cls.__name__ = _variant
    _cls.__qualname__ = "SdkError." + _variant
    setattr(SdkError, _variant, _cls)

# Variant index on the wire -> exception class.
_SDK_ERROR_VARIANTS = {1: SdkError.Sdk, 2: SdkError.InsecureOrigin}


# --- C structures -------------------------------------------------------------------------------------------------


class _RustBuffer(ctypes.Structure):
    _fields_ = [("capacity", ctypes.c_uint64), ("len", ctypes.c_uint64), ("data", ctypes.POINTER(ctypes.c_uint8))]


class _ForeignBytes(ctypes.Structure):
    _fields_ = [("len", ctypes.c_int32), ("data", ctypes.POINTER(ctypes.c_uint8))]


class _RustCallStatus(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int8), ("error_buf", _RustBuffer)]


# --- loading --------------------------------------------------------------------------------------------------------


def _library_candidates() -> typing.List[typing.Tuple[str, str]]:
    """(where, what ctypes opens) in order; an explicit path is taken alone, so a mistake in it shows."""
    override = os.environ.get(_LIBRARY_ENV)
    if override:
        return [("$" + _LIBRARY_ENV, override)]
    here = pathlib.Path(__file__).resolve().parent
    return [("next to the module", str(here / name)) for name in (_SONAME, _LIBRARY_FILE)] + [
        ("the loader's search path", _SONAME)]


def _load_library() -> ctypes.CDLL:
    reasons = []
    for where, name in _library_candidates():
        try:
            return ctypes.CDLL(name)
        except OSError as e:
            reasons.append(f"\n  {where}: {e}")
    raise ImportError(f"cannot load the library {_SONAME}; tried:{''.join(reasons)}\n"
                      f"Set {_LIBRARY_ENV} to its path, or install it where the loader finds it.")


_lib = _load_library()


def _ffi(name: str, restype, *argtypes):
    fn = getattr(_lib, _FFI_PREFIX + name)
    fn.restype = restype
    fn.argtypes = list(argtypes)
    return fn


_StatusPtr = ctypes.POINTER(_RustCallStatus)
_rustbuffer_from_bytes = _ffi("rustbuffer_from_bytes", _RustBuffer, _ForeignBytes, _StatusPtr)
_rustbuffer_free = _ffi("rustbuffer_free", None, _RustBuffer, _StatusPtr)
_contract_version = _ffi("uniffi_contract_version", ctypes.c_uint32)


# --- buffers --------------------------------------------------------------------------------------------------------


def _raise_for_status(status: _RustCallStatus, declares_error: bool) -> None:
    """Turns a call status into the exception it stands for; takes the error buffer."""
    code = status.code
    if code == 0:
        return
    payload = _take_bytes(status.error_buf) if code in (1, 2) else b""
    if code == 1 and declares_error:
        reader = _Reader(payload)
        variant = reader.i32()
        message = _STRING.read(reader)
        reader.finish()
        if variant not in _SDK_ERROR_VARIANTS:
            raise InternalError(f"unknown SdkError variant {variant}")
        raise _SDK_ERROR_VARIANTS[variant](message)
    if code == 2:
        raise InternalError(payload.decode("utf-8", errors="replace"))
    raise InternalError(f"unexpected call status {code}")


def _buffer_from(data: bytes) -> _RustBuffer:
    if len(data) > 0x7FFFFFFF:
        raise ValueError("an argument of more than 2147483647 bytes cannot cross the boundary")
    staging = (ctypes.c_uint8 * len(data)).from_buffer_copy(data)
    status = _RustCallStatus()
    pointer = ctypes.cast(staging, ctypes.POINTER(ctypes.c_uint8))
    buf = _rustbuffer_from_bytes(_ForeignBytes(len(data), pointer), ctypes.byref(status))
    _raise_for_status(status, declares_error=False)
    return buf


def _free(buf: _RustBuffer) -> None:
    status = _RustCallStatus()
    _rustbuffer_free(buf, ctypes.byref(status))
    _raise_for_status(status, declares_error=False)


def _take_bytes(buf: _RustBuffer) -> bytes:
    """Copies a buffer the library handed out, then gives it back."""
    data = ctypes.string_at(buf.data, buf.len) if buf.len else b""
    _free(buf)
    return data


class _Reader:
    """Reads nested values; any shortfall or leftover means the two sides disagree."""

    def __init__(self, data: bytes):
        self._data = data
        self._pos = 0

    def take(self, n: int) -> bytes:
        remaining = len(self._data) - self._pos
        if remaining < n:
            raise InternalError(f"not enough bytes remaining in buffer ({remaining} < {n})")
        chunk = self._data[self._pos : self._pos + n]
        self._pos += n
        return chunk

    def unpack(self, fmt: str) -> int:
        return struct.unpack(fmt, self.take(struct.calcsize(fmt)))[0]

    def i32(self) -> int:
        return self.unpack(">i")

    def length(self) -> int:
        n = self.i32()
        if n < 0:
            raise InternalError("out of range integral type conversion attempted")
        return n

    def finish(self) -> None:
        left = len(self._data) - self._pos
        if left:
            raise InternalError(f"junk data left in buffer after lifting (count: {left})")


# --- declared types -------------------------------------------------------------------------------------------------
#
# Each declared type knows its Python type, how to check a value before any
# buffer is allocated, its nested form inside a buffer (write/read), and its
# form as a C argument or result (lower/lift). Scalars cross as C integers;
# every other type crosses as a buffer holding its nested form, except a
# top-level String, which is the bare UTF-8 text.


class _BufferType:
    ctype = _RustBuffer

    def lower(self, value) -> _RustBuffer:
        out = bytearray()
        self.write(out, value)
        return _buffer_from(bytes(out))

    def lift(self, buf: _RustBuffer):
        reader = _Reader(_take_bytes(buf))
        value = self.read(reader)
        reader.finish()
        return value


class _Integer:
    def __init__(self, fmt: str, bits: int):
        self.fmt = fmt
        self.limit = 1 << bits
        self.ctype = ctypes.c_uint64 if bits == 64 else ctypes.c_uint8
        self.pytype = int

    def check(self, value) -> None:
        if isinstance(value, bool) or not isinstance(value, int):
            raise TypeError(f"expected int, got {type(value).__name__}")
        if not 0 <= value < self.limit:
            raise ValueError(f"{value} is outside 0..{self.limit - 1}")

    def write(self, out: bytearray, value: int) -> None:
        out += struct.pack(self.fmt, value)

    def read(self, reader: _Reader) -> int:
        return reader.unpack(self.fmt)

    def lower(self, value: int) -> int:
        return value

    def lift(self, raw: int) -> int:
        return int(raw)


class _Bool:
    ctype = ctypes.c_int8
    pytype = bool

    def check(self, value) -> None:
        if not isinstance(value, bool):
            raise TypeError(f"expected bool, got {type(value).__name__}")

    def lower(self, value: bool) -> int:
        return 1 if value else 0

    def lift(self, raw: int) -> bool:
        if raw not in (0, 1):
            raise InternalError("unexpected byte for Boolean")
        return raw == 1


class _String(_BufferType):
    pytype = str

    def check(self, value) -> None:
        if not isinstance(value, str):
            raise TypeError(f"expected str, got {type(value).__name__}")

    def write(self, out: bytearray, value: str) -> None:
        data = value.encode("utf-8")
        out += struct.pack(">i", len(data)) + data

    def read(self, reader: _Reader) -> str:
        return reader.take(reader.length()).decode("utf-8")

    def lower(self, value: str) -> _RustBuffer:
        return _buffer_from(value.encode("utf-8"))

    def lift(self, buf: _RustBuffer) -> str:
        return _take_bytes(buf).decode("utf-8")


class _ByteArray(_BufferType):
    pytype = bytes

    def check(self, value) -> None:
        if not isinstance(value, (bytes, bytearray, memoryview)):
            raise TypeError(f"expected bytes, got {type(value).__name__}")

    def write(self, out: bytearray, value) -> None:
        data = bytes(value)
        out += struct.pack(">i", len(data)) + data

    def read(self, reader: _Reader) -> bytes:
        return reader.take(reader.length())


class _Optional(_BufferType):
    def __init__(self, inner):
        self.inner = inner
        self.pytype = typing.Optional[inner.pytype]

    def check(self, value) -> None:
        if value is not None:
            self.inner.check(value)

    def write(self, out: bytearray, value) -> None:
        if value is None:
            out.append(0)
        else:
            out.append(1)
            self.inner.write(out, value)

    def read(self, reader: _Reader):
        tag = reader.take(1)[0]
        if tag not in (0, 1):
            raise InternalError("unexpected tag byte for Option")
        return self.inner.read(reader) if tag else None


class _Record(_BufferType):
    """A dataclass whose field annotations name their declared types."""

    def __init__(self, cls):
        hints = typing.get_type_hints(cls, include_extras=True)
        self.pytype = cls
        self.fields = [(f.name, hints[f.name].__metadata__[0]) for f in dataclasses.fields(cls)]

    def check(self, value) -> None:
        if not isinstance(value, self.pytype):
            raise TypeError(f"expected {self.pytype.__name__}, got {type(value).__name__}")
        for name, kind in self.fields:
            try:
                kind.check(getattr(value, name))
            except (TypeError, ValueError) as e:
                raise type(e)(f"{self.pytype.__name__}.{name}: {e}") from None

    def write(self, out: bytearray, value) -> None:
        for name, kind in self.fields:
            kind.write(out, getattr(value, name))

    def read(self, reader: _Reader):
        return self.pytype(**{name: kind.read(reader) for name, kind in self.fields})


_U8 = _Integer(">B", 8)
_U64 = _Integer(">Q", 64)
_BOOL = _Bool()
_STRING = _String()
_BYTES = _ByteArray()
_OPT_STRING = _Optional(_STRING)
_OPT_U64 = _Optional(_U64)

# Field annotations: the Python type, with the declared wire type attached.
U8 = typing.Annotated[int, _U8]
U64 = typing.Annotated[int, _U64]
Str = typing.Annotated[str, _STRING]
OptStr = typing.Annotated[typing.Optional[str], _OPT_STRING]
OptU64 = typing.Annotated[typing.Optional[int], _OPT_U64]


# --- records --------------------------------------------------------------------------------------------------------

_SECRET = {"secret": True}  # field metadata: repr() and str() show <hidden> instead of the value


def _hiding_secrets(cls):
    """Replaces the dataclass repr so that a printed or logged record never shows a secret field."""

    def __repr__(self) -> str:
        shown = (f"{f.name}=" + ("<hidden>" if f.metadata.get("secret") else repr(getattr(self, f.name)))
                 for f in dataclasses.fields(self))
        return f"{type(self).__qualname__}({', '.join(shown)})"

    cls.__repr__ = __repr__
    return cls


@dataclasses.dataclass
class Deed:
    """A sovereign identity token. The origin was signed but is not stored."""

    v: U8
    mode: Str
    tenant: U64
    sub: Str
    aud: Str
    challenge: Str
    exp: U64
    root: OptStr = None
    proof: OptStr = None
    pubkey: OptStr = None
    signature: OptStr = None
    credential_pubkey: OptStr = None
    authenticator_data: OptStr = None
    client_data_json: OptStr = None
    assertion_sig: OptStr = None
    signer: OptStr = None
    grants: OptStr = None
    delegations: OptStr = None


@dataclasses.dataclass
class Claims:
    """The claims of a verified token; compare ``nonce`` and ``tid`` yourself."""

    iss: Str
    sub: Str
    aud: Str
    exp: U64
    iat: U64
    tid: OptU64 = None
    nonce: OptStr = None


@_hiding_secrets
@dataclasses.dataclass
class AppKey:
    """An app-scoped secp256k1 key pair for one tenant and origin; repr() hides the secret key."""

    secret_key_hex: Str = dataclasses.field(metadata=_SECRET)
    pubkey_hex: Str


@_hiding_secrets
@dataclasses.dataclass
class Pkce:
    """A PKCE verifier and its S256 challenge; repr() hides the verifier, which redeems the code."""

    verifier: Str = dataclasses.field(metadata=_SECRET)
    challenge: Str


_DEED = _Record(Deed)
_CLAIMS = _Record(Claims)
_APP_KEY = _Record(AppKey)
_PKCE = _Record(Pkce)


# --- operations -----------------------------------------------------------------------------------------------------


class _Op(typing.NamedTuple):
    name: str
    args: typing.Tuple[typing.Tuple[str, typing.Any], ...]
    result: typing.Any
    throws: bool
    checksum: int
    doc: str


_T, _N = True, False  # declares SdkError / declares no error
_U, _S = _U64, _STRING

# fmt: off
_OPERATIONS = (
    _Op("normalize_origin", (("origin", _S),), _S, _T, 7290,
        "Canonical scheme://host[:port] form of a web origin."),
    _Op("user_binding", (("tenant_id", _U), ("aud", _S), ("origin", _S), ("challenge", _S), ("exp", _U)), _S, _T,
        29260, "Hex of the bytes an app-scoped key signs for a user-sig deed."),
    _Op("user_sub", (("pubkey_hex", _S),), _S, _T, 46850, "Pseudonymous subject of an app-scoped public key."),
    _Op("mint_user_deed", (("secret_key_hex", _S), ("tenant_id", _U), ("aud", _S), ("origin", _S),
        ("challenge", _S), ("exp", _U)), _DEED, _T, 56987, "Mints a user-sig deed with an app-scoped key."),
    _Op("user_root_binding", (("origin", _S),), _S, _T, 6149, "The prose a wallet signs twice to derive the root seed."),
    _Op("derive_root_seed", (("origin", _S), ("signature1_hex", _S), ("signature2_hex", _S)), _S, _T, 52020,
        "The 32-byte root seed, as hex, from two identical wallet signatures."),
    _Op("derive_app_key", (("root_seed_hex", _S), ("tenant_id", _U), ("origin", _S)), _APP_KEY, _T, 41135,
        "The app-scoped key for one tenant and origin."),
    _Op("passkey_sub", (("tenant_id", _U), ("origin", _S), ("credential_pubkey_hex", _S)), _S, _N, 52266,
        "Subject of a passkey credential; the origin must already be canonical."),
    _Op("mint_user_passkey_deed", (("credential_pubkey_hex", _S), ("authenticator_data_hex", _S),
        ("client_data_json_b64url", _S), ("assertion_sig_hex", _S), ("tenant_id", _U), ("aud", _S), ("origin", _S),
        ("challenge", _S), ("exp", _U)), _DEED, _T, 28256, "Wraps a WebAuthn assertion into a user-passkey deed."),
    _Op("mint_user_1271_deed", (("signer_addr_hex", _S), ("wallet_sig_hex", _S), ("tenant_id", _U), ("aud", _S),
        ("origin", _S), ("challenge", _S), ("exp", _U)), _DEED, _T, 33666,
        "Mints a user-1271 deed for a smart-contract wallet."),
    _Op("mint_admin_deed", (("wallet_sig_hex", _S), ("tenant_id", _U), ("aud", _S), ("challenge", _S), ("exp", _U)),
        _DEED, _T, 33438, "Mints an admin-sig deed from an administrator's EIP-191 signature."),
    _Op("mint_admin_deed_smartwallet", (("signer_addr_hex", _S), ("wallet_sig_hex", _S), ("tenant_id", _U),
        ("aud", _S), ("challenge", _S), ("exp", _U)), _DEED, _T, 23054,
        "Mints an admin-sig deed for a smart-contract administrator wallet."),
    _Op("delegation_binding", (("tenant_id", _U), ("iss", _S), ("to", _S), ("grants_json", _S), ("exp", _U),
        ("epoch_label_hex", _S), ("epoch", _U), ("parent_ref_hash_hex", _S)), _S, _T, 38187,
        "Hex of the bytes a delegator signs for one delegation link."),
    _Op("delegate", (("tenant_id", _U), ("iss", _S), ("to", _S), ("grants_json", _S), ("exp", _U),
        ("epoch_label_hex", _S), ("epoch", _U), ("parent_ref_hash_hex", _S), ("pubkey_hex", _OPT_STRING),
        ("signature_hex", _S)), _S, _T, 32777, "A signed delegation link as canonical JSON."),
    _Op("parent_ref_hash_root", (("root_id", _S),), _S, _N, 15897,
        "Parent reference of a chain's first link."),
    _Op("parent_ref_hash_link", (("parent_link_json", _S),), _S, _T, 7361,
        "Parent reference of the link that follows the given one."),
    _Op("mint_capability_deed", (("base_deed", _DEED), ("grants_json", _S), ("delegation_chain_json", _S)), _DEED,
        _T, 49585, "Attaches grants and a delegation chain to a deed."),
    _Op("origin_vouch_binding", (("tenant_id", _U), ("aud", _S), ("origin", _S), ("epoch", _U), ("exp", _U),
        ("allow_insecure_origin", _BOOL)), _S, _T, 36505, "The prose an administrator signs to vouch for an origin."),
    _Op("origin_vouch_signer", (("tenant_id", _U), ("aud", _S), ("origin", _S), ("epoch", _U), ("exp", _U),
        ("signature_hex", _S)), _S, _T, 27444, "Address that signed an origin vouch."),
    _Op("origin_vouch_max_ttl_secs", (), _U, _N, 39703, "Longest lifetime a vouch may claim, in seconds."),
    _Op("is_origin_voucher_calldata", (("tenant_id", _U), ("signer_hex", _S), ("epoch", _U)), _BYTES, _T, 36822,
        "Call data of isOriginVoucher(uint256,address,uint64)."),
    _Op("decode_bool_return", (("ret", _BYTES),), _BOOL, _T, 24056, "Decodes the registry's 32-byte boolean answer."),
    _Op("generate_pkce", (), _PKCE, _N, 34530, "A fresh PKCE pair from the operating system's random source."),
    _Op("pkce_challenge", (("verifier", _S),), _S, _N, 22506, "S256 challenge of a PKCE verifier."),
    _Op("build_authorize_url", (("issuer", _S), ("client_id", _S), ("redirect_uri", _S), ("state", _S),
        ("nonce", _S), ("code_challenge", _S)), _S, _T, 32881, "The authorisation request URL."),
    _Op("build_client_assertion", (("domain", _S), ("tenant_id", _U), ("nonce", _S), ("issued_at", _U)), _S, _N,
        23399, "The client-credentials assertion text."),
    _Op("sign_client_assertion", (("secret_key_hex", _S), ("domain", _S), ("tenant_id", _U), ("nonce", _S),
        ("issued_at", _U)), _S, _T, 62989, "EIP-191 signature of the client assertion under a raw key."),
    _Op("verify_token_at", (("jwt", _S), ("jwks_json", _S), ("expected_iss", _S), ("expected_aud", _S),
        ("now_unix", _U)), _CLAIMS, _T, 39659, "Verifies an ES256 token at the caller's clock."),
    _Op("issuer_key_id", (("jwk_json", _S),), _S, _T, 8122, "RFC 7638 thumbprint of an EC key, as hex."),
)
# fmt: on


def _export(op: _Op):
    """The operation's C function with its declared signature, or None when the library lacks it."""
    try:
        fn = getattr(_lib, _FN_PREFIX + op.name)
    except AttributeError:
        return None
    fn.argtypes = [kind.ctype for _, kind in op.args] + [_StatusPtr]
    fn.restype = op.result.ctype
    return fn


def _verify_interface(lib, operations) -> None:
    """The checks a generated binding makes at load: contract version, then every checksum."""
    if lib.contract_version() != _CONTRACT_VERSION:
        raise InternalError("UniFFI contract version mismatch: try cleaning and rebuilding your project")
    for op in operations:
        actual = lib.checksum(op.name)
        if actual is not None and actual != op.checksum:
            raise InternalError(f"UniFFI API checksum mismatch for {op.name}: try cleaning and rebuilding your project")


class _LoadedLibrary:
    """The identity exports of the loaded library, as _verify_interface reads them."""

    @staticmethod
    def contract_version() -> int:
        return _contract_version()

    @staticmethod
    def checksum(name: str) -> typing.Optional[int]:
        try:
            fn = getattr(_lib, _CHECKSUM_PREFIX + name)
        except AttributeError:
            return None
        fn.restype = ctypes.c_uint16
        fn.argtypes = []
        return fn()


_verify_interface(_LoadedLibrary, _OPERATIONS)
_EXPORTS = {op.name: _export(op) for op in _OPERATIONS}


def operation_available(name: str) -> bool:
    """Whether the loaded library exports the operation (a partial build may not)."""
    return _EXPORTS.get(name) is not None


def _invoke(op: _Op, values: typing.Sequence):
    """The one call path: check, lower, call, raise for the status, lift."""
    for (name, kind), value in zip(op.args, values):
        try:
            kind.check(value)
        except (TypeError, ValueError) as e:
            raise type(e)(f"{op.name}() argument '{name}': {e}") from None
    fn = _EXPORTS.get(op.name)
    if fn is None:
        raise InternalError(f"the library lacks the export {_FN_PREFIX}{op.name}")
    lowered = []
    try:
        for (_, kind), value in zip(op.args, values):
            lowered.append(kind.lower(value))
    except BaseException:
        for raw in lowered:
            if isinstance(raw, _RustBuffer):
                _free(raw)
        raise
    status = _RustCallStatus()
    raw = fn(*lowered, ctypes.byref(status))  # consumes every argument buffer
    _raise_for_status(status, op.throws)
    return op.result.lift(raw)


def _make_function(op: _Op):
    signature = inspect.Signature(
        [inspect.Parameter(name, inspect.Parameter.POSITIONAL_OR_KEYWORD, annotation=kind.pytype) for name, kind in op.args],
        return_annotation=op.result.pytype,
    )

    def function(*args, **kwargs):
        return _invoke(op, signature.bind(*args, **kwargs).args)

    function.__name__ = function.__qualname__ = op.name
    function.__module__ = __name__
    function.__signature__ = signature
    function.__annotations__ = {name: kind.pytype for name, kind in op.args} | {"return": op.result.pytype}
    function.__doc__ = op.doc + (" Raises SdkError." if op.throws else "")
    return function


for _op in _OPERATIONS:
    globals()[_op.name] = _make_function(_op)
    __all__.append(_op.name)
del _op
