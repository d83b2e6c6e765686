#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets under corpus/<target>/: the byte
vectors of the codec's unit tests, and one well-formed call of every input
method with a few argument variants. Rerun after changing it and commit the
files; libFuzzer's findings are added beside them by hand."""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)),
                                "scripts"))

from lanternquill_port import Int64, encode_method_call as call  # noqa: E402


def hexbytes(text):
    return bytes.fromhex(text)


# One well-formed call of every method, then variants that take the other
# branches of the dispatcher.
CALLS = {
    "checkAccessibility": call("checkAccessibility"),
    "requestAccessibility": call("requestAccessibility"),
    "mouseMove": call("mouseMove", {"dx": 12.5, "dy": -3.0}),
    "mouseClick": call("mouseClick", {"button": "right", "clicks": 2}),
    "mouseScroll": call("mouseScroll", {"dx": 5, "dy": -3}),
    "typeText": call("typeText", {"text": "h\u00e9\U0001F600"}),
    "pressKey": call("pressKey", {"keyCode": 0x44, "modifiers": 0x140000}),
    "mediaKey": call("mediaKey", {"keyCode": 0xB3}),
    "gesture": call("gesture", {"gesture": "prev_desktop"}),
    "gesture-unknown": call("gesture", {"gesture": "Show Desktop"}),
    "pinchZoom": call("pinchZoom", {"scale": 1.25}),
    "mouseClick-default": call("mouseClick"),
    "mouseMove-int32": call("mouseMove", {"dx": 1, "dy": 2.0}),
    "mouseMove-nan": call("mouseMove", {"dx": float("nan"), "dy": 1e300}),
    "typeText-missing": call("typeText", {"txt": "a"}),
    "pressKey-int64": call("pressKey", {"keyCode": Int64(65)}),
    "pinchZoom-list": call("pinchZoom", [1.5]),
    "gesture-string-args": call("gesture", "show_desktop"),
    "unknown-method": call("MouseMove", {"dx": 1.0, "dy": 1.0}),
    "int-key": call("mediaKey", {1: 0xB3}),
    "name-not-string": hexbytes("03 01 00 00 00 00"),
    # The 33-byte "mouseScroll" call of the method codec's tests.
    "mouseScroll-exact": hexbytes(
        "07 0B 6D 6F 75 73 65 53 63 72 6F 6C 6C 0D 02 07 02 64 78 03 05 00 00"
        " 00 07 02 64 79 03 FD FF FF FF"),
    "truncated-call": hexbytes("07 01 78"),
    # Two equal map keys nested deep once took exponential time to compare.
    "deep-equal-keys": call("mouseClick", None)[:-1] + hexbytes("0D 02")
    + (hexbytes("0C 01") * 60 + b"\x00\x00") * 2,
    "empty": b"",
}

# The codec's unit-test vectors, well-formed and malformed.
VALUES = {
    "null": "00", "true": "01", "false": "02",
    "int32-1": "03 01 00 00 00", "int32-minus3": "03 FD FF FF FF",
    "int64-1": "04 01 00 00 00 00 00 00 00",
    "double-1": "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F",
    "string-a": "07 01 61", "string-nul": "07 03 61 00 62", "string-empty": "07 00",
    "alternate-string": "05 02 68 69",
    "uint8-list": "08 02 01 FF",
    "int32-list": "09 02 00 00 01 00 00 00 FF FF FF FF",
    "int64-list": "0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00",
    "double-list": "0B 01 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F",
    "float-list": "0E 01 00 00 00 00 80 3F",
    "empty-int32-list": "09 00 00 00", "empty-float-list": "0E 00 00 00",
    "empty-int64-list": "0A 00 00 00 00 00 00 00",
    "empty-double-list": "0B 00 00 00 00 00 00 00",
    "list": "0C 02 03 01 00 00 00 07 01 61",
    "map": "0D 01 07 01 61 03 01 00 00 00",
    "map-two": "0D 02 07 01 61 03 01 00 00 00 07 01 62 03 02 00 00 00",
    "map-duplicate-key": "0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00",
    "list-double": "0C 01 06 00 00 00 00 00 00 00 00 00 00 00 E0 3F",
    "list-mixed": "0C 03 06 00 00 00 00 00 00 00 00 00 00 00 E0 3F 09 02 00 00"
                  " 01 00 00 00 02 00 00 00 07 02 68 69",
    "size-254": "07 FE FE 00", "size-65536": "08 FF 00 00 01 00",
    "list-short": "0C 03 03 01 00 00 00",
    "int32-list-empty-at-end": "09 00",
    "string-short": "07 04 61 62 63",
    "int32-list-short": "09 02 00 00 01 00 00 00",
    "map-short": "0D 02 00 00 00",
    "huge-string": "07 FF FF FF FF FF 00 00 00 00",
    "huge-uint8-list": "08 FF FF FF FF FF 00 00 00 00",
    "huge-float-list": "0E FF 00 00 00 40 00 00 00 00",
    "huge-int64-list": "0A FF 00 00 00 20 00 00 00 00 00 00 00 00 00 00",
    "huge-double-list": "0B FF FF FF FF FF 00 00",
    "huge-list": "0C FF FF FF FF FF 00 00 00 00",
    "huge-map": "0D FF FF FF FF FF 00 00 00 00",
    "type-15": "0F", "type-255": "FF",
}


def nested(header, count, tail):
    return hexbytes(header) * count + hexbytes(tail)


def nested_honest_counts(total, headers):
    """List headers that each declare every byte after them as elements."""
    data = bytearray(total)
    for i in range(headers):
        data[6 * i:6 * i + 6] = b"\x0c\xff" + struct.pack("<I", total - 6 * (i + 1))
    return bytes(data)


def round_trip_seeds():
    # Offset byte, then the builder's alternative byte and its payload.
    seeds = {}
    for alternative in range(14):
        seeds["alternative-%02d" % alternative] = bytes(
            [alternative % 8, alternative, 3] + list(range(1, 40)))
    seeds["nested-lists"] = bytes([1] + [10, 2] * 8 + [4] + [0xFF] * 8)
    seeds["map-of-maps"] = bytes([3, 11, 3, 5, 1, 0x61, 11, 2, 2, 7, 7, 9, 1,
                                  5, 0, 4] + [0x7F, 0xF8] + [0] * 6)
    seeds["nan-values"] = bytes([0, 9, 3] + [0, 0, 0, 0, 0, 0, 0xF8, 0x7F] * 3)
    return seeds


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    for name, text in VALUES.items():
        write("read_value", "value-" + name, hexbytes(text))
    write("read_value", "nested-lists-100000", nested("0C 01", 100000, "00"))
    write("read_value", "nested-maps-65", nested("0D 01 00", 65, "00"))
    write("read_value", "crash-deep-equal-list-keys",
          hexbytes("0D 02") + (hexbytes("0C 01") * 60 + b"\x00\x00") * 2)
    write("read_value", "crash-deep-equal-map-keys",
          hexbytes("0D 02") + (hexbytes("0D 01") * 60 + b"\x00" + b"\x00" * 60
                               + b"\x00") * 2)
    write("read_value", "nested-honest-counts",
          nested_honest_counts(64 * 1024, 64))
    for target in ("input_call", "channel"):
        for name, data in CALLS.items():
            write(target, "call-" + name, data)
    for name, data in round_trip_seeds().items():
        write("round_trip", name, data)


if __name__ == "__main__":
    main()
