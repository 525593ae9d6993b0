#!/usr/bin/env bash
# Makes the PDF samples the service tests read, with real tools: reportlab,
# ghostscript's ps2pdf and qpdf (Debian: python3-reportlab ghostscript qpdf).
# The samples are committed; run this again only to change them. Debian's own
# python3 is used, where reportlab is installed.
set -euo pipefail
cd "$(dirname "$0")"
for tool in qpdf ps2pdf /usr/bin/python3; do command -v $tool >/dev/null || { echo "needs $tool" >&2; exit 1; }; done

# A word processor's kind of file: a title, Helvetica, a TrueType font with
# accents, two pages, compressed streams.
/usr/bin/python3 - <<'PY'
from reportlab.pdfgen import canvas
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
pdfmetrics.registerFont(TTFont('DejaVu', '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'))
c = canvas.Canvas('reportlab.pdf', pageCompression=1)
c.setTitle('Orchard ledger')
c.setFont('Helvetica', 12)
c.drawString(72, 720, 'The quince harvest was early this year.')
c.drawString(72, 700, 'Kerned words stay whole: WAVE Towers.')
c.setFont('DejaVu', 12)
c.drawString(72, 680, 'Caf\u00e9 cr\u00e8me and \u00fcber-ripe pears, 20\u20ac each.')
c.showPage()
c.setFont('Helvetica-Bold', 14)
c.drawString(72, 720, 'Second page: the persimmon grove.')
c.save()
PY

# A PostScript converter's kind: Type 1 fonts as ghostscript embeds them,
# words placed one by one, and the title from a pdfmark.
cat > ps2pdf.ps <<'PS'
%!PS
[ /Title (Pruning notes) /DOCINFO pdfmark
/Times-Roman findfont 12 scalefont setfont
72 720 moveto (Tamarind) show 6 0 rmoveto (branches) show
72 700 moveto (hazelnut) show
/Helvetica findfont 10 scalefont setfont
72 680 moveto (ligatures: official) show
showpage
PS
ps2pdf -dPDFSETTINGS=/default ps2pdf.ps ps2pdf.pdf
rm -f ps2pdf.ps

# Cross-reference streams and object streams, and the encryptions a document
# that only restricts printing has: RC4 40 and 128 bits, AES-128 and AES-256.
qpdf --object-streams=generate reportlab.pdf objstm.pdf
qpdf --allow-weak-crypto --encrypt "" owner 40 -- reportlab.pdf rc4-40.pdf
qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n -- reportlab.pdf rc4-128.pdf
qpdf --encrypt "" owner 128 --use-aes=y -- ps2pdf.pdf aes-128.pdf
qpdf --encrypt "" owner 256 -- objstm.pdf aes-256.pdf
qpdf --allow-weak-crypto --encrypt "" owner 256 --force-R5 -- reportlab.pdf aes-256-r5.pdf
qpdf --encrypt secret owner 128 --use-aes=y -- reportlab.pdf password.pdf

/usr/bin/python3 - <<'PY'
import re
import zlib

# An incremental update: the first page's words replaced; the last trailer wins.
data = open('reportlab.pdf', 'rb').read()
startxref = int(data[data.rindex(b'startxref') + 9:].split()[0])
trailer = data[data.rindex(b'trailer'):data.rindex(b'startxref')]
size = int(trailer.split(b'/Size')[1].split()[0])
root = trailer.split(b'/Root')[1].split(b'R')[0].strip()
info = trailer.split(b'/Info')[1].split(b'R')[0].strip()
first = re.search(rb'/Kids \[\s*(\d+) 0 R', data).group(1).decode()
page = re.search(rb'\n' + first.encode() + rb' 0 obj\s*(<<.*?>>)\s*endobj', data, re.S).group(1)
content = b'BT /F1 12 Tf 72 720 Td (Revised: the walnut harvest.) Tj ET'
new = size
body = b''
offsets = {}
def add(number, text):
    global body
    offsets[number] = len(data) + len(body)
    body += b'%d 0 obj\n' % number + text + b'\nendobj\n'
add(new, b'<< /Length %d >>\nstream\n' % len(content) + content + b'\nendstream')
page = re.sub(rb'/Contents \d+ 0 R', b'/Contents %d 0 R' % new, page)
add(int(first), page)
xref = len(data) + len(body)
table = b'xref\n0 1\n0000000000 65535 f \n'
for number in sorted(offsets):
    table += b'%d 1\n%010d 00000 n \n' % (number, offsets[number])
table += b'trailer\n<< /Size %d /Root %s R /Info %s R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n' % (new + 1, root, info, startxref, xref)
open('update.pdf', 'wb').write(data + body + table)

def pdf(objects, trailer=b'', xref=True):
    out = b'%PDF-1.7\n%\xe2\xe3\xcf\xd3\n'
    offsets = []
    for i, o in enumerate(objects, 1):
        offsets.append(len(out))
        out += b'%d 0 obj\n' % i + o + b'\nendobj\n'
    start = len(out)
    if xref:
        out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objects) + 1)
        for o in offsets: out += b'%010d 00000 n \n' % o
    out += b'trailer\n<< /Size %d /Root 1 0 R ' % (len(objects) + 1) + trailer + b'>>\nstartxref\n%d\n%%%%EOF\n' % start
    return out

def stream(data, extra=b''):
    return b'<< /Length %d ' % len(data) + extra + b'>>\nstream\n' + data + b'\nendstream'

# A Type0 font with Identity-H codes and a ToUnicode map, as office suites
# write CJK and symbol text: two-byte codes, bfchar and bfrange.
cmap = b'''/CIDInit /ProcSet findresource begin 12 dict begin begincmap
/CMapName /Adobe-Identity-UCS def /CMapType 2 def
1 begincodespacerange <0000> <FFFF> endcodespacerange
2 beginbfchar <0003> <0020> <0010> <65E5> endbfchar
1 beginbfrange <0020> <0039> <0061> endbfrange
1 beginbfrange <0040> <0041> [<672C> <8A9E>] endbfrange
endcmap CMapName currentdict /CMap defineresource pop end end'''
text = b'BT /F1 12 Tf 72 720 Td <0020002F002F002B0024000300360020002B002D00340033> Tj 0 -20 Td <001000400041> Tj ET'
objects = [b'<< /Type /Catalog /Pages 2 0 R >>',
           b'<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << /Font << /F1 5 0 R >> >> >>',
           b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>',
           stream(zlib.compress(text), b'/Filter /FlateDecode '),
           b'<< /Type /Font /Subtype /Type0 /BaseFont /Ideo /Encoding /Identity-H /DescendantFonts [6 0 R] /ToUnicode 7 0 R >>',
           b'<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Ideo /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 1000 /W [3 [500] 32 57 500] >>',
           stream(cmap)]
open('type0.pdf', 'wb').write(pdf(objects, b'/Info << /Title <FEFF00540079007000650020007A00650072006F> >> '))

# Simple fonts and the filters: kerning inside a word and gaps between words,
# encodings with /Differences by glyph name, a symbol font with no way to
# Unicode, the ' and " operators, a form drawn by the page, and streams through
# LZW, RunLength, ASCIIHex and ASCII85 chains.
def lzw(data):
    table = {bytes([i]): i for i in range(256)}
    codes, word, following = [256], b'', 258
    for byte in data:
        joined = word + bytes([byte])
        if joined in table:
            word = joined
            continue
        codes.append(table[word])
        table[joined] = following
        following += 1
        word = bytes([byte])
    codes += [table[word], 257]
    assert following < 511
    bits = ''.join(format(c, '09b') for c in codes)
    bits += '0' * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))

def runlength(data):
    out = b''
    for i in range(0, len(data), 100):
        chunk = data[i:i + 100]
        out += bytes([len(chunk) - 1]) + chunk
    return out + b'\x80'

import base64
page = (b'BT /F1 12 Tf 72 720 Td [(Mul) -30 (berry) -600 (jam)] TJ '
        b'14 TL (dew\\(drop\\)) \' 2 0 (r\\216sum\\216) " '
        b'0 -20 Td /F2 12 Tf (Secret) Tj /F3 12 Tf 0 -20 Td (\\101\\102 \\103) Tj ET /Fm Do')
form = b'BT /F1 10 Tf 72 500 Td (quandong) Tj ET'
objects = [b'<< /Type /Catalog /Pages 2 0 R >>',
           b'<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << /Font << /F1 5 0 R /F2 6 0 R /F3 8 0 R >> /XObject << /Fm 9 0 R >> >> >>',
           b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>',
           stream(base64.a85encode(lzw(page), adobe=True)[2:], b'/Filter [/ASCII85Decode /LZWDecode] '),
           b'<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /MacRomanEncoding /FirstChar 32 /LastChar 126 /Widths 10 0 R >>',
           b'<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Wingbats /FontDescriptor 7 0 R >>',
           b'<< /Type /FontDescriptor /FontName /ABCDEF+Wingbats /Flags 4 >>',
           b'<< /Type /Font /Subtype /Type1 /BaseFont /XYZ+Custom /Encoding << /BaseEncoding /StandardEncoding /Differences [65 /uni00C5 /f_i 67 /u1F34E] >> >>',
           stream(runlength(form).hex().encode() + b'>', b'/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Filter [/AHx /RL] '),
           b'[' + b' '.join(b'%d' % w for w in [250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278] + [500] * 79) + b']']
objects.append(b'<< /Title (Jam \\205 jelly) >>')
open('fonts.pdf', 'wb').write(pdf(objects, b'/Info 11 0 R '))

# Hostile files. A stream that inflates without end (well past the budget):
# zeros deflated twice, in a small file.
zeros = zlib.compressobj(9)
once = b''.join(zeros.compress(b'\0' * (1 << 24)) for _ in range(40)) + zeros.flush()
twice = zlib.compress(once, 9)
objects = [b'<< /Type /Catalog /Pages 2 0 R >>',
           b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
           b'<< /Type /Page /Parent 2 0 R /Contents [5 0 R 4 0 R] /Resources << /Font << /F1 6 0 R >> >> >>',
           stream(twice, b'/Filter [/FlateDecode /FlateDecode] '),
           stream(b'BT /F1 12 Tf (bomb) Tj ET'),
           b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>']
open('bomb.pdf', 'wb').write(pdf(objects))

# Cycles: a page tree whose kid is its own parent, a form that draws itself,
# a /Length that refers to itself, a reference to a reference to itself.
form = b'q /Fm1 Do Q BT /F1 12 Tf (cyclic) Tj ET'
objects = [b'<< /Type /Catalog /Pages 2 0 R >>',
           b'<< /Type /Pages /Kids [3 0 R 2 0 R 8 0 R] /Count 1 >>',
           b'<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources 5 0 R >>',
           b'<< /Length 4 0 R >>\nstream\nBT /F1 12 Tf (loop) Tj ET /Fm1 Do\nendstream',
           b'<< /Font << /F1 6 0 R >> /XObject << /Fm1 7 0 R >> >>',
           b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>',
           stream(form, b'/Type /XObject /Subtype /Form /BBox [0 0 1 1] /Resources 5 0 R '),
           b'9 0 R', b'8 0 R']
open('cycles.pdf', 'wb').write(pdf(objects))

# A damaged cross-reference: every offset wrong and lengths that lie; the
# repair scan finds the objects.
objects = [b'<< /Type /Catalog /Pages 2 0 R >>',
           b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
           b'<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>',
           b'<< /Length 99999999 >>\nstream\nBT /F1 12 Tf (salvaged) Tj ( apricot) Tj ET\nendstream',
           b'<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>']
broken = pdf(objects)
head, tail = broken.split(b'xref\n', 1)
tail = re.sub(rb'\d{10} 00000 n', b'0000000007 00000 n', tail)
open('repair.pdf', 'wb').write(head + b'xref\n' + tail)
PY
ls -l *.pdf
