"""The harness itself: a desktop that fails to start leaves nothing running."""

import os
import stat
import tempfile

from harness import Desktop, E2EError

# Stands in for a window manager that never comes up: it records its pid and display, then
# waits to be stopped.
STALLED_WM = """#!/bin/sh
echo "$$ $DISPLAY" >> "{record}"
exec sleep 600
"""


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie is gone for our purpose; only a running process counts.
    with open(f"/proc/{pid}/stat") as handle:
        return handle.read().rsplit(")", 1)[1].split()[0] != "Z"


def failed_start_stops_what_it_started(desktop, folder):
    with tempfile.TemporaryDirectory(prefix="pulsmir-harness-") as scratch:
        record = os.path.join(scratch, "started")
        wm = os.path.join(scratch, "openbox")
        with open(wm, "w") as handle:
            handle.write(STALLED_WM.format(record=record))
        os.chmod(wm, os.stat(wm).st_mode | stat.S_IXUSR)
        path = os.environ["PATH"]
        os.environ["PATH"] = scratch + os.pathsep + path
        try:
            stalled = Desktop()
            try:
                stalled.start(attempts=2, limit=2.0)
            except E2EError as error:
                message = str(error)
            else:
                stalled.stop()
                raise E2EError("a desktop without a window manager counted as started")
        finally:
            os.environ["PATH"] = path
        if "2 attempts" not in message or "openbox" not in message:
            raise E2EError(f"unexpected failure: {message}")
        with open(record) as handle:
            starts = [line.split() for line in handle.read().splitlines()]
        if len(starts) != 2:
            raise E2EError(f"expected two tries, saw {len(starts)}")
        for pid, display in starts:
            if process_alive(int(pid)):
                raise E2EError(f"the stalled window manager {pid} still runs")
            # Xvfb removes its socket when it ends.
            socket = f"/tmp/.X11-unix/X{display.lstrip(':')}"
            if os.path.exists(socket):
                raise E2EError(f"the X server of {display} still runs")
