#!/usr/bin/env python3
"""Compares a copy with the site it was made from.

Every file of the site must be in the copy (binary files byte for byte), and every local link in
the copy's pages and style sheets must reach a file, except the site's own dead links. Links left
pointing at the server are counted as not made local.

usage: check.py SITE_ROOT COPY_HOST_FOLDER DEAD_FILE
"""
import os
import posixpath
import re
import sys

TAG = re.compile(r"<([a-zA-Z][^\s>/]*)([^>]*)>")
ATTR = re.compile(r"""([\w-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+))""")
STYLE_BLOCK = re.compile(r"<style[^>]*>(.*?)</style", re.S | re.I)
COMMENT = re.compile(r"/\*.*?\*/", re.S)
CSS_URL = re.compile(r"""url\(\s*(['"]?)(.*?)\1\s*\)""", re.I)
CSS_IMPORT = re.compile(r"""@import\s+(['"])(.*?)\1""", re.I)


def css_links(text):
    text = COMMENT.sub("", text)
    return [m.group(2) for m in CSS_URL.finditer(text)] + \
           [m.group(2) for m in CSS_IMPORT.finditer(text)]


def html_links(text):
    links = []
    for tag in TAG.finditer(text):
        for a in ATTR.finditer(tag.group(2)):
            name = a.group(1).lower()
            value = next(v for v in a.groups()[1:] if v is not None)
            if name in ("href", "src", "poster"):
                links.append(value)
            elif name == "srcset":
                links += [c.split()[0] for c in value.split(",") if c.strip()]
            elif name == "style":
                links += css_links(value)
    for block in STYLE_BLOCK.finditer(text):
        links += css_links(block.group(1))
    return links


def target(rel_file, link):
    """The site path a link names, or None when it is no local link."""
    link = link.split("#")[0]
    if not link or link.startswith(("data:", "mailto:", "javascript:")):
        return None
    if link.startswith("/"):
        return posixpath.normpath(link.lstrip("/"))
    return posixpath.normpath(posixpath.join(posixpath.dirname(rel_file), link))


def main():
    site, copy, dead_file = sys.argv[1:4]
    dead = set()
    for line in open(dead_file):
        rel, link = line.rstrip("\n").split("\t")
        dead.add((rel, target(rel, link)))

    site_files = []
    for d, _, names in os.walk(site):
        for n in names:
            site_files.append(os.path.relpath(os.path.join(d, n), site).replace(os.sep, "/"))
    missing = [r for r in site_files if not os.path.isfile(os.path.join(copy, r))]
    differing = [r for r in site_files if r not in missing and not r.endswith((".html", ".css"))
                 and open(os.path.join(site, r), "rb").read()
                 != open(os.path.join(copy, r), "rb").read()]

    broken, online, checked = set(), [], 0
    leftovers = 0
    for d, _, names in os.walk(copy):
        for n in names:
            path = os.path.join(d, n)
            rel = os.path.relpath(path, copy).replace(os.sep, "/")
            if n.endswith(".tmp"):
                leftovers += 1
                continue
            if not n.endswith((".html", ".css")):
                continue
            text = open(path, encoding="utf-8", errors="replace").read()
            for link in (css_links(text) if n.endswith(".css") else html_links(text)):
                if re.match(r"https?://", link, re.I):
                    online.append((rel, link))
                    continue
                if link.startswith("/"):
                    online.append((rel, link))
                    continue
                t = target(rel, link)
                if t is None:
                    continue
                checked += 1
                if not os.path.isfile(os.path.join(copy, t)):
                    broken.add((rel, t))

    print("files on the server: %d; copied: %d; missing: %d; binary files differing: %d"
          % (len(site_files), len(site_files) - len(missing), len(missing), len(differing)))
    print("local links checked: %d; broken: %d (dead on purpose: %d, others: %d); "
          "links left to the server: %d; temporary files left: %d"
          % (checked, len(broken), len(broken & dead), len(broken - dead), len(online), leftovers))
    for r in missing[:10]:
        print("  missing:", r)
    for r, t in sorted(broken - dead)[:10]:
        print("  broken:", r, "->", t)
    for r, t in sorted(dead - broken):
        print("  dead link not found broken:", r, "->", t)
    for r, l in online[:10]:
        print("  online:", r, "->", l)
    ok = not missing and not differing and broken == dead and not online and not leftovers
    print("result:", "PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
