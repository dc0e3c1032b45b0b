"""Headless Chromium driven through its DevTools pipe (file descriptors 3 and
4, JSON messages ending in NUL): no WebSocket library needed. Used by the
viewer's browser test and its bench."""
import base64, json, os, subprocess, time


class Browser:
    def __init__(self, profile, extra=()):
        to_r, self._to = os.pipe()
        self._from, from_w = os.pipe()
        self.proc = subprocess.Popen(
            ["bash", "-c", 'exec "$@" 3<&%d 4>&%d' % (to_r, from_w), "chromium", "chromium", "--headless",
             "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--remote-debugging-pipe",
             "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + profile, *extra, "about:blank"],
            pass_fds=(to_r, from_w), stderr=subprocess.DEVNULL)
        os.close(to_r)
        os.close(from_w)
        self._buffer = b""
        self._id = 0
        self.events = []
        self.session = None

    def call(self, method, params=None, timeout=60):
        self._id += 1
        message = {"id": self._id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        os.write(self._to, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while time.time() < deadline:
            while b"\0" not in self._buffer:
                chunk = os.read(self._from, 1 << 20)
                if not chunk:
                    raise RuntimeError("the browser went away")
                self._buffer += chunk
            line, self._buffer = self._buffer.split(b"\0", 1)
            reply = json.loads(line)
            if reply.get("id") == self._id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)
        raise RuntimeError(method + " had no answer")

    def open_tab(self, width=700, height=900):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.call("Runtime.enable")
        self.call("Page.enable")

    def evaluate(self, expression, await_promise=False, timeout=60):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": await_promise}, timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("page: %s" % result["exceptionDetails"].get("text"))
        return result.get("result", {}).get("value")

    def wait_for(self, expression, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                value = self.evaluate(expression)
            except RuntimeError as e:
                # A click that navigates may end the page this asked in; ask the next one.
                gone = ("navigated or closed", "Cannot find context", "context was destroyed")
                if not any(g in str(e) for g in gone):
                    raise
                value = None
            if value:
                return value
            time.sleep(0.1)
        raise RuntimeError("waited in vain for " + expression)

    def navigate(self, url):
        self.call("Page.navigate", {"url": url})

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    # Console messages and uncaught exceptions seen so far.
    def console(self):
        self.call("Runtime.evaluate", {"expression": "0"})  # let pending events in
        lines = []
        for e in self.events:
            if e["method"] == "Runtime.consoleAPICalled":
                lines.append(e["params"]["type"] + ": " + " ".join(
                    str(a.get("value", a.get("description", ""))) for a in e["params"]["args"]))
            elif e["method"] == "Runtime.exceptionThrown":
                lines.append("exception: " + e["params"]["exceptionDetails"].get("text", ""))
        return lines

    def close(self):
        self.proc.kill()
        self.proc.wait()
