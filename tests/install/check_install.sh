#!/usr/bin/env bash
# Installs the build into a scratch root and checks what a desktop and a user
# find there.
#   check_install.sh tree BUILD SCRATCH      cmake --install with DESTDIR
#   check_install.sh package BUILD SCRATCH   the Debian package, unpacked with dpkg -x
set -euo pipefail
mode=$1 build=$2 scratch=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
root=$scratch/root
case $mode in
  tree)
    DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null ;;
  package)
    cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
      { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
    debs=("$scratch"/out/tavrilo_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $scratch/out"
    deb=${debs[0]}
    dpkg-deb -x "$deb" "$root"
    [ "$(dpkg-deb -f "$deb" Package)" = tavrilo ] || fail "package name"
    depends=$(dpkg-deb -f "$deb" Depends)
    # Found by dpkg-shlibdeps from what the programs link.
    for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpng16-16; do
      [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
        fail "Depends lacks $lib: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Recommends)" = binutils-z80 ] ||
      fail "Recommends is not binutils-z80: $(dpkg-deb -f "$deb" Recommends)"
    # Nothing beside /usr, nothing built only for the tests.
    others=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
    [ -z "$others" ] || fail "outside /usr: $others"
    ;;
  *) fail "unknown mode $mode" ;;
esac

usr=$root/usr
bins=$(cd "$usr/bin" && ls | tr '\n' ' ')
[ "$bins" = "tavrilo tavrilo-convert " ] || fail "bin/ holds: $bins"
for p in tavrilo tavrilo-convert; do
  [ -x "$usr/bin/$p" ] || fail "$p is not executable"
done
out=$(printf 'hi\r\n' | "$usr/bin/tavrilo-convert" basic)
[ -n "$out" ] || fail "the installed tavrilo-convert made nothing"

desktop=$usr/share/applications/tavrilo.desktop
[ -f "$desktop" ] || fail "no desktop entry"
for line in '[Desktop Entry]' 'Type=Application' 'Name=Tavrilo' 'Exec=tavrilo %f' 'Icon=tavrilo'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

for size in 16 22 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/tavrilo.png
  [ -f "$png" ] || fail "no ${size}px icon"
  # The signature, then IHDR's width and height as 32-bit big-endian numbers.
  b=($(od -An -tu1 -N24 "$png"))
  [ "${b[*]:0:8}" = "137 80 78 71 13 10 26 10" ] || fail "$png is no PNG"
  w=$(( (b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19] ))
  h=$(( (b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23] ))
  [ "$w" -eq "$size" ] && [ "$h" -eq "$size" ] || fail "$png is ${w}x$h"
done

man=$usr/share/man/man1/tavrilo-convert.1.gz
[ -f "$man" ] || fail "no man page"
page=$(gzip -dc "$man" | sed 's/\\-/-/g')
grep -q '^\.TH TAVRILO-CONVERT 1' <<<"$page" || fail "man page has no title line"
# Every option the program's help names is described.
for opt in $("$usr/bin/tavrilo-convert" --help | grep -oE -- '--?[a-z0-9][a-z0-9-]*' | sort -u); do
  grep -qF -- "$opt" <<<"$page" || fail "man page lacks $opt"
done
echo "ok: $mode"
