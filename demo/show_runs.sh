#!/usr/bin/env bash
# Runs the demo installation's launcher twice and says what each run did: the runtime it
# chose, the support files it copied, the stand-in server's output and its exit status.
# Set up by tools/demo.sh, which exports:
#   DEMO_LAUNCHER               the launcher in the demo installation
#   DEMO_HOME_14, DEMO_HOME_15  the homes registered as runtimes 1.4 and 1.5
#   TOLVARIN_REGISTRY_FILE, TOLVARIN_SUPPORT_DIR   read by the launcher
#   DEMO_SHOT                   optional: take a screenshot of the splash there (no
#                               one can answer a message box then, so a run is cut off
#                               after 30 s)
set -euo pipefail

# Every file below a home, one per line, with its inode and modification time (a copy
# is renamed into place, so a file copied again would show a new inode).
snapshot() {
  (cd "$1" && find . -mindepth 1 ! -type d -printf '%P  (inode %i, modified %TF %TT)\n' | sort)
}

list_home() {
  local home="$1" directory entries
  for directory in lib/ext lib bin; do
    entries="$(cd "$home/$directory" && ls -A | tr '\n' ' ')"
    printf '      %-9s %s\n' "$directory/" "${entries:-(empty)}"
  done
}

# Runs the launcher, its output and the server's (which inherits it) shown and kept in
# the file $1; the pipe ends when both have closed it.
run_launcher() {
  local status
  echo "  launcher and server output:"
  set +e
  if [ -n "${DEMO_SHOT:-}" ]; then
    timeout 30 "$DEMO_LAUNCHER" 2>&1 | tee "$1" | sed 's/^/    | /'
  else
    "$DEMO_LAUNCHER" 2>&1 | tee "$1" | sed 's/^/    | /'
  fi
  status=${PIPESTATUS[0]}
  set -e
  echo "  launcher exit status: $status"
}

# One run of the launcher, with the homes' contents before and after.
demo_run() {
  local before14 before15 after14 after15 started elapsed output runtime home
  before14="$(snapshot "$DEMO_HOME_14")"
  before15="$(snapshot "$DEMO_HOME_15")"
  echo "  runtime 1.5 home before: $DEMO_HOME_15"
  list_home "$DEMO_HOME_15"
  output="$(mktemp)"
  started=${EPOCHREALTIME/./}
  if [ -n "${DEMO_SHOT:-}" ] && [ ! -e "$DEMO_SHOT" ]; then
    run_launcher "$output" &
    sleep 1
    import -window root "$DEMO_SHOT"
    wait $!
  else
    run_launcher "$output"
  fi
  elapsed=$(( (${EPOCHREALTIME/./} - started) / 10000 ))
  printf '  wall time, launcher and server: %d.%02d s (the splash alone shows for 2 s)\n' $((elapsed / 100)) $((elapsed % 100))
  for runtime in 1.4 1.5; do
    home="DEMO_HOME_${runtime/./}"
    if grep -qF "started as:        ${!home}/bin/java" "$output"; then
      echo "  chosen runtime: $runtime, the server ran on its bin/java"
    fi
  done
  rm -f "$output"
  after14="$(snapshot "$DEMO_HOME_14")"
  after15="$(snapshot "$DEMO_HOME_15")"
  echo "  runtime 1.5 home after:"
  list_home "$DEMO_HOME_15"
  if [ "$before15" = "$after15" ]; then
    echo "  copied into the 1.5 home: nothing; its files, inodes and times are unchanged:"
    sed 's/^/      /' <<<"$after15"
  else
    echo "  copied into the 1.5 home:"
    diff <(echo "$before15") <(echo "$after15") | sed -n 's/^> /      /p' || true
  fi
  if [ "$before14" = "$after14" ]; then
    echo "  runtime 1.4 home: untouched"
  else
    echo "  runtime 1.4 home: CHANGED"
  fi
}

echo
echo "== First run: finds runtime 1.5, copies the three support files, starts the server"
demo_run
echo
echo "== Second run: the files are present now, nothing is copied"
demo_run
