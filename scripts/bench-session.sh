# Sourced by the Wine benchmarks (bench-runtime, bench-burst): a mode-2 session of
# Tovira with a virtual switch on COM$com and the target monitor. Set root, out and
# com first; results and logs go to $out.
build="$root/build/win64"
prefix="$build/wineprefix"
shim="$root/build/host/tools/libtovira_modem_lines.so"
rm -rf "$out"
mkdir -p "$out"
source "$root/scripts/wine-env.sh"
tovira_wine_up "$prefix"
appdata="$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming | grep -v /Public/ | head -1)"
settings="$appdata/brelkin/Tovira/Settings.ini"
mkdir -p "$(dirname "$settings")"

now() { date +%s.%N; }
elapsed_ms() { python3 -c "print(f'{($2 - $1) * 1000:.0f}')"; }
probe() { LD_PRELOAD="$shim" wine "$build/tools/window_probe.exe" "$@" </dev/null 2>>"$out/wine.log" | tr -d '\r'; }
write_settings() { # port [log: 1 switches the log panel on]
  local logmode=""
  [[ "${2:-0}" == 1 ]] && logmode=730259
  { printf '\xff\xfe'; printf '[Settings]\r\nDeviceName=KXRVP-M04\r\nPortName=%s\r\nLogMode=%s\r\n' "$1" "$logmode" | iconv -f UTF-8 -t UTF-16LE; } >"$settings"
}
tovira_pid() { pgrep -x Tovira.exe | head -1; }
messages() { grep -cE '"event":"(press|release)"' "$out/target.jsonl" || true; }
wait_messages() { # count timeout_s
  local deadline=$((SECONDS + $2))
  while (($(messages) < $1 && SECONDS < deadline)); do sleep 0.2; done
}
wait_block() { # hex-prefix timeout_s: the last block line starts with it
  local deadline=$((SECONDS + $2))
  until grep '"event":"block"' "$out/target.jsonl" | tail -1 | grep -q "\"bytes\":\"$1"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
# The time of the last press or release at the navigator window.
last_message_time() { grep -E '"event":"(press|release)"' "$out/target.jsonl" | tail -1 | sed -E 's/.*"t":([0-9.]+).*/\1/'; }

switch_pid="" tovira="" monitor_pid=""
cleanup() {
  exec 7>&- 8>&- 2>/dev/null || true
  [[ -n "$tovira" ]] && { probe close >/dev/null 2>&1 || true; sleep 3; kill "$tovira" 2>/dev/null || true; }
  for pid in $switch_pid $monitor_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# The virtual switch reads commands from fd 7; the target monitor runs until fd 8 closes.
start_switch_and_target() {
  mkfifo "$out/switch.in" "$out/target.in"
  "$root/build/host/tools/virtual_switch" --prefix "$prefix" --com "$com" --mode 2 --seed 3 \
    <"$out/switch.in" >"$out/switch.jsonl" 2>>"$out/switch.log" &
  switch_pid=$!
  exec 7>"$out/switch.in"
  LD_PRELOAD="$shim" wine "$build/tools/target_monitor.exe" --mode 2 <"$out/target.in" >"$out/target.jsonl" \
    2>>"$out/wine.log" &
  monitor_pid=$!
  exec 8>"$out/target.in"
}

# Starts a Tovira program (mode 2) and waits for its window.
start_program() { # program
  LD_PRELOAD="$shim" wine "$1" </dev/null >>"$out/wine.log" 2>&1 &
  tovira=$!
  probe wait 30000 >/dev/null
}

# CPU seconds (user + system) of a Linux process and all its threads.
cpu_seconds() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
idle_cost() { # label seconds
  local pid cpu0 cpu1 sw0 sw1 server s0 s1
  pid="$(tovira_pid)"
  server="$(pgrep -x 'wineserver(64)?' | head -1)"
  cpu0="$(cpu_seconds "$pid")"; sw0="$(switches "$pid")"; s0="$(cpu_seconds "$server")"
  sleep "$2"
  cpu1="$(cpu_seconds "$pid")"; sw1="$(switches "$pid")"; s1="$(cpu_seconds "$server")"
  python3 -c "print(f'idle, $1: Tovira CPU {100 * ($cpu1 - $cpu0) / $2:.2f} %, wake-ups {($sw1 - $sw0) / $2:.0f}/s, wineserver CPU {100 * ($s1 - $s0) / $2:.2f} %')"
}

# Whether the navigator's messages are exactly those the switch's frames call for,
# in their order (the switch logs each frame of a burst).
in_order() {
  python3 "$root/tools/message_order.py" "$out/switch.jsonl" "$out/target.jsonl"
}

# A burst of FRAMES frames written at once: the time to the last message.
burst() { # frames
  local before t0 last
  before="$(messages)"
  t0="$(now)"
  echo "burst $1" >&7
  wait_messages $((before + $1)) 600
  last="$(last_message_time)"
  python3 -c "d = $last - $t0; print(f'burst: $1 frames, {$(messages) - $before} messages of $1 called for, last after {d:.2f} s: {$1 / d:.0f} frames/s (wire rate 480/s)')"
}
