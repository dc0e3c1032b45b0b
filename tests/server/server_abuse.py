#!/usr/bin/env python3
"""What hostile clients cost a running ranking server.

  server_abuse.py PORT PID GOLDEN_DIR

Bombs: a gzip body and a brotli body of 1 GiB each once decoded, an endless
chunked body, a 64 MiB header line, 10,000 headers. Each must be answered
with a 4xx (or the connection closed) within a few seconds, the server must
live on, and its peak memory (VmHWM) must grow by less than 64 MiB.

Slow clients: 64 connections from 127.0.0.1 each sending a header line a
second; a registration (sent as the game sends it) and GET /api/top from
127.0.0.2 must each be answered within 1 s.
"""
import glob
import os
import select
import socket
import struct
import subprocess
import sys
import threading
import time
import zlib

port, pid, golden = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def peak_kib():
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return -1


def attack(head, body_chunks, seconds=10):
    """Sends the head, then body chunks as long as the server reads them.
    Returns (status or 0 when closed without an answer, seconds to it)."""
    s = socket.create_connection(("127.0.0.1", port))
    s.setblocking(False)
    start = time.monotonic()
    pending = head
    chunks = iter(body_chunks)
    reply = b""
    try:
        while time.monotonic() - start < seconds:
            if not pending:
                pending = next(chunks, b"")
            r, w, _ = select.select([s], [s] if pending else [], [], 0.5)
            if r:
                data = s.recv(65536)
                if not data:
                    break
                reply += data
                if b"\r\n" in reply:
                    break
            if w and pending:
                try:
                    pending = pending[s.send(pending):]
                except BlockingIOError:
                    pass
    except (ConnectionResetError, BrokenPipeError):
        pass
    finally:
        s.close()
    status = int(reply[9:12]) if reply.startswith(b"HTTP/1.") and len(reply) >= 12 else 0
    return status, time.monotonic() - start


def gzip_bomb():
    # Members of a gzip stream decode one after the other: 64 of 16 MiB.
    c = zlib.compressobj(9, zlib.DEFLATED, 31)
    member = c.compress(bytes(16 << 20)) + c.flush()
    return member * 64


def brotli_bomb():
    zeros = subprocess.Popen(["head", "-c", str(1 << 30), "/dev/zero"], stdout=subprocess.PIPE)
    out = subprocess.run(["brotli", "-c", "-q", "1"], stdin=zeros.stdout, stdout=subprocess.PIPE,
                         check=True).stdout
    zeros.wait()
    return out


def endless(piece):
    while True:
        yield piece


def bombs():
    reg = b"POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\nContent-type: multipart/form-data\r\n"
    gz, br = gzip_bomb(), brotli_bomb()
    cases = [
        ("gzip bomb (%d bytes)" % len(gz),
         reg + b"Content-Encoding: gzip\r\nContent-Length: %d\r\n\r\n" % len(gz), [gz]),
        ("brotli bomb (%d bytes)" % len(br),
         reg + b"Content-Encoding: br\r\nContent-Length: %d\r\n\r\n" % len(br), [br]),
        ("endless chunked body",
         reg + b"Transfer-Encoding: chunked\r\n\r\n", endless(b"10000\r\n" + bytes(65536) + b"\r\n")),
        ("64 MiB header line",
         b"GET /api/top HTTP/1.1\r\nX-Long: ", (b"a" * (1 << 20) for _ in range(64))),
        ("10,000 headers",
         b"GET /api/top HTTP/1.1\r\n", (b"X-H%d: v\r\n" % i for i in range(10000))),
    ]
    for what, head, body in cases:
        before = peak_kib()
        status, seconds = attack(head, body)
        after = peak_kib()
        alive = os.path.exists(f"/proc/{pid}")
        print(f"{what}: answer {status or 'closed'} after {seconds:.3f} s, "
              f"peak RSS {before // 1024} -> {after // 1024} MiB (+{(after - before) / 1024:.1f})")
        check(alive and (400 <= status < 500 or status == 0) and seconds < 3,
              f"{what} refused promptly, server alive")
        check(after - before < 64 * 1024, f"{what} peak RSS grew by less than 64 MiB")


def game_request(replay, name, file_name):
    score, = struct.unpack_from("<i", replay, 20)
    level, = struct.unpack_from("<i", replay, 52)
    daytime = replay[24:44].split(b"\0")[0]
    fields = [(b"cmd", b"regist"), (b"ver", b"20050511"), (b"name", name), (b"daytime", daytime),
              (b"score", b"%d" % score), (b"level", b"%d" % level), (b"filename", file_name),
              (b"data", replay)]
    body = b""
    for key, value in fields:
        kind = b"octet/stream" if key == b"data" else b"text/plain"
        body += (b"--0123456789ABCD\r\nContent-Disposition: form-data; name=\"" + key +
                 b"\"\r\nContent-Type: " + kind + b"\r\n\r\n" + value + b"\r\n")
    body += b"--0123456789ABCD--\r\n"
    return (b"POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n"
            b"Content-type: multipart/form-data; boundary=\"0123456789ABCD\"\r\n"
            b"Content-Length: %d\r\nHost: localhost\r\n\r\n" % len(body)) + body


def exchange_from(address, request):
    """As the game does: the request, its sending side shut, the reply to the end."""
    s = socket.socket()
    s.bind((address, 0))
    s.settimeout(10)
    start = time.monotonic()
    s.connect(("127.0.0.1", port))
    s.sendall(request)
    s.shutdown(socket.SHUT_WR)
    reply = b""
    while True:
        data = s.recv(65536)
        if not data:
            break
        reply += data
    s.close()
    return reply, time.monotonic() - start


def slow_clients():
    stop = threading.Event()
    held = []

    def trickle():
        for _ in range(64):
            s = socket.create_connection(("127.0.0.1", port))
            s.sendall(b"GET /api/top HTTP/1.1\r\n")
            held.append(s)
        n = 0
        while not stop.wait(1.0):
            n += 1
            for s in held:
                try:
                    s.send(b"X-Slow-%d: 1\r\n" % n)
                except OSError:
                    pass

    t = threading.Thread(target=trickle)
    t.start()
    time.sleep(1.5)
    replay_path = sorted(glob.glob(os.path.join(golden, "*.rep")))[0]
    with open(replay_path, "rb") as f:
        replay = f.read()
    reply, reg_seconds = exchange_from(
        "127.0.0.2", game_request(replay, b"SLOW TEST ", os.path.basename(replay_path).encode()))
    top, top_seconds = exchange_from("127.0.0.2", b"GET /api/top HTTP/1.0\r\nHost: x\r\n\r\n")
    stop.set()
    t.join()
    for s in held:
        s.close()
    print(f"under {len(held)} slow connections: registration answered {reply[-2:].decode()!r} "
          f"in {reg_seconds * 1000:.0f} ms, GET /api/top {top[9:12].decode()} in "
          f"{top_seconds * 1000:.0f} ms")
    check(reply.endswith(b"OK") and reg_seconds < 1, "registration answered within 1 s")
    check(top.startswith(b"HTTP/1.1 200") and b"SLOW TEST" in top and top_seconds < 1,
          "GET /api/top answered within 1 s")


bombs()
slow_clients()
if failures:
    sys.exit(1)
