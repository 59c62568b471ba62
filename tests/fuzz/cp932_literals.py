#!/usr/bin/env python3
"""Copies C++ sources with every narrow string and character literal that
holds non-ASCII text rewritten as octal escapes of its code page 932 bytes.

clang has no -fexec-charset=CP932; the copy gives a clang build the very
bytes the g++ build gets, so its tests and fuzz targets see what the program
sees (a path ending in ソ ends in the byte 0x5C, as in the program).

Usage: cp932_literals.py OUT_DIR ROOT FILE...   (FILE relative to ROOT)
"""
import os
import sys


def rewrite(text):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(text[i:j])
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(text[i:j])
            i = j
        elif c in "\"'":
            # Wide, UTF and raw literals keep their own rules: leave them be.
            prefix_start = i
            while prefix_start > 0 and (text[prefix_start - 1].isalnum() or text[prefix_start - 1] == "_"):
                prefix_start -= 1
            prefix = text[prefix_start:i]
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            body = text[i + 1:j]
            if prefix == "" and any(ord(ch) > 127 for ch in body):
                body = "".join("".join("\\%03o" % b for b in ch.encode("cp932")) if ord(ch) > 127 else ch
                               for ch in body)
            out.append(c + body + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def main():
    out_dir, root = sys.argv[1], sys.argv[2]
    for rel in sys.argv[3:]:
        with open(os.path.join(root, rel), encoding="utf-8") as f:
            text = rewrite(f.read())
        target = os.path.join(out_dir, rel)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        old = None
        if os.path.exists(target):
            with open(target, encoding="utf-8") as f:
                old = f.read()
        if old != text:
            with open(target, "w", encoding="utf-8") as f:
                f.write(text)


if __name__ == "__main__":
    main()
