"""Talks to the simulated engine's test port: frames requests, encodes method
calls with the standard method codec and decodes the replies. Standard library
only; used by scripts/demo, the tests' host harness and the fuzz corpus."""

import socket
import struct
import time

INPUT_CHANNEL = "com.lanternquill/input"

STATUS_OK = 0
STATUS_NO_CALLBACK = 1
STATUS_NO_RESPONSE = 2


class Int32(int):
    """An integer written as the 32-bit alternative (type 3)."""


class Int64(int):
    """An integer written as the 64-bit alternative (type 4)."""


def _write_size(out, n):
    if n < 254:
        out.append(n)
    elif n <= 0xFFFF:
        out.append(254)
        out += struct.pack("<H", n)
    else:
        out.append(255)
        out += struct.pack("<I", n)


def _align(out, n):
    while len(out) % n:
        out.append(0)


def encode_value(value, out=None):
    out = bytearray() if out is None else out
    if value is None:
        out.append(0)
    elif value is True:
        out.append(1)
    elif value is False:
        out.append(2)
    elif isinstance(value, Int64):
        out.append(4)
        out += struct.pack("<q", value)
    elif isinstance(value, int):
        out.append(3)
        out += struct.pack("<i", value)
    elif isinstance(value, float):
        out.append(6)
        _align(out, 8)
        out += struct.pack("<d", value)
    elif isinstance(value, str):
        data = value.encode("utf-8", "surrogatepass")
        out.append(7)
        _write_size(out, len(data))
        out += data
    elif isinstance(value, (bytes, bytearray)):
        out.append(8)
        _write_size(out, len(value))
        out += value
    elif isinstance(value, (list, tuple)):
        out.append(12)
        _write_size(out, len(value))
        for item in value:
            encode_value(item, out)
    elif isinstance(value, dict):
        out.append(13)
        _write_size(out, len(value))
        for key, item in value.items():
            encode_value(key, out)
            encode_value(item, out)
    else:
        raise TypeError("cannot encode %r" % (value,))
    return out


def encode_method_call(method, arguments=None):
    out = encode_value(method)
    encode_value(arguments, out)
    return bytes(out)


class _Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, n):
        if n > len(self.data) - self.pos:
            raise ValueError("truncated value")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def size(self):
        n = self.take(1)[0]
        if n == 254:
            return struct.unpack("<H", self.take(2))[0]
        if n == 255:
            return struct.unpack("<I", self.take(4))[0]
        return n

    def align(self, n):
        if self.pos % n:
            self.take(n - self.pos % n)

    def value(self):
        kind = self.take(1)[0]
        if kind == 0:
            return None
        if kind in (1, 2):
            return kind == 1
        if kind == 3:
            return struct.unpack("<i", self.take(4))[0]
        if kind == 4:
            return struct.unpack("<q", self.take(8))[0]
        if kind == 6:
            self.align(8)
            return struct.unpack("<d", self.take(8))[0]
        if kind in (5, 7):
            return self.take(self.size()).decode("utf-8", "replace")
        if kind == 8:
            return bytes(self.take(self.size()))
        if kind == 12:
            return [self.value() for _ in range(self.size())]
        if kind == 13:
            result = {}
            for _ in range(self.size()):
                key = self.value()
                result[key] = self.value()
            return result
        raise ValueError("unsupported type byte %d" % kind)


def decode_value(data):
    return _Reader(bytes(data)).value()


def decode_reply(data):
    """A readable form of a method reply: ("success", value),
    ("error", code, message, details) or ("not implemented",)."""
    if not data:
        return ("not implemented",)
    reader = _Reader(bytes(data))
    envelope = reader.take(1)[0]
    if envelope == 0:
        return ("success", reader.value())
    if envelope == 1:
        return ("error", reader.value(), reader.value(), reader.value())
    raise ValueError("unknown envelope byte %d" % envelope)


def success_bytes(value=None):
    return bytes(b"\x00" + encode_value(value))


def error_bytes(code, message, details=None):
    out = bytearray(b"\x01")
    encode_value(code, out)
    encode_value(message if message else None, out)
    encode_value(details, out)
    return bytes(out)


class EnginePort:
    """One connection to the engine's test port on 127.0.0.1."""

    def __init__(self, port, timeout=60.0, connect_for=30.0):
        deadline = time.monotonic() + connect_for
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port),
                                                     timeout=timeout)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)

    def _request(self, body):
        self.sock.sendall(struct.pack("<I", len(body)) + body)
        length = struct.unpack("<I", self._read(4))[0]
        response = self._read(length)
        return response[0], bytes(response[1:])

    def _read(self, n):
        data = bytearray()
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise ConnectionError("engine closed the port")
            data += chunk
        return bytes(data)

    def message(self, channel, payload):
        name = channel.encode("utf-8")
        return self._request(bytes([1, len(name)]) + name + bytes(payload))

    def call(self, method, arguments=None, channel=INPUT_CHANNEL):
        return self.message(channel, encode_method_call(method, arguments))

    def close_window(self):
        return self._request(bytes([2]))

    def disconnect(self):
        self.sock.close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
