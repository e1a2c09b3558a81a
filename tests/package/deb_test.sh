#!/usr/bin/env bash
# The Debian package of the build: cpack makes it, lintian finds no error in it and no
# warning but those accepted below, its Depends come from the libraries the programs
# are linked with and its Recommends name the decoding libraries opened at run time,
# it holds the installation under /usr, and the programs taken out of it with dpkg -x
# run: --version, and one conversion read back by a peer.
# Usage: deb_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The warnings that stay, and why: none at present. Below warnings lintian notes, and
# they stay: hardening-no-bindnow and hardening-no-fortify-functions (the programs are
# built with the project's own flags, not those of dpkg-buildflags),
# binary-has-unneeded-section (.comment), and spelling-error-in-binary for
# "Transfering" and "independant", which are fixed texts of the program (a reader's
# progress message, the open dialog's filter) kept as they are.
accepted_warnings=()

for command in cpack lintian dpkg-deb dpkg-shlibdeps /usr/bin/python3; do
  command -v "$command" >/dev/null || { echo "deb_test: $command is not installed; scripts/install-deps.sh --test installs it" >&2; exit 77; }
done

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...: counts the command's outcome
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "deb_test: FAIL: $what" >&2
  fi
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "deb_test: FAIL: cpack could not make the package" >&2
  exit 1
fi
deb=$(find "$work/out" -maxdepth 1 -name '*.deb')
echo "deb_test: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# lintian: no error, and only the accepted warnings.
lintian --tag-display-limit 0 --display-level '>=warning' "$deb" >"$work/lintian.log" 2>&1 || true
sed 's/^/  /' "$work/lintian.log"
check "lintian finds no error" bash -c '! grep -q "^E: " "$1"' bash "$work/lintian.log"
while read -r tag; do
  accepted=no
  for known in "${accepted_warnings[@]}"; do [[ $tag == "$known" ]] && accepted=yes; done
  check "lintian's warning $tag is one of the accepted" test $accepted = yes
done < <(sed -n 's/^W: [^ ]*: \([^ ]*\).*/\1/p' "$work/lintian.log" | sort -u)

# The fields.
depends=$(dpkg-deb --field "$deb" Depends)
recommends=$(dpkg-deb --field "$deb" Recommends)
echo "deb_test: Depends: $depends"
echo "deb_test: Recommends: $recommends"
for library in libc6 libjpeg62-turbo libpng16-16 libgif7 libopenjp2-7 libwebp; do
  check "Depends names $library" grep -q "$library" <<<"$depends"
done
if [[ -x $build/qel-image-tool ]]; then check "Depends names Qt's widgets" grep -q libqt6widgets6 <<<"$depends"; fi
for library in libavif libheif libjxl libraw librsvg2; do
  check "Recommends names $library" grep -qE "(^|, )$library[0-9a-z.-]*(,|$)" <<<"$recommends"
  check "Depends leaves $library to Recommends" bash -c '! grep -qE "(^|, )$1[^ ,]*( |,|$)" <<<"$2"' bash "$library" "$depends"
done

# The contents: the installation under /usr, zsh's completions in its vendor folder.
dpkg-deb --contents "$deb" | awk '{print $6}' >"$work/contents"
for path in ./usr/bin/qel-convert ./usr/share/man/man1/qel-convert.1.gz \
  ./usr/share/bash-completion/completions/qel-convert ./usr/share/zsh/vendor-completions/_qel-convert \
  ./usr/share/fish/vendor_completions.d/qel-convert.fish ./usr/share/doc/qel-image-tool/copyright \
  ./usr/share/doc/qel-image-tool/changelog.gz; do
  check "the package holds $path" grep -qxF "$path" "$work/contents"
done
check "nothing outside /usr" bash -c '! grep -vE "^\./(usr/.*)?$" "$1"' bash "$work/contents"
check "no site-functions folder" bash -c '! grep -q site-functions "$1"' bash "$work/contents"

# The programs out of the package.
dpkg -x "$deb" "$work/root"
usr=$work/root/usr
check "qel-convert --version" bash -c '[[ $("$1" --version) == "qel-convert "[0-9]* ]]' bash "$usr/bin/qel-convert"
/usr/bin/python3 - "$work/in.ppm" <<'PY'
import sys
w, h = 40, 30
pixels = bytes(v for y in range(h) for x in range(w) for v in (x * 6, y * 8, 200))
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h) + pixels)
PY
check "qel-convert converts" "$usr/bin/qel-convert" "$work/in.ppm" "$work/out.png" --resize 50%
check "the conversion reads back" /usr/bin/python3 -c '
import sys
from PIL import Image
im = Image.open(sys.argv[1])
sys.exit(0 if im.size == (20, 15) and im.format == "PNG" else 1)' "$work/out.png"
if [[ -x $usr/bin/qel-image-tool ]]; then
  check "qel-image-tool --version without a display" \
    bash -c '[[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$1" --version) == "qel-image-tool "[0-9]* ]]' bash \
    "$usr/bin/qel-image-tool"
fi

echo "deb_test: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
