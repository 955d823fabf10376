#!/usr/bin/env python3
"""Writes the seed corpus for the settings fuzzer into corpus/.

The files are kept in the repository and replayed as regression tests; this
script only documents how the generated ones were made and remakes them.
Inputs the fuzzer found are added to corpus/ by hand and are not listed here.
Every file stays below 200 KB so that the replay stays quick.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
LIMIT = 200 * 1024

EIGHT = (b"[badgelink]=https://badges.example.invalid/b?id=7\r\n"
         b"[linkstart]=https://example.invalid/start\r\n"
         b"[linkclose]=\r\n"
         b"[ontop]=True\r\n"
         b"[taskbar]=False\r\n"
         b"[startwin]=True\r\n"
         b"[height]=8835\r\n"
         b"[width]=6330.5\r\n")
SIX = b"\r\n".join(EIGHT.split(b"\r\n")[:6]) + b"\r\n"
LINES = EIGHT.split(b"\r\n")[:8]
TAGS = [b"[badgelink]=", b"[linkstart]=", b"[linkclose]=", b"[ontop]=",
        b"[taskbar]=", b"[startwin]=", b"[height]=", b"[width]="]


def crlf(*lines):
    return b"".join(line + b"\r\n" for line in lines)


def state(flags, height, width, badge=b"", start=b"", close=b""):
    """The bytes the fuzz target cuts into a SettingsState to write and read
    back: a flag byte, the two sizes as little-endian floats, the lengths of
    the first two links, then the links."""
    return (bytes([flags]) + struct.pack("<ff", height, width) + bytes([len(badge), len(start)])
            + badge + start + close)


ALL_FLAGS = 0x0F  # always on top, taskbar, start with Windows, has a size
NAN = float("nan")
INF = float("inf")

FILES = {
    # Well-formed files and their endings.
    "valid-eight-lines-crlf.ini": EIGHT,
    "valid-six-lines-crlf-no-sizes.ini": SIX,
    "valid-eight-lines-no-final-crlf.ini": EIGHT[:-2],
    "valid-eight-lines-lf-only-reads-as-one-line.ini": b"\n".join(LINES) + b"\n",
    "valid-eight-lines-lone-cr-endings.ini": b"\r".join(LINES) + b"\r",
    "valid-eight-lines-lf-cr-endings.ini": b"\n\r".join(LINES) + b"\n\r",
    "mixed-endings-crlf-cr-lf.ini": (LINES[0] + b"\r\n" + LINES[1] + b"\r" + LINES[2] + b"\n"
                                     + LINES[3] + b"\r\r\n" + LINES[4] + b"\n\r\n" + LINES[5]),
    "blank-lines-crlf-crlf-between.ini": b"\r\n\r\n" + b"\r\n\r\n\r\n".join(LINES) + b"\r\n\r\n",
    "trailing-crlf-crlf-leaves-cr-on-last-link.ini": b"[badgelink]=a\r\n\r\n",
    "trailing-cr-lf-cr-lf-each-once.ini": b"[linkclose]=z\r\n\r\n\r\n",
    "trailing-lf-cr.ini": b"[linkstart]=s\n\r",
    "cr-runs-and-lf-runs.ini": b"\r\r\r[ontop]=True\r\r\r\n\n\n[taskbar]=True\n\n\r\r\n",
    "blanks-around-whole-file.ini": b"     " + EIGHT + b"     ",
    "tab-at-end-of-file-stays-in-link.ini": b"\t[badgelink]=a\t",
    "blanks-and-tabs-around-values.ini": crlf(b"  [ontop]=  True  ", b"\t[taskbar]=\tTrue\t",
                                             b"[startwin]= False ", b" [height]= 7200 ",
                                             b"[width]=\t6000\t"),

    # Degenerate files.
    "empty.ini": b"",
    "only-blanks.ini": b" " * 64,
    "only-tabs-and-blanks.ini": b" \t \t\t  \t",
    "only-crlf.ini": b"\r\n",
    "only-crlf-crlf.ini": b"\r\n\r\n",
    "only-cr.ini": b"\r",
    "only-lf.ini": b"\n",
    "only-lf-cr.ini": b"\n\r",
    "only-nul-bytes.ini": b"\0" * 64,
    "only-utf8-bom-decodes-to-no-text.ini": b"\xef\xbb\xbf",

    # Bytes that are not clean text.
    "binary-all-bytes-0-to-255.bin": bytes(range(256)),
    "binary-all-bytes-after-each-tag.bin": b"".join(t + bytes(range(256)) + b"\r\n" for t in TAGS),
    "nul-bytes-in-links-and-numbers.ini": crlf(b"[badgelink]=a\0b\0c", b"[linkstart]=\0",
                                               b"[height]=72\x0000", b"[ontop]=Tr\0ue",
                                               b"[startwin]=\0True"),
    "invalid-utf8-sequences.ini": crlf(b"[badgelink]=\xff\xfe\xfd", b"[linkstart]=\xc0\x80\xc1\xbf",
                                       b"[linkclose]=\xed\xa0\x80\xed\xbf\xbf",
                                       b"[badgelink]=\xf4\x90\x80\x80\xf8\x88\x80\x80\x80",
                                       b"[linkstart]=\xe2\x82", b"[linkclose]=\x80\x80\x80",
                                       b"[ontop]=\xc3True", b"[height]=\xef\xbc\x97200"),
    "utf8-bom-before-first-tag.ini": b"\xef\xbb\xbf" + EIGHT,
    # Only the file's first bytes are a byte order mark; on a later line the
    # same bytes are part of the value, and blanks after the first one are trimmed.
    "utf8-bom-blanks-and-bom-on-later-lines.ini": b"\xef\xbb\xbf  [ontop]=True\r\n"
                                                  b"\xef\xbb\xbf[badgelink]=x\r\n\r\n"
                                                  b"\xef\xbb\xbf[linkclose]=y",
    # A sequence cut short at the end of a line, the last one included.
    "utf8-sequences-cut-at-line-ends.ini": b"[badgelink]=a\xe2\x82\r\n[linkstart]=b\xf0\x9f\x98\r\n"
                                           b"[linkclose]=c\xdf  \r\n",
    "utf16le-bom-as-notepad-saves-it.ini": b"\xff\xfe" + EIGHT.decode("ascii").encode("utf-16-le"),
    "latin1-accented-links.ini": crlf(b"[badgelink]=https://example.invalid/caf\xe9",
                                      b"[linkstart]=\xe4\xf6\xfc\xdf"),
    "utf8-links-with-astral-and-combining.ini": crlf("[badgelink]=https://例え.invalid/🎉".encode(),
                                                     "[linkstart]=e\u0301\u200b\ufeff".encode()),

    # Tags inside tags, repeated tags, near-misses.
    "tag-inside-tag-badgelink-rejoins.ini": b"[badge[badgelink]=link]=v",
    "tag-inside-tag-every-tag.ini": b"".join(
        t[:3] + t + t[3:] + b"value\r\n" for t in TAGS),
    "tag-inside-tag-nested-twice.ini": b"[badge[badge[badgelink]=link]=link]=v\r\n[wi[wi[width]=dth]=dth]=5000",
    "later-tag-first-on-line.ini": crlf(b"[width]=5000[badgelink]=x", b"[startwin]=True[ontop]=True",
                                        b"[height]=7000[linkclose]=c[linkstart]=s"),
    "every-tag-on-one-line.ini": b"".join(reversed(TAGS)) + b"True",
    "repeated-tag-same-line.ini": crlf(b"[ontop]=[ontop]=True[ontop]=", b"[height]=[height]=8[height]=000",
                                       b"[badgelink]=[badgelink]=[badgelink]="),
    "repeated-lines-toggle-each-time.ini": crlf(*([b"[ontop]=True", b"[taskbar]=True"] * 5)),
    "repeated-lines-last-link-wins.ini": crlf(*(b"[badgelink]=v%d" % i for i in range(20))),
    "near-miss-tags.ini": crlf(b"[badgelink]", b"[badgelink=x", b"badgelink]=x", b"[BADGELINK]=x",
                               b"[linkc", b"[l", b"[", b"[linkstar]=x", b"[linkclose ]=x",
                               b"[ontop] =True", b"[ heights]=9000", b"[width]", b"[width=]9000",
                               b"[w", b"[linkclos", b"[linkclose]"),
    "brackets-only.ini": b"[" * 4096,
    "brackets-and-equals.ini": b"[]=[[]]==[=]" * 300,
    "tag-prefixes-cut-at-end.ini": b"[badgelink]=x" + b"".join(t[:-1] for t in TAGS),

    # Numbers.
    "width-1e999999.ini": crlf(b"[width]=1e999999", b"[height]=1e999999"),
    "height-1e-999999.ini": crlf(b"[height]=1e-999999", b"[width]=-1e999999"),
    "exponent-digit-run-100k.ini": b"[width]=1e" + b"9" * 100000,
    "negative-exponent-digit-run-100k.ini": b"[height]=5e-" + b"9" * 100000,
    "mantissa-digit-run-100k.ini": b"[height]=" + b"1234567890" * 10000,
    "mantissa-digit-run-100k-then-exponent.ini": b"[width]=0." + b"9" * 100000 + b"e-99990",
    "leading-zeros-100k-then-digit.ini": b"[width]=0." + b"0" * 100000 + b"1e100003",
    "zeros-only-100k.ini": b"[height]=" + b"0" * 100000,
    "digits-separated-by-blanks-100k.ini": b"[height]=" + b"1 \t\n" * 25000,
    "hex-and-octal-forms.ini": crlf(b"[height]=&H1F40", b"[width]=&h1f40", b"[height]=&O17500",
                                    b"[width]=&o17500", b"[height]=&H", b"[width]=&O", b"[height]=&",
                                    b"[width]=&Hx", b"[height]=& H 1 F 4 0", b"[width]=&O9",
                                    b"[height]=&O78", b"[width]=&HFFFFFFFFFFFFFFFFFFFFFFFF",
                                    b"[height]=-&H2000", b"[ontop]=&H1", b"[taskbar]=&H0",
                                    b"[startwin]=&O0", b"[startwin]=&HG", b"[ontop]=&h 1"),
    "hex-digit-run-overflows-to-infinity.ini": b"[width]=&H" + b"F" * 4000,
    "octal-digit-run-overflows-to-infinity.ini": b"[height]=&O" + b"7" * 4000,
    "numbers-with-blanks-tabs-lf-inside.ini": crlf(b"[height]=7 2 0\t0px", b"[width]= 6\n3\t3 0 . 5",
                                                   b"[height]=1 e 4", b"[width]=- 5000",
                                                   b"[height]=\n\n\n9000"),
    "number-forms-dots-and-signs.ini": crlf(b"[height]=.5e3", b"[width]=5000.", b"[height]=.",
                                            b"[width]=+.", b"[height]=-.e5", b"[width]=1.2.3",
                                            b"[height]=1..2", b"[width]=+", b"[height]=-",
                                            b"[width]=+-1", b"[height]=++5000", b"[width]=5e",
                                            b"[height]=5e+", b"[width]=5E+3", b"[height]=5e-x",
                                            b"[width]=0x1F40", b"[height]=inf", b"[width]=nan",
                                            b"[height]=Infinity", b"[width]=1,5e4", "[height]=\u0667\u0667\u0667".encode()),
    "sizes-around-100.ini": crlf(b"[height]=100", b"[width]=100.0", b"[height]=101",
                                 b"[width]=100.0001", b"[height]=99.9999999", b"[width]=-0",
                                 b"[height]=-101", b"[width]=0", b"[height]=100.00001"),
    "sizes-at-single-precision-limits.ini": crlf(b"[height]=3.4028234663852886e38",
                                                 b"[height]=3.4028235e38", b"[width]=3.4028235e38",
                                                 b"[width]=3.4028235677973366e38",
                                                 b"[height]=3.40282357e38", b"[width]=1e39",
                                                 b"[height]=340282356779733661637539395458142568448",
                                                 b"[width]=16777217", b"[height]=8835.123456789",
                                                 b"[width]=4e-320", b"[height]=1e-45"),
    # Just above, at and just below the point halfway between two doubles: 2^53+1
    # with a nonzero digit past the 800 digits that are kept, so that only the
    # sticky digit rounds it up, and 1 + 2^-53, whose halfway text is 55 digits long.
    "halfway-mantissas-past-kept-digits.ini": crlf(
        b"[height]=9007199254740993" + b"0" * 800 + b"1e-801",
        b"[width]=9007199254740993" + b"0" * 800 + b"e-800",
        b"[height]=0." + b"0" * 900 + b"9007199254740993" + b"0" * 800 + b"1e916",
        b"[width]=1.00000000000000011102230246251565404236316680908203125",
        b"[height]=1.000000000000000111022302462515654042363166809082031250000001",
        b"[width]=1.000000000000000111022302462515654042363166809082031249999999"),
    "booleans-every-spelling.ini": crlf(b"[ontop]=tRuE", b"[taskbar]=FALSE", b"[startwin]= True ",
                                        b"[startwin]=True\t", b"[startwin]=\tTrue", b"[ontop]=1",
                                        b"[taskbar]=0", b"[startwin]=-0", b"[startwin]=0.0",
                                        b"[startwin]=1e", b"[startwin]=", b"[startwin]=yes",
                                        b"[startwin]=2.5", b"[startwin]=1e-400", b"[startwin]=4e-320",
                                        b"[startwin]=&H0", b"[startwin]=& H1", b"[startwin]=1 0",
                                        b"[startwin]=Tru", b"[startwin]=TrueTrue", b"[ontop]=\nTrue",
                                        b"[taskbar]=True\n", b"[startwin]=+", b"[startwin]=."),
    "booleans-digit-run-100k.ini": b"[startwin]=" + b"0" * 100000 + b"1",
    "height-100.000001-rounds-to-100-is-refused.ini": crlf(b"[height]=100.000001",
                                                                  b"[width]=100.0000038"),

    "number-just-out-of-double-range.ini": crlf(b"[width]=9e309", b"[height]=1e-325",
                                                b"[startwin]=2e-324", b"[startwin]=3e-324",
                                                b"[width]=1.7976931348623159e308",
                                                b"[height]=1.7976931348623157e308",
                                                b"[startwin]=-1e-400"),

    # States written and read back (see state() above).
    "roundtrip-sizes-nan-and-negative-fraction.bin": state(ALL_FLAGS, NAN, -1234.5678, b"b", b"s", b"c"),
    "roundtrip-sizes-fraction-and-float-max.bin": state(ALL_FLAGS, 6330.5, 3.4028234663852886e38),
    "roundtrip-sizes-small-fraction-and-subnormal.bin": state(ALL_FLAGS, 0.00012345, 1e-45),
    "roundtrip-sizes-infinity-and-just-above-100.bin": state(ALL_FLAGS, INF, 100.00001),
    "roundtrip-sizes-whole-above-1e7-and-negative-zero.bin": state(ALL_FLAGS, 123456789.0, -0.0),
    "roundtrip-sizes-101-and-100.001-no-toggles.bin": state(0x0C, 101.0, 100.001, b"x", b"y", b"z"),
    "roundtrip-links-holding-tags-and-crlf.bin": state(ALL_FLAGS, 8835.0, 6330.0,
                                                       b"a[linkstart]=b\r\nc", b"[badgelink]=\r",
                                                       b"[ontop]=True\r\n[width]=9000\n"),
    "roundtrip-links-utf8-and-nul.bin": state(0x01, 7200.25, 5000.75, "é🎉".encode(), b"\0\0",
                                              b"\xff\xfe invalid"),

    # Size.
    "huge-single-line-190k-with-brackets.ini": (b"[linkstart]=" + (b"https://x.invalid/[a]=b[linkclos" * 6000))[:190000],
    "huge-single-line-190k-plain.ini": b"[badgelink]=" + b"a" * 190000,
    "many-short-lines-190k.ini": (b"[ontop]=True\r\n[startwin]=1\r\n[height]=720\r\n" * 4500)[:190000],
    "many-empty-crlf-lines-100k.ini": b"\r\n" * 50000 + b"[ontop]=True",
    "many-lone-cr-100k.ini": b"[badgelink]=" + b"\r" * 100000,
    "many-lf-100k.ini": b"[width]=" + b"\n" * 100000 + b"9000",
}


def main():
    os.makedirs(CORPUS, exist_ok=True)
    for name, data in sorted(FILES.items()):
        if len(data) > LIMIT:
            sys.exit(f"{name} is {len(data)} bytes, more than the corpus allows")
        with open(os.path.join(CORPUS, name), "wb") as out:
            out.write(data)
    print(f"wrote {len(FILES)} files to {CORPUS}")


if __name__ == "__main__":
    main()
