#!/usr/bin/env bash
# Makes docs/images/main-window.png: the main window after a Directory run on
# a small demonstration volume, on a virtual display (Xvfb).
#   scripts/screenshot.sh [output.png]
set -u
QUARVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$QUARVO_ROOT/scripts/setup.sh"
OUT=${1:-$QUARVO_ROOT/docs/images/main-window.png}
quarvo_install_packages xvfb imagemagick xdotool python3 || exit 1
quarvo_build --target quarvo || exit 1

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# A demonstration volume: a few departments with sparse files of known sizes.
python3 - "$WORK/demo" <<'PY'
import os, sys
root = sys.argv[1]
for folder, sizes in {"accounts": [120, 40], "engineering": [900, 350, 75], "marketing": [60],
                      "public": [15, 5], "sales": [210, 30]}.items():
    for i, megabytes in enumerate(sizes):
        path = os.path.join(root, folder, "share%d" % i)
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "data.bin"), "wb") as f:
            f.truncate(megabytes * 1048576)
PY
quarvo_write_site "$WORK/site.toml" DEMO_TREE FS1 DATA="$WORK/demo"

cat > "$WORK/shoot.sh" <<SHOOT
#!/usr/bin/env bash
export QUARVO_SITE="$WORK/site.toml" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config"
mkdir -p "\$HOME"
"$QUARVO_ROOT/build/quarvo" &
pid=\$!
for _ in \$(seq 50); do
    window=\$(xdotool search --name '^Quarvo\$' 2>/dev/null | tail -1)
    [ -n "\$window" ] && break
    sleep 0.2
done
# Dismiss the first-start notice, if it is up.
if [ -n "\$(xdotool search --name 'Windows Script Runtime' 2>/dev/null)" ]; then
    xdotool key --window "\$(xdotool search --name 'Windows Script Runtime' | tail -1)" Return
    sleep 0.5
fi
window=\$(xdotool search --name '^Quarvo\$' | tail -1)
# The "By Directory" tab at the designed size, then Show Usage (Alt+S).
xdotool mousemove --window "\$window" 241 70 click 1
sleep 0.5
xdotool key --window "\$window" alt+s
sleep 1
xdotool windowsize "\$window" 760 640
sleep 1
import -window "\$window" "$OUT"
kill \$pid
SHOOT
chmod +x "$WORK/shoot.sh"
mkdir -p "$(dirname "$OUT")"
xvfb-run -a -s "-screen 0 1024x768x24" "$WORK/shoot.sh" || exit 1
echo "$OUT"
