#!/bin/sh
# The Linux launcher from outside: zorv_test.sh ZORV PROBE_JAR JDK_HOME.
# Each case copies the real executable into its own folder beside the probe
# jar and an INI file, runs it and checks the exit code and what it printed.
set -u
zorv=$1 jar=$2 jdk=$3
root=$(mktemp -d "${TMPDIR:-/tmp}/zorv-test-XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL [$case]: $*" >&2; failures=$((failures + 1)); }

# app FOLDER EXECUTABLE SETTINGS-FILE INI-LINES...
app() {
    dir="$root/$1" exe=$2 ini=$3
    shift 3
    mkdir -p "$dir" && cp "$zorv" "$dir/$exe" && cp "$jar" "$dir/probe.jar" || exit 1
    printf '%s\n' "$@" > "$dir/$ini"
}
# run ARGUMENTS...: in the app's folder without JAVA_HOME unless JAVA_HOME_FOR_RUN is set.
run() {
    (cd "$dir" && if [ -n "${JAVA_HOME_FOR_RUN:-}" ]; then JAVA_HOME=$JAVA_HOME_FOR_RUN "./$exe" "$@"
                  else env -u JAVA_HOME "./$exe" "$@"; fi) > "$dir/stdout" 2> "$dir/stderr"
    rc=$?
}
expect_rc() { [ "$rc" = "$1" ] || fail "exit code $rc, expected $1; stderr: $(cat "$dir/stderr")"; }
expect_in() { grep -qF -- "$2" "$1" 2>/dev/null || fail "no \"$2\" in $1: $(cat "$1" 2>/dev/null)"; }

probe_settings='Main Class=Probe'
jdk17_version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")

case=arguments-heap-and-exit
# A dot in the folder's name must not name the settings file.
app my.apps/viewer viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" 'Virtual Machine Parameters=-Xmx1:96:96p' \
    '[Class Path]' 'Class Path=*.jar'
run a "b c" "$(printf '\303\244\360\237\230\200')"
expect_rc 0
expect_in "$dir/stdout" "args=3 [ 61 ] [ 62 20 63 ] [ e4 1f600 ]"
expect_in "$dir/stdout" "java.version=$jdk17_version."
expect_in "$dir/stdout" "ZORV_JVM_HOME=$jdk"
expect_in "$dir/stderr" "to standard error"
heap=$(sed -n 's/^maxMemoryMB=//p' "$dir/stdout")
# 1 % of memory, at least and at most 96 MB: the VM may keep a little for itself.
[ "${heap:-0}" -ge 80 ] && [ "${heap:-0}" -le 96 ] || fail "maxMemory ${heap:-none} MB, expected 96 MB"
run exit=7
expect_rc 7

case=redirection-and-failure-check
app redirect tool.bin tool.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Output File=logs\out-%yyyy%.log' 'Error File=err.log' 'Failure Check=Yes'
run throw
# As after Ignore on Windows: the trace is shown, the launcher goes on as if main had returned.
expect_rc 0
expect_in "$dir/logs/out-$(date +%Y).log" "args=1"
expect_in "$dir/err.log" "to standard error"
expect_in "$dir/stderr" "thrown by main"

case=no-runtime
app none viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=99' 'Maximum Version=99' \
    'JRE Path=nowhere' "$probe_settings" '[Class Path]' 'Class Path=probe.jar'
JAVA_HOME_FOR_RUN=/nowhere run
expect_rc 255
expect_in "$dir/stderr" "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (version between 99.0 and 99.65535) from:"
expect_in "$dir/stderr" "https://adoptium.net/"

case=runtime-choice
# Each source in turn wins over the ones after it: JRE Path, jre/ beside the
# executable, the installed runtimes (bounds, then Preferred versions, then the
# highest version), JAVA_HOME.
other_version=$(for release in /usr/lib/jvm/*/release; do
                    sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$release"
                done | grep -vx "$jdk17_version" | sort -n | tail -1)
choice() {  # choice FOLDER MINIMUM MAXIMUM EXTRA-LINE EXPECTED-MAJOR [JAVA_HOME]
    app "$1" viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$2" "Maximum Version=$3" "$4" \
        "$probe_settings" '[Class Path]' 'Class Path=probe.jar'
    JAVA_HOME_FOR_RUN=${6:-} run
    expect_rc 0
    expect_in "$dir/stdout" "java.version=$5."
}
if [ -n "$other_version" ]; then
    low=$jdk17_version high=$other_version
    [ "$other_version" -lt "$jdk17_version" ] && low=$other_version high=$jdk17_version
    choice installed-highest "$low" "$high" '' "$high" "$jdk"
    choice installed-preferred "$low" "$high" "Preferred versions=$low" "$low"
    choice installed-bounded "$low" "$low" '' "$low"
else
    echo "only one runtime under /usr/lib/jvm: the ranking among installed ones is not tried"
    choice installed-bounded "$jdk17_version" "$jdk17_version" '' "$jdk17_version"
fi
# Bounds that an installed runtime other than the JDK meets, where there is one.
only=${other_version:-99}
mkdir -p "$root/beside" && ln -s "$jdk" "$root/beside/jre"
choice beside "$only" "$only" '' "$jdk17_version"
mkdir -p "$root/configured" && ln -s "$jdk" "$root/configured/rt"
choice configured "$only" "$only" 'JRE Path=rt' "$jdk17_version"
choice java-home 99 99 '' "$jdk17_version" "$jdk"
# Every installed runtime is a JDK, so a search for JREs alone finds none.
app source-jre viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=1' 'Maximum Version=any' \
    'JVM Source=only_JRE' "$probe_settings" '[Class Path]' 'Class Path=probe.jar'
run
expect_rc 255
expect_in "$dir/stderr" "The Java Runtime Environment (JRE) was not found."

echo "$failures failure(s)"
[ "$failures" = 0 ]
