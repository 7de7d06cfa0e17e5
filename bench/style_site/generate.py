#!/usr/bin/env python3
"""Writes a generated site whose style sheets use @import and url(), for the mirror check.

Layout: 20 sections of 5 folders of 30 pages (3,000 pages, plus section and folder indexes).
Every folder has its own style sheet that imports its section's, which imports the shared
sheets; sheets name images and fonts that no page names. Pages use <style> blocks, style
attributes, srcset and a video with a poster. Links are relative, root-relative and absolute
(to the base URL given). A few links are dead on purpose; they are listed in DEAD_FILE as
"<file>\t<link>" lines (the file relative to the site root, the link as written).

usage: generate.py SITE_ROOT BASE_URL DEAD_FILE
"""
import os
import sys

SECTIONS, FOLDERS, PAGES = 20, 5, 30
PHOTOS = 40


def write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def binary(name):
    # Small bodies that differ per file.
    return b"\x89PNG\r\n\x1a\n" + name.encode() + b"\x00" * 32


def main():
    root, base, dead_file = sys.argv[1], sys.argv[2].rstrip("/"), sys.argv[3]
    dead = []
    files = {}

    def add(rel, data):
        files[rel] = data

    # Shared sheets: an import chain, root-relative, relative and absolute url()s, a comment
    # that names a file which does not exist (it must be passed over), a data: URL, fonts.
    add("css/main.css",
        '@import "base/reset.css";\n'
        '@import url(/css/theme/colors.css) screen;\n'
        "/* background: url(img/commented-out.png) */\n"
        "body { background: url( ../img/bg/body.png ) repeat-x; }\n"
        ".logo { background-image: url('%s/img/logo.png'); }\n"
        ".dot { background: url(data:image/gif;base64,R0lGODlhAQABAAAAACw=); }\n" % base)
    add("css/base/reset.css",
        '@import \'fonts.css\';\n'
        'html { background: url("../../img/bg/reset.png"); }\n')
    add("css/base/fonts.css",
        "@font-face { font-family: b; src: url(/fonts/body.woff2) format('woff2'),\n"
        "  url('../../fonts/body.woff') format('woff'); }\n")
    add("css/theme/colors.css",
        ".swatch { background: url(img/swatch.png); }\n"
        ".gone { background: url(/img/nowhere.png); }\n")
    dead.append(("css/theme/colors.css", "/img/nowhere.png"))
    for rel in ("img/bg/body.png", "img/logo.png", "img/bg/reset.png", "fonts/body.woff2",
                "fonts/body.woff", "css/theme/img/swatch.png", "img/bg/div.png",
                "media/clip.mp4", "media/poster.jpg"):
        add(rel, binary(rel))
    for n in range(PHOTOS):
        add("img/photo/%02d.jpg" % n, binary("p%d" % n))
        add("img/photo/%02d@2x.jpg" % n, binary("p2x%d" % n))

    index = ['<html><head><link rel="stylesheet" href="css/main.css"></head><body>']
    for s in range(SECTIONS):
        sec = "s%02d" % s
        index.append('<a href="%s/index.html">%s</a> <a href="/%s/">/</a>' % (sec, sec, sec))
        sheet = ('@import "../css/main.css";\n'
                 ".hdr { background: url(img/hdr.png) }\n"
                 ".ico { background: url(/img/icons/%s.png) }\n" % sec)
        if s == 9:
            sheet += '@import "nothing.css";\n'
            dead.append(("%s/style.css" % sec, "nothing.css"))
        add("%s/style.css" % sec, sheet)
        add("%s/img/hdr.png" % sec, binary(sec + "hdr"))
        add("img/icons/%s.png" % sec, binary(sec + "ico"))
        sec_index = ['<html><head><link rel="stylesheet" href="style.css"></head><body>'
                     '<a href="../index.html">home</a>']
        for f in range(FOLDERS):
            folder = "%s/a%02d" % (sec, f)
            sec_index.append('<a href="a%02d/index.html">a%02d</a>' % (f, f))
            local = ('@import url("../style.css");\n'
                     ".t { background: url(tile.gif) }\n")
            if (s, f) == (3, 1):
                local += ".u { background: url(missing-tile.gif) }\n"
                dead.append(("%s/local.css" % folder, "missing-tile.gif"))
            add("%s/local.css" % folder, local)
            add("%s/tile.gif" % folder, binary(folder + "tile"))
            folder_index = ['<html><head><link rel="stylesheet" href="local.css"></head><body>'
                            '<a href="../index.html">up</a>']
            for p in range(PAGES):
                name = "p%03d.html" % p
                folder_index.append('<a href="%s">%s</a>' % (name, name))
                add("%s/%s" % (folder, name), page(base, sec, folder, s, f, p, dead))
                key = (s * FOLDERS + f) * PAGES + p
                if key % 10 == 0:
                    add("img/p/%04d.png" % key, binary("page%d" % key))
            folder_index.append("</body></html>")
            add("%s/index.html" % folder, "\n".join(folder_index))
        sec_index.append("</body></html>")
        add("%s/index.html" % sec, "\n".join(sec_index))
    index.append("</body></html>")
    add("index.html", "\n".join(index))

    for rel, data in files.items():
        write(root, rel, data)
    with open(dead_file, "w") as f:
        for rel, link in dead:
            f.write("%s\t%s\n" % (rel, link))
    print("site: %d files (%d pages, %d style sheets), %d dead links"
          % (len(files), sum(r.endswith(".html") for r in files),
             sum(r.endswith(".css") for r in files), len(dead)))


def page(base, sec, folder, s, f, p, dead):
    key = (s * FOLDERS + f) * PAGES + p
    photo = key % PHOTOS
    rel = "%s/p%03d.html" % (folder, p)
    parts = ['<html><head><title>%s</title>' % rel,
             '<link rel="stylesheet" href="local.css">']
    if key % 10 == 0:
        parts.append("<style>.p { background: url(/img/p/%04d.png) }</style>" % key)
    parts.append("</head><body>")
    parts.append('<img src="../../img/photo/%02d.jpg" alt="photo" '
                 'srcset="../../img/photo/%02d.jpg 1x, /img/photo/%02d@2x.jpg 2x">'
                 % (photo, photo, photo))
    if p % 5 == 1:
        # srcset before a root-relative src
        parts.append('<img srcset="/img/photo/%02d@2x.jpg 2x" src="/img/photo/%02d.jpg">'
                     % (photo, photo))
    if p == 11 and (s, f) == (7, 3):
        parts.append('<img srcset="/img/photo/gone@2x.jpg 2x" alt="gone">')
        dead.append((rel, "/img/photo/gone@2x.jpg"))
    if p % 7 == 0:
        parts.append('<video controls src="/media/clip.mp4" poster="%s/media/poster.jpg">'
                     "</video>" % base)
    parts.append('<div style="background: url(\'/img/bg/div.png\')">text</div>')
    if p > 0:
        parts.append('<a href="p%03d.html">prev</a>' % (p - 1))
    if p + 1 < PAGES:
        parts.append('<a href="%s/%s/p%03d.html">next</a>' % (base, folder, p + 1))
    parts.append('<a href="/%s/index.html">section</a> <a href="../../index.html">home</a>' % sec)
    if p == 7 and (s, f) == (5, 2):
        parts.append('<a href="p999.html">dead</a>')
        dead.append((rel, "p999.html"))
    parts.append("</body></html>")
    return "\n".join(parts)


if __name__ == "__main__":
    main()
