"""Hostile local peers: clients that pour into Local Talk or crowd it, and an SSTP host whose
reply never ends. The monitor's memory and descriptors are read from /proc meanwhile; it keeps
answering, exits when told and keeps its settings. Each case runs in a network namespace of its
own, so that nothing it pours reaches another run on the machine."""

import os
import time

from faults import descriptor_limit, isolate_network
from harness import E2EError, Pulsmir, wait_until
from hostile_peers import Crowd, Sampler, pour_into_local_talk, select_skin
from shell_cases import expect
from sstp_cases import exit_from_the_menu, the_window
from sstp_host import PouringHost
from window_cases import SLOW, start

MEMORY_LIMIT_KIB = 64 * 1024
DESCRIPTOR_LIMIT = 100
SCRIPTS = ("[Start]\r\nType1=hello\r\n[UserExitA]\r\nType1=bye\r\n[UserExitB]\r\nType1=bye\r\n"
           "[UserExitC]\r\nType1=bye\r\n")


def still_answers(folder):
    """A Local Talk client is heard and switches the skin. Right after a crowd a client may
    still be turned away for a moment, as any would be; it tries again, as a program would."""
    switched = folder.log_lines().count("##Remote Control End")
    deadline = time.monotonic() + SLOW
    while time.monotonic() < deadline:
        select_skin("FlatDigital.ini")
        try:
            folder.wait_for_log("##Remote Control End", count=switched + 1, timeout=3)
            return
        except E2EError:
            pass
    raise E2EError("no Local Talk client was heard")


def exits_and_keeps_its_settings(program, folder):
    expect(program.terminate(timeout=SLOW) == 0, "exit code after SIGTERM")
    expect("Application Setting Saved" in folder.log_lines(), "settings not saved")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Pulsmir Flat Digital",
           "the skin picked over Local Talk was not kept")


def local_talk_pour_keeps_memory(desktop, folder):
    isolate_network()
    program = start(desktop, folder)
    pid = program.process.pid
    with Sampler(pid) as sampler:
        sent, connections = pour_into_local_talk(4)
    expect(sent > 16 * 1024 * 1024, f"the clients sent only {sent} bytes")
    expect(sampler.peak["memory KiB"] < MEMORY_LIMIT_KIB,
           f"{sampler.summary()} while {sent >> 20} MiB poured in {connections} connections")
    lines = folder.log_lines()
    expect("Pulsmir Local Talk : more than 4096 bytes; connection closed" in lines, "no cut")
    expect(max(len(line) for line in lines) < 8192, "a log line holds what a client poured")
    still_answers(folder)
    exits_and_keeps_its_settings(program, folder)


def local_talk_crowd_keeps_descriptors(desktop, folder):
    isolate_network()
    program = start(desktop, folder)
    with Sampler(program.process.pid) as sampler:
        with Crowd(3000) as crowd:
            # All but the few let in are turned away as they come.
            deadline = time.monotonic() + SLOW
            while crowd.closed_by_monitor() < 3000 - 16 and time.monotonic() < deadline:
                time.sleep(0.2)
            turned_away = crowd.closed_by_monitor()
    expect(turned_away >= 3000 - 16, f"only {turned_away} of 3000 clients were turned away")
    expect(sampler.peak["descriptors"] < DESCRIPTOR_LIMIT, sampler.summary())
    lines = folder.log_lines()
    expect(lines.count("Pulsmir Local Talk : 16 clients at once; the idlest makes room for each "
                       "newcomer") == 1, "the crowd is not logged once")
    still_answers(folder)
    exits_and_keeps_its_settings(program, folder)


def local_talk_idle_clients_make_room(desktop, folder):
    """Sixteen clients that connect and say nothing fill the table; the next client is heard at
    once, in place of the one silent longest, not after their ten seconds."""
    isolate_network()
    program = start(desktop, folder)
    with Crowd(16) as crowd:
        folder.wait_for_log("Pulsmir Local Talk : Connected", count=16, timeout=SLOW)
        select_skin("FlatDigital.ini")
        folder.wait_for_log("##Remote Control End", timeout=5)
        expect(crowd.closed_by_monitor() == 1, f"{crowd.closed_by_monitor()} idle clients closed")
    exits_and_keeps_its_settings(program, folder)


def local_talk_crowd_at_the_descriptor_limit(desktop, folder):
    """The monitor runs out of descriptors with a crowd at the door: it turns clients away,
    logs that once, and still answers and saves its settings."""
    isolate_network()
    # A ping every two seconds: at the usual minute the first one came as the wait ran out.
    probe = start(desktop, folder, PingRate=2)
    # What it holds once running, its ping included.
    wait_until(lambda: any(line.startswith(" Ping Result") for line in folder.log_lines()),
               timeout=SLOW, what="the first ping")
    base = len(os.listdir(f"/proc/{probe.process.pid}/fd"))
    expect(probe.terminate(timeout=SLOW) == 0, "exit code of the probe run")
    earlier = len(folder.log_lines())
    # Room for a few clients, not for the sixteen it would let in.
    program = Pulsmir(desktop, folder, preexec=descriptor_limit(base + 8))
    folder.wait_for_log("Application Running...", count=2, timeout=SLOW)
    with Crowd(3000) as crowd:
        deadline = time.monotonic() + SLOW
        while crowd.closed_by_monitor() < 3000 - 16 and time.monotonic() < deadline:
            time.sleep(0.2)
        turned_away = crowd.closed_by_monitor()
        wait_until(lambda: any("Accept Failed" in line for line in folder.log_lines()[earlier:]),
                   timeout=SLOW, what="the accept failure in the log")
    expect(turned_away >= 3000 - 16, f"only {turned_away} of 3000 clients were turned away")
    failures = [line for line in folder.log_lines()[earlier:] if "Accept Failed" in line]
    expect(len(failures) == 1, f"accept failures logged {len(failures)} times: {failures[:3]}")
    still_answers(folder)
    saved = folder.log_lines().count("Application Setting Saved")
    expect(program.terminate(timeout=SLOW) == 0, "exit code after SIGTERM")
    expect(folder.log_lines().count("Application Setting Saved") == saved + 1, "settings not saved")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Pulsmir Flat Digital",
           "the skin picked over Local Talk was not kept")


def sstp_host_without_end(desktop, folder):
    isolate_network()
    folder.write("sstp.ini", SCRIPTS)
    with PouringHost() as host:
        program = start(desktop, folder, SstpSW=1, SkinMode=1)
        with Sampler(program.process.pid) as sampler:
            # The start-up check and the Start event went out; a skin switch sends more.
            still_answers(folder)
            time.sleep(2)
        expect(sampler.peak["memory KiB"] < MEMORY_LIMIT_KIB,
               f"{sampler.summary()} while the host poured {host.poured >> 20} MiB")
        lines = folder.log_lines()
        expect(lines.count(".:.:. SSTP Reply cut at 8192 bytes") >= 4, "replies were not cut")
        expect(max(len(line) for line in lines) < 9000, "a log line holds the whole reply")
        expect(".:.:. SSTP Sending :hello" in lines, "the Start event")
        # Exit sends Quiet, the exit event's script and Restore to the same host.
        exit_from_the_menu(desktop, program, the_window(desktop))
        expect(".:.:. SSTP Sending :bye" in folder.log_lines(), "the exit event")
        expect("Application Setting Saved" in folder.log_lines(), "settings not saved")
