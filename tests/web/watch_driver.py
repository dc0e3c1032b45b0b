#!/usr/bin/env python3
"""The board's Watch, clicked in headless Chromium in real time: for each game
number, the board is opened, its row's Watch link clicked, and the viewer's
self test run (it plays, seeks to the middle, pauses, runs to the end). One
JSON line per game, with the console's messages. With --message, one page
that must end in its error state showing TEXT, with a clean console.
  watch_driver.py PORT SHOT_DIR ID...
  watch_driver.py --message PORT PATH TEXT [CHROMIUM_FLAG...]"""
import json, os, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cdp import Browser


def message_page(port, path, text, flags):
    browser = Browser(tempfile.mkdtemp(prefix="quadrel-cdp."), flags)
    try:
        browser.open_tab()
        browser.navigate("http://127.0.0.1:%s%s" % (port, path))
        browser.wait_for("document.body && ['playing', 'error'].includes(document.body.dataset.state)", timeout=60)
        shown = browser.evaluate("document.body.dataset.state + ' ' + document.body.innerText")
        console = browser.console()
    finally:
        browser.close()
    problems = []
    if not shown.startswith("error ") or text not in shown:
        problems.append("no message %r: %r" % (text, shown[:200]))
    if console:
        problems.append("the console was not clean: %r" % console[:3])
    print(("FAIL " if problems else "ok   ") + path + "".join("\n  " + p for p in problems))
    sys.exit(1 if problems else 0)


if sys.argv[1] == "--message":
    message_page(sys.argv[2], sys.argv[3], sys.argv[4], tuple(sys.argv[5:]))
port, shots, ids = sys.argv[1], sys.argv[2], sys.argv[3:]
board = "http://127.0.0.1:%s/" % port
status = 0
for id_ in ids:
    browser = Browser(tempfile.mkdtemp(prefix="quadrel-cdp."))
    try:
        browser.open_tab()
        browser.navigate(board)
        browser.wait_for("document.readyState === 'complete' && !!document.querySelector('a[href=\"/watch/%s\"]')" % id_)
        browser.evaluate("document.querySelector('a[href=\"/watch/%s\"]').click()" % id_)
        state = browser.wait_for("location.pathname === '/watch/%s' && document.body && "
                                 "['playing', 'error'].includes(document.body.dataset.state) && "
                                 "document.body.dataset.state" % id_, timeout=90)
        if state != "playing":
            raise RuntimeError(browser.evaluate("document.getElementById('status').textContent"))
        browser.wait_for("Number(document.body.dataset.step) > 30", timeout=60)
        browser.screenshot(os.path.join(shots, "watch-%s-playing.png" % id_))
        result = json.loads(browser.evaluate("window.quadrelViewerSelftest()", await_promise=True, timeout=120))
        browser.screenshot(os.path.join(shots, "watch-%s-end.png" % id_))
        result["console"] = browser.console()
        result["id"] = id_
    except Exception as e:  # reported per game; the others still run
        result = {"id": id_, "error": str(e)}
        status = 1
    finally:
        browser.close()
    print(json.dumps(result))
    sys.stdout.flush()
sys.exit(status)
