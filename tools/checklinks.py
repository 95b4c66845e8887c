#!/usr/bin/env python3
"""Checks that every href and src in the HTML pages below a folder names an
existing file, read the way a browser reads it: character references
resolved, the part from the first '#' or '?' dropped, then percent-escapes
decoded, relative to the page's own folder.

Usage: checklinks.py FOLDER   (exit 0: all links good, 1: some missing)
"""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import unquote


class Links(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.targets = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value is not None:
                self.targets.append((tag, name, value))


def target_path(page, value):
    for cut in ("#", "?"):
        value = value.split(cut, 1)[0]
    return os.path.normpath(os.path.join(os.path.dirname(page), unquote(value)))


def main(argv):
    if len(argv) != 2 or not os.path.isdir(argv[1]):
        print("usage: checklinks.py FOLDER", file=sys.stderr)
        return 2
    pages = links = 0
    missing = []
    for folder, _, files in os.walk(argv[1]):
        for f in sorted(files):
            if not f.endswith(".html"):
                continue
            page = os.path.join(folder, f)
            parser = Links()
            with open(page, encoding="utf-8", errors="surrogateescape") as fh:
                parser.feed(fh.read())
            pages += 1
            for tag, attr, value in parser.targets:
                links += 1
                if "://" in value or not os.path.isfile(target_path(page, value)):
                    missing.append(f"{page}: <{tag} {attr}=\"{value}\">")
    for m in missing:
        print("missing:", m)
    print(f"{pages} pages, {links} links, {len(missing)} missing")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
