#pragma once

#include <QStringList>

// The monitor without windows, for scripts and machines without a display:
//   --status [--count N] [--interval MS]        the status snapshot after each graph step
//   --snapshot OUT.png [--ticks N] [--mode compact|full]   the face after N ticks
// Both run the real start-up on live data and write nothing but the PNG.
bool IsHeadlessRequest(int argc, char* argv[]);
int RunHeadless(int argc, char* argv[]);
