#!/usr/bin/env python3
"""Writes pages made of random pieces of markup and script (tag openings in both cases, attribute
names inside other names, tags cut short, quotes, line breaks, script calls, refused strings), so
that two builds compared by compare_copies.sh also meet what real pages seldom hold.
usage: random_pages.py FOLDER COUNT [SEED]"""
import os
import random
import sys

ATOMS = [
    '<', '>', 'img ', 'IMG ', 'a ', 'A ', 'src', 'SRC', 'href', 'HREF', '=', '"', "'", ' ', '\r\n',
    'lowsrc', 'background', 'script ', '</script>', 'iframe ', '</iframe>', 'meta ', 'URL=', '">',
    'area ', 'link ', 'frame ', 'embed ', 'input ', 'image ', 'x.html', '../y.gif', '#f', '?q=1',
    '+', '{$id}', 'javascript:', 'window.open(', 'document.location=', ';', ')', 'var v=',
    "'u.html'", 'function g(p){', '}', 'style', 'srcset', 'url(', '<!--', '-->', 'cookies.asp?',
    '&action=', '&amp;', '/abs.html', 'http://www.site.test/', 'http://other.test/',
    '<a href="x.html">', '<img src="i.gif">', '<A HREF=\'y.html#f\'>', '<a >', '<a\r\nhref=z>',
]


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 18)
    dirs = ['', 'd/', 'd/sub/']
    for d in dirs:
        os.makedirs(os.path.join(folder, d), exist_ok=True)
    for i in range(count):
        text = ''.join(rng.choice(ATOMS) for _ in range(rng.randint(1, 200)))
        path = os.path.join(folder, rng.choice(dirs), 'p%d.html' % i)
        with open(path, 'w', newline='') as f:
            f.write(text)


if __name__ == '__main__':
    main()
