#!/usr/bin/env python3
"""The report in a real browser: dcshost runs a loop checkout with --report,
headless Chromium renders its page and every loop sheet, and the test checks
what an engineer would see: the page is not blank, every loop sheet is linked
and present, failed and waived checks are marked, and each loop sheet prints
to one A4 page.
dcshost starts through the build's runner (cmake/run-built.sh), as every
built program does: an i686 one runs under qemu-i386 where it must.
    check_report.py DCSHOST CASE FOLDER"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "run-built.sh")


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    sys.exit("check_report: no Chromium (scripts/setup.sh installs Debian's chromium)")


def browse(browser, profile, *args):
    """Runs headless Chromium once with its own profile; its stdout."""
    command = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               "--user-data-dir=" + profile, *args]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    return done.stdout.decode("utf-8", "replace")


def png_pixels(path):
    """The decompressed scanlines of a PNG file (filter bytes included)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("check_report: %s is not a PNG" % path)
    at, idat = 8, b""
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        kind = data[at + 4:at + 8]
        if kind == b"IDAT":
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    return zlib.decompress(idat)


def pdf_pages(path):
    with open(path, "rb") as f:
        return len(re.findall(rb"/Type\s*/Page(?!s)", f.read()))


def check_sheets(browser, profile, folder, sheets):
    """sheets.html holds every loop sheet, numbered, each with its verdict, the
    case's heading, a description and units, and prints one sheet to an A4
    page; the case's page prints to two pages at most."""
    failures = []
    page = os.path.abspath(os.path.join(folder, "sheets.html"))
    dom = browse(browser, profile, "--dump-dom", "file://" + page)
    found = re.findall(r'<h1>Loop sheet ([^:<]+): <span class="(passed|failed|waived)">', dom)
    print("sheets.html: %d sheets (%s)" % (len(found), ", ".join(t + " " + v for t, v in found)))
    if sorted(t for t, _ in found) != sheets:
        failures.append("sheets.html holds %s, not every linked sheet" % [t for t, _ in found])
    for k in range(1, len(sheets) + 1):
        if ">%d of %d<" % (k, len(sheets)) not in dom:
            failures.append("sheets.html has no sheet %d of %d" % (k, len(sheets)))
    for gap, what in (("<th>project</th><td></td>", "a sheet without the case's project"),
                      ("&middot; (not in FIX)", "a point without a description"),
                      ("units (not in FIX)", "a range without units")):
        if gap in dom:
            failures.append("sheets.html shows %s" % what)
    for name, most in (("sheets", len(sheets)), ("index", 2)):
        pdf = os.path.join(folder, name + ".pdf")
        browse(browser, profile, "--no-pdf-header-footer", "--print-to-pdf=" + pdf,
               "file://" + os.path.abspath(os.path.join(folder, name + ".html")))
        pages = pdf_pages(pdf) if os.path.exists(pdf) else 0
        print("%s.html prints to %d page(s)" % (name, pages))
        if pages == 0 or pages > most or (name == "sheets" and pages != most):
            failures.append("%s.html prints to %d pages, not %s%d" % (name, pages, "" if name == "sheets" else "at most ", most))
    return failures


def check_matrix(browser, profile, folder):
    """matrix.html shows every cause's row with a verdict and every marked cell
    judged, and prints to one landscape page."""
    failures = []
    page = os.path.abspath(os.path.join(folder, "matrix.html"))
    dom = browse(browser, profile, "--dump-dom", "file://" + page)
    rows = re.findall(r'<td class="(passed|failed|waived)">(passed|failed|waived)</td></tr>', dom)
    cells = re.findall(r'<td class="cell ([a-z]*)">X ', dom)
    print("matrix.html: %d causes (%s), %d marked cells" % (len(rows), ", ".join(w for _, w in rows), len(cells)))
    if not rows or "not reached" in dom:
        failures.append("matrix.html shows no cause, or one not reached")
    if any(word == "" for word in cells):
        failures.append("matrix.html has a marked cell not judged")
    pdf = os.path.join(folder, "matrix.pdf")
    browse(browser, profile, "--no-pdf-header-footer", "--print-to-pdf=" + pdf, "file://" + page)
    pages = pdf_pages(pdf) if os.path.exists(pdf) else 0
    print("matrix.html prints to %d page(s)" % pages)
    if pages != 1:
        failures.append("matrix.html prints to %d pages, not 1" % pages)
    return failures


def main(dcshost, case, folder):
    failures = []
    shutil.rmtree(folder, ignore_errors=True)
    run = subprocess.run([RUNNER, dcshost, "run", case, "--report", folder, "--no-progress"], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=600)
    if run.returncode != 0:
        sys.exit("check_report: dcshost run exited %d:\n%s" % (run.returncode, run.stdout.decode()[-2000:]))
    browser = chromium()
    profile = tempfile.mkdtemp(prefix="check-report-")
    try:
        index = "file://" + os.path.abspath(os.path.join(folder, "index.html"))
        dom = browse(browser, profile, "--dump-dom", index)
        sheets = sorted(set(re.findall(r'href="loops/([^"]+)\.html"', dom)))
        print("loop sheets linked:", ", ".join(sheets))
        matrix = 'href="matrix.html"' in dom
        if not sheets and not matrix:
            failures.append("the page links no loop sheet and no matrix")
        waived = len(re.findall(r'<td class="waived">waived</td>', dom))
        passed = len(re.findall(r'<td class="passed">passed</td>', dom))
        print("verdict cells: %d passed, %d waived" % (passed, waived))
        with open(case, encoding="utf-8") as text:
            waivers = "waived =" in text.read()
        if passed == 0 or (waivers and waived == 0):
            failures.append("the page marks no passed check, or no waived one of a case with waivers")
        shot = os.path.join(folder, "index.png")
        browse(browser, profile, "--window-size=1000,1400", "--screenshot=" + shot, index)
        pixels = png_pixels(shot)
        distinct = len(set(pixels))
        print("screenshot: %d bytes of scanlines, %d distinct byte values" % (len(pixels), distinct))
        if distinct < 16:
            failures.append("the screenshot is blank")
        for sheet in sheets:
            page = os.path.join(folder, "loops", sheet + ".html")
            if not os.path.exists(page) or not os.path.exists(os.path.join(folder, "loops", sheet + ".svg")):
                failures.append("loop sheet %s or its trend is missing" % sheet)
                continue
            pdf = os.path.join(folder, "loops", sheet + ".pdf")
            browse(browser, profile, "--no-pdf-header-footer", "--print-to-pdf=" + pdf, "file://" +
                   os.path.abspath(page))
            pages = pdf_pages(pdf) if os.path.exists(pdf) else 0
            print("loop sheet %s prints to %d page(s)" % (sheet, pages))
            if pages != 1:
                failures.append("loop sheet %s prints to %d pages, not 1" % (sheet, pages))
        if sheets:
            failures += check_sheets(browser, profile, folder, sheets)
        if matrix:
            failures += check_matrix(browser, profile, folder)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    for failure in failures:
        print("FAILED:", failure)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
