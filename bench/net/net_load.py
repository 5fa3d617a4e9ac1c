#!/usr/bin/env python3
"""Clients for followers.py, run inside the sandbox next to qorconsole.

  net_load.py followers N POLL STATUS   N followers, each from its own address,
                                        logged in as upsmon does, asking for
                                        ups.status every POLL s; on FSD they log
                                        out, as a follower does when it shuts down
  net_load.py attack STATUS             one logged-in client pipelining 10 000
                                        commands at a time, one that never reads,
                                        one sending a byte a second, and a polite
                                        one asking once a second

STATUS is a JSON file rewritten every half second with what was seen.
"""
import asyncio
import json
import os
import random
import resource
import sys
import time

PORT = 3493
USER = ("USERNAME mon", "PASSWORD secret", "LOGIN qor")


class Stats:
    def __init__(self):
        self.d = {"connected": 0, "logged_in": 0, "answers": 0, "errors": 0, "dropped": 0,
                  "logouts": 0, "first_fsd": None, "last_logout": None, "latencies": [],
                  "pipelined_batches": 0, "pipelined_batch_s": [], "never_reader_drops": 0,
                  "byte_sender_drops": 0, "polite_answers": 0, "polite_failures": 0,
                  "polite_latencies": []}

    def write(self, path):
        d = dict(self.d)
        lat = sorted(d.pop("latencies"))
        pol = sorted(d.pop("polite_latencies"))
        d["latency_p50_ms"] = 1000 * lat[len(lat) // 2] if lat else None
        d["latency_p99_ms"] = 1000 * lat[int(len(lat) * 0.99)] if lat else None
        d["latency_max_ms"] = 1000 * lat[-1] if lat else None
        d["polite_latency_max_ms"] = 1000 * pol[-1] if pol else None
        tmp = path + ".tmp"
        with open(tmp, "w") as f:
            json.dump(d, f)
        os.replace(tmp, path)


async def connect(local=None):
    return await asyncio.open_connection("127.0.0.1", PORT, local_addr=(local, 0) if local else None)


async def login(r, w):
    for c in USER:
        w.write(c.encode() + b"\n")
        await w.drain()
        if (await r.readline()).strip() != b"OK":
            return False
    return True


async def follower(i, poll, st):
    local = "127.1.%d.%d" % (i // 250, i % 250 + 1)
    try:
        r, w = await connect(local)
        st.d["connected"] += 1
        if not await login(r, w):
            st.d["errors"] += 1
            return
        st.d["logged_in"] += 1
        await asyncio.sleep(random.uniform(0, poll))
        while True:
            t = time.monotonic()
            w.write(b"GET VAR qor ups.status\n")
            await w.drain()
            line = await r.readline()
            if not line:
                st.d["dropped"] += 1
                return
            st.d["latencies"].append(time.monotonic() - t)
            st.d["answers"] += 1
            if b"FSD" in line:
                if st.d["first_fsd"] is None:
                    st.d["first_fsd"] = time.time()
                w.write(b"LOGOUT\n")
                await w.drain()
                await r.readline()
                w.close()
                st.d["logouts"] += 1
                st.d["last_logout"] = time.time()
                return
            await asyncio.sleep(poll)
    except OSError:
        st.d["errors"] += 1


async def pipeliner(st):
    r, w = await connect()
    await login(r, w)
    batch = b"GET VAR qor ups.status\n" * 10000
    while True:
        t = time.monotonic()
        w.write(batch)
        got = 0
        while got < 10000:
            if not await r.readline():
                return
            got += 1
        st.d["pipelined_batches"] += 1
        st.d["pipelined_batch_s"].append(round(time.monotonic() - t, 3))
        st.d["pipelined_batch_s"] = st.d["pipelined_batch_s"][-20:]


async def never_reader(st):
    while True:
        try:
            r, w = await connect()
            w.transport.set_write_buffer_limits(high=1 << 16)
            while True:
                w.write(b"LIST VAR qor\n" * 64)
                await asyncio.wait_for(w.drain(), 30)
                await asyncio.sleep(0.01)
        except (OSError, asyncio.TimeoutError):
            st.d["never_reader_drops"] += 1
            await asyncio.sleep(0.5)


async def byte_sender(st):
    while True:
        try:
            r, w = await connect()
            while True:
                w.write(b"\n" if random.random() < 0.5 else b"V")
                await w.drain()
                await asyncio.sleep(1)
                if r.at_eof():
                    raise OSError
        except OSError:
            st.d["byte_sender_drops"] += 1
            await asyncio.sleep(0.5)


async def polite(st):
    while True:
        t = time.monotonic()
        try:
            r, w = await connect()
            w.write(b"GET VAR qor ups.status\n")
            line = await asyncio.wait_for(r.readline(), 5)
            w.close()
            if line.startswith(b"VAR qor ups.status"):
                st.d["polite_answers"] += 1
                st.d["polite_latencies"].append(time.monotonic() - t)
            else:
                st.d["polite_failures"] += 1
        except (OSError, asyncio.TimeoutError):
            st.d["polite_failures"] += 1
        await asyncio.sleep(1)


async def reporter(st, path):
    while True:
        st.write(path)
        await asyncio.sleep(0.5)


async def main():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    st = Stats()
    mode = sys.argv[1]
    tasks = []
    if mode == "followers":
        n, poll, path = int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
        tasks.append(asyncio.create_task(reporter(st, path)))
        for i in range(n):
            tasks.append(asyncio.create_task(follower(i, poll, st)))
            if i % 50 == 49:
                await asyncio.sleep(0.05)  # as machines come up, not all in one instant
    else:
        path = sys.argv[2]
        tasks.append(asyncio.create_task(reporter(st, path)))
        for f in (pipeliner, never_reader, byte_sender, polite):
            tasks.append(asyncio.create_task(f(st)))
    await asyncio.gather(*tasks, return_exceptions=True)


if __name__ == "__main__":
    asyncio.run(main())
