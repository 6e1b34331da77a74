"""SSTP: the program's notifications to a mascot host on 127.0.0.1."""

import time

from harness import wait_until, window_geometry
from shell_cases import expect, expect_in_order, main_windows
from sstp_host import SstpHost
from window_cases import popup_menu, start

SCRIPTS = ("[Start]\r\nType1=\\0start script\\e\r\n"
           "[ChangeModeA]\r\nType1=mode full\r\n[ChangeModeB]\r\nType1=mode compact\r\n"
           "[UserExitA]\r\nType1=quick exit\r\n[UserExitB]\r\nType1=long exit\r\n"
           "[UserExitC]\r\nType1=exit\r\n")


def the_window(desktop):
    return wait_until(lambda: next(iter(main_windows(desktop)), None), what="the main window")


def double_click(desktop, window):
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + 10), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])


def exit_from_the_menu(desktop, program, window):
    # Up from the top of the menu is its last item, Exit.
    popup_menu(desktop, window, ["Up", "Return"])
    expect(program.wait_exit() == 0, "exit code after Exit")


def notifications_reach_the_host(desktop, folder):
    folder.write("sstp.ini", SCRIPTS)
    with SstpHost() as host:
        program = start(desktop, folder, SstpSW=1, SkinMode=1)
        expect_in_order(folder.log_lines(), [
            ".:.:. Checking SSTP Connection...", ".:.:. >> EXECUTE SstpExGetName",
            ".:.:. >> Host Name :Emily", ".:.:. >> EXECUTE SstpExGetVersion",
            ".:.:. >> Host Ver. :2.6.1", "SSTP Status : READY", "SSTP File Load SUCCESSFUL",
            ".:.:. SSTP Sending :\\0start script\\e", "Application Running..."])
        # The host takes EXECUTE only as 1.0: asked once in 1.1, then in 1.0 for the whole run.
        expect(len([line for line in folder.log_lines() if "refuses EXECUTE SSTP/1.1" in line]) == 1,
               "the switch to SSTP/1.0 is not logged once")
        # "Start" is queued: Quiet and Restore at once, the script on the next resend tick.
        wait_until(lambda: len(host.commands()) >= 6, what="the start script")
        expect(host.commands() == [
            "EXECUTE SSTP/1.1 getname", "EXECUTE SSTP/1.0 getname", "EXECUTE SSTP/1.0 getversion",
            "EXECUTE SSTP/1.0 Quiet", "EXECUTE SSTP/1.0 Restore", "SEND \\0start script\\e"],
            f"start-up requests: {host.commands()}")
        start_send = host.connections()[5][1]
        expect(start_send.startswith(b"SEND SSTP/1.0\r\nSender: Pulsmir II\r\nCharSet: Shift_JIS\r\n"),
               start_send)
        expect(start_send.endswith(b"Option: nodescript\r\n\r\n\r\n"), start_send)

        window = the_window(desktop)
        double_click(desktop, window)
        wait_until(lambda: "SEND mode compact" in host.commands(), what="the mode script")

        exit_from_the_menu(desktop, program, window)
        commands = host.commands()
        expect(commands[-3:] == ["EXECUTE SSTP/1.0 Quiet", "SEND quick exit", "EXECUTE SSTP/1.0 Restore"],
               f"exit requests: {commands}")
        # Sent at once, before the window went.
        expect_in_order(folder.log_lines(), [".:.:. SSTP Sending :quick exit",
                                             "- Application Shutdown ---------"])
        # Quiet and Restore come back as "SSTP/1.0 200 OK" and the empty line alone: whole
        # at once, so no exchange waited for the reply bound.
        timed_out = [line for line in folder.log_lines() if "Timed out" in line]
        expect(not timed_out, f"exchanges ran into the reply bound: {timed_out}")


def nothing_is_sent_with_sstp_off(desktop, folder):
    folder.write("sstp.ini", SCRIPTS)
    with SstpHost() as host:
        program = start(desktop, folder, SstpSW=0, SkinMode=1)
        window = the_window(desktop)
        double_click(desktop, window)
        folder.wait_for_log("Skin Mode Change...OK")
        time.sleep(1.5)  # past the next resend tick
        exit_from_the_menu(desktop, program, window)
        expect(host.connections() == [], f"requests with SSTP off: {host.commands()}")
        lines = folder.log_lines()
        expect("SSTP Status : Connection Refused" in lines, "start-up status")
        expect(not [line for line in lines if line.startswith(".:.:.")], "SSTP lines with SSTP off")
