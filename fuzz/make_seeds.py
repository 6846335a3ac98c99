#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a short, readable case in the target's input format: a starting point from which
the fuzzer mutates. Rerun after changing an input format; the files are committed.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def f32(x):
    return struct.pack("<f", x)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


# ---- dispatcher: flags, opcode, index, value, opt, text length, text[, strength] -------------
def request(opcode, index=0, value=0, opt=0.0, text=b"", strength=None):
    flags = 1 if strength is not None else 0
    head = struct.pack("<B", flags) + (f32(strength) if strength is not None else b"")
    return head + struct.pack("<iiqfB", opcode, index, value, opt, len(text)) + text


def dispatcher_seeds():
    write("dispatcher", "core_requests", b"".join(request(op) for op in range(0, 25) if op != 1))
    write("dispatcher", "extended_requests", b"".join(request(op) for op in range(25, 80)))
    write("dispatcher", "other_index", b"".join(request(op, index=1, value=-1, opt=2.5)
                                                 for op in (6, 7, 8, 26, 29, 62, 63, 65)))
    write("dispatcher", "unknown_opcodes",
          b"".join(request(op, 3, 7) for op in (-1, 80, 1000, -(2**31), 2**31 - 1)))
    write("dispatcher", "program_names",
          request(4, text=b"Late Night") + request(5) + request(29) +
          request(4, text=b"A name far longer than thirty-one characters") + request(5) +
          request(4, text=b"") + request(29, value=5))
    write("dispatcher", "programs",
          request(2, value=-1) + request(3) + request(2, value=1) + request(3) +
          request(2, value=(1 << 32)) + request(2, value=-(1 << 32) + 5) + request(3))
    write("dispatcher", "display_and_strength",
          request(7, strength=0.5) + request(7, strength=1.0) + request(7, strength=float("nan")) +
          request(8) + request(6))
    write("dispatcher", "close_and_again",
          request(4, text=b"Gone") + request(1) + request(5) + request(3))
    write("dispatcher", "settings",
          request(10, opt=48000.0) + request(11, value=(1 << 32) + 512) + request(12, value=1) +
          request(12, value=0) + request(12, value=(1 << 32)) + request(43, 64, 48000))
    write("dispatcher", "arrangements_and_totals",
          request(69) + request(42, value=12345) + request(73, value=(7 << 32) + 5) +
          request(73, value=-7) + request(44, value=(1 << 32)) + request(51, text=b"receiveVstMidiEvent"))


# ---- parameters: step byte, arguments ---------------------------------------------------------
def set0(value):
    return b"\x00" + f32(value)


def set_any(index, value):
    return b"\x01" + struct.pack("<i", index) + f32(value)


def process(wide=False):
    return bytes([2 | (4 if wide else 0)])


def query(index):
    return b"\x03" + struct.pack("<i", index)


def parameter_seeds():
    table = [0.0, 0.0000499, 0.00005, 0.1, 0.12345, 0.5, 0.999949, 0.99995, 1.5, -0.3,
             214748.34375, 214748.359375]
    write("parameters", "value_table", b"".join(set0(v) + process() for v in table))
    write("parameters", "non_finite",
          set0(float("nan")) + process(True) + set0(float("inf")) + set0(-float("inf")) + process())
    write("parameters", "other_indices",
          set_any(1, 0.5) + query(1) + query(-1) + set_any(-(2**31), 1.0) + query(2**31 - 1) +
          process(True))
    write("parameters", "same_value_twice",
          process(True) + set0(0.1) + process(True) + set0(0.10000001) + process(True))
    write("parameters", "raw_bits",
          b"".join(b"\x00" + struct.pack("<I", bits) + process()
                   for bits in (0x00000001, 0x80000000, 0x7F7FFFFF, 0xFF800000, 0x3F800000,
                                0x38D1B717, 0x3DCCCCCC, 0x7FC00001)))


# ---- processing: step byte, arguments ---------------------------------------------------------
def rate(value):
    return b"\x00" + f32(value)


def strength(value):
    return b"\x01" + f32(value)


def block(frames, samples=b"", wide=False, in_place=False):
    step = 2 | (4 if wide else 0) | (8 if in_place else 0)
    return bytes([step]) + struct.pack("<i", frames) + samples


def audio(values):
    """Sample codes for 16-bit audio values in [-1, 1)."""
    return b"".join(b"\x20" + struct.pack("<h", max(-32768, min(32767, int(v * 32768))))
                    for v in values)


def special(code):
    return bytes([code])


def processing_seeds():
    noise = [math.sin(n * 0.37) * 0.8 for n in range(96)]
    write("processing", "plain_blocks",
          block(48, audio(noise)) + block(48, audio(noise), wide=True) + block(48, audio(noise)))
    write("processing", "odd_block_sizes",
          block(0) + block(-1) + block(1, audio(noise[:2])) + block(2, audio(noise[:4])) +
          block(3, audio(noise[:6]), wide=True) + block(-(2**31)))
    write("processing", "in_place",
          block(40, audio(noise[:80]), in_place=True) + block(40, audio(noise[:80]), True, True))
    write("processing", "non_finite_then_clean",
          block(8, audio(noise[:4]) + special(0) + audio(noise[:11])) + block(16, audio(noise[:32])) +
          block(8, special(1) + audio(noise[:15]), wide=True) + block(16, audio(noise[:32]), wide=True) +
          block(4, special(2) * 8) + block(8, audio(noise[:16])))
    write("processing", "subnormals_and_extremes",
          block(12, b"".join(special(c) for c in (3, 4, 5, 12, 13, 8, 9, 3, 4, 3, 4, 3) * 2)) +
          block(6, special(6) + special(7) * 11, wide=True) + block(64))
    write("processing", "rates",
          rate(48000.0) + block(16, audio(noise[:32])) + rate(16000.0) + strength(1.0) +
          block(16, audio(noise[:32])) + rate(20001.0) + block(32, audio(noise[:64])) +
          rate(-44100.0) + block(8, audio(noise[:16])) + rate(float("nan")) + block(8) +
          rate(0.5) + block(8, audio(noise[:16])) + rate(2128.0) + strength(0.05) +
          block(16, audio(noise[:32]), wide=True) + rate(1e30) + block(4))
    write("processing", "strengths",
          strength(0.0) + block(16, audio(noise[:32])) + strength(0.5) + block(16, audio(noise[:32])) +
          strength(float("nan")) + block(16, audio(noise[:32]), wide=True) + strength(1.0) +
          block(16, audio(noise[:32])))
    write("processing", "sound_then_silence", block(64, audio(noise) + audio(noise[:32])) +
          block(2048) + block(2048, wide=True))


# ---- services: step byte, arguments -----------------------------------------------------------
def formatter(which, bits, max_len):
    return bytes([which]) + struct.pack("<IB", bits, max_len)


def fvalue(which, value, max_len):
    return formatter(which, struct.unpack("<I", f32(value))[0], max_len)


def services_seeds():
    values = [0.0, -0.0, 1.5, 0.7, 3.14159265, -3.14159265, -0.5, 123.456, 1234567.0, -123456.0,
              100000000.0, -10000000.0, 99999992.0, -9999999.0, float("nan"), float("inf"), 1e-7]
    write("services", "float2string", b"".join(fvalue(3, v, m) for v in values for m in (10, 4)))
    write("services", "dB_Hz_ms",
          b"".join(fvalue(0, v, 10) for v in (1.0, 10.0, 0.5, 0.0, -1.0, float("nan"))) +
          b"".join(fvalue(1, v, 10) for v in (100.0, 48000.0, 0.0, float("nan"))) +
          b"".join(fvalue(2, v, 10) for v in (441.0, 1.0, 44100.0)) +
          b"\x05" + f32(0.0) + fvalue(2, 5.0, 10) + fvalue(2, 0.0, 10) + fvalue(1, 3.0, 0))
    write("services", "int2string",
          b"".join(formatter(4, v & 0xFFFFFFFF, m)
                   for v in (0, -7, 99999999, 100000000, -123456789, -(2**31), 1000, -5)
                   for m in (10, 3, 1, 0, 64)))

    def allocate(slot, count):
        return bytes([6, slot]) + struct.pack("<i", count)

    def release(slot):
        return bytes([7, slot])

    def scribble(slot, data):
        return bytes([8, slot]) + data[:4] + struct.pack("<H", len(data) - 4) + data[4:]

    def match(to, frm):
        return bytes([10, to, frm])

    speaker = struct.pack("<ffff", 30.0, 0.0, 1.0, 0.0) + b"L" * 70
    write("services", "arrangements",
          allocate(0, 2) + allocate(1, 0) + allocate(2, -1) + allocate(3, 19173962) +
          scribble(0, struct.pack("<i", 7) + speaker[:112] + speaker[:112]) + match(1, 0) +
          match(2, 3) + release(0) + release(0) + allocate(0, 6) + match(3, 0) + match(3, 3))
    write("services", "copy_speaker",
          bytes([9]) + speaker[:112] + b"\x11" * 112 + b"\x00" +
          bytes([9]) + speaker[:16] + b"L\x00" + b"x" * 94 + b"\x22" * 112 + b"\x00" +
          bytes([9]) + b"\x01" * 224 + b"\x01" + bytes([9]) + b"\x02" * 224 + b"\x02")


if __name__ == "__main__":
    dispatcher_seeds()
    parameter_seeds()
    processing_seeds()
    services_seeds()
