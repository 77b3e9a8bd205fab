#!/usr/bin/env bash
# Makes the README's pictures of the main window on a virtual display (Xvfb)
# at 1600x1000, on a small demonstration volume with a deep branch and a
# large archive, into docs/images/:
#   first-start.png      the first start, no stored geometry
#   date-tab.png         the By Date tab, "Between" two dates
#   directory-run.png    All Sub-Directories (Individually) of a deep branch
#   run-in-progress.png  a run walking the archive: counts in the status bar
#   scripts/screenshot.sh [output-folder]
set -u
QUARVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$QUARVO_ROOT/scripts/setup.sh"
OUT=${1:-$QUARVO_ROOT/docs/images}
quarvo_install_packages xvfb imagemagick xdotool python3 || exit 1
quarvo_build --target quarvo || exit 1

WORK=$(mktemp -d "$QUARVO_ROOT/build/shots.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$WORK"' EXIT
# A demonstration volume: departments with sparse files of known sizes, a
# deep project branch, and an archive of many small folders to walk.
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
deep = os.path.join(root, "engineering", "projects", "2026 platform refresh", "hardware qualification",
                    "storage controllers", "firmware images", "release candidates", "build 4711 signed")
os.makedirs(deep, exist_ok=True)
with open(os.path.join(deep, "image.bin"), "wb") as f:
    f.truncate(48 * 1048576)
for i in range(400000):
    os.makedirs(os.path.join(root, "zz archive", "year%02d" % (i // 10000), "case%05d" % i), exist_ok=True)
PY
quarvo_write_site "$WORK/site.toml" DEMO_TREE FS1 DATA="$WORK/demo"

cat > "$WORK/shoot.sh" <<SHOOT
#!/usr/bin/env bash
export QUARVO_SITE="$WORK/site.toml" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config"
mkdir -p "\$HOME"
"$QUARVO_ROOT/build/quarvo" &
pid=\$!
# A first start asks where the server list starts: the tree's root.
for _ in \$(seq 50); do
    starting=\$(xdotool search --onlyvisible --name '^Select Server Starting Container\$' 2>/dev/null | tail -1)
    [ -n "\$starting" ] && break
    sleep 0.2
done
[ -n "\$starting" ] && { xdotool windowfocus --sync "\$starting"; xdotool key Return; }
for _ in \$(seq 50); do
    window=\$(xdotool search --onlyvisible --name '^Quarvo\$' 2>/dev/null | tail -1)
    [ -n "\$window" ] && break
    sleep 0.2
done
sleep 1
xdotool windowfocus --sync "\$window"
key() { xdotool key "\$@"; sleep 0.5; }
click() { xdotool mousemove --window "\$window" "\$1" "\$2" click 1; sleep 0.5; }
shot() { import -window "\$window" "$OUT/\$1.png"; }
shot first-start
# By Date (four tabs on), "Between": the end date shows.
key ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab
click 196 128
key B Return
shot date-tab
# By Directory, All Sub-Directories (Individually): the archive's walk
# under way, then the engineering folder's deep paths.
key ctrl+Tab ctrl+Tab ctrl+Tab
click 40 153
click 688 255
key alt+s
sleep 0.2
shot run-in-progress
sleep 40 # the archive run ends
click 693 199
key alt+s
sleep 2
shot directory-run
kill \$pid
SHOOT
chmod +x "$WORK/shoot.sh"
mkdir -p "$OUT"
xvfb-run -a -s "-screen 0 1600x1000x24" "$WORK/shoot.sh" || exit 1
ls "$OUT"
