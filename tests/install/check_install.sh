#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch root and checks what a desktop, a user and a
# packager find there.
#   check_install.sh tree BUILD SCRATCH      cmake --install with DESTDIR
#   check_install.sh package BUILD SCRATCH   the Debian packages, checked by lintian
#                                            and hardening-check, unpacked with dpkg -x
set -euo pipefail
mode=$1 build=$2 scratch=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
root=$scratch/root
app=$(sed -n 's/^TAVRILO_BUILD_APP:BOOL=//p' "$build/CMakeCache.txt")
programs=(tavrilo-convert)
[ "$app" = ON ] && programs=(tavrilo tavrilo-convert)

case $mode in
  tree)
    DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null ;;
  package)
    cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
      { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
    for p in "${programs[@]}"; do
      deb=$(echo "$scratch"/out/${p}_*.deb)
      [ -f "$deb" ] || fail "no package $p in $scratch/out"
      dpkg-deb -x "$deb" "$root"
      depends=$(dpkg-deb -f "$deb" Depends)
      # Found by dpkg-shlibdeps from what each program links: Qt for the window only;
      # poppler, libarchive and libxml2 for the PDF and EPUB documents both open.
      libs=(libc6 libstdc++6 libpng16-16 libpoppler-cpp0v5 libarchive13 libxml2)
      [ "$p" = tavrilo ] && libs+=(libqt6core6 libqt6gui6 libqt6widgets6)
      for lib in "${libs[@]}"; do
        [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
          fail "$p: Depends lacks $lib: $depends"
      done
      [ "$p" = tavrilo ] || [[ $depends != *qt* ]] || fail "$p depends on Qt: $depends"
      # Also from send's module, which the program loads only for send.
      [[ $depends == *libticalcs2-* ]] || fail "$p: Depends lacks libticalcs2: $depends"
      [ "$(dpkg-deb -f "$deb" Recommends)" = binutils-z80 ] ||
        fail "$p: Recommends is not binutils-z80: $(dpkg-deb -f "$deb" Recommends)"
    done
    # No error and no warning; what is overridden says why in dist/lintian/.
    lintian --fail-on error,warning "$scratch"/out/*.deb >"$scratch/lintian.log" 2>&1 ||
      { cat "$scratch/lintian.log" >&2; fail "lintian"; }
    # The hardening flags dpkg-buildflags gives, no more.
    given=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)
    skip=()
    [[ $given == *-fcf-protection* ]] || skip+=(--nocfprotection)
    for p in "${programs[@]}"; do
      hardening-check "${skip[@]}" "$root/usr/bin/$p" >"$scratch/hardening.log" 2>&1 ||
        { cat "$scratch/hardening.log" >&2; fail "hardening-check $p"; }
    done
    # Nothing beside /usr, nothing built only for the tests.
    others=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
    [ -z "$others" ] || fail "outside /usr: $others"
    ;;
  *) fail "unknown mode $mode" ;;
esac

usr=$root/usr
bins=$(cd "$usr/bin" && ls | tr '\n' ' ')
[ "$bins" = "${programs[*]} " ] || fail "bin/ holds: $bins"
out=$(printf 'hi\r\n' | "$usr/bin/tavrilo-convert" basic)
[ -n "$out" ] || fail "the installed tavrilo-convert made nothing"
# send finds its module from where the program is installed.
out=$("$usr/bin/tavrilo-convert" send "$scratch/none.8xp" 2>&1) || true
[[ $out == *"cannot read '$scratch/none.8xp'"* ]] || fail "the installed send: $out"
# So does the reader of documents: a broken PDF is read, and refused, by it.
printf 'not a PDF' >"$scratch/broken.pdf"
out=$("$usr/bin/tavrilo-convert" basic "$scratch/broken.pdf" 2>&1) || true
[[ $out == *"it is not a PDF document that can be read"* ]] || fail "the installed PDF reader: $out"

for p in "${programs[@]}"; do
  for f in copyright changelog.gz; do
    [ -f "$usr/share/doc/$p/$f" ] || fail "no $f for $p"
  done
  man=$usr/share/man/man1/$p.1.gz
  [ -f "$man" ] || fail "no man page for $p"
  warnings=$(gzip -dc "$man" | groff -ww -man -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || fail "$p.1: $warnings"
done
page=$(gzip -dc "$usr/share/man/man1/tavrilo-convert.1.gz" | sed 's/\\-/-/g')
# Every option the program's help names is described.
for opt in $("$usr/bin/tavrilo-convert" --help | grep -oE -- '--?[a-z0-9][a-z0-9-]*' | sort -u); do
  grep -qF -- "$opt" <<<"$page" || fail "man page lacks $opt"
done

# Completion as bash-completion loads it: the commands the program has, an
# option of one, and file names.
completion=$usr/share/bash-completion/completions/tavrilo-convert
[ -f "$completion" ] || fail "no bash completion"
complete_line() {
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _tavrilo_convert tavrilo-convert "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" &&
    printf "%s\n" "${COMPREPLY[@]}"' complete "$completion" "$@"
}
offered=$(complete_line tavrilo-convert "")
for command in $("$usr/bin/tavrilo-convert" --help | sed -n 's/^\(usage:\)\? *tavrilo-convert \([a-z]\+\).*/\2/p' | sort -u); do
  grep -qx "$command" <<<"$offered" || fail "completion lacks the command $command"
done
[ "$(complete_line tavrilo-convert asm --sc)" = --scroll-up ] || fail "completion of asm --sc"
touch "$scratch/story.txt"
[ "$(complete_line tavrilo-convert basic -o "$scratch/sto")" = "$scratch/story.txt" ] ||
  fail "completion of a file name"

if [ "$app" = ON ]; then
  desktop=$usr/share/applications/tavrilo.desktop
  [ -f "$desktop" ] || fail "no desktop entry"
  for line in '[Desktop Entry]' 'Type=Application' 'Name=Tavrilo' 'Exec=tavrilo %f' 'Icon=tavrilo'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
  done
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$usr/share/metainfo/org.tavrilo.Tavrilo.metainfo.xml" ||
    fail "appstreamcli validate"

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
fi
echo "ok: $mode"
