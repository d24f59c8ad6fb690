#!/usr/bin/env python3
"""The HTML documentation of a release, opened in headless Chromium.

    docs_test.py DOCS_DIR [EXPECTED_FUNCTIONS]

Drives Chromium through its DevTools protocol over a pipe (no network port)
and checks, as a reader would see them: every link and every style sheet or
script of every page resolves (the file exists, and the anchor a link names
is an element of the page it leads to); the index lists every function of
the library, once each, and each entry leads to its section; typing a
function's name in the search box and pressing Enter leads to its section.
Prints one line per check, "[       OK ] Docs.Name" or "[  FAILED  ] Docs.Name",
as the test runner counts them.
"""
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request


class Browser:
    """One headless Chromium, one page, commands over --remote-debugging-pipe."""

    def __init__(self):
        exe = shutil.which("chromium") or shutil.which("chromium-browser")
        if not exe:
            raise RuntimeError("chromium is not installed")
        self.profile = tempfile.mkdtemp(prefix="kavro-docs-")
        # The pipes' ends are moved above 9 first, so that placing two of them
        # at 3 and 4 in the child never overwrites the other.
        high = lambda fd: (fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10), os.close(fd))[0]
        to_browser_r, self.to_browser = map(high, os.pipe())
        self.from_browser, from_browser_w = map(high, os.pipe())
        # Chromium reads commands on its descriptor 3 and answers on 4; every
        # other descriptor of this process closes when it starts.
        self.proc = subprocess.Popen(
            [exe, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-extensions", "--disable-background-networking", "--mute-audio",
             "--remote-debugging-pipe", "--user-data-dir=" + self.profile, "--window-size=1200,900",
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=lambda: (os.dup2(to_browser_r, 3), os.dup2(from_browser_w, 4)))
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=True)
        self.call("Runtime.enable", session=True)

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise TimeoutError("no answer from chromium")
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                raise RuntimeError("chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=False, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(method + ": " + json.dumps(answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True}, session=True)
        if "exceptionDetails" in result:
            raise RuntimeError("script failed: " + json.dumps(result["exceptionDetails"])[:300])
        return result["result"].get("value")

    def wait_for(self, expression, timeout=15):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                value = self.evaluate(expression)
                if value:
                    return value
            except RuntimeError:
                pass
            time.sleep(0.05)
        return None

    def open(self, url):
        self.call("Page.navigate", {"url": url}, session=True)
        if not self.wait_for("document.readyState === 'complete' && location.href === %s" % json.dumps(url)):
            raise RuntimeError("page did not load: " + url)

    def key(self, key, code, vk, text=""):
        for kind in ("keyDown", "keyUp"):
            params = {"type": kind, "key": key, "code": code, "windowsVirtualKeyCode": vk}
            if text and kind == "keyDown":
                params["text"] = text
            self.call("Input.dispatchKeyEvent", params, session=True)

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


# What a page holds: its ids, its links, what it loads, and the function index.
PAGE_FACTS = """(() => ({
  ids: Array.from(document.querySelectorAll('[id]')).map(e => e.id),
  links: Array.from(document.querySelectorAll('a[href]')).map(a => a.href),
  loads: Array.from(document.querySelectorAll('link[href], script[src], img[src]')).map(e => e.href || e.src),
  index: Array.from(document.querySelectorAll('#function-index tbody tr td:first-child a')).map(a => [a.textContent, a.href]),
  backToIndex: Array.from(document.querySelectorAll('a[href]')).some(a => a.href.split('#')[0].endsWith('/index.html')),
  scripts: typeof window.KAVRO_FUNCTIONS === 'object' && window.KAVRO_FUNCTIONS.length,
  searchable: (window.KAVRO_FUNCTIONS || []).map(f => f[0]),
}))()"""


def file_of(url):
    parts = urllib.parse.urlsplit(url)
    return parts.scheme, urllib.request.url2pathname(parts.path), urllib.parse.unquote(parts.fragment)


def main():
    docs = os.path.abspath(sys.argv[1])
    expected = int(sys.argv[2]) if len(sys.argv) > 2 else 244
    results = []

    def report(name, problems):
        if problems:
            print("[  FAILED  ] Docs.%s" % name)
            for p in problems[:20]:
                print("    " + p)
            if len(problems) > 20:
                print("    ... and %d more" % (len(problems) - 20))
        else:
            print("[       OK ] Docs.%s" % name)
        results.append(not problems)

    browser = Browser()
    try:
        index_url = "file://" + urllib.request.pathname2url(os.path.join(docs, "index.html"))
        pages = {}
        todo = [os.path.join(docs, "index.html")] + sorted(
            os.path.join(docs, f) for f in os.listdir(docs) if f.endswith(".html"))
        while todo:
            path = todo.pop(0)
            if path in pages:
                continue
            if not os.path.isfile(path):
                continue
            browser.open("file://" + urllib.request.pathname2url(path))
            facts = browser.evaluate(PAGE_FACTS)
            pages[path] = facts
            for link in facts["links"]:
                scheme, target, _ = file_of(link)
                if scheme == "file" and target.endswith(".html") and target not in pages:
                    todo.append(target)

        problems = []
        for path, facts in sorted(pages.items()):
            name = os.path.relpath(path, docs)
            for link in facts["links"] + facts["loads"]:
                scheme, target, anchor = file_of(link)
                if scheme != "file":
                    problems.append("%s: %s leaves the package" % (name, link))
                elif not os.path.exists(target):
                    problems.append("%s: %s does not exist" % (name, link))
                elif anchor:
                    if target not in pages:
                        problems.append("%s: %s names an anchor in a file that is no page" % (name, link))
                    elif anchor not in pages[target]["ids"]:
                        problems.append("%s: %s names no element of %s" % (name, link, os.path.basename(target)))
        report("EveryLinkOfEveryPageResolves (%d pages)" % len(pages), problems)

        problems = ["%s has no link back to the index" % os.path.relpath(p, docs)
                    for p, f in sorted(pages.items()) if not f["backToIndex"]]
        problems += ["%s does not load the function list of the search box" % os.path.relpath(p, docs)
                     for p, f in sorted(pages.items()) if not f["scripts"]]
        report("EveryPageLinksBackToTheIndexAndSearches", problems)

        index = pages.get(os.path.join(docs, "index.html"), {}).get("index", [])
        names = [text.rstrip("()") for text, _ in index]
        problems = []
        if len(names) != expected:
            problems.append("the index lists %d functions, not %d" % (len(names), expected))
        if len(set(names)) != len(names):
            problems.append("the index lists some functions twice")
        for text, href in index:
            _, target, anchor = file_of(href)
            if anchor != text.rstrip("()"):
                problems.append("%s leads to %s" % (text, href))
        searchable = pages.get(os.path.join(docs, "index.html"), {}).get("searchable", [])
        for name in sorted(set(names) - set(searchable)):
            problems.append("the search box does not know %s" % name)
        for name in sorted(set(searchable) - set(names)):
            problems.append("the search box knows %s, which the index lacks" % name)
        report("TheIndexListsEveryFunction (%d)" % len(names), problems)

        problems = []
        browser.open(index_url)
        browser.evaluate("document.getElementById('kavro-search').focus()")
        for ch in "BM_AT1":
            browser.call("Input.insertText", {"text": ch}, session=True)
        first = browser.wait_for("(() => { const a = document.querySelector('#kavro-results li a');"
                                 " return a && a.textContent.startsWith('BM_AT1()') && a.textContent; })()", 5)
        if not first:
            problems.append("typing BM_AT1 shows no match for it first: %r" %
                            browser.evaluate("document.getElementById('kavro-results').textContent"))
        browser.key("Enter", "Enter", 13, "\r")
        arrived = browser.wait_for("location.hash === '#BM_AT1' && location.pathname.endsWith('/bitmaps.html')"
                                   " && document.readyState === 'complete'", 10)
        if not arrived:
            problems.append("Enter led to %s, not bitmaps.html#BM_AT1" % browser.evaluate("location.href"))
        else:
            section = browser.evaluate("(() => { const t = document.querySelector(':target');"
                                       " if (!t) return null; const r = t.getBoundingClientRect();"
                                       " const seen = document.elementFromPoint(r.left + 4, r.top + r.height / 2);"
                                       " return [t.tagName, t.textContent, !!seen && t.contains(seen)]; })()")
            if not section or section[0] != "H2" or section[1] != "BM_AT1()" or not section[2]:
                problems.append("the section BM_AT1() is not in view (heading, text, visible): %r" % (section,))
        report("TypingBM_AT1InTheSearchBoxLeadsToItsSection", problems)
    finally:
        browser.close()
    return 0 if all(results) else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception as e:  # a browser that cannot start is a failure, said plainly
        print("[  FAILED  ] Docs.BrowserRuns")
        print("    %s: %s" % (type(e).__name__, e))
        sys.exit(1)
