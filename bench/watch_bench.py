#!/usr/bin/env python3
"""The replay viewer measured in headless Chromium (SwiftShader), in real time:
module and asset sizes (raw and gzip), time to the first frame on loopback,
the steps per second reached and the frame times while playing, and a seek
to the middle and to the end. Chromium is driven through its DevTools pipe.
  watch_bench.py WASM_WEB_DIR NATIVE_BUILD_DIR REPLAY"""
import gzip, json, os, re, subprocess, sys, tempfile, time

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
    # Pipe fds 3 (to the browser) and 4 (from it): JSON messages ending in NUL.
    to_r, to_w = os.pipe()
    from_r, from_w = os.pipe()
    os.set_inheritable(to_r, True)
    os.set_inheritable(from_w, True)
    browser = subprocess.Popen(
        ["bash", "-c", 'exec "$@" 3<&%d 4>&%d' % (to_r, from_w), "chromium", "chromium", "--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--remote-debugging-pipe", "--no-first-run", "--disable-background-networking",
         "--user-data-dir=" + os.path.join(work, "profile"), "--window-size=700,900", "about:blank"],
        pass_fds=(to_r, from_w), stderr=subprocess.DEVNULL)
    os.close(to_r)
    os.close(from_w)
    buffered = b""
    next_id = [0]

    def call(method, params=None, session=None):
        next_id[0] += 1
        msg = {"id": next_id[0], "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        os.write(to_w, json.dumps(msg).encode() + b"\0")
        global buffered
        while True:
            while b"\0" not in buffered:
                buffered += os.read(from_r, 1 << 20)
            line, buffered = buffered.split(b"\0", 1)
            reply = json.loads(line)
            if reply.get("id") == next_id[0]:
                return reply.get("result", {})

    target = call("Target.createTarget", {"url": "about:blank"})["targetId"]
    session = call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
    call("Page.navigate", {"url": "http://127.0.0.1:%d/watch/1?selftest=1" % port}, session)
    deadline = time.time() + 90
    result = None
    while time.time() < deadline:
        value = call("Runtime.evaluate", {"expression": "document.body && document.body.dataset.selftest === 'done' ? "
                                          "document.getElementById('selftest').textContent : ''",
                                          "returnByValue": True}, session)
        text = value.get("result", {}).get("value", "")
        if text:
            result = json.loads(text)
            break
        time.sleep(0.2)
    if not result:
        sys.exit("the viewer's self test did not finish")
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
        browser.kill()
        browser.wait()
    server.kill()
    server.wait()
    subprocess.run(["rm", "-rf", work])
