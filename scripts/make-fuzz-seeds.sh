#!/usr/bin/env bash
# Writes the small seed corpus of each fuzz target into fuzz/seeds/<target>/
# (kept in the repository; run again after changing this script). A readers
# seed is one byte choosing the reader (see fuzz/readers.cpp) and the file; a
# pdf seed is a file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
command -v python3 >/dev/null 2>&1 || {
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq python3-minimal >/dev/null
}
python3 - "$root/fuzz/seeds" <<'PY'
import io, os, shutil, sys, zipfile

out = sys.argv[1]
# The reader each first byte picks, as fuzz/readers.cpp numbers them.
TEXT, XML_FILE, HTML, XML_PART, RTF, EMAIL, DOCX, XLSX, PPTX, ODF = range(10)

def package(members):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        for name, body in members:
            z.writestr(name, body)
    return data.getvalue()

core = '<cp:coreProperties xmlns:dc="x"><dc:title>Quarterly &amp; budget</dc:title></cp:coreProperties>'
readers = {
    "text-utf8": (TEXT, "Budget r\u00e9sum\u00e9 \u65e5\u672c\u8a9e\n".encode()),
    "text-1252": (TEXT, "Caf\u00e9 na\u00efve \u20ac".encode("cp1252")),
    "text-utf16": (TEXT, "\ufeffBudget report".encode("utf-16-le")),
    "text-utf16be": (TEXT, "Budget report plain".encode("utf-16-be")),
    "xml-file": (XML_FILE, b'<?xml version="1.0"?><a x="1>2"><b>words</b><![CDATA[raw]]></a>'),
    "html": (HTML, b"<html><head><title>T &amp; t</title><style>p{}</style></head><body><script>if(a<b)</script>"
                   b"<p>caf&eacute; &#233;&#x20AC; &bogus; &#xD800;</p><!-- c --></body></html>"),
    "xml-part": (XML_PART, b'<w:document><w:p><w:r><w:t>Hel</w:t></w:r><w:r><w:t>lo</w:t></w:r></w:p>'
                           b'<w:instrText>HIDDEN</w:instrText><w:tab/>x&lt;y</w:document>'),
    "rtf": (RTF, rb"{\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}}{\info{\title Report}}\uc1 caf\'e9 \u8364? "
                 rb"\u-10179?\u-8694? {\*\unknown skip} \par end}"),
    "email": (EMAIL, b"Subject: =?utf-8?B?QnVkZ2V0?=\r\nFrom: a@b\r\nContent-Type: multipart/alternative; "
                     b"boundary=\"X\"\r\n\r\n--X\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
                     b"Content-Transfer-Encoding: quoted-printable\r\n\r\ncaf=E9\r\n--X\r\nContent-Type: text/html\r\n"
                     b"Content-Transfer-Encoding: base64\r\n\r\nPGI+aGk8L2I+\r\n--X--\r\n"),
    "docx": (DOCX, package([("docProps/core.xml", core),
                            ("word/document.xml", "<w:document><w:p><w:t>Hello world</w:t></w:p></w:document>")])),
    "xlsx": (XLSX, package([("xl/workbook.xml", "<workbook/>"),
                            ("xl/sharedStrings.xml", "<sst><si><t>Cell one</t></si><si><t>two</t></si></sst>")])),
    "pptx": (PPTX, package([("ppt/slides/slide1.xml", "<p:sld><a:t>Slide one</a:t></p:sld>"),
                            ("ppt/slides/slide2.xml", "<p:sld><a:t>Slide two</a:t></p:sld>"),
                            ("ppt/notesSlides/notesSlide1.xml", "<p:notes><a:t>Notes</a:t></p:notes>")])),
    "odt": (ODF, package([("META-INF/manifest.xml", "<manifest/>"),
                          ("meta.xml", "<office:meta><dc:title>Open</dc:title></office:meta>"),
                          ("content.xml", "<office:text><text:p>Open <text:s/>document</text:p></office:text>")])),
}
queries = {
    "words": "budget report", "phrase": '"annual report" -draft', "or": "a OR b | (c d) -(e OR f)",
    "operators": 'name:"my file" path:docs folder:"C:\\Dir" ext:.pdf filetype:doc kind:document',
    "ranges": "modified:2026-01-01..2026-03-31 created:>=2025-12-01 size:>10MB size:1kb..5kb modified:lastweek",
    "patterns": "name:report-202?.* name:budget*", "malformed": '(a "b -) OR size:>>1 modified:x name:',
    "nested": "(" * 20 + "x" + ")" * 20, "minus": "-" * 40 + "x", "unspaced": "\u6771\u4eac\u90fd report",
}
shutil.rmtree(out, ignore_errors=True)
for target, seeds in (("readers", readers), ("query", queries)):
    os.makedirs(os.path.join(out, target))
    for name, seed in seeds.items():
        data = bytes([seed[0]]) + seed[1] if target == "readers" else seed.encode()
        with open(os.path.join(out, target, name), "wb") as f:
            f.write(data)
PY
# Office 97-2003 streams as tests/service/CompoundDocumentTest.cpp writes
# them; the first byte picks the reader (see fuzz/office.cpp).
python3 - "$root/fuzz/seeds/office" <<'PY'
import os, struct, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
def u16(text): return text.encode("utf-16-le")
# Word: header, an 8-bit piece with a field and a UTF-16 piece, the piece table after them.
first = b"Quarterly r\xe9sum\xe9 \x13 HYPERLINK \"x\" \x14link text\x15 mulberry\r"
second = u16("\u65e5\u672c\u8a9e orchard\r")
fib = bytearray(1024)
fib[0:4] = b"\xec\xa5\xc1\x00"; fib[32] = 14; fib[62] = 22; fib[152] = 93
doc = bytes(fib) + first
doc += b"\0" * (2048 - len(doc)) + second
pieces = struct.pack("<III", 0, len(first), len(first) + len(second) // 2)
pieces += struct.pack("<HIH", 0, (1024 * 2) | 0x40000000, 0) + struct.pack("<HIH", 0, 2048, 0)
table = b"\x02" + struct.pack("<I", len(pieces)) + pieces
doc = bytearray(doc + table)
doc[0x1A2:0x1AA] = struct.pack("<II", len(doc) - len(table), len(table))
def record(kind, payload): return struct.pack("<HH", kind, len(payload)) + payload
bof = struct.pack("<HHIII", 0x600, 5, 0, 0, 0)
sst = struct.pack("<II", 3, 3) + struct.pack("<HB", 9, 0) + b"nectarine" + struct.pack("<HB", 4, 0) + b"caf\xe9"
sst += struct.pack("<HB", 8, 0) + b"plum"
xls = (record(0x809, bof) + record(0x85, struct.pack("<IBBBB", 0, 0, 0, 6, 0) + b"Ledger") + record(0xFC, sst)
       + record(0x3C, b"\x01" + u16("tree")) + record(0xA, b"") + record(0x809, bof)
       + record(0x203, b"\0" * 6 + struct.pack("<d", 1234.5)) + record(0x27E, b"\0" * 6 + struct.pack("<I", (42 << 2) | 2))
       + record(0xBD, b"\0" * 4 + struct.pack("<HI", 0, 7 << 2 | 2) * 2 + b"\0\0")
       + record(0x204, b"\0" * 6 + struct.pack("<HB", 6, 0) + b"quince") + record(0xA, b""))
def atom(version, kind, body): return struct.pack("<HHI", version, kind, len(body)) + body
ppt = atom(0xF, 0x3E8, atom(0, 0x3E9, b"\0" * 40) + atom(0xF, 0xFF0, atom(0, 0xFA0, u16("Persimmon grove"))
                                                          + atom(0, 0xFA8, b"speaker notes")))
for name, kind, data in (("doc", 0, bytes(doc)), ("xls", 1, xls), ("ppt", 2, ppt)):
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([kind]) + data)
PY
# The PDF reader's seeds are the test suite's samples, made by real tools
# (tests/service/samples/make-pdf-samples.sh).
mkdir -p "$root/fuzz/seeds/pdf"
cp "$root"/tests/service/samples/*.pdf "$root/fuzz/seeds/pdf/"
echo "Seeds written to fuzz/seeds/"
