"""The report page as a user sees it: `python3 -m sibdecode.report` run on
captures, the page opened in headless Chromium (Debian's chromium,
chromium-driver and python3-selenium). The browser logs no error and loads
nothing; the graphs hold one box per row of `sibdecode --neighbours --json`
and the timelines one mark per row of `--timeline --json` (the SIB counts of
`--cells --json`), by cell; no two boxes overlap as laid out and every label
stays in its box. A screenshot of each page is kept (SIBDECODE_SCREENSHOT_DIR,
else pytest's temporary folder).

The captures: SIBDECODE_REPORT_CAPTURES (paths separated by os.pathsep; one
report each, and one of them all), else the examples' captures and some made
by tests/capture/make_capture.py. Skipped, with
the reason, where no browser is installed. Run by run_tests.py (ctest)."""

import glob
import json
import os
import shutil
import subprocess
import sys
from collections import Counter

import pytest

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
except ImportError:
    webdriver = None

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "capture"))
import make_capture  # noqa: E402
TOOL = os.environ.get("SIBDECODE_CLI", "sibdecode")
BROWSER = next(filter(None, map(shutil.which, ("chromium", "chromium-browser",
                                               "google-chrome"))), None)
DRIVER = shutil.which("chromedriver")

MISSING = [name for name, found in (("chromium", BROWSER), ("chromedriver", DRIVER),
                                    ("selenium", webdriver)) if not found]
if MISSING:
    pytest.skip("no browser installed (%s missing; on Debian: apt-get install chromium "
                "chromium-driver python3-selenium): the report page is not opened"
                % ", ".join(MISSING), allow_module_level=True)


def report_captures():
    """The captures named, else the examples' and made ones: two cells whose
    SIB7 changes twice (repeats.pcap), and a phone's log of cells on one ARFCN
    (phone_log.pcap) where the capture maker makes it."""
    named = os.environ.get("SIBDECODE_REPORT_CAPTURES")
    if named:
        return [path for path in named.split(os.pathsep) if path]
    made = ["repeats.pcap"] + (["phone_log.pcap"] if hasattr(make_capture, "survey") else [])
    return sorted(glob.glob(os.path.join(ROOT, "examples", "*.pcap"))) + made


def make_captures(folder):
    make_capture.repeats(folder, rounds=40, changes=(10, 25))
    if hasattr(make_capture, "survey"):
        make_capture.survey(folder)


CAPTURES = report_captures()
# Each capture alone, then all of them in one report (one survey of several files).
REPORTS = [[path] for path in CAPTURES] + ([CAPTURES] if len(CAPTURES) > 1 else [])


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    options = webdriver.ChromeOptions()
    options.binary_location = BROWSER
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--user-data-dir=%s" % tmp_path_factory.mktemp("chromium"),
                     "--window-size=1400,1000"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)
    yield driver
    driver.quit()


def open_page(driver, url):
    """Opens a page; the browser's console messages while it loaded."""
    driver.get_log("browser")  # those of the pages before
    driver.get(url)
    return driver.get_log("browser")


def tool_rows(*args):
    proc = subprocess.run([TOOL] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert proc.stdout, proc.stderr.decode()
    return [json.loads(line) for line in proc.stdout.decode().splitlines()]


# What the page shows, per cell, read from the laid-out page.
MEASURE = """
const cells = {};
for (const graph of document.querySelectorAll('svg.nb-graph')) {
  const boxes = [...graph.querySelectorAll('.nb-node, .nb-serving')].map(g => {
    const r = g.querySelector('rect').getBoundingClientRect();
    const texts = [...g.querySelectorAll('text')].map(t => t.getBoundingClientRect());
    return {box: [r.left, r.top, r.right, r.bottom],
            outside: texts.filter(t => t.left < r.left || t.right > r.right ||
                                       t.top < r.top || t.bottom > r.bottom).length};
  });
  cells[graph.dataset.cell] = {
    nodes: graph.querySelectorAll('.nb-node').length, boxes: boxes,
    kinds: [...graph.querySelectorAll('.nb-node')].map(g => g.dataset.kind + ' ' + g.dataset.sib)};
}
for (const line of document.querySelectorAll('svg.tl-graph')) {
  const cell = cells[line.dataset.cell] = cells[line.dataset.cell] || {};
  const marks = [...line.querySelectorAll('.tl-mark')];
  const axis = line.querySelector('.tl-axis').getBoundingClientRect();
  cell.marks = marks.length;
  cell.changes = line.querySelectorAll('.tl-change').length;
  cell.types = marks.map(m => m.dataset.type);
  const frame = line.getBoundingClientRect();
  const ticks = [...line.querySelectorAll('.tl-tick')].map(t => t.getBoundingClientRect())
      .sort((a, b) => a.left - b.left);
  cell.ticks = ticks.length;
  cell.ticks_apart = ticks.every((t, n) => n == 0 || ticks[n - 1].right <= t.left) &&
      ticks.every(t => t.left >= frame.left && t.right <= frame.right);
  cell.marks_off_axis = marks.filter(m => {
    const r = m.getBoundingClientRect();
    return r.left + r.width / 2 < axis.left - 0.5 || r.left + r.width / 2 > axis.right + 0.5;
  }).length;
}
return {cells: cells, loaded: performance.getEntriesByType('resource').length,
        width: document.documentElement.scrollWidth,
        height: document.documentElement.scrollHeight};
"""


def overlaps(boxes):
    return [(a, b) for n, a in enumerate(boxes) for b in boxes[n + 1:]
            if a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]]


def by_cell(rows):
    return Counter(str(row["cell"]) for row in rows)


@pytest.fixture(scope="module")
def made(tmp_path_factory):
    folder = str(tmp_path_factory.mktemp("made"))
    make_captures(folder)
    return folder


@pytest.mark.parametrize("captures", REPORTS,
                         ids=["+".join(os.path.basename(p) for p in c) for c in REPORTS])
def test_report_in_a_browser(captures, browser, made, tmp_path):
    captures = [os.path.join(made, path) for path in captures]  # the made ones by name
    page = tmp_path / "report.html"
    proc = subprocess.run([sys.executable, "-m", "sibdecode.report", "-o", str(page)] + captures,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert proc.returncode == 0, proc.stderr.decode()
    neighbours = tool_rows("--neighbours", "--json", *captures)
    timeline = tool_rows("--timeline", "--json", *captures)
    cells = tool_rows("--cells", "--json", *captures)
    assert cells and timeline
    # the SIB counts of the cell records are the timeline's rows
    assert {str(c["cell"]): sum(s["count"] for s in c["sibs"]) for c in cells} == by_cell(timeline)

    log = open_page(browser, page.as_uri())
    assert [entry for entry in log if entry["level"] in ("SEVERE", "WARNING")] == []
    shown = browser.execute_script(MEASURE)
    assert shown["loaded"] == 0  # nothing fetched: no image, font, script or style sheet

    drawn = shown["cells"]
    assert sorted(drawn) == sorted(str(c["cell"]) for c in cells)
    for cell, seen in drawn.items():
        rows = [row for row in neighbours if str(row["cell"]) == cell]
        marks = [row for row in timeline if str(row["cell"]) == cell]
        assert seen["nodes"] == len(rows), cell
        assert sorted(seen["kinds"]) == sorted("%s %s" % (r["kind"], r["sib"]) for r in rows)
        assert overlaps([box["box"] for box in seen["boxes"]]) == []
        assert sum(box["outside"] for box in seen["boxes"]) == 0
        assert seen["marks"] == len(marks), cell
        assert Counter(seen["types"]) == Counter(row["type"] for row in marks)
        assert seen["changes"] == sum(1 for row in marks if row["changed"])
        assert seen["marks_off_axis"] == 0
        assert seen["ticks"] >= 2 and seen["ticks_apart"]

    folder = os.environ.get("SIBDECODE_SCREENSHOT_DIR") or str(tmp_path)
    os.makedirs(folder, exist_ok=True)
    shot = os.path.join(folder, "report-%s.png" % "+".join(
        os.path.splitext(os.path.basename(p))[0] for p in captures))
    browser.set_window_size(max(1400, shown["width"]), min(shown["height"] + 120, 16000))
    assert browser.save_screenshot(shot)
    print("screenshot:", shot)
    with open(shot, "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"
    browser.set_window_size(1400, 1000)


# The console check sees errors: a page with a failing script logs one; the report none.
@pytest.mark.parametrize("html,errors", [
    ("<!DOCTYPE html><p>quiet</p>", 0),
    ("<!DOCTYPE html><script>no_such_function()</script>", 1),
])
def test_console_errors_are_seen(html, errors, browser, tmp_path):
    page = tmp_path / "page.html"
    page.write_text(html)
    log = open_page(browser, page.as_uri())
    assert len([entry for entry in log if entry["level"] == "SEVERE"]) == errors
