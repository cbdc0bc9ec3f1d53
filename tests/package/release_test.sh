#!/usr/bin/env bash
# The release zip as a user gets it: unpacked into a fresh folder, it holds
# each file the README lists, the launchers of the right architecture, a
# sample INI naming every key of the reference, and a sample that starts on
# Linux with the installed JDK and under Wine with the 64-bit jvm.dll double
# as the runtime beside it.
#   release_test.sh RELEASE.zip FAKE_JVM64.dll WINE_RUN
set -uo pipefail
zip=$1 fake_jvm=$2 wine_run=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
unzip -q "$zip" -d "$folder" || { echo "FAIL: cannot unpack $zip"; exit 1; }
root=$(find "$folder" -mindepth 1 -maxdepth 1 -type d)
[ "$(basename "$root")" = "$(basename "$zip" .zip)" ] || fail "the zip's folder is $(basename "$root")"

for file in README.md launcher.exe launcher-x86.exe launcher-console.exe launcher-console-x86.exe zorv zorvtool zorvtool.exe sample.ini docs/settings.md \
  docs/jre-not-found.png docs/java-exception.png docs/splash.png sample/Hello.exe sample/Hello sample/Hello.ini \
  sample/lib/hello.jar sample/lib/extras.jar; do
  [ -s "$root/$file" ] || fail "$file is missing"
done
grep -q '@VERSION@' "$root/README.md" && fail "README.md keeps its @VERSION@ placeholder"

# The PE file header's Machine field, found through e_lfanew.
machine() {
  local offset
  offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' '
}
[ "$(machine "$root/launcher.exe")" = 8664 ] || fail "launcher.exe is not an x64 image"
[ "$(machine "$root/launcher-x86.exe")" = 014c ] || fail "launcher-x86.exe is not an x86 image"
[ "$(machine "$root/zorvtool.exe")" = 8664 ] || fail "zorvtool.exe is not an x64 image"
[ "$(machine "$root/launcher-console.exe")" = 8664 ] || fail "launcher-console.exe is not an x64 image"
[ "$(machine "$root/launcher-console-x86.exe")" = 014c ] || fail "launcher-console-x86.exe is not an x86 image"
# The optional header's Subsystem field: 2 a GUI program, 3 a console one.
subsystem() {
  local offset
  offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t u2 -j $((offset + 24 + 68)) -N 2 "$1" | tr -d ' '
}
for exe in launcher.exe launcher-x86.exe; do
  [ "$(subsystem "$root/$exe")" = 2 ] || fail "$exe is not a GUI program"
done
for exe in launcher-console.exe launcher-console-x86.exe; do
  [ "$(subsystem "$root/$exe")" = 3 ] || fail "$exe is not a console program"
done
# An ELF executable's e_machine: 3e is x86-64.
for linux in zorv sample/Hello zorvtool; do
  [ "$(od -An -t x1 -N 4 "$root/$linux" | tr -d ' ')" = 7f454c46 ] &&
    [ "$(od -An -t x2 -j 18 -N 2 "$root/$linux" | tr -d ' ')" = 003e ] || fail "$linux is not an x86-64 Linux executable"
  [ -x "$root/$linux" ] || fail "$linux is not executable"
done

"$root/zorvtool" reference | cmp -s - "$root/docs/settings.md" || fail "zorvtool's reference differs from docs/settings.md"
keys=$(grep '^| ' "$root/docs/settings.md" | grep -vc '^| Key | Form |')
commented=$(grep -c $'^;[^ ].*=\r$' "$root/sample.ini")
[ "$keys" -gt 0 ] && [ "$commented" -eq "$keys" ] ||
  fail "sample.ini comments out $commented keys, the reference has $keys"
grep -q $'^[^;[\r].*=' "$root/sample.ini" && fail "sample.ini sets a key"

# The sample on Linux, headless so that it does not wait for its window.
sample=$root/sample
(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u JAVA_HOME "$sample/Hello" hello "wide world")
code=$?
[ "$code" -eq 0 ] || fail "sample/Hello ended with $code"
report=$(cat "$sample"/logs/hello-*.out.txt 2>/dev/null)
for line in "Arguments (4):" "  [wide world]" "  [two words]" "  user.dir = $sample"; do
  grep -qxF -- "$line" <<<"$report" || fail "sample/Hello did not report \"$line\": $report"
done
rm -rf "$sample/logs"

# The sample with the double as the runtime shipped beside it.
mkdir -p "$sample/jre64/bin/server"
cp "$fake_jvm" "$sample/jre64/bin/server/jvm.dll"
echo marker >"$sample/jre64/bin/java.dll"
windows() { echo "Z:${1//\//\\}"; }
log=$folder/fake.log
FAKEJVM_LOG=$(windows "$log") FAKEJVM_CLASSES=com/example/hello/HelloApp FAKEJVM_MAIN=exit:42 \
  "$wine_run" "$sample/Hello.exe" hello "wide world"
code=$?
[ "$code" -eq 42 ] || fail "Hello.exe ended with $code, not the application's 42"
grep -qxF "load $(windows "$sample/jre64/bin/server/jvm.dll")" "$log" || fail "the runtime beside Hello.exe was not loaded"
grep -q '^option -Djava.class.path=.*\\sample\\lib\\hello.jar;' "$log" || fail "lib\\hello.jar is not on the class path"
grep -q '^option -Djava.class.path=.*\\sample\\lib\\extras.jar;' "$log" || fail "lib\\extras.jar is not on the class path"
args=$(grep '^arg\[' "$log" | paste -sd'|')
[ "$args" = "arg[0]=hello|arg[1]=wide world|arg[2]=--from-ini|arg[3]=two words" ] || fail "main got $args"
grep -qx 'exit_hook 42' "$log" || fail "the application did not end through System.exit"

if [ "$failures" -gt 0 ]; then
  echo "--- double's log:"; cat "$log" 2>/dev/null
  exit 1
fi
echo "release zip: unpacked and ran from $root"
