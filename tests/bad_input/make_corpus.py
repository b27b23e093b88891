#!/usr/bin/env python3
"""Writes the bad-input corpus: the malformed files under tests/bad_input/<kind>/
and cases.txt, which says for each case what must come out of the program.

Each case is spelled out below by hand, with the reason for its expected
output as the comment that cases.txt carries. The files are committed; run
this only to change the corpus.  Every case runs in a working directory that
holds the shipped definitions (defs/), with the case's files put over them.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
REL = "tests/bad_input"

CASES = []
WRITTEN = set()


def esc(text):
    out = []
    for b in text.encode("latin-1") if isinstance(text, str) else text:
        c = chr(b)
        if c == "\\":
            out.append("\\\\")
        elif c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif c == "\r":
            out.append("\\r")
        elif b < 0x20 or b > 0x7E:
            out.append("\\x%02x" % b)
        else:
            out.append(c)
    return "".join(out)


def put(kind, name, data):
    path = os.path.join(HERE, kind, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    WRITTEN.add((kind, name))
    return "%s/%s/%s" % (REL, kind, name)


def case(name, why, files, args, status, out, err="", removes=()):
    """files: list of (source path relative to the repository, name in the working directory)."""
    CASES.append((name, why, files, removes, args, status, out, err))


# ---------------------------------------------------------------- messages

def failed_load(name):
    return "Failed to load file %s\n" % name


def read_error(name, pos):
    return "Error reading Kaldo token file: %s\n\nLine/offset: %u\n" % (name, pos) + failed_load(name)


def text_err(name, line, col, message, shown, at=None, note=None):
    """The diagnosis of a text read on standard error: where, what, the line and a caret under the
    point (at: its place in the line shown, when that is not the column's)."""
    at = col - 1 if at is None else at
    caret = "".join("\t" if c == "\t" else " " for c in shown[:at]) + "^"
    where = "%s:%d:%d: " % (name, line, col)
    return where + "error: " + message + "\n" + shown + "\n" + caret + "\n" + (
        where + "note: " + note + "\n" if note else "")


def bin_err(name, offset, message, path=None, note=None):
    """The diagnosis of a binary read: the offset in the body, what, and the blocks around it."""
    where = "%s: offset %d: " % (name, offset)
    return where + "error: " + message + "\n" + (where + "note: in " + path + "\n" if path else "") + (
        where + "note: " + note + "\n" if note else "")


def file_err(name, message):
    return "%s: error: %s\n" % (name, message)


NO_GRAMMAR = "No BNF file loaded for this file type or type version"
# What standard error says of a file that is no token file, or has no grammar.
UNKNOWN_MARK = "unknown compression mark '%s' in the container header; expected '@' (none), 'B' (Huffman) or 'F' (zlib)"
ZLIB_DAMAGED = "the zlib stream of the body is damaged or cut short"
HUFF_ENDS = "the size field says %d bytes (308 of them the code table), but the coded data ends after %d"
NOT_TORV = "the body header begins with '%s', not 'TORV'"
NO_CONTAINER = "; without a container header the body starts at the file's first byte"
UTF16_BODY = "; a UTF-16 body needs the UTF-16 form of the container header"
NO_GRAMMAR_FOR = "no grammar is loaded for type '%s' version '%s'; the grammars loaded read type 's' version '1', type 'm' version '1'"


def checked_text(name):  # a text source checked with /k: the output would be compressed binary
    return "\nConverting %s to compressed binary file  ...\n" % name


def checked_binary(name):  # a binary source checked with /k: the output would be plain text
    return "\nConverting %s to text file  ...\n" % name


def diag(name, line, column, what):  # the diagnosis line on standard error; line 0: the whole file
    where = "%s:%u:%u" % (name, line, column) if line else name
    return "%s: error: %s\n" % (where, what)


def grammar_error(name, line):
    return "Error loading BNF definition file:\n%s\n\nLine: %u\n" % (name, line)


def token_defs_failed(core="core_ids.h", app="app_ids.h"):
    return "Failed to load Kaldo token definition files:\n%s\n%s\n\n" % (core, app)


SIDN_FAILED = "Failed to load SIDN definitions file:\nsidn.txt\n"
NO_GRAMMARS = "No BNF files successfully loaded"
CUBE = ("examples/cube.s", "cube.s")

# ---------------------------------------------------------------- encodings


def u16(text):
    return text.encode("utf-16-le")


PLAIN_HEADER = b"KALDOA@@@@@@@@@@"


def utf16_header(mark="@", size=b"@@@@"):
    hb = b"KALDOA@" + mark.encode() + size + b"@@@@"
    return b"\xff\xfe" + b"".join(bytes([c, 0]) for c in hb)


def text_file(body, type_version="s1", header=None, digit="0"):
    """A text token file as the program writes it: UTF-16 header form, body header units, body."""
    head = utf16_header() if header is None else header
    return head + u16("TORV" + digit + type_version + "t        ") + u16(body)


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def f32(v):
    return struct.pack("<f", v)


def string(text):
    data = u16(text)
    return struct.pack("<H", len(data) // 2) + data


def block(token_id, content, name="", size=None):
    name_units = u16(name)
    rest = bytes([len(name_units) // 2]) + name_units + content
    return le32(token_id) + le32(len(rest) if size is None else size) + rest


# token ids of the shipped definitions
MATERIAL, COLOUR, RGBA, RGB, SHININESS, TEXTURE, SHADING, FLAT, SMOOTH = range(0x10001, 0x1000A)
SHAPE, INFO, MATERIALS, MESH, VERTICES, NORMALS, TEXCOORDS, FACES, USEMATERIAL, DRAWORDER = range(0x20001, 0x2000B)


def info(title="t", major=1, minor=0):
    return block(INFO, string(title) + le32(major) + le32(minor))


def mesh(vertices=None, faces=None, extra=b""):
    v = block(VERTICES, f32(0) * 3) if vertices is None else vertices
    fc = block(FACES, le32(0) * 3) if faces is None else faces
    return block(MESH, v + fc + extra)


def shape(content=None, name="", size=None):
    return block(SHAPE, info() + mesh() if content is None else content, name, size)


def body_header(type_version="s1", form="b", digit="0"):
    return ("TORV" + digit + type_version + form + "        ").encode("latin-1")


def binary_file(body, header=PLAIN_HEADER, type_version="s1"):
    return header + body_header(type_version) + body


GOOD_BODY = body_header() + shape()  # 97 bytes: a shape with one mesh of one triangle

# ---------------------------------------------------------------- Huffman (mark "B") encoder, for the seeds


def huff_encode(data):
    """The canonical code of the mark-B codec, built as the program's encoder builds it."""
    counts = [0] * 256
    for b in data:
        counts[b] += 1
    order = sorted(range(256), key=lambda b: counts[b])
    leaves = [(0, 256)] + [(counts[b], b) for b in order]  # end code first
    # Huffman tree over the ordered leaves: join the two first, insert after every item <= the sum
    items = [(c, ("leaf", i)) for i, (c, _) in enumerate(leaves)]
    while len(items) > 1:
        (c1, a), (c2, b) = items[0], items[1]
        rest = items[2:]
        s = c1 + c2
        pos = 0
        while pos < len(rest) and rest[pos][0] <= s:
            pos += 1
        items = rest[:pos] + [(s, ("node", a, b))] + rest[pos:]
    depth = [0] * len(leaves)

    def walk(n, d):
        if n[0] == "leaf":
            depth[n[1]] = d
        else:
            walk(n[1], d + 1)
            walk(n[2], d + 1)

    walk(items[0][1], 0)
    cnt = [0] * 12
    for d in depth:
        cnt[min(d, 11)] += 1
    k = sum(cnt[l] << (11 - l) for l in range(1, 12))
    if k > 2048:
        for l in range(10, 0, -1):
            u = (1 << (11 - l)) - 1
            if k <= 2048:
                break
            m = min(cnt[l], -(-(k - 2048) // u))
            cnt[l] -= m
            cnt[11] += m
            k -= m * u
    free = 2048 - k
    t = 0
    while free > 0:
        for s in range(t + 1, 12):
            g = (1 << (11 - t)) - (1 << (11 - s)) if t > 0 else None
            if g is None or free < g:
                if g is not None:
                    break
                continue
            m = min(cnt[s], free // g)
            cnt[s] -= m
            cnt[t] += m
            free -= m * g
        t += 1
    # canonical codes, most frequent leaf first
    codes = {}
    code = 0
    length = None
    idx = len(leaves) - 1
    for l in range(1, 12):
        for _ in range(cnt[l]):
            if length is not None:
                code = (code + 1) << (l - length)
            length = l
            codes[leaves[idx][1]] = (code, l)
            idx -= 1
    bits = []
    for b in list(data) + [256]:
        c, l = codes[b]
        bits.extend((c >> (l - 1 - i)) & 1 for i in range(l))
    while len(bits) % 32:
        bits.append(0)
    words = b"".join(le32(sum(bits[w + i] << i for i in range(32))) for w in range(0, len(bits), 32))
    table = le32(len(words)) + le32(len(data)) + b"".join(le32(cnt[l]) for l in range(1, 12)) + bytes(order)
    return table + words


# ================================================================ containers
K = "container"
n = "empty.sb"
case("container/empty", "An empty file is shorter than 34 bytes: it cannot be opened.",
     [(put(K, n, b""), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'a token file is at least 34 bytes long; this one has 0'))
n = "header_only.sb"
case("container/header_only", "A container header alone (16 bytes) is shorter than 34 bytes.",
     [(put(K, n, PLAIN_HEADER), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'a token file is at least 34 bytes long; this one has 16'))
n = "short_33.sb"
case("container/short_33", "33 bytes, even with a valid header, cannot be opened.",
     [(put(K, n, binary_file(shape())[:33]), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'a token file is at least 34 bytes long; this one has 33'))
n = "unknown_mark.sb"
case("container/unknown_mark", "A compression mark other than @, B and F fails the open.",
     [(put(K, n, b"KALDOA@X@@@@@@@@" + GOOD_BODY), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, UNKNOWN_MARK % 'X'))
n = "lowercase_mark.sb"
case("container/lowercase_mark", "Marks are compared exactly: f is not F.",
     [(put(K, n, b"KALDOA@f" + le32(len(GOOD_BODY)) + b"@@@@" + zlib.compress(GOOD_BODY)), n)],
     [n, "/k"], 1, failed_load(n),
     err=file_err(n, UNKNOWN_MARK % 'f'))
Z = zlib.compress(GOOD_BODY)
n = "zlib_size_too_big.sb"
case("container/zlib_size_too_big", "Mark F: the size field must be exactly the decompressed length.",
     [(put(K, n, b"KALDOA@F" + le32(len(GOOD_BODY) + 1) + b"@@@@" + Z), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the size field says %d bytes, but the zlib stream inflates to %d' % (len(GOOD_BODY) + 1, len(GOOD_BODY))))
n = "zlib_size_too_small.sb"
case("container/zlib_size_too_small", "Mark F: a size field one short of the data does not fit it.",
     [(put(K, n, b"KALDOA@F" + le32(len(GOOD_BODY) - 1) + b"@@@@" + Z), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the size field says %d bytes, but the zlib stream inflates to more' % (len(GOOD_BODY) - 1)))
n = "zlib_size_zero.sb"
case("container/zlib_size_zero", "Mark F with a size field of 0: nothing fits.",
     [(put(K, n, b"KALDOA@F" + le32(0) + b"@@@@" + Z), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the size field says 0 bytes, but the zlib stream inflates to more'))
n = "zlib_size_filler.sb"
case("container/zlib_size_filler", "Mark F with the @@@@ filler as its size field (0x40404040 bytes): refused.",
     [(put(K, n, b"KALDOA@F@@@@@@@@" + Z), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the size field says %d bytes, more than %d bytes of zlib stream can inflate to' % (0x40404040, len(Z))))
n = "zlib_bad_checksum.sb"
case("container/zlib_bad_checksum", "Mark F: a damaged Adler-32 trailer is a zlib error.",
     [(put(K, n, b"KALDOA@F" + le32(len(GOOD_BODY)) + b"@@@@" + Z[:-1] + bytes([Z[-1] ^ 0xFF])), n)],
     [n, "/k"], 1, failed_load(n),
     err=file_err(n, ZLIB_DAMAGED))
n = "zlib_truncated.sb"
case("container/zlib_truncated", "Mark F: a zlib stream cut short.",
     [(put(K, n, b"KALDOA@F" + le32(len(GOOD_BODY)) + b"@@@@" + Z[:-6]), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, ZLIB_DAMAGED))
n = "zlib_not_zlib.sb"
case("container/zlib_not_zlib", "Mark F over a body that was never compressed.",
     [(put(K, n, b"KALDOA@F" + le32(len(GOOD_BODY)) + b"@@@@" + GOOD_BODY), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, ZLIB_DAMAGED))
H = huff_encode(GOOD_BODY)
n = "huff_ok.sb"
case("container/huff_ok", "Mark B (the program's own codec) around a sound body opens and reads.",
     [(put(K, n, b"KALDOA@B" + le32(len(GOOD_BODY) + 308) + b"@@@@" + H), n)], [n, "/k"], 0, checked_binary(n))
n = "huff_table_only.sb"
case("container/huff_table_only", "Mark B with the 308-byte code table and no coded data: a body of length 0.",
     [(put(K, n, b"KALDOA@B" + le32(308) + b"@@@@" + H[:308]), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, "compression mark 'B', but no coded data follows the code table"))
n = "huff_short_table.sb"
case("container/huff_short_table", "Mark B with fewer than 308 bytes after the header: no code table.",
     [(put(K, n, b"KALDOA@B" + le32(len(GOOD_BODY) + 308) + b"@@@@" + H[:200]), n)], [n, "/k"], 1,
     failed_load(n),
     err=file_err(n, "compression mark 'B', but the file ends before the 308-byte code table does"))
bad_counts = bytearray(H)
bad_counts[8 + 4 * 7] ^= 1  # one code more or less of length 8: no longer a complete code
n = "huff_incomplete_code.sb"
case("container/huff_incomplete_code", "Mark B with counts that do not make a complete code: refused.",
     [(put(K, n, b"KALDOA@B" + le32(len(GOOD_BODY) + 308) + b"@@@@" + bytes(bad_counts)), n)],
     [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the Huffman code table describes no complete code'))
n = "huff_size_too_big.sb"
case("container/huff_size_too_big", "Mark B: the coded data ends before the length the size field promises.",
     [(put(K, n, b"KALDOA@B" + le32(len(GOOD_BODY) + 309) + b"@@@@" + H), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, HUFF_ENDS % (len(GOOD_BODY) + 309, len(GOOD_BODY))))
n = "huff_size_below_table.sb"
case("container/huff_size_below_table", "Mark B with a size field below 308, the size of the table it counts.",
     [(put(K, n, b"KALDOA@B" + le32(100) + b"@@@@" + H), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the size field says 100 bytes, fewer than the 308 bytes of the code table it counts'))
n = "huff_end_code_first.sb"
case("container/huff_end_code_first", "Mark B whose coded data starts with the end code (all ones): no byte comes out.",
     [(put(K, n, b"KALDOA@B" + le32(len(GOOD_BODY) + 308) + b"@@@@" + H[:308] + b"\xff" * 64), n)],
     [n, "/k"], 1, failed_load(n),
     err=file_err(n, HUFF_ENDS % (len(GOOD_BODY) + 308, 0)))
n = "bom_without_maker.sb"
case("container/bom_without_maker",
     "FF FE not followed by the units of KALDO is no header: the whole file is the body, "
     "and the body header then does not begin with TORV.",
     [(put(K, n, b"\xff\xfe" + GOOD_BODY), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, NOT_TORV % '\\xFF\\xFETO' + NO_CONTAINER))
n = "maker_lowercase.sb"
case("container/maker_lowercase", "kaldo is not the maker word: the file is all body, and its body header is wrong.",
     [(put(K, n, b"kaldoA@@@@@@@@@@" + GOOD_BODY), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, NOT_TORV % 'kald' + NO_CONTAINER))
n = "no_header.sb"
case("container/no_header", "A binary body without any container header opens as a plain body and reads.",
     [(put(K, n, GOOD_BODY), n)], [n, "/k"], 0, checked_binary(n))
n = "unchecked_header_bytes.sb"
case("container/unchecked_header_bytes", "Header bytes 5, 6 and 8-15 of a plain file are not checked.",
     [(put(K, n, b"KALDO\x00\x01@zzzzyyyy" + GOOD_BODY), n)], [n, "/k"], 0, checked_binary(n))
n = "utf16_high_bytes.s"
hdr = b"\xff\xfe" + b"K\x00A\x00L\x00D\x00O\x00" + b"A\x41@\x7f@\x01@\xff" + b"@\x40" * 7
case("container/utf16_high_bytes",
     "In the UTF-16 header form only the low bytes of the units after KALDO count.",
     [(put(K, n, text_file("\r\nShape s ( Info ( t 1 0 ) Mesh m ( Vertices ( 0 0 0 ) Faces ( 0 0 0 ) ) )\r\n",
                           header=hdr)), n)], [n, "/k"], 0, checked_text(n))
n = "utf16_short.s"
case("container/utf16_short", "The UTF-16 header form with a body of ten units: no room for the body header.",
     [(put(K, n, utf16_header() + u16("TORV0s1t  ")), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, 'the body has 10 units, too few for the 16 of the body header'))
n = "text_behind_8bit_header.s"
case("container/text_behind_8bit_header",
     "A UTF-16 text body behind the 8-bit header form: the body header is read as bytes, "
     "T 00 O 00, and is not TORV.",
     [(put(K, n, PLAIN_HEADER + u16("TORV0s1t        \r\nShape s ( )\r\n")), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, NOT_TORV % 'T\\x00O\\x00' + UTF16_BODY))
n = "utf16_zlib_text.s"
case("container/utf16_zlib_text",
     "The UTF-16 header form with mark F and a size field spread over four units reads a compressed text body.",
     [(put(K, n, (lambda body: utf16_header("F", le32(len(body))) + zlib.compress(body))(
         u16("TORV0s1t        \r\nShape s ( Info ( t 1 0 ) Mesh m ( Vertices ( 0 0 0 ) Faces ( 0 0 0 ) ) )\r\n"))),
       n)], [n, "/k"], 0, checked_text(n))

# ================================================================ binary bodies
K = "binary"
n = "format_digit_1.sb"
case("binary/format_digit_1", "Body header byte 4 must be at most 0x30: 1 is refused.",
     [(put(K, n, PLAIN_HEADER + body_header(digit="1") + shape()), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, "the body header gives the format '1'; formats up to '0' are read"))
n = "format_digit_blank.sb"
case("binary/format_digit_blank", "A format digit below 0 (a blank) is accepted.",
     [(put(K, n, PLAIN_HEADER + body_header(digit=" ") + shape()), n)], [n, "/k"], 0, checked_binary(n))
n = "form_x.sb"
case("binary/form_x", "Body header byte 7 must be t or b.",
     [(put(K, n, PLAIN_HEADER + body_header(form="x") + shape()), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, "the body header gives the form 'x'; expected 't' (text) or 'b' (binary)"))
n = "bad_magic.sb"
case("binary/bad_magic", "The body header must begin with TORV.",
     [(put(K, n, PLAIN_HEADER + b"TORW" + body_header()[4:] + shape()), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, NOT_TORV % 'TORW'))
n = "unknown_type.sb"
case("binary/unknown_type", "No grammar for file type q: two messages, the second with its own line break only.",
     [(put(K, n, binary_file(shape(), type_version="q1")), n)], [n, "/k"], 1, NO_GRAMMAR + failed_load(n),
     err=file_err(n, NO_GRAMMAR_FOR % ('q', '1')))
n = "type_wrong_case.sb"
case("binary/type_wrong_case", "File type bytes compare exactly: S is not s.",
     [(put(K, n, binary_file(shape(), type_version="S1")), n)], [n, "/k"], 1, NO_GRAMMAR + failed_load(n),
     err=file_err(n, NO_GRAMMAR_FOR % ('S', '1')))
n = "version_unknown.sb"
case("binary/version_unknown", "Type s exists in version 1 only.",
     [(put(K, n, binary_file(shape(), type_version="s2")), n)], [n, "/k"], 1, NO_GRAMMAR + failed_load(n),
     err=file_err(n, NO_GRAMMAR_FOR % ('s', '2')))
n = "no_extension"
case("binary/no_extension",
     "A source without extension passes the header peek but the read refuses it before it "
     "starts: the error position is still 0.",
     [(put(K, n, binary_file(shape())), n)], [n, "/k"], 1, read_error(n, 0),
     err=file_err('no_extension', 'the name of a token file needs an extension'))
n = "two_bytes_of_body.sb"
case("binary/two_bytes_of_body",
     "Two bytes behind the body header: the Shape block's id would reach past the body. "
     "A failed binary read ends where it started, behind the body header (16).",
     [(put(K, n, binary_file(b"\x01\x00")), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('two_bytes_of_body.sb', 16, "expected 'Shape', found end of file after 01 00"))
n = "wrong_root_id.sb"
case("binary/wrong_root_id", "The top-level block has the id of Info, not Shape.",
     [(put(K, n, binary_file(block(INFO, info() + mesh()))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('wrong_root_id.sb', 16, "expected 'Shape', found 'Info' (0x00020002)"))
n = "block_size_past_body.sb"
case("binary/block_size_past_body", "The Shape block's size reaches past the end of the body: no match.",
     [(put(K, n, binary_file(shape(size=0xFFFFFFF0))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('block_size_past_body.sb', 20, 'expected a block size that fits, found a size of 4294967280, past the end of the file'))
n = "block_size_short.sb"
case("binary/block_size_short",
     "The Shape block's size ends inside its Mesh. A block's id is matched without regard to "
     "the enclosing block's end, but a block must lie wholly inside the block that encloses it "
     "(accepted, it would take the content of what follows its parent): the Mesh does not match.",
     [(put(K, n, binary_file(shape(size=30))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('block_size_short.sb', 50, 'expected a block size that fits, found a size of 43, past the end of the enclosing block', path='Shape'))
n = "string_past_body.sb"
case("binary/string_past_body", "The title's length (100 units) reaches past the end of the body.",
     [(put(K, n, binary_file(block(SHAPE, block(INFO, struct.pack("<H", 100) + u16("t") + le32(1) + le32(0))))), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('string_past_body.sb', 34, 'expected a string, found a string of 100 units that runs past its end', path='Shape / Info'))
n = "string_past_block.sb"
case("binary/string_past_block",
     "The title's length reaches past the Info block (inside the body): the two numbers after it "
     "then start beyond the block's end and do not match.",
     [(put(K, n, binary_file(block(SHAPE, block(INFO, struct.pack("<H", 6) + u16("t") + le32(1) + le32(0))
                                      + mesh()))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('string_past_block.sb', 34, 'expected a string, found a string of 6 units that runs past its end', path='Shape / Info'))
n = "truncated_body.sb"
case("binary/truncated_body", "The body ends two bytes before the last Faces number.",
     [(put(K, n, binary_file(shape())[:-2]), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('truncated_body.sb', 20, 'expected a block size that fits, found a size of 73, past the end of the file'))
n = "vertices_empty.sb"
case("binary/vertices_empty", "An array needs one repetition at least: an empty Vertices block does not match.",
     [(put(K, n, binary_file(block(SHAPE, info() + mesh(vertices=block(VERTICES, b""))))), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('vertices_empty.sb', 64, 'expected a float, found end of block', path='Shape / Mesh / Vertices'))
n = "faces_two_numbers.sb"
case("binary/faces_two_numbers", "A triangle of two numbers: the third starts at the block's end.",
     [(put(K, n, binary_file(block(SHAPE, info() + mesh(faces=block(FACES, le32(0) * 2))))), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('faces_two_numbers.sb', 93, 'expected an unsigned number, found end of file', path='Shape / Mesh / Faces'))
n = "vertices_extra_bytes.sb"
case("binary/vertices_extra_bytes",
     "Two bytes too many in Vertices: the second repetition fails and is undone, the reader stays "
     "behind the first (unconsumed bytes are not skipped), and Faces is then looked for two bytes "
     "too early.",
     [(put(K, n, binary_file(block(SHAPE, info() + mesh(vertices=block(VERTICES, f32(0) * 3 + b"\x00\x00"))))), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('vertices_extra_bytes.sb', 80, 'expected a float, found end of block', path='Shape / Mesh / Vertices'))
n = "trailing_garbage.sb"
case("binary/trailing_garbage", "Bytes after the root's end are never read.",
     [(put(K, n, binary_file(shape()) + b"\xde\xad\xbe\xef" * 3), n)], [n, "/k"], 0, checked_binary(n))
n = "materials_empty.sb"
case("binary/materials_empty",
     "An empty Materials block fails; the optional Materials gives its bytes back and Mesh is "
     "then looked for where Materials stands.",
     [(put(K, n, binary_file(block(SHAPE, info() + block(MATERIALS, b"") + mesh()))), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('materials_empty.sb', 55, "expected 'Material', found end of block", path='Shape / Materials'))


def material(colour, shading=SMOOTH, extra=b""):
    return block(MATERIAL, block(COLOUR, colour) + extra + block(SHADING, le32(shading)))


with_material = lambda m: block(SHAPE, info() + block(MATERIALS, m) + mesh())
n = "shading_unknown_token.sb"
body = with_material(material(le32(RGBA) + le32(0xFFFFFFFF), shading=0x00990001))
case("binary/shading_unknown_token",
     "A token value whose id names no token definition matches, but the tree cannot hold it: the "
     "read fails after the whole body was consumed, at offset %d." % (16 + len(body)),
     [(put(K, n, binary_file(body)), n)], [n, "/k"], 1, read_error(n, 16 + len(body)),
     err=bin_err('shading_unknown_token.sb', 90, 'no token has the id 0x00990001', path='Shape / Materials / Material / Shading'))
n = "shading_token_zero.sb"
body = with_material(material(le32(RGBA) + le32(0), shading=0))
case("binary/shading_token_zero", "A token value of 0 names no token either (offset %d)." % (16 + len(body)),
     [(put(K, n, binary_file(body)), n)], [n, "/k"], 1, read_error(n, 16 + len(body)),
     err=bin_err('shading_token_zero.sb', 90, 'no token has the id 0x00000000', path='Shape / Materials / Material / Shading'))
n = "rgb_two_bytes.sb"
case("binary/rgb_two_bytes", "rgb with two bytes: neither colour form matches.",
     [(put(K, n, binary_file(with_material(material(le32(RGB) + b"\x10\x20")))), n)], [n, "/k"], 1,
     read_error(n, 16),
     err=bin_err('rgb_two_bytes.sb', 79, 'expected a byte, found end of block', path='Shape / Materials / Material / Colour'))
n = "colour_id_unknown.sb"
case("binary/colour_id_unknown", "A colour whose first id is neither rgba nor rgb.",
     [(put(K, n, binary_file(with_material(material(le32(0x12345678) + le32(0))))), n)], [n, "/k"], 1,
     read_error(n, 16),
     err=bin_err('colour_id_unknown.sb', 73, "expected 'rgba' or 'rgb', found 0x12345678", path='Shape / Materials / Material / Colour'))
n = "index_negative.sb"
case("binary/index_negative", "An index value is a signed number and is not checked against the list: -5 reads.",
     [(put(K, n, binary_file(block(SHAPE, info() + block(MATERIALS, material(le32(RGBA) + le32(1)))
                                   + mesh(extra=block(USEMATERIAL, le32(-5)))))), n)], [n, "/k"], 0,
     checked_binary(n))
n = "block_name_past_body.sb"
case("binary/block_name_past_body", "A block name of 255 units where the body has far fewer bytes.",
     [(put(K, n, binary_file(le32(SHAPE) + le32(len(info() + mesh()) + 1) + b"\xff" + info() + mesh())), n)],
     [n, "/k"], 1, read_error(n, 16),
     err=bin_err('block_name_past_body.sb', 24, 'expected a block name that fits, found a name of 255 units that runs past its end'))
n = "block_name_odd_units.sb"
case("binary/block_name_odd_units", "A block name may hold any units but U+0000: brackets, blanks, a quote, CR.",
     [(put(K, n, binary_file(shape(name="( ]\"\r|"))), n)], [n, "/k"], 0, checked_binary(n))
n = "block_name_zero_unit.sb"
case("binary/block_name_zero_unit",
     "A block name holding U+0000 does not match: no text form could carry what follows the "
     "zero, so taking it would lose that without notice.",
     [(put(K, n, binary_file(shape(name="a\x00b"))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('block_name_zero_unit.sb', 24, 'expected a block name that fits, found a name of 3 units holding U+0000'))
n = "string_zero_unit.sb"
case("binary/string_zero_unit", "A title holding U+0000 does not match either.",
     [(put(K, n, binary_file(block(SHAPE, info(title="x\x00y") + mesh()))), n)], [n, "/k"], 1, read_error(n, 16),
     err=bin_err('string_zero_unit.sb', 34, 'expected a string, found a string of 3 units holding U+0000', path='Shape / Info'))
n = "string_odd_units.sb"
case("binary/string_odd_units", "A title of CR, LF, TAB, quotes, brackets and units above U+00FF reads.",
     [(put(K, n, binary_file(block(SHAPE, info(title="\r\n\t\"()[]{}|\u0101\uffff") + mesh()))), n)], [n, "/k"], 0,
     checked_binary(n))
n = "nan_vertices.sb"
case("binary/nan_vertices", "Any 32 bits are a float: NaN and infinities read.",
     [(put(K, n, binary_file(block(SHAPE, info() + mesh(vertices=block(VERTICES, b"\x00\x00\xc0\x7f" + b"\x00\x00\x80\x7f" + b"\x01\x00\x80\xff"))))), n)],
     [n, "/k"], 0, checked_binary(n))
n = "info_author_without_id.sb"
case("binary/info_author_without_id",
     "The word author has no token id: in a binary body the optional part is just the string "
     "after the minor version.",
     [(put(K, n, binary_file(block(SHAPE, block(INFO, string("t") + le32(1) + le32(0) + string("me")) + mesh()))), n)],
     [n, "/k"], 0, checked_binary(n))

# ================================================================ text bodies
K = "text"
GOOD_LINES = ["", "Shape s (", "\tInfo ( \"t\" 1 0 )", "\tMesh m (", "\t\tVertices ( 0 0 0 )",
              "\t\tFaces ( 0 0 0 )", "\t)", ")", ""]


def lines(*rows):
    return "\r\n".join(rows)


def good_with(**changes):
    rows = list(GOOD_LINES)
    for k, v in changes.items():
        rows[int(k[1:])] = v
    return lines(*rows)


n = "missing_final_close.s"
case("text/missing_final_close",
     "The file ends before the Shape block's ). The last token examined is the ) of the Mesh "
     "block on line 7.",
     [(put(K, n, text_file(lines(*GOOD_LINES[:7], ""))), n)], [n, "/k"], 1, read_error(n, 7),
     err=text_err('missing_final_close.s', 7, 3, "expected 'Mesh' or ')', found end of file", '\t)'))
n = "word_in_faces.s"
case("text/word_in_faces",
     "x is no number: Faces, then Mesh, then the repetition of meshes fail, and the Shape block "
     "tries its ) against the word Mesh on line 4, the last token examined.",
     [(put(K, n, text_file(good_with(l5="\t\tFaces ( 0 0 x )"))), n)], [n, "/k"], 1, read_error(n, 4),
     err=text_err('word_in_faces.s', 6, 15, "expected an unsigned number, found 'x'", '\t\tFaces ( 0 0 x )'))
n = "info_missing_minor.s"
case("text/info_missing_minor",
     "Info ( \"t\" 1 ): the minor version meets ) and the block fails; Shape tries its ) against "
     "Info on line 3.",
     [(put(K, n, text_file(good_with(l2="\tInfo ( \"t\" 1 )"))), n)], [n, "/k"], 1, read_error(n, 3),
     err=text_err('info_missing_minor.s', 3, 15, "expected an unsigned number, found ')'", '\tInfo ( "t" 1 )'))
n = "no_mesh.s"
case("text/no_mesh", "A shape needs one mesh at least; the last token examined is the ) on line 4.",
     [(put(K, n, text_file(lines("", "Shape s (", "\tInfo ( \"t\" 1 0 )", ")", ""))), n)], [n, "/k"], 1,
     read_error(n, 4),
     err=text_err('no_mesh.s', 4, 1, "expected 'Materials' or 'Mesh', found ')'", ')'))
n = "lowercase_block.s"
case("text/lowercase_block", "Block names are matched exactly: shape is not Shape (line 2).",
     [(put(K, n, text_file(good_with(l1="shape s ("))), n)], [n, "/k"], 1, read_error(n, 2),
     err=text_err('lowercase_block.s', 2, 1, "expected 'Shape', found 'shape'", 'shape s ('))
n = "square_bracket.s"
case("text/square_bracket", "Shape [ ... ]: [ is an opening bracket, so no block name is taken, and it is not (.",
     [(put(K, n, text_file(good_with(l1="Shape ["))), n)], [n, "/k"], 1, read_error(n, 2),
     err=text_err('square_bracket.s', 2, 7, "expected '(', found '['", 'Shape ['))
n = "two_block_names.s"
case("text/two_block_names", "Shape a b ( : one block name only, then b is not (.",
     [(put(K, n, text_file(good_with(l1="Shape a b ("))), n)], [n, "/k"], 1, read_error(n, 2),
     err=text_err('two_block_names.s', 2, 9, "expected '(', found 'b'", 'Shape a b ('))
n = "unterminated_string.s"
case("text/unterminated_string",
     "The title's string never ends: it takes the rest of the file, the major version meets "
     "the end, and Shape tries its ) against Info on line 3.",
     [(put(K, n, text_file(good_with(l2="\tInfo ( \"t 1 0 )"))), n)], [n, "/k"], 1, read_error(n, 3),
     err=text_err('unterminated_string.s', 8, 2, 'expected an unsigned number, found end of file', ')'))
MATERIAL_LINES = ["", "Shape s (", "\tInfo ( \"t\" 1 0 )", "\tMaterials (",
                  "\t\tMaterial x ( Colour ( rgba ff ) Shading ( Smooth ) )", "\t)", "\tMesh m (",
                  "\t\tVertices ( 0 0 0 )", "\t\tFaces ( 0 0 0 )", "\t)", ")", ""]


def materials_with(material_line):
    rows = list(MATERIAL_LINES)
    rows[4] = material_line
    return lines(*rows)


n = "unknown_shading_token.s"
case("text/unknown_shading_token",
     "Any identifier reads as a token value, but Glossy names no token definition: the read "
     "fails after the match, whose last token was the final ) on line 11.",
     [(put(K, n, text_file(materials_with("\t\tMaterial x ( Colour ( rgba ff ) Shading ( Glossy ) )"))), n)],
     [n, "/k"], 1, read_error(n, 11),
     err=text_err('unknown_shading_token.s', 5, 45, "no token is named 'Glossy'", '\t\tMaterial x ( Colour ( rgba ff ) Shading ( Glossy ) )'))
n = "token_33_characters.s"
case("text/token_33_characters",
     "A token value of 33 characters is no identifier. Shading, Material, the Materials array "
     "and the optional part fail in turn; Mesh is tried against Materials, and Shape's ) too, "
     "on line 4.",
     [(put(K, n, text_file(materials_with("\t\tMaterial x ( Colour ( rgba ff ) Shading ( " + "S" * 33 + " ) )"))), n)],
     [n, "/k"], 1, read_error(n, 4),
     err=text_err('token_33_characters.s', 5, 45, "expected a token name, found 'SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS'", '\t\tMaterial x ( Colour ( rgba ff ) Shading ( SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS ) )'))
n = "rgb_two_bytes.s"
case("text/rgb_two_bytes", "rgb with two bytes fails both colour forms; as above, line 4.",
     [(put(K, n, text_file(materials_with("\t\tMaterial x ( Colour ( rgb 10 20 ) Shading ( Smooth ) )"))), n)],
     [n, "/k"], 1, read_error(n, 4),
     err=text_err('rgb_two_bytes.s', 5, 35, "expected a byte, found ')'", '\t\tMaterial x ( Colour ( rgb 10 20 ) Shading ( Smooth ) )'))
n = "dword_with_prefix.s"
case("text/dword_with_prefix", "A dword is hexadecimal digits only: 0xff has an x. Line 4, as above.",
     [(put(K, n, text_file(materials_with("\t\tMaterial x ( Colour ( rgba 0xff ) Shading ( Smooth ) )"))), n)],
     [n, "/k"], 1, read_error(n, 4),
     err=text_err('dword_with_prefix.s', 5, 30, "expected a dword, found '0xff'", '\t\tMaterial x ( Colour ( rgba 0xff ) Shading ( Smooth ) )'))
n = "float_word.s"
case("text/float_word", "zero is not a float; Vertices and Mesh fail, and Shape's ) meets Mesh on line 4.",
     [(put(K, n, text_file(good_with(l4="\t\tVertices ( 0 0 zero )"))), n)], [n, "/k"], 1, read_error(n, 4),
     err=text_err('float_word.s', 5, 18, "expected a float, found 'zero'", '\t\tVertices ( 0 0 zero )'))
n = "float_prefix.s"
case("text/float_prefix", "A float only needs to begin with a number: 2.5x reads.",
     [(put(K, n, text_file(good_with(l4="\t\tVertices ( 0 2.5x 1e3 )"))), n)], [n, "/k"], 0, checked_text(n))
n = "sint_with_plus.s"
case("text/sint_with_plus",
     "+7 is no signed number: the optional DrawOrder fails, Mesh's ) meets DrawOrder, and "
     "Shape's ) meets Mesh on line 4.",
     [(put(K, n, text_file(good_with(l5="\t\tFaces ( 0 0 0 ) DrawOrder ( +7 )"))), n)], [n, "/k"], 1,
     read_error(n, 4),
     err=text_err('sint_with_plus.s', 6, 31, "expected a signed number, found '+7'", '\t\tFaces ( 0 0 0 ) DrawOrder ( +7 )'))
n = "index_as_word.s"
case("text/index_as_word", "An index is a signed number, not the material's name; as above, line 4.",
     [(put(K, n, text_file(good_with(l5="\t\tFaces ( 0 0 0 ) UseMaterial ( steel )"))), n)], [n, "/k"], 1,
     read_error(n, 4),
     err=text_err('index_as_word.s', 6, 33, "expected a signed number, found 'steel'", '\t\tFaces ( 0 0 0 ) UseMaterial ( steel )'))
n = "empty_body.s"
case("text/empty_body", "Nothing behind the body header: no token is ever examined, so the line is 0.",
     [(put(K, n, text_file("\r\n")), n)], [n, "/k"], 1, read_error(n, 0),
     err=text_err('empty_body.s', 1, 17, "expected 'Shape', found end of file", 'TORV0s1t        '))
n = "only_comment.s"
case("text/only_comment", "A block comment that never ends hides the whole body: line 0.",
     [(put(K, n, text_file("\r\n/* Shape s ( Info ( \"t\" 1 0 ) )\r\n")), n)], [n, "/k"], 1, read_error(n, 0),
     err=text_err('only_comment.s', 2, 32, "expected 'Shape', found end of file", '/* Shape s ( Info ( "t" 1 0 ) )'))
n = "glued_comment_marker.s"
case("text/glued_comment_marker", "//note is a word, not a comment, and it is not Shape (line 2).",
     [(put(K, n, text_file(lines("", "//note", *GOOD_LINES[1:]))), n)], [n, "/k"], 1, read_error(n, 2),
     err=text_err('glued_comment_marker.s', 2, 1, "expected 'Shape', found '//note'", '//note'))
n = "string_across_lines.s"
case("text/string_across_lines",
     "A line feed inside a string is not counted: Mesh stands on line 5 of the file but is "
     "numbered 4, and that is where Shape's ) is tried after the word in Faces.",
     [(put(K, n, text_file(lines("", "Shape s (", "\tInfo ( \"two", "lines\" 1 0 )", "\tMesh m (",
                                 "\t\tVertices ( 0 0 0 )", "\t\tFaces ( 0 0 x )", "\t)", ")", ""))), n)],
     [n, "/k"], 1, read_error(n, 4),
     err=text_err('string_across_lines.s', 7, 15, "expected an unsigned number, found 'x'", '\t\tFaces ( 0 0 x )'))
n = "lf_line_ends.s"
case("text/lf_line_ends", "Line feeds alone number the lines like CR LF: the word in Faces gives line 4.",
     [(put(K, n, text_file(good_with(l5="\t\tFaces ( 0 0 x )").replace("\r\n", "\n"))), n)], [n, "/k"], 1,
     read_error(n, 4),
     err=text_err('lf_line_ends.s', 6, 15, "expected an unsigned number, found 'x'", '\t\tFaces ( 0 0 x )'))
n = "carriage_return_in_word.s"
case("text/carriage_return_in_word", "A carriage return is ignored even inside a word: Sha CR pe is Shape.",
     [(put(K, n, text_file(good_with(l1="Sha\rpe s ("))), n)], [n, "/k"], 0, checked_text(n))
n = "comments_everywhere.s"
case("text/comments_everywhere", "Nested block comments and line comments between any two tokens read.",
     [(put(K, n, text_file(lines("", "/* a /* nested */ comment */ Shape // name follows", "s ( Info ( \"t\" /* x */ 1 0 )",
                                 "Mesh m ( Vertices ( 0 0 0 ) Faces ( 0 0 0 ) ) ) // end", ""))), n)],
     [n, "/k"], 0, checked_text(n))
n = "joined_string_and_escape.s"
case("text/joined_string_and_escape",
     "A title joined from pieces with +, with an unknown escape dropped, reads.",
     [(put(K, n, text_file(good_with(l2="\tInfo ( \"a\\qb\"+\r\n\"c\" 1 0 )"))), n)], [n, "/k"], 0, checked_text(n))
n = "tokens_after_root.s"
case("text/tokens_after_root", "Tokens after the end of the root rule are not read.",
     [(put(K, n, text_file(good_with(l8="garbage ] ) \"") )), n)], [n, "/k"], 0, checked_text(n))
n = "no_byte_order_mark.s"
case("text/no_byte_order_mark",
     "A text body whose container has no header at all: the file is read as plain bytes, and "
     "its body header, T 00 O 00 ..., is not TORV.",
     [(put(K, n, u16("TORV0s1t        " + good_with())), n)], [n, "/k"], 1, failed_load(n),
     err=file_err(n, NOT_TORV % 'T\\x00O\\x00' + UTF16_BODY))

n = "block_name_256.s"
case("text/block_name_256",
     "A block name of 256 units reads from text, but a binary block name holds at most 255: "
     "the binary write fails, with the driver's write error.",
     [(put(K, n, text_file(good_with(l3="\tMesh " + "M" * 256 + " ("))), n)], [n, "/o:out.sb"], 1,
     "\nConverting %s to compressed binary file out.sb ...\n" % n + "Error while writing file out.sb\n",
     err=file_err(n, "the block name '%s...' of a 'Mesh' block has 256 units; a binary block name holds at most 255" % ('M' * 40)))

# ================================================================ grammars
K = "grammar"


def grammar(text, bom=True):
    return (b"\xff\xfe" if bom else b"") + u16(text.replace("\n", "\r\n"))


def grammar_case(name, why, text, line, bom=True, err=""):
    put(K, name, grammar(text, bom))
    case("grammar/" + name[:-4], why, [(REL + "/grammar/" + name, name), CUBE], ["cube.s", "/k"], 0,
         grammar_error(name, line) + checked_text("cube.s"), err)


HEAD = "// test grammar\nFILE_TYPE = \"z\" .\nFILE_TYPE_VER = \"1\" .\n"  # lines 1-3
grammar_case("bad_empty.bnf", "An empty grammar file cannot be opened; nothing was examined: line 0.", "", 0, bom=False,
     err=diag("bad_empty.bnf", 0, 0, "cannot be opened"))
grammar_case("bad_short.bnf", "A grammar file shorter than 34 bytes cannot be opened either.", "EOF", 0,
     err=diag("bad_short.bnf", 0, 0, "cannot be opened"))
grammar_case("bad_type_zero.bnf", "FILE_TYPE must be 1 to 255; the statement is on line 3.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = 0 .\nFILE = x .\n", 3,
     err=diag("bad_type_zero.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found '0'"))
grammar_case("bad_type_256.bnf", "FILE_TYPE 256 is out of range.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = 256 .\nFILE = x .\n", 3,
     err=diag("bad_type_256.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found '256'"))
grammar_case("bad_type_hex_big.bnf", "FILE_TYPE 0x100 is out of range.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = 0x100 .\nFILE = x .\n", 3,
     err=diag("bad_type_hex_big.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found '0x100'"))
grammar_case("bad_type_two_chars.bnf", "A string value must hold exactly one character.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = \"ab\" .\nFILE = x .\n", 3,
     err=diag("bad_type_two_chars.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found \"ab\""))
grammar_case("bad_version_empty.bnf", "An empty string is no file type version.",
             "// test grammar\nFILE_TYPE = \"z\" .\nFILE_TYPE_VER = \"\" .\nFILE = x .\n", 3,
     err=diag("bad_version_empty.bnf", 3, 17, "expected a number from 1 to 255 or a string of one character, found \"\""))
grammar_case("bad_type_negative.bnf", "-5 is no file type.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = -5 .\nFILE = x .\n", 3,
     err=diag("bad_type_negative.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found '-5'"))
grammar_case("bad_type_word.bnf", "A word is neither a number nor a string.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE = z .\nFILE = x .\n", 3,
     err=diag("bad_type_word.bnf", 3, 13, "expected a number from 1 to 255 or a string of one character, found 'z'"))
grammar_case("bad_type_no_stop.bnf",
             "FILE_TYPE without its full stop: the next word is not \".\". The error line is that of "
             "the FILE_TYPE statement (line 2), not of the word after it.",
             "// test grammar\nFILE_TYPE = \"z\"\nFILE_TYPE_VER = \"1\" .\nFILE = x .\n", 2,
     err=diag("bad_type_no_stop.bnf", 3, 1, "expected '.', found 'FILE_TYPE_VER'"))
grammar_case("bad_type_no_equals.bnf", "FILE_TYPE needs its =.",
             "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE_TYPE \"z\" .\nFILE = x .\n", 3,
     err=diag("bad_type_no_equals.bnf", 3, 11, "expected '=', found \"z\""))
grammar_case("bad_no_file_rule.bnf", "No rule named FILE: the line is that of the EOF that ended the statements.",
             HEAD + "Item = x .\nEOF\n", 5,
     err=diag("bad_no_file_rule.bnf", 0, 0, "no rule FILE"))
grammar_case("bad_file_lowercase.bnf", "file is an ordinary rule, not the root.", HEAD + "file = x .\n\nEOF\n", 6,
     err=diag("bad_file_lowercase.bnf", 0, 0, "no rule FILE"))
grammar_case("bad_no_type.bnf", "FILE_TYPE is required.", "// test grammar\nFILE_TYPE_VER = \"1\" .\nFILE = x .\nEOF\n", 4,
     err=diag("bad_no_type.bnf", 0, 0, "no FILE_TYPE given"))
grammar_case("bad_no_version.bnf", "FILE_TYPE_VER is required.", "// test grammar\nFILE_TYPE = \"z\" .\nFILE = x .\nEOF\n", 4,
     err=diag("bad_no_version.bnf", 0, 0, "no FILE_TYPE_VER given"))
grammar_case("bad_unresolved.bnf",
             "Two references that no rule defines, on lines 4 and 6: the newest is reported.",
             HEAD + "FILE = :a .\nItem = x .\nOther = :b .\nEOF\n", 6,
     err=diag("bad_unresolved.bnf", 6, 9, "rule 'b' is not defined"))
grammar_case("bad_duplicate_rule.bnf", "item repeats Item (names compare without case).",
             HEAD + "FILE = x .\nItem = y .\nitem = z .\n", 6,
     err=diag("bad_duplicate_rule.bnf", 6, 1, "rule 'item' is defined twice"))
grammar_case("bad_predefined_name.bnf", "float is a predefined type.", HEAD + "FILE = x .\nfloat = y .\n", 5,
     err=diag("bad_predefined_name.bnf", 5, 1, "rule 'float' is defined twice"))
grammar_case("bad_unknown_token_rule.bnf", "Widget is no token name, so it cannot be a ==> rule.",
             HEAD + "FILE = x .\nWidget ==> :uint .\n", 5,
     err=diag("bad_unknown_token_rule.bnf", 5, 1, "unknown token name 'Widget'"))
grammar_case("bad_missing_equals.bnf", "A rule name followed by neither = nor ==>.", HEAD + "FILE x .\n", 4,
     err=diag("bad_missing_equals.bnf", 4, 6, "expected '=' or '==>' after 'FILE', found 'x'"))
grammar_case("bad_eof_lowercase.bnf", "eof in small letters is a rule name, and nothing follows it.",
             HEAD + "FILE = x .\neof\n", 5,
     err=diag("bad_eof_lowercase.bnf", 6, 1, "expected '=' or '==>' after 'eof', found end of file"))
grammar_case("bad_empty_array.bnf", "An array without items.", HEAD + "FILE = :ARRAY ( ) .\n", 4,
     err=diag("bad_empty_array.bnf", 4, 8, ":ARRAY holds nothing"))
grammar_case("bad_bar_after_open.bnf", "A vertical bar right after an opening bracket.", HEAD + "FILE = ( | x ) .\n", 4,
     err=diag("bad_bar_after_open.bnf", 4, 10, "'|' right after an opening bracket"))
grammar_case("bad_label_digit.bnf", "A label must not begin with a digit.", HEAD + "FILE = :uint,1abc .\n", 4,
     err=diag("bad_label_digit.bnf", 4, 8, "'1abc' is no label name"))
grammar_case("bad_index_before_label.bnf", "An :INDEX names a label that only comes after it.",
             HEAD + "FILE = :INDEX ( v ) :ARRAY ( :uint ) ,v .\n", 4,
     err=diag("bad_index_before_label.bnf", 4, 17, "label 'v' is used before it is defined"))
grammar_case("bad_index_brackets.bnf", "The brackets after :INDEX must be ( and ).",
             HEAD + "FILE = :ARRAY ( :uint ) ,v :INDEX [ v ] .\n", 4,
     err=diag("bad_index_brackets.bnf", 4, 35, "expected '(' after :INDEX, found '['"))
grammar_case("bad_close_in_body.bnf", "A closing bracket directly in a rule body.", HEAD + "FILE = x ) .\n", 4,
     err=diag("bad_close_in_body.bnf", 4, 10, "')' closes no bracket"))
grammar_case("bad_unbalanced.bnf", "A group that is never closed.", HEAD + "FILE = ( x .\n", 4,
     err=diag("bad_unbalanced.bnf", 4, 8, "'(' is never closed"))
grammar_case("bad_runs_into_arrow.bnf",
             "FILE = x without its full stop runs into the next rule's ==>. The last line set is that "
             "of x (line 4): the second reading stops at Shape before it records Shape's line.",
             HEAD + "FILE = x\nShape ==> :uint .\n", 4,
     err=diag("bad_runs_into_arrow.bnf", 5, 1, "missing full stop before the rule 'Shape'"))
grammar_case("bad_no_final_stop.bnf", "The file ends inside the last rule's body.", HEAD + "FILE = x", 4,
     err=diag("bad_no_final_stop.bnf", 4, 9, "expected '.', found end of file"))
n = "bad_8bit_text.bnf"
put(K, n, b"FILE_TYPE = 0x7A . FILE_TYPE_VER = 0x31 . FILE = xy .")
case("grammar/bad_8bit_text",
     "A grammar written as 8-bit text: pairs of bytes make units that are neither blanks nor "
     "brackets, so the file is one long word on line 1, followed by nothing.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 0, grammar_error(n, 1) + checked_text("cube.s"),
     err=diag("bad_8bit_text.bnf", 1, 27, "expected '=' or '==>' after '\xe4\xa5\x86\xe4\x95\x8c\xe5\x91\x9f\xe5\x81\x99\xe2\x81\x85\xe2\x80\xbd\xe7\xa0\xb0\xe4\x84\xb7\xe2\xb8\xa0\xe4\x98\xa0\xe4\xb1\x89\xe5\xbd\x85\xe5\xa5\x94\xe4\x95\x90\xe5\x99\x9f\xe5\x89\x85\xe3\xb4\xa0\xe3\x80\xa0\xe3\x8d\xb8\xe2\x80\xb1\xe2\x80\xae\xe4\xa5\x86\xe4\x95\x8c\xe3\xb4\xa0\xe7\xa0\xa0\xe2\x81\xb9', found end of file"))
grammar_case("bad_only_comments.bnf", "Nothing but comments: no statement, no root; nothing examined, line 0.",
             "// one\n/* two\n three */\n", 0,
     err=diag("bad_only_comments.bnf", 0, 0, "no rule FILE"))
grammar_case("bad_eof_first.bnf", "EOF before any statement ends the file at once (line 2).",
             "// test grammar\nEOF\nFILE_TYPE = \"z\" .\nFILE_TYPE_VER = \"1\" .\nFILE = x .\n", 2,
     err=diag("bad_eof_first.bnf", 0, 0, "no rule FILE"))

grammar_case("bad_nested_300.bnf",
             "Groups nested 300 deep pass the limit of 256 nested constructs: the grammar fails to "
             "load instead of exhausting the stack. Every token is on line 4.",
             HEAD + "FILE = " + "( " * 300 + "x " + ") " * 300 + ".\n", 4,
     err=diag("bad_nested_300.bnf", 4, 520, "brackets and alternatives nested more than 256 deep"))
n = "good_nested_200.bnf"
put(K, n, grammar(HEAD + "FILE = " + "[ " * 100 + "{ " * 100 + "x " + "} " * 100 + "] " * 100 + ".\n"))
case("grammar/good_nested_200", "Constructs nested 200 deep are within the limit: the grammar loads.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 0, checked_text("cube.s"))
n = "good_after_eof.bnf"
put(K, n, grammar(HEAD + "FILE = x .\nEOF\nthis ) is | not [ read\n"))
case("grammar/good_after_eof", "Text after EOF is never read: the grammar loads without a message.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 0, checked_text("cube.s"))
n = "good_not_fully_populated.bnf"
put(K, n, grammar(HEAD + "FILE = ( a ) | b .\nEOF\n"))
case("grammar/good_not_fully_populated",
     "A bar after a group: FILE gets three entries and fills two. That is only reported on the "
     "debug channel; the grammar loads.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 0, checked_text("cube.s"))
n = "a_same_type.bnf"
put(K, n, grammar("FILE_TYPE = \"s\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Shape .\nShape ==> :uint .\n"))
case("grammar/same_type_twice",
     "a_same_type.bnf comes first and takes type s version 1; shape.bnf is then skipped with the "
     "warning (which ends without a line break). cube.s is then read with the small grammar: "
     "its Info block on line 5 is no number.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 1,
     "Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
     "Skipping BNF file:\nshape.bnf\nFile type: 's' (0x73) version: '1' (0x31) already defined in:\n"
     "a_same_type.bnf" + read_error("cube.s", 5),
     err=text_err('cube.s', 5, 5, "expected an unsigned number, found 'Info'", '    Info ( "Unit cube" 1 0 )'))
n = "bad_alone.bnf"
put(K, n, grammar(HEAD + "FILE = :missing .\n"))
case("grammar/none_loads",
     "The only grammar fails (its reference on line 4 is never defined): start-up fails.",
     [(REL + "/grammar/" + n, n), CUBE], ["cube.s", "/k"], 1, grammar_error(n, 4) + NO_GRAMMARS,
     removes=("shape.bnf", "library.bnf"),
     err=diag("bad_alone.bnf", 4, 8, "rule 'missing' is not defined"))
case("grammar/no_grammar_files", "No grammar file at all.", [CUBE], ["cube.s", "/k"], 1, NO_GRAMMARS,
     removes=("shape.bnf", "library.bnf"),
     err=file_err('*.bnf', 'no grammar file is in any directory the definitions are looked for in'))

# ================================================================ configuration files
K = "cfg"


def cfg_case(name, why, data, status, out, err=""):
    put(K, name, data)
    case("cfg/" + name[:-4], why, [(REL + "/cfg/" + name, "Vexlor.cfg"), CUBE], ["cube.s", "/k"], status, out, err)


OK_CUBE = checked_text("cube.s")
cfg_case("empty.cfg", "An empty configuration loads, but names no token definition file.", b"", 1, token_defs_failed("", ""),
     err=diag("Vexlor.cfg", 0, 0, "no COREIDS line names the core token definition file"))
cfg_case("binary_junk.cfg", "Bytes that make no keyword: nothing is set.",
         bytes(range(256)).replace(b"\n", b"") * 2, 1, token_defs_failed("", ""),
     err=diag("Vexlor.cfg", 0, 0, "no COREIDS line names the core token definition file"))
cfg_case("lowercase_keys.cfg", "Keywords are case-sensitive.", b"coreids core_ids.h\nappids app_ids.h\n", 1,
         token_defs_failed("", ""),
     err=diag("Vexlor.cfg", 0, 0, "no COREIDS line names the core token definition file"))
cfg_case("core_missing_file.cfg", "COREIDS names a file that does not exist.",
         b"COREIDS nothere.h\nAPPIDS app_ids.h\n", 1, token_defs_failed("nothere.h", "app_ids.h"),
     err=diag("nothere.h", 0, 0, "cannot be opened"))
cfg_case("app_missing_file.cfg", "APPIDS names a file that does not exist.",
         b"COREIDS core_ids.h\nAPPIDS nothere.h\n", 1, token_defs_failed("core_ids.h", "nothere.h"),
     err=diag("nothere.h", 0, 0, "cannot be opened"))
cfg_case("coreidsx.cfg", "COREIDSX matches COREIDS as a prefix and the value is the word from the X on.",
         b"COREIDSX core_ids.h\nAPPIDS app_ids.h\n", 1, token_defs_failed("X", "app_ids.h"),
     err=diag("X", 0, 0, "cannot be opened"))
cfg_case("quoted_names.cfg", "Quotes are not removed from the names.",
         b"COREIDS \"core_ids.h\"\nAPPIDS app_ids.h\n", 1, token_defs_failed("\"core_ids.h\"", "app_ids.h"),
     err=diag("\"core_ids.h\"", 0, 0, "cannot be opened"))
cfg_case("only_file_ext.cfg", "FILE_EXT lines alone name no token definition file.",
         b"FILE_EXT *.s *.sb Shapes\nFILE_EXT *.ml \"\" Libraries\n", 1, token_defs_failed("", ""),
     err=diag("Vexlor.cfg", 0, 0, "no COREIDS line names the core token definition file"))
cfg_case("crlf.cfg", "CR LF line ends: the carriage return ends the names like a blank.",
         b"COREIDS core_ids.h\r\nAPPIDS app_ids.h\r\nFILE_EXT *.s *.sb Shapes\r\n", 0, OK_CUBE)
cfg_case("last_value_wins.cfg", "Of several COREIDS the last with a value wins.",
         b"COREIDS nothere.h\nCOREIDS core_ids.h\nCOREIDS\nAPPIDS app_ids.h\n", 0, OK_CUBE)
cfg_case("blanks_and_tabs.cfg", "Leading blanks and tabs before the keywords.",
         b"   \tCOREIDS \t core_ids.h   \n\t\tAPPIDS app_ids.h\n", 0, OK_CUBE)
cfg_case("long_comment.cfg", "A 300-byte line is read as two lines; neither holds a keyword.",
         b"#" * 299 + b"\nCOREIDS core_ids.h\nAPPIDS app_ids.h\n", 0, OK_CUBE)
cfg_case("long_line_split.cfg",
         "After 255 bytes a line is cut, and the rest is a line of its own: its COREIDS counts and "
         "replaces the first one.",
         b"COREIDS nothere.h\n" + b" " * 255 + b"COREIDS core_ids.h\nAPPIDS app_ids.h\n", 0, OK_CUBE)
cfg_case("bad_file_ext.cfg", "FILE_EXT lines with one pattern or a 40-character pattern are ignored.",
         b"FILE_EXT *.s\nFILE_EXT " + b"p" * 40 + b" *.x long\nFILE_EXT\nCOREIDS core_ids.h\nAPPIDS app_ids.h\n", 0,
         OK_CUBE)
cfg_case("nul_in_line.cfg", "A zero byte ends the line's text.",
         b"COREIDS core_ids.h\x00 APPIDS nothere.h\nAPPIDS app_ids.h\n", 0, OK_CUBE)
cfg_case("no_appids.cfg",
         "Without APPIDS only the core file is read, so Shape and Library are no token names and "
         "both grammars fail at their first ==> rule of an application token.",
         b"COREIDS core_ids.h\n", 1, grammar_error("library.bnf", 11) + grammar_error("shape.bnf", 17) + NO_GRAMMARS,
     err=diag("library.bnf", 11, 1, "unknown token name 'Library'") + diag("shape.bnf", 17, 1, "unknown token name 'Shape'"))
cfg_case("non_ascii_name.cfg",
         "A byte above 0x7F widens by sign extension (0xE9 to U+FFE9), and that name is no file: the "
         "open fails, and the console shows the unit in UTF-8.",
         b"COREIDS core\xe9.h\nAPPIDS app_ids.h\n", 1, token_defs_failed("core\xef\xbf\xa9.h", "app_ids.h"),
     err=diag("core\xef\xbf\xa9.h", 0, 0, "cannot be opened"))
case("cfg/missing", "No Vexlor.cfg in the working directory or beside the program.", [CUBE], ["cube.s", "/k"], 1,
     "Failed to load configuration file:\n%PROG%Vexlor.cfg\n", removes=("Vexlor.cfg",),
     err=diag("%PROG%Vexlor.cfg", 0, 0, "cannot be opened"))

# ================================================================ SIDN files
K = "sidn"
SIDN_OK = open(os.path.join(ROOT, "defs", "sidn.txt"), "rb").read()


def sidn_case(name, why, data, status, out, err=""):
    put(K, name, data)
    case("sidn/" + name[:-4], why, [(REL + "/sidn/" + name, "sidn.txt"), CUBE], ["cube.s", "/k"], status, out, err)


sidn_case("no_blank_before_equals.txt", "SIDN_CORE=0x0001: the name runs to the next blank, so no = follows it.",
          b"SIDN_CORE=0x0001\nSIDN_SHAPE = 0x0002\nSIDN_LIBRARY = 0x0003\n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 1, 17, "expected '=' after the range name"))
sidn_case("name_only.txt", "A name without = and value.", b"SIDN_CORE = 1\nSIDN_SHAPE\n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 2, 11, "expected '=' after the range name"))
sidn_case("no_value.txt", "An = without a value.", b"SIDN_CORE = 1\nSIDN_SHAPE = \n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 2, 13, "expected a hexadecimal number after '='"))
sidn_case("value_not_hex.txt", "zz is not hexadecimal.", b"SIDN_CORE = zz\n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 1, 13, "expected a hexadecimal number after '='"))
sidn_case("nine_digits.txt", "More than eight hexadecimal digits are refused.",
          b"SIDN_CORE = 0x000000001\nSIDN_SHAPE = 2\nSIDN_LIBRARY = 3\n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 1, 13, "hexadecimal number of more than 8 digits"))
sidn_case("long_comment_tail.txt",
          "A comment line longer than 255 bytes: its tail is read as a line of its own, begins with "
          "SIDN_ and is no definition.",
          b"//" + b" " * 253 + b"SIDN_TAIL\n" + SIDN_OK, 1, SIDN_FAILED,
     err=diag("sidn.txt", 1, 265, "expected '=' after the range name"))
sidn_case("junk_after_prefix.txt", "SIDN_ followed by bytes that are no definition.",
          SIDN_OK + b"SIDN_\xff\xfe\x01\n", 1, SIDN_FAILED,
     err=diag("sidn.txt", 7, 9, "expected '=' after the range name"))
sidn_case("empty.txt", "An empty SIDN file loads, but the token definitions then name unknown SIDN names.",
          b"", 1, token_defs_failed(),
     err=diag("core_ids.h", 4, 21, "range name 'SIDN_CORE' is not defined in the SIDN file"))
sidn_case("commented_core.txt", "A definition behind // is ignored, so SIDN_CORE is unknown.",
          SIDN_OK.replace(b"\tSIDN_CORE", b"//\tSIDN_CORE"), 1, token_defs_failed(),
     err=diag("core_ids.h", 4, 21, "range name 'SIDN_CORE' is not defined in the SIDN file"))
sidn_case("one_line_enum.txt", "A one-line enumeration defines its first name only.",
          b"enum { SIDN_CORE = 0x0001, SIDN_SHAPE = 0x0002, SIDN_LIBRARY = 0x0003 };\n", 1, token_defs_failed(),
     err=diag("app_ids.h", 4, 21, "range name 'SIDN_SHAPE' is not defined in the SIDN file"))
sidn_case("lowercase_name.txt", "sidn_shape does not begin with SIDN_: the line is ignored.",
          b"SIDN_CORE = 1\nsidn_shape = 2\nSIDN_LIBRARY = 3\n", 1, token_defs_failed(),
     err=diag("app_ids.h", 4, 21, "range name 'SIDN_SHAPE' is not defined in the SIDN file"))
sidn_case("capital_enum.txt", "ENUM is not the keyword, and the line is ignored; the definitions below it read.",
          SIDN_OK.replace(b"enum", b"ENUM"), 0, OK_CUBE)
sidn_case("crlf.txt", "CR LF line ends.", SIDN_OK.replace(b"\n", b"\r\n"), 0, OK_CUBE)
sidn_case("wide_value.txt", "A value wider than 16 bits: only its low 16 bits make the ids.",
          SIDN_OK.replace(b"0x0001", b"0x12340001"), 0, OK_CUBE)
sidn_case("in_block_comment.txt", "A definition inside a block comment is still read; the later one wins.",
          SIDN_OK + b"/*\nSIDN_CORE = 0x0009\n*/\n", 0, OK_CUBE)

# ================================================================ token definition files
K = "tokens"
CORE_OK = open(os.path.join(ROOT, "defs", "core_ids.h"), "rb").read()
APP_OK = open(os.path.join(ROOT, "defs", "app_ids.h"), "rb").read()


def tokens_case(name, why, data, status, out, target="core_ids.h", extra=(), err=""):
    put(K, name, data)
    files = [(REL + "/tokens/" + name, target), CUBE] + list(extra)
    case("tokens/" + name[:-2], why, files, ["cube.s", "/k"], status, out, err)


tokens_case("unknown_sidn.h", "SID_DEFINE_FIRST_ID names a SIDN name that is not defined.",
            CORE_OK.replace(b"SIDN_CORE)", b"SIDN_NOPE)"), 1, token_defs_failed(),
     err=diag("core_ids.h", 4, 21, "range name 'SIDN_NOPE' is not defined in the SIDN file"))
tokens_case("first_id_no_paren.h", "SID_DEFINE_FIRST_ID without (.",
            CORE_OK.replace(b"SID_DEFINE_FIRST_ID(SIDN_CORE)", b"SID_DEFINE_FIRST_ID SIDN_CORE"), 1, token_defs_failed(),
     err=diag("core_ids.h", 4, 21, "expected '(' after SID_DEFINE_FIRST_ID"))
tokens_case("siddef_no_paren.h", "SIDDEF without (.", CORE_OK + b"SIDDEF SID_X, \"X\"\n", 1, token_defs_failed(),
     err=diag("core_ids.h", 15, 8, "expected '(' after SIDDEF"))
tokens_case("siddef_no_comma.h", "SIDDEF without the comma after the identifier.",
            CORE_OK + b"SIDDEF(SID_X \"X\")\n", 1, token_defs_failed(),
     err=diag("core_ids.h", 15, 14, "expected ',' after the identifier"))
tokens_case("siddef_no_quote.h", "SIDDEF whose name is not quoted.", CORE_OK + b"SIDDEF(SID_X, X)\n", 1,
            token_defs_failed(),
     err=diag("core_ids.h", 15, 15, "expected the token name in double quotes"))
tokens_case("prefix_no_paren.h", "SID_DECLARE_STR_PREFIX without (.",
            b"SID_DECLARE_STR_PREFIX SIDSTR_CORE_\n" + CORE_OK, 1, token_defs_failed(),
     err=diag("core_ids.h", 1, 24, "expected '(' after SID_DECLARE_STR_PREFIX"))
tokens_case("define_siddef_macro.h",
            "A line that defines the SIDDEF macro is read as a SIDDEF, and it has no quoted name.",
            b"#define SIDDEF(id, name) name\n" + CORE_OK, 1, token_defs_failed(),
     err=diag("core_ids.h", 1, 20, "expected the token name in double quotes"))
tokens_case("include_missing.h", "An include of a file that does not exist.",
            CORE_OK + b"#include \"nothere.h\"\n", 1, token_defs_failed(),
     err=diag("core_ids.h", 15, 10, "cannot open the included file 'nothere.h'"))
tokens_case("include_angle.h", "An include in angle brackets keeps them in the name: <core_ids.h> does not exist.",
            b"#include <sidn.txt>\n" + CORE_OK, 1, token_defs_failed(),
     err=diag("core_ids.h", 1, 10, "cannot open the included file '<sidn.txt>'"))
tokens_case("include_self.h", "A file that includes itself fails at the depth limit.",
            CORE_OK + b"#include \"core_ids.h\"\n", 1, token_defs_failed(),
     err=diag("core_ids.h", 15, 10, "includes nested more than 8 deep"))
chain = []
for i in range(1, 9):
    nm = "chain%d.h" % i
    nxt = b"#include \"chain%d.h\"\n" % (i + 1) if i < 8 else b"SIDDEF(SID_END, \"End\")\n"
    put(K, nm, b"// link %d of an include chain\n" % i + nxt)
    chain.append((REL + "/tokens/" + nm, nm))
tokens_case("chain_depth_8.h",
            "The named file and seven nested includes (chain2.h to chain8.h) load.",
            CORE_OK + b"#include \"chain2.h\"\n", 0, OK_CUBE, extra=chain)
tokens_case("chain_depth_9.h", "The named file and eight nested includes (chain1.h to chain8.h) are one too many.",
            CORE_OK + b"#include \"chain1.h\"\n", 1, token_defs_failed(), extra=chain,
     err=diag("chain7.h", 2, 10, "includes nested more than 8 deep"))
tokens_case("no_shape_token.h",
            "The application file without Shape: shape.bnf fails at its Shape ==> rule (line 17), so "
            "no grammar reads cube.s.",
            APP_OK.replace(b"SIDDEF(SID_SHAPE, \"Shape\")\n", b""), 1,
            grammar_error("shape.bnf", 17) + NO_GRAMMAR + failed_load("cube.s"), target="app_ids.h",
     err=diag("shape.bnf", 17, 1, "unknown token name 'Shape'")
     + file_err("cube.s", "no grammar is loaded for type 's' version '1'; the grammars loaded read type 'm' version '1'"))
tokens_case("empty_core.h",
            "An empty core file loads, but Material is then no token: library.bnf fails on line 13 "
            "and shape.bnf on line 27.",
            b"", 1, grammar_error("library.bnf", 13) + grammar_error("shape.bnf", 27) + NO_GRAMMARS,
     err=diag("library.bnf", 13, 1, "unknown token name 'Material'") + diag("shape.bnf", 27, 1, "unknown token name 'Material'"))
tokens_case("binary_junk.h", "Bytes that make no keyword: the same as an empty core file.",
            bytes(range(1, 256)) * 3, 1,
            grammar_error("library.bnf", 13) + grammar_error("shape.bnf", 27) + NO_GRAMMARS,
     err=diag("library.bnf", 13, 1, "unknown token name 'Material'") + diag("shape.bnf", 27, 1, "unknown token name 'Material'"))
tokens_case("names_in_capitals.h", "Token names are found without regard to case: MATERIAL serves Material.",
            CORE_OK.replace(b"\"Material\"", b"\"MATERIAL\""), 0, OK_CUBE)
tokens_case("name_with_blank.h", "A name ends at its first blank: \"Colour space\" is Colour.",
            CORE_OK.replace(b"\"Colour\"", b"\"Colour space\""), 0, OK_CUBE)
tokens_case("siddef_before_range.h", "A SIDDEF before any range start takes its id from a running id of 0.",
            b"SIDDEF(SID_EARLY, \"Early\")\n" + CORE_OK, 0, OK_CUBE)
tokens_case("unrelated_lines.h", "Declarations, comments and other preprocessor lines are ignored.",
            b"#pragma once\n/* SIDDEF in a comment line that does not begin with it */\nint x;\n#define FOO 1\n"
            + CORE_OK, 0, OK_CUBE)

# ================================================================ limits: deep nesting
K = "binary"
NEST = b"FILE_TYPE = \"n\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Shape .\nShape ==> [ :Shape ] .\n"
nest_bnf = put("grammar", "nest.bnf", b"\xff\xfe" + NEST.decode().replace("\n", "\r\n").encode("utf-16-le"))


def nested_binary(depth):
    body = b""
    for _ in range(depth):
        body = block(SHAPE, body)
    return body


n = "nested_400.sb"
case("binary/nested_400", "Shape blocks nested 400 deep under a grammar that allows it read.",
     [(put(K, n, binary_file(nested_binary(400), type_version="n1")), n), (nest_bnf, "nest.bnf")], [n, "/k"], 0,
     checked_binary(n))
n = "nested_5000.sb"
case("binary/nested_5000",
     "Nested 5000 deep they pass the readers' nesting limit: the read fails instead of "
     "exhausting the stack, back behind the body header.",
     [(put(K, n, binary_file(nested_binary(5000), type_version="n1")), n), (nest_bnf, "nest.bnf")], [n, "/k"], 1,
     read_error(n, 16),
     err=bin_err('nested_5000.sb', 9016, 'nested deeper than 2000 grammar levels', path='Shape / Shape / ... (995 more) / Shape / Shape / Shape'))
K = "text"
n = "nested_400.s"
case("text/nested_400", "Shape blocks nested 400 deep in a text body read.",
     [(put(K, n, text_file("Shape ( " * 400 + ") " * 400, type_version="n1")), n), (nest_bnf, "nest.bnf")],
     [n, "/k"], 0, checked_text(n))
n = "nested_5000.s"
case("text/nested_5000",
     "Nested 5000 deep, all on the body's first line: past the nesting limit the read fails, on line 1.",
     [(put(K, n, text_file("Shape ( " * 5000 + ") " * 5000, type_version="n1")), n), (nest_bnf, "nest.bnf")],
     [n, "/k"], 1, read_error(n, 1),
     err=text_err('nested_5000.s', 1, 8017, 'nested deeper than 2000 grammar levels', '...Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( Shape ( ...', at=83))

# ================================================================ limits: backtracking
DOUBLING = ["FILE_TYPE = \"g\" .", "FILE_TYPE_VER = \"1\" .", "FILE = :R0 z ."]
for k in range(40):
    DOUBLING.append("R%d = [ :R%d ] [ :R%d ] ." % (k, k + 1, k + 1))
DOUBLING.append("R40 = [ :uint ] .")
doubling_bnf = put("grammar", "doubling.bnf", grammar("\n".join(DOUBLING) + "\n"))
# Each R<k> holds two optional parts that begin alike: the grammar in use is warned about.
DOUBLING_WARNINGS = "".join(
    "doubling.bnf:%d:1: warning: in rule 'R%d', an optional part and what follows it begin the same way in a "
    "binary file: the binary reader always takes the part\n" % (k + 4, k) for k in range(40))
n = "doubling.g"
case("text/too_many_attempts",
     "Under a grammar whose 40 rules each try the next one twice, matching z would take 2^40 "
     "attempts: the read gives up at its attempt budget. Only z on line 1 was ever examined.",
     [(put("text", n, text_file("z", type_version="g1")), n), (doubling_bnf, "doubling.bnf")], [n, "/k"], 1,
     read_error(n, 1),
     DOUBLING_WARNINGS + text_err('doubling.g', 1, 17, "expected an unsigned number, found 'z'", 'TORV0g1t        z',
                                  note='the read gave up after too many attempts'))
n = "doubling.gb"
case("binary/too_many_attempts", "The same with a binary body: the read gives up and ends behind the body header.",
     [(put("binary", n, binary_file(b"\x00\x00", type_version="g1")), n), (doubling_bnf, "doubling.bnf")],
     [n, "/k"], 1, read_error(n, 16),
     DOUBLING_WARNINGS + bin_err('doubling.gb', 16, 'expected an unsigned number, found end of file after 00 00',
                                 note='the read gave up after too many attempts'))

# ================================================================ write everything
with open(os.path.join(HERE, "cases.txt"), "w", newline="\n") as f:
    f.write("# Written by make_corpus.py: the bad-input cases, run by tests/e2e/bad_input_test.cpp.\n")
    for name, why, files, removes, args, status, out, err in CASES:
        f.write("\ncase %s\n" % name)
        f.write("# %s\n" % why)
        for r in removes:
            f.write("remove %s\n" % r)
        for src, dst in files:
            f.write("put %s %s\n" % (src, dst))
        f.write("args %s\n" % " ".join(args))
        f.write("status %d\n" % status)
        f.write("out %s\n" % esc(out))
        if err:
            f.write("err %s\n" % esc(err))
print("%d cases, %d files" % (len(CASES), len(WRITTEN)))
