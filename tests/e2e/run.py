"""Runs one end-to-end case: run.py --bin BUILD/bin [--desktop NAME] MODULE.CASE"""

import argparse
import importlib
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Desktop, ProgramFolder, Skip  # noqa: E402
from desktops import MutterDesktop, XfceDesktop  # noqa: E402
from sway_desktop import SwayDesktop  # noqa: E402

DESKTOPS = {"openbox": Desktop, "xfce": XfceDesktop, "mutter": MutterDesktop,
            "sway": SwayDesktop}

# What CTest takes for a skipped case (SKIP_RETURN_CODE).
SKIPPED = 77


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the build's program folder")
    parser.add_argument("--helpers", help="the folder of the built test helpers")
    parser.add_argument("--desktop", choices=sorted(DESKTOPS),
                        help="run on this desktop instead of the case's own")
    parser.add_argument("case", help="module.function, e.g. shell_cases.first_start")
    args = parser.parse_args()
    module_name, function_name = args.case.split(".", 1)
    module = importlib.import_module(module_name)
    case = getattr(module, function_name)
    # A case or its module names the desktop it runs on; Xvfb with openbox unless one says
    # otherwise.
    desktop_class = DESKTOPS[args.desktop] if args.desktop else \
        getattr(case, "desktop", getattr(module, "DESKTOP", Desktop))
    os.environ["PULSMIR_BIN"] = os.path.abspath(args.bin)
    if args.helpers:
        os.environ["PULSMIR_E2E_HELPERS"] = os.path.abspath(args.helpers)
    try:
        with desktop_class() as desktop, ProgramFolder(args.bin) as folder:
            return run_case(args, case, desktop, folder)
    except Skip as reason:
        print(f"SKIPPED {args.case}: {reason}")
        return SKIPPED


def run_case(args, case, desktop, folder):
    try:
        case(desktop, folder)
    except Skip:
        raise
    except Exception:
        traceback.print_exc()
        print("--- Debug.log ---")
        print("\n".join(folder.log_lines()))
        print(f"FAILED {args.case}")
        return 1
    print(f"PASSED {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
