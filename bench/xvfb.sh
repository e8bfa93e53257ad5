# Sourced by the bench scripts: starts a display of their own (DISPLAY, XVFB_PID) or exits.
XVFB_PID=
for n in $(seq 150 190); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  kill "$XVFB_PID"; XVFB_PID=
done
[ -n "$XVFB_PID" ] || { echo "no Xvfb display"; exit 1; }
