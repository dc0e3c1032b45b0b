#!/usr/bin/env python3
"""The replay viewer measured in headless Chromium (SwiftShader), in real time:
module and asset sizes (raw and gzip), time to the first frame on loopback,
the steps per second reached and the frame times while playing, and a seek
to the middle and to the end. Chromium is driven through its DevTools pipe (tests/web/cdp.py).
  watch_bench.py WASM_WEB_DIR NATIVE_BUILD_DIR REPLAY"""
import gzip, json, os, re, subprocess, sys, tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from cdp import Browser

web, native, replay = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
here = os.path.dirname(os.path.abspath(__file__))
work = tempfile.mkdtemp(prefix="quadrel-watch-bench.")
site = os.path.join(work, "site")
subprocess.run([os.path.join(here, "..", "scripts", "web-folder.sh"), web,
                os.path.join(native, "runtime"), site], check=True)

def sizes(name):
    data = open(os.path.join(site, name), "rb").read()
    return len(data), len(gzip.compress(data, 9))
for name in ["quadrel-viewer.wasm", "quadrel-viewer.js", "watch.js", "watch.html", "game.pack", "sound.pack"]:
    raw, gz = sizes(name)
    print("%-20s %9d bytes, gzip %9d" % (name, raw, gz))
sys.stdout.flush()

server = subprocess.Popen([os.path.join(native, "server", "quadrel-ranking-server"), "--listen", "127.0.0.1:0",
                           "--db", os.path.join(work, "r.sqlite"), "--web", site, "--rate", "0"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
browser = None
try:
    port = int(re.search(r":(\d+)", server.stdout.readline()).group(1))
    answer = subprocess.run([os.path.join(native, "tests", "quadrel-register-client"), "register", str(port),
                             replay, "Bench     "], capture_output=True, text=True).stdout.strip()
    assert answer == "OK", answer
    browser = Browser(os.path.join(work, "profile"))
    browser.open_tab()
    browser.navigate("http://127.0.0.1:%d/watch/1?selftest=1" % port)
    result = json.loads(browser.wait_for("document.body && document.body.dataset.selftest === 'done' && "
                                         "document.getElementById('selftest').textContent", timeout=120))
    print("first frame            %7.0f ms after the page was asked for %s" % (result["firstFrameMs"], result["marks"]))
    print("playing                %7.1f steps/s (target 60)" % result["stepsPerSecond"])
    print("frame interval         median %.1f ms, worst %.1f ms" % (result["intervalMsMedian"], result["intervalMsWorst"]))
    print("step + draw (script)   median %.2f ms, worst %.2f ms over %d frames" %
          (result["frameMsMedian"], result["frameMsWorst"], result["framesTimed"]))
    print("seek to step %-6d     %7.1f ms (re-simulated from the start)" % (result["seekTo"], result["seekMs"]))
    print("seek to the end        %7.1f ms" % result["toEndMs"])
    print("verdict                %s; final score %d" % (result["verdict"], result["finalScore"]))
finally:
    if browser:
        browser.close()
    server.kill()
    server.wait()
    subprocess.run(["rm", "-rf", work])
