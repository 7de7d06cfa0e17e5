"""The time a run's fixed pauses alone set, worked out from the run's own log.

A run cannot end before its pauses have been slept, but how they add up depends on when links
become known: a worker at the end of the table waits for the analysis of the pages under way.
This model replays the run with every step other than a fixed pause taking no time:

- the table grows as the run's task file shows: the analysis of page P appends the entries whose
  ReferId is P (with the folder entries placed before them); the analyses keep the order of the
  log's "正在解析第P个" lines;
- a worker walks the table in order. At an entry still to be fetched (one the log shows fetched)
  it claims it and pauses 200 + 50 + 50 + 1000 ms (HEAD, GET, after the GET); then, as at every
  entry, it pauses 10 ms before it moves on, plus 10 ms when the entry is the table's last, where
  it also waits until the table grows or the analysis is done;
- the analysis thread takes the pages one at a time when fetched: 10 ms after loading and 10 ms
  before the scans (the new links are in the table then) and 10 ms before it deletes the
  temporary file;
- the master pauses 5000 ms after the end-of-run report, which the headless program waits for.

The result is a lower bound for the run's wall time under the program's own scheduling."""
import heapq
import re

ENTRY_MS = 200 + 50 + 50 + 1000
STEP_MS = 10
TAIL_MS = 10
ANALYSIS_LINKS_MS = 20
ANALYSIS_MS = 30
EPILOGUE_MS = 5000

_FETCH = re.compile(r"^No\.(\d+)-Thread=\d+,正在下载")
_ANALYSIS = re.compile(r"^正在解析第(\d+)个,")
_DUMP = re.compile(r"^(\d+),(.*),ReferId=(-?\d+)$")


def read_log(lines):
    """(set of fetched entries, analysed pages in the order of their first analysis)."""
    fetched = set()
    pages = []
    seen = set()
    for line in lines:
        m = _FETCH.match(line)
        if m:
            fetched.add(int(m.group(1)))
            continue
        m = _ANALYSIS.match(line)
        if m and int(m.group(1)) not in seen:
            seen.add(int(m.group(1)))
            pages.append(int(m.group(1)))
    return fetched, pages


def read_growth(dump_lines, pages):
    """[(page, table length once its links are recorded)] for the analysed pages, from the lines
    of `quillmoss-cli dump`: each URL entry was added by the page its ReferId names, and the
    folder entries before it came with it."""
    added_by = {}  # page -> highest entry it added
    for line in dump_lines:
        m = _DUMP.match(line)
        if not m:
            continue
        index, rest, refer = int(m.group(1)), m.group(2), int(m.group(3))
        if index == 0:
            continue
        if rest.lower().startswith(("http://", "https://")):
            added_by[refer] = max(added_by.get(refer, 0), index)
    growth = []
    length = 1
    for page in pages:
        length = max(length, added_by.get(page, -1) + 1)
        growth.append((page, length))
    return growth


def bound_ms(fetched, growth, workers):
    """Wall time in ms of the paused-only replay of a run with `workers` workers; `growth` as
    read_growth gives it."""
    analyses = [page for page, _ in growth]
    sizes = [length for _, length in growth]
    total = max(sizes, default=1)
    done_at = {}  # entry -> time its body is in (a page can be analysed from then on)
    claimed = set()
    table = 1
    analysis_free = 0
    next_analysis = 0
    analysis_done = None
    events = []  # (time, order, kind, data)
    order = 0

    def push(time, kind, data):
        nonlocal order
        order += 1
        heapq.heappush(events, (time, order, kind, data))

    for w in range(workers):
        push(0, "step", (w, 0, False))
    waiting = []  # workers at the table's end: (worker, position, end of their tail pause)

    def schedule_analysis(now):
        nonlocal analysis_free, next_analysis
        while next_analysis < len(analyses):
            page = analyses[next_analysis]
            if page not in done_at and page in fetched:
                return  # the next page in the log's order is not in yet
            start = max(analysis_free, done_at.get(page, 0), now)
            push(start + ANALYSIS_LINKS_MS, "grow", sizes[next_analysis])
            analysis_free = start + ANALYSIS_MS
            next_analysis += 1

    def check_done(now):
        nonlocal analysis_done
        if analysis_done is None and next_analysis == len(analyses) and table == total and \
                all(e in done_at for e in fetched) and now >= analysis_free:
            analysis_done = now
            for w, pos, ready in waiting:
                push(max(now, ready), "moved", (w, pos))
            waiting.clear()

    end = 0
    while events:
        now, _, kind, data = heapq.heappop(events)
        end = max(end, now)
        if kind == "grow":
            table = max(table, data)
            still = []
            for w, pos, ready in waiting:
                if table > pos + 1:
                    push(max(now, ready), "moved", (w, pos))
                else:
                    still.append((w, pos, ready))
            waiting[:] = still
            check_done(now)
            if analysis_done is None and now < analysis_free:
                push(analysis_free, "check", None)
            continue
        if kind == "check":
            check_done(now)
            continue
        if kind == "fetched":
            done_at[data] = now
            schedule_analysis(now)
            check_done(now)
            continue
        if kind == "moved":
            w, pos = data
            push(now + STEP_MS, "step", (w, pos + 1, False))
            continue
        w, pos, revisit = data
        if pos >= table:
            continue  # past the finished table: the worker ends
        if pos in fetched and pos not in claimed:
            claimed.add(pos)
            push(now + ENTRY_MS, "fetched", pos)
            push(now + ENTRY_MS, "step", (w, pos, True))
            continue
        at_tail = pos + 1 >= table
        t = now + (TAIL_MS if at_tail else 0)
        if table > pos + 1 or analysis_done is not None:
            push(t + STEP_MS, "step", (w, pos + 1, False))
        else:
            waiting.append((w, pos, t))
        schedule_analysis(now)
    return end + EPILOGUE_MS
