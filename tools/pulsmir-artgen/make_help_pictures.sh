#!/usr/bin/env bash
# Renders the skin previews of the help pages: make_help_pictures.sh BIN_FOLDER
# (the folder holding pulsmir-skin, normally build/bin). Writes into data/help/.
set -euo pipefail
bin="${1:?usage: make_help_pictures.sh BIN_FOLDER}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/data/help"
inputs=(--set CpuUsage=38 --set MemoryLoad=57 --set SwapLoad=9 --set PingLevel=3
        --set PingTime=18 --set DiskReadActive=1 --set DiskActive=1 --set NetRecvActive=1
        --set NetActive=1 --set DiskReadPos=35 --set DiskWritePos=12 --set NetRecvPos=58
        --set NetSendPos=20 --set LinearOFF=1
        --history CpuHistory0=38,35,30,41,52,66,71,60,48,40,33,28,25,31,44,58,63,55,47,39,30,24,20,26,35,49,57,50,42,36,30,27,29,34,40,46,51,47,41,36,30,26,24,28,33,39,44,42,37,33
        --history MemHistory=57,57,56,56,56,55,55,55,54,54,53,53,53,52,52,52,51,51,50,50,50,49,49,48,48,48,47,47,47,46,46,46,45,45,45,44,44,44,43,43
        --history SwapHistory=9,9,9,9,9,9,9,8,8,8,8,8,8,8,8,8,7,7,7,7
        --history DiskReadHistory=35,0,0,12,60,24,0,0,0,8,44,90,30,0,0,0,0,15,0,0,5,0,0,70,20
        --history DiskWriteHistory=12,0,0,0,30,0,0,0,0,55,10,0,0,0,0,0,20,0,0,0,40,0
        --history NetRecvHistory=58,52,45,50,62,70,64,55,40,30,26,22,25,31,38,45,40,34,28,22,18,15,12,14,18,24,30,36,33,29,24
        --history NetSendHistory=20,18,15,12,14,18,22,19,15,12,10,8,7,9,12,15,13,11,9,8
        --set TempPos=39 --set Temperature=57 --set BatteryPercent=82 --set BatteryCharging=1
        --set DiskSpacePercent=64
        --history TempHistory=39,38,40,43,47,52,55,51,46,42,40,39,38,38,37,38,40,44,49,53,50,45,41,39,38
        --history BatteryHistory=82,82,81,81,80,80,79,79,78,78,77,77,76,76,75,75,74,74,73,73,72,72)
for skin in AnalogMeter2 FlatDigital MiniStrip SensorDeck; do
    for mode in compact full; do
        if [ "$mode" = full ] && [ "$skin" = MiniStrip ]; then continue; fi
        "$bin/pulsmir-skin" render "$root/data/Skin/$skin.ini" --mode "$mode" \
            -o "$out/$skin-$mode.png" "${inputs[@]}"
        # The shaped skins cut magenta out of their window; show that as transparency.
        "$bin/pulsmir-artgen" cutout "$out/$skin-$mode.png" '#FF00FF' "$out/$skin-$mode.png"
    done
done
