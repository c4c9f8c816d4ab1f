# Sourced by the tests that drive real windows.
# start_display FIRST: starts Xvfb on a free display from FIRST on, exports
# DISPLAY, sets display_pid, and returns once the display answers.
start_display() {
  local disp=$(($1 + RANDOM % 100))
  while [[ -e /tmp/.X11-unix/X$disp || -e /tmp/.X$disp-lock ]]; do disp=$((disp + 1)); done
  export DISPLAY=:$disp
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  display_pid=$!
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}
