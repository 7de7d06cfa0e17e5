#!/usr/bin/env python3
"""Writes a generated site for the run benchmarks: N files in all, pages of about 20 KB in a tree
of directories, each page linking to its neighbours, to a few pages elsewhere and to the images
and the style sheet of the site; about one file in five is an image.

Also writes script-heavy pages when asked: one script block declaring k functions that open a URL
built from their parameter with window.open, each called once from a link.

usage: generate_site.py DIR FILES [--script-pages K1,K2,...]"""
import os
import random
import sys


def page(i, pages, images):
    rnd = random.Random(i)
    parts = ["<html><head><title>Page %d</title>" % i,
             '<link rel="stylesheet" href="../style/site.css" type="text/css">',
             "</head><body>\n<h1>Page %d</h1>\n" % i]
    links = [(i + 1) % pages, (i + 7) % pages, (i * 13 + 5) % pages, rnd.randrange(pages)]
    while sum(len(p) for p in parts) < 20000:
        n = rnd.randrange(pages)
        parts.append("<p>Section text of page %d with a few words around the link to "
                     '<a href="../d%d/p%d.html">page %d</a> and more words that fill the line, '
                     "as documentation pages have them.</p>\n" % (i, n % 50, n, n))
        if rnd.random() < 0.05:
            parts.append('<img src="../img/i%d.png" alt="picture">\n' % rnd.randrange(images))
    for n in links:
        parts.append('<a href="../d%d/p%d.html">next %d</a>\n' % (n % 50, n, n))
    parts.append('<img src="../img/i%d.png" alt="picture">\n' % (i % images))
    parts.append("</body></html>\n")
    return "".join(parts)


def script_page(k):
    out = ['<html><head><title>script page</title>\n<script language="javascript">\n']
    for i in range(k):
        out.append("function open%d(id){ window.open('item%d.asp?id='+id); }\n" % (i, i))
    out.append("</script></head><body>\n")
    for i in range(k):
        out.append('<a href="javascript:open%d(%d)">item %d</a><br>\n' % (i, i, i))
    out.append("</body></html>\n")
    return "".join(out)


def main():
    root, files = sys.argv[1], int(sys.argv[2])
    images = max(1, files // 5)
    pages = files - images - 1
    os.makedirs(os.path.join(root, "style"), exist_ok=True)
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    with open(os.path.join(root, "style", "site.css"), "w") as f:
        f.write("body { font-family: sans-serif; }\n")
    png = bytes(range(256)) * 8
    for n in range(images):
        with open(os.path.join(root, "img", "i%d.png" % n), "wb") as f:
            f.write(png)
    for i in range(pages):
        d = os.path.join(root, "d%d" % (i % 50))
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, "p%d.html" % i), "w") as f:
            f.write(page(i, pages, images))
    with open(os.path.join(root, "index.html"), "w") as f:
        f.write('<html><body><a href="d0/p0.html">start</a></body></html>\n')
    if len(sys.argv) > 4 and sys.argv[3] == "--script-pages":
        os.makedirs(os.path.join(root, "scripts"), exist_ok=True)
        links = []
        for k in sys.argv[4].split(","):
            name = "k%s.html" % k
            with open(os.path.join(root, "scripts", name), "w") as f:
                f.write(script_page(int(k)))
            links.append('<a href="%s">%s</a>' % (name, name))
        with open(os.path.join(root, "scripts", "index.html"), "w") as f:
            f.write("<html><body>%s</body></html>\n" % " ".join(links))


if __name__ == "__main__":
    main()
