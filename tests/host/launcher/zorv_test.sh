#!/bin/sh
# The Linux launcher from outside: zorv_test.sh ZORV PROBE_JAR JDK_HOME
# MODERN_JAR DEP_JAR, on an X display. Each case copies the real executable into its own folder
# beside the probe jar and an INI file, runs it and checks the exit code,
# what it printed and the files and windows it made. zenity and kdialog are
# stand-ins that record how they were called.
set -u
zorv=$1 jar=$2 jdk=$3 modern_jar=$4 dep_jar=$5
root=$(mktemp -d "${TMPDIR:-/tmp}/zorv-test-XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL [$case]: $*" >&2; failures=$((failures + 1)); }
mkdir -p "$root/bin"
for dialog in zenity kdialog; do
    printf '#!/bin/sh\necho "%s $*" >> "%s/dialogs.log"\n' "$dialog" "$root" > "$root/bin/$dialog"
    chmod +x "$root/bin/$dialog"
done
PATH="$root/bin:$PATH"
export PATH
# The single-instance sockets of these tests stay in the test's own folder.
XDG_RUNTIME_DIR=$root
export XDG_RUNTIME_DIR

# app FOLDER EXECUTABLE SETTINGS-FILE INI-LINES...: in UTF-16LE after a
# byte-order mark when INI_UTF16 is set, as Notepad saves "Unicode".
app() {
    dir="$root/$1" exe=$2 ini=$3
    shift 3
    mkdir -p "$dir" && cp "$zorv" "$dir/$exe" && cp "$jar" "$dir/probe.jar" || exit 1
    if [ -n "${INI_UTF16:-}" ]; then
        { printf '\377\376'; printf '%s\r\n' "$@" | iconv -f UTF-8 -t UTF-16LE; } > "$dir/$ini"
    else
        printf '%s\n' "$@" > "$dir/$ini"
    fi
}
# launch NAME ARGUMENTS...: in the app's folder, without a terminal, without
# JAVA_HOME unless JAVA_HOME_FOR_RUN is set, with the trace when TRACE_FOR_RUN
# names its file, with PATH_FOR_RUN for PATH when set; output in NAME.out and
# NAME.err, exit code in NAME.rc.
launch() {
    name=$1
    shift
    (
        cd "$dir" || exit 1
        unset JAVA_HOME ZORV_LAUNCHER_DEBUG
        [ -z "${JAVA_HOME_FOR_RUN:-}" ] || export JAVA_HOME="$JAVA_HOME_FOR_RUN"
        [ -z "${TRACE_FOR_RUN:-}" ] || export ZORV_LAUNCHER_DEBUG="$TRACE_FOR_RUN"
        [ -z "${PATH_FOR_RUN:-}" ] || PATH=$PATH_FOR_RUN
        exec "./$exe" "$@"
    ) < /dev/null > "$dir/$name.out" 2> "$dir/$name.err"
    echo $? > "$dir/$name.rc"
}
# run ARGUMENTS...: launch in the foreground; rc, stdout and stderr for the checks.
run() {
    launch main "$@"
    rc=$(cat "$dir/main.rc")
    cp "$dir/main.out" "$dir/stdout" && cp "$dir/main.err" "$dir/stderr"
}
# Waits up to 20 s for a file; false when it never came.
await() {
    for _ in $(seq 200); do [ -e "$1" ] && return 0; sleep 0.1; done
    return 1
}
# Waits up to 60 s for the background assembly of ahead-of-time caches
# under a folder: until no recording is left there.
await_caches() {
    for _ in $(seq 600); do
        find "$1" -name '*.aotconf' -o -name '*.aot.part' | grep -q . || return 0
        sleep 0.1
    done
    fail "caches under $1 still being assembled: $(find "$1" -name '*.aot*')"
}
expect_rc() { [ "$rc" = "$1" ] || fail "exit code $rc, expected $1; stderr: $(cat "$dir/stderr")"; }
expect_in() { grep -qF -- "$2" "$1" 2>/dev/null || fail "no \"$2\" in $1: $(cat "$1" 2>/dev/null)"; }
expect_line() { grep -qxF -- "$2" "$1" 2>/dev/null || fail "no line \"$2\" in $1: $(cat "$1" 2>/dev/null)"; }

probe_settings='Main Class=Probe'
jdk17_version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")

case=arguments-heap-and-exit
# A dot in the folder's name must not name the settings file.
INI_UTF16=1 app my.apps/viewer viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" 'Virtual Machine Parameters=-Xmx1:96:96p' \
    'Library Path=natives;' '[Class Path]' 'Class Path=*.jar'
run a "b c" "$(printf '\303\244\360\237\230\200')"
expect_rc 0
expect_in "$dir/stdout" "args=3 [ 61 ] [ 62 20 63 ] [ e4 1f600 ]"
expect_in "$dir/stdout" "java.version=$jdk17_version."
expect_in "$dir/stdout" "ZORV_JVM_HOME=$jdk"
expect_in "$dir/stderr" "to standard error"
# The runtime's libraries first on the search path; no empty class path entry.
expect_in "$dir/stdout" "PATH=$jdk/lib:"
expect_line "$dir/stdout" "java.class.path=$dir/probe.jar"
expect_line "$dir/stdout" "java.library.path=natives:$dir/:.:$PATH:$jdk/lib"
heap=$(sed -n 's/^maxMemoryMB=//p' "$dir/stdout")
# 1 % of memory, at least and at most 96 MB: the VM may keep a little for itself.
[ "${heap:-0}" -ge 80 ] && [ "${heap:-0}" -le 96 ] || fail "maxMemory ${heap:-none} MB, expected 96 MB"
TRACE_FOR_RUN=$dir/trace.txt run exit=7
expect_rc 7
# The trace holds the command line: the user's alone, and never written through a link.
[ "$(stat -c %a "$dir/trace.txt")" = 600 ] || fail "trace file mode $(stat -c %a "$dir/trace.txt"), expected 600"
ln -s "$dir/elsewhere.txt" "$dir/linked-trace.txt"
TRACE_FOR_RUN=$dir/linked-trace.txt run exit=7
expect_rc 7
[ -e "$dir/elsewhere.txt" ] && fail "the trace was written through a link"
# The trace tells why the runtime was chosen, with Linux paths.
expect_in "$dir/trace.txt" "runtime: installed candidate $jdk/ version $jdk17_version."
expect_in "$dir/trace.txt" ": chosen, ranks first"
expect_in "$dir/trace.txt" "vm: argument 1: exit=7"

case=restart-exit-code
# "exit 9 to restart": the same arguments, working folder and process (the
# launcher takes its place), at most 5 restarts a minute, then 9 is the code.
app restart restart restart.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Restart Exit Code=9'
run restart-until=3 "two words"
expect_rc 0
[ "$(wc -l < "$dir/starts.txt")" = 3 ] || fail "starts: $(cat "$dir/starts.txt")"
[ "$(cut -d' ' -f1 "$dir/starts.txt" | sort -u | wc -l)" = 1 ] || fail "not one process: $(cat "$dir/starts.txt")"
sed -n 1p "$dir/starts.txt" | grep -q " $dir null args=2 " || fail "first start: $(sed -n 1p "$dir/starts.txt")"
sed -n 3p "$dir/starts.txt" | grep -q " $dir 2@[0-9]* args=2 \[ 72 .* \[ 74 77 6f 20 " ||
    fail "third start: $(sed -n 3p "$dir/starts.txt")"
[ "$(grep -c '^args=2 ' "$dir/stdout")" = 3 ] || fail "the output of each start: $(cat "$dir/stdout")"
rm "$dir/starts.txt"
run restart-until=100
expect_rc 9
[ "$(wc -l < "$dir/starts.txt")" = 6 ] || fail "a crash loop went on: $(wc -l < "$dir/starts.txt") starts"

case=environment-priority-and-library-path
# [Environment] before the runtime search: its JAVA_HOME is the only runtime
# these versions admit. Each value sees the ones before it; an empty one
# removes the variable. "Library Path" as people write it, without a final
# ":", finds a real library. The nice value is the priority's.
mkdir -p "$root/jni"
printf 'int zorv_probe_library;\n' | ${CC:-cc} -shared -fPIC -x c - -o "$root/jni/libzorvprobe.so" ||
    fail "no test library"
app environment viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=99' 'Maximum Version=99' \
    "$probe_settings" "Library Path=$root/jni" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Process Priority=Below Normal' \
    '[Environment]' 'JAVA_HOME=%ZORV_TEST_JDK%' 'FIRST=one' 'SECOND=%FIRST%-two' 'DROPPED=' 'PATH=/opt/extra:%PATH%'
ZORV_TEST_JDK=$jdk DROPPED=inherited TRACE_FOR_RUN=$dir/trace.txt run env=SECOND env=DROPPED load=zorvprobe nice
expect_rc 0
expect_in "$dir/stdout" "java.version=$jdk17_version."
expect_line "$dir/stdout" "env SECOND=one-two"
expect_line "$dir/stdout" "env DROPPED unset"
expect_in "$dir/stdout" "PATH=$jdk/lib:/opt/extra:"
expect_in "$dir/stdout" "java.library.path=$root/jni:$dir/:.:/opt/extra:"
expect_line "$dir/stdout" "loaded zorvprobe"
expect_line "$dir/stdout" "nice=10"
expect_in "$dir/trace.txt" "environment: JAVA_HOME=$jdk"
expect_in "$dir/trace.txt" "environment: DROPPED removed"
expect_in "$dir/trace.txt" "because JAVA_HOME"
# A raise an ordinary user may not make is said once, and the start goes on.
sed -i 's/^Process Priority=.*/Process Priority=HIGH/' "$dir/viewer.ini"
chmod -R a+rX "$root/jni" "$dir"
raise_as=
if [ "$(id -u)" = 0 ]; then
    chmod 755 "$root"
    raise_as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
(cd "$dir" && unset JAVA_HOME ZORV_LAUNCHER_DEBUG && ZORV_TEST_JDK=$jdk $raise_as ./viewer nice) < /dev/null \
    > "$dir/raise.out" 2> "$dir/raise.err"
rc=$?
expect_rc 0
expect_line "$dir/raise.err" 'Process Priority "high" was refused (error 5): the application runs at the priority the launcher was started with'
expect_line "$dir/raise.out" "nice=$(cut -d' ' -f19 /proc/self/stat)"

case=redirection-and-failure-check
app redirect tool.bin tool.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Output File=logs\out-%yyyy%.log' 'Error File=err.log' 'Failure Check=Yes'
run throw
# Nobody is asked on Linux: as java, the trace once on standard error and exit code 1.
expect_rc 1
expect_in "$dir/logs/out-$(date +%Y).log" "args=1"
expect_in "$dir/err.log" "to standard error"
expect_in "$dir/err.log" "thrown by main"
[ "$(grep -c "thrown by main" "$dir/err.log")" = 1 ] || fail "the trace more than once: $(cat "$dir/err.log")"

case=no-runtime
app none viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=99' 'Maximum Version=99' \
    'JRE Path=nowhere' "$probe_settings" '[Class Path]' 'Class Path=probe.jar'
# From a terminal, or without a desktop, standard error alone tells.
(unset DISPLAY WAYLAND_DISPLAY; JAVA_HOME_FOR_RUN=/nowhere run)
(cd "$dir" && JAVA_HOME=/nowhere script -qec ./viewer /dev/null > "$dir/terminal.out" 2>&1)
expect_in "$dir/terminal.out" "The Java Runtime Environment (JRE) was not found."
[ -e "$root/dialogs.log" ] && fail "a dialog without a desktop or from a terminal: $(cat "$root/dialogs.log")"
JAVA_HOME_FOR_RUN=/nowhere run
expect_rc 255
expect_in "$dir/stderr" "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (version between 99.0 and 99.65535) from:"
expect_in "$dir/stderr" "https://adoptium.net/"
# zenity is tried first; it draws the message as it stands.
expect_in "$root/dialogs.log" "zenity --error --no-markup --title=JRE Not Found --text=The Java Runtime Environment (JRE) was not found."
expect_in "$root/dialogs.log" "between 99.0 and 99.65535"
[ "$(grep -c '^zenity' "$root/dialogs.log")" = 1 ] || fail "one dialog expected: $(cat "$root/dialogs.log")"
rm -f "$root/dialogs.log"
# Without zenity, kdialog.
mkdir -p "$root/kde" && cp "$root/bin/kdialog" "$root/kde/"
PATH_FOR_RUN=$root/kde JAVA_HOME_FOR_RUN=/nowhere run
expect_in "$root/dialogs.log" "kdialog --title JRE Not Found --error The Java Runtime Environment (JRE) was not found."
rm -f "$root/dialogs.log"

case=settings-error
# What Windows shows in a message box: on standard error, and in a dialog
# without a terminal.
app error viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=1' 'Maximum Version=any' \
    '[Class Path]' 'Class Path=probe.jar'
run
expect_rc 255
expect_line "$dir/stderr" "Main class was not specified in INI file."
expect_line "$root/dialogs.log" "zenity --error --no-markup --title=Error --text=Main class was not specified in INI file."
rm -f "$root/dialogs.log"

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

case=absolute-paths
# Paths in the settings written as on Linux: a runtime and a class path
# pattern outside the executable's folder.
mkdir -p "$root/shared-lib" && cp "$jar" "$root/shared-lib/"
app absolute viewer viewer.ini '[Java Runtime Environment]' 'Minimum Version=1' 'Maximum Version=any' \
    "JRE Path=$jdk" "$probe_settings" '[Class Path]' "Class Path=$root/shared-lib/*.jar"
rm "$dir/probe.jar"
run
expect_rc 0
expect_line "$dir/stdout" "java.class.path=$root/shared-lib/probe.jar"
expect_in "$dir/stdout" "ZORV_JVM_HOME=$jdk"

case=splash
# The runtime's splash library shows the picture centred while main runs,
# and it is gone when the application has ended; -nosplash keeps it away.
app splash viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Display]' 'Splash Screen=pictures/splash.png'
mkdir -p "$dir/pictures" && convert -size 123x77 xc:red "$dir/pictures/splash.png"
splash_windows() { xwininfo -root -tree | grep -c ' 123x77+' ; }
for variant in shown -nosplash; do
    rm -f "$dir/holding" "$dir/release"
    if [ $variant = shown ]; then launch first hold & else launch first hold -nosplash & fi
    await "$dir/holding" || fail "$variant: main never ran: $(cat "$dir/first.err")"
    sleep 1
    expected=$([ $variant = shown ] && echo 1 || echo 0)
    [ "$(splash_windows)" = "$expected" ] || fail "$variant: $(splash_windows) splash windows, expected $expected"
    [ $variant = shown ] && { xwininfo -root -tree | grep -q " 123x77+$(( ($(xwininfo -root | sed -n 's/ *Width: //p') - 123) / 2 ))+" ||
                             fail "splash not centred: $(xwininfo -root -tree | grep 123x77)"; }
    touch "$dir/release"
    wait
    [ "$(cat "$dir/first.rc")" = 0 ] || fail "$variant: exit code $(cat "$dir/first.rc")"
    [ "$(splash_windows)" = 0 ] || fail "$variant: the splash outlived the application"
done
expect_in "$dir/first.out" "args=2 [ 68 6f 6c 64 ] [ 2d 6e 6f 73 70 6c 61 73 68 ]"

case=single-instance
# Second starts hand their arguments to the running first one and end with
# what secondaryMain returns; several at once each get their own reply.
app single viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Single Instance=yes'
launch first hold &
# One comes once the first listens, before main has even been called: it waits for main.
for _ in $(seq 200); do ls "$root"/zorv-*/*.socket > /dev/null 2>&1 && break; sleep 0.05; done
launch early reply=5 early
await "$dir/holding" || fail "main never ran: $(cat "$dir/first.err")"
channels=$root/zorv-$(id -u)
[ "$(stat -c %a "$channels")" = 700 ] || fail "channel folder mode $(stat -c %a "$channels"), expected 700"
# A client that trickles its request holds the listener for a few seconds at
# most: a start behind it is still answered soon.
(for _ in $(seq 30); do printf x; sleep 1; done) | socat -u - "UNIX-CONNECT:$(ls "$channels"/*.socket)" &
trickler=$!
sleep 1
started=$(date +%s)
launch behind reply=6
[ "$(cat "$dir/behind.rc")" = 6 ] || fail "start behind a trickling client: exit code $(cat "$dir/behind.rc")"
[ $(($(date +%s) - started)) -lt 15 ] || fail "a trickling client held the listener $(($(date +%s) - started)) s"
kill "$trickler" 2> /dev/null
pids=
for n in 1 2 3 4 5 6 7 8 9 10; do
    launch "second$n" "reply=$n" "$(printf 'n\303\244%s' $n)" &
    pids="$pids $!"
done
# shellcheck disable=SC2086
wait $pids
[ "$(cat "$dir/early.rc")" = 5 ] || fail "early start: exit code $(cat "$dir/early.rc")"
hex() { printf '%s' "$1" | od -An -tx1 | tr -s ' \n' '  ' | sed 's/^ //;s/ $//'; }
for n in 1 2 3 4 5 6 7 8 9 10; do
    [ "$(cat "$dir/second$n.rc")" = $n ] || fail "second start $n: exit code $(cat "$dir/second$n.rc"): $(cat "$dir/second$n.err")"
    expect_line "$dir/secondary.txt" "args=2 [ $(hex "reply=$n") ] [ 6e e4 $(hex $n) ]"
done
[ "$(wc -l < "$dir/secondary.txt")" = 12 ] || fail "secondaryMain ran $(wc -l < "$dir/secondary.txt") times, expected 12"
# secondaryMain ends the first process: the waiting start gets its exit status.
launch last exit=42
wait
[ "$(cat "$dir/last.rc")" = 42 ] || fail "last start: exit code $(cat "$dir/last.rc")"
[ "$(cat "$dir/first.rc")" = 42 ] || fail "first start: exit code $(cat "$dir/first.rc")"
expect_line "$dir/first.out" "args=1 [ 68 6f 6c 64 ]"
# With the first one gone, the next start is a first one again.
launch again exit=3
[ "$(cat "$dir/again.rc")" = 3 ] || fail "start after the first ended: exit code $(cat "$dir/again.rc")"
expect_in "$dir/again.out" "args=1 [ 65 78 69 74 3d 33 ]"

case=single-instance-restart-from-secondary-main
# secondaryMain asks for a restart: the first instance ends from within the
# VM's exit, the start that asked gets the exit code, and the new start (the
# same process) is the first instance that later starts find.
app single-restart viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Single Instance=yes' 'Restart Exit Code=9'
launch first hold restart-until=1 &
first=$!
await "$dir/holding" || fail "main never ran: $(cat "$dir/first.err")"
rm -f "$dir/holding"
launch asking exit=9 &
asking=$!
if await "$dir/holding"; then
    launch later reply=4
    [ "$(cat "$dir/later.rc")" = 4 ] || fail "start after the restart: exit code $(cat "$dir/later.rc")"
else
    fail "the first instance did not start again: $(cat "$dir/first.err")"
fi
touch "$dir/release"
for _ in $(seq 100); do [ -e "$dir/first.rc" ] && [ -e "$dir/asking.rc" ] && break; sleep 0.1; done
# What hangs is ended, so that the run goes on to report it.
for process in /proc/[0-9]*; do
    [ "$(readlink "$process/exe" 2> /dev/null)" = "$dir/viewer" ] && kill -9 "${process#/proc/}" 2> /dev/null
done
wait "$first" "$asking" 2> /dev/null
[ "$(cat "$dir/asking.rc" 2> /dev/null)" = 9 ] || fail "the start that asked for the restart: exit code $(cat "$dir/asking.rc" 2> /dev/null)"
[ "$(cat "$dir/first.rc" 2> /dev/null)" = 0 ] || fail "first start: exit code $(cat "$dir/first.rc" 2> /dev/null)"
grep -q " 1@[0-9]* args=2 \[ 68 6f 6c 64 \] " "$dir/starts.txt" 2> /dev/null || fail "the restarted start: $(cat "$dir/starts.txt" 2> /dev/null)"
expect_line "$dir/secondary.txt" "args=1 [ $(hex exit=9) ]"
expect_line "$dir/secondary.txt" "args=1 [ $(hex reply=4) ]"

case=ordinary-user-from-root-folder
# As an ordinary user started from /: the class-data archive goes to the
# cache under the home folder, in a folder named by the cleaned product
# names, with "/" in every path; the application folder and the working
# folder stay untouched; an output file that cannot be made is said once
# and the output goes on; the second start maps the recorded archive.
user_home=$root/user-home
mkdir -p "$user_home"
as_user=
if [ "$(id -u)" = 0 ]; then
    chmod 755 "$root"
    chown 65534:65534 "$user_home"
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
# start_as_user NAME ARGUMENTS...: from /, with a HOME of its own and no XDG folders.
start_as_user() {
    name=$1
    shift
    (cd / && unset JAVA_HOME ZORV_LAUNCHER_DEBUG XDG_CONFIG_HOME XDG_CACHE_HOME &&
        HOME=$user_home $as_user "$dir/viewer" "$@") < /dev/null > "$root/$name.out" 2> "$root/$name.err"
    rc=$?
}
runtimes="$jdk17_version"
[ "${other_version:-0}" -ge 19 ] && runtimes="$runtimes $other_version"
for version in $runtimes; do
    app "user-app-$version" viewer viewer.ini '[Product Information]' 'Product Name=Demo: Viewer' \
        'Product Code=../v1' '[Java Runtime Environment]' "Minimum Version=$version" "Maximum Version=$version" \
        "$probe_settings" 'Class Data Sharing=auto' 'Virtual Machine Parameters=-Xlog:class+load=info:file=%HOME%/classes.txt' \
        '[Class Path]' 'Class Path=probe.jar' '[Application]' 'Output File=logs/out.log'
    chmod -R a+rX "$dir"
    # Without "." and "..": the parent's time changes with every case's files
    # and shows when the minute turns during the starts.
    before=$(ls -lA --full-time "$dir")
    for start in first second; do
        await_caches "$user_home"
        start_as_user "$start-$version" exit=7
        [ "$rc" = 7 ] || fail "$version $start start: exit code $rc: $(cat "$root/$start-$version.err")"
        expect_in "$root/$start-$version.out" "args=1"
        expect_line "$root/$start-$version.err" "Output File \"logs/out.log\" cannot be opened (java.io.FileNotFoundException: logs/out.log (No such file or directory)): the output stays on standard output"
        [ "$(wc -l < "$root/$start-$version.err")" = 2 ] || fail "$version $start start: $(cat "$root/$start-$version.err")"
    done
    expect_in "$user_home/classes.txt" "Probe source: shared objects file"
    [ "$(ls -lA --full-time "$dir")" = "$before" ] ||
        fail "$version: the application folder changed: $(ls -lA --full-time "$dir")"
done
archives=$(cd "$user_home" && find . -type f ! -name 'classes.txt*')
for version in $runtimes; do
    # From JDK 24 on an ahead-of-time cache.
    kind=jsa
    [ "$version" -ge 24 ] && kind=aot
    ls "$user_home/.cache/Demo Viewer/v1/viewer-$version".*."$kind" > /dev/null 2>&1 || fail "no archive for $version: $archives"
done
[ "$(echo "$archives" | wc -l)" = "$(echo "$runtimes" | wc -w)" ] || fail "other files than one archive per runtime: $archives"
find / -maxdepth 1 -name '*\\*' | grep . && fail "a name with \\ at the root"
find "$root" -name '*\\*' | grep . && fail "a name with \\ in the test's folders"
# A cache that cannot be written: no archive asked for, the application's own exit code, nothing new said.
rm -f "$user_home/.cache/Demo Viewer/v1/"*
chmod 555 "$user_home/.cache/Demo Viewer/v1"
for version in $runtimes; do
    dir=$root/user-app-$version
    start_as_user "read-only-$version" exit=7
    [ "$rc" = 7 ] || fail "$version read-only cache: exit code $rc: $(cat "$root/read-only-$version.err")"
    [ "$(wc -l < "$root/read-only-$version.err")" = 2 ] || fail "$version read-only cache: $(cat "$root/read-only-$version.err")"
done
chmod 755 "$user_home/.cache/Demo Viewer/v1"
# Without HOME nothing is kept per user, and the start goes on as always.
app user-app-no-home viewer viewer.ini '[Product Information]' 'Product Name=Demo: Viewer' 'Product Code=v1' \
    '[Java Runtime Environment]' "Minimum Version=$jdk17_version" "Maximum Version=$jdk17_version" \
    "$probe_settings" 'Class Data Sharing=auto' '[Class Path]' 'Class Path=probe.jar'
chmod -R a+rX "$dir"
(cd / && env -u HOME -u XDG_CACHE_HOME -u XDG_CONFIG_HOME $as_user "$dir/viewer" exit=7) < /dev/null \
    > "$root/no-home.out" 2> "$root/no-home.err"
rc=$?
[ "$rc" = 7 ] || fail "without HOME: exit code $rc: $(cat "$root/no-home.err")"
[ "$(cat "$root/no-home.err")" = "to standard error" ] || fail "without HOME: $(cat "$root/no-home.err")"
[ -z "$(ls -A "$user_home/.cache/Demo Viewer/v1")" ] || fail "without HOME: $(ls -A "$user_home/.cache/Demo Viewer/v1")"

case=ahead-of-time-cache
# From JDK 24 on "auto" keeps an ahead-of-time cache: the first start records
# and a background copy of zorv assembles the cache once the application has
# ended; the next start maps it. Nothing of it is ever printed, whatever
# becomes of the cache, and a change of the jars makes a new one.
aot_home=$(for release in /usr/lib/jvm/*/release; do
               printf '%s %s\n' "$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$release")" "${release%/release}"
           done | sort -n | awk '$1 >= 24 { home = $2 } END { print home }')
if [ -n "$aot_home" ]; then
    app aot viewer viewer.ini '[Product Information]' 'Product Name=Aot' 'Product Code=X' \
        '[Java Runtime Environment]' "JRE Path=$aot_home" "$probe_settings" 'Class Data Sharing=auto' \
        'Virtual Machine Parameters=-Xlog:class+load=info:file=classes.txt' '[Class Path]' 'Class Path=probe.jar'
    caches=$dir/cache/Aot/X
    # aot_start NAME ARGUMENTS...: a start with its own trace; the exit code in rc.
    aot_start() {
        name=$1
        shift
        XDG_CACHE_HOME=$dir/cache TRACE_FOR_RUN=$dir/$name.trace launch "$name" "$@"
        rc=$(cat "$dir/$name.rc")
    }
    # What every start prints is the application's alone.
    expect_quiet() {
        [ "$rc" = "$2" ] || fail "$1: exit code $rc, expected $2: $(cat "$dir/$1.err")"
        [ "$(cat "$dir/$1.err")" = "to standard error" ] || fail "$1: on standard error: $(cat "$dir/$1.err")"
        [ "$(grep -c '^[A-Za-z_.]*=' "$dir/$1.out")" = 7 ] && [ "$(wc -l < "$dir/$1.out")" = 7 ] ||
            fail "$1: on standard output: $(cat "$dir/$1.out")"
    }
    # Until the assembly processes are done: a cache, and no recording left.
    await_assembly() {
        for _ in $(seq 600); do
            ls "$caches"/*.aot > /dev/null 2>&1 && ! ls "$caches"/*.aotconf "$caches"/*.part > /dev/null 2>&1 && return 0
            sleep 0.1
        done
        fail "$1: no cache assembled: $(ls -A "$caches" 2>&1)"
    }
    mapped() { grep -q "Probe source: shared objects file" "$dir/classes.txt"; }

    aot_start record exit=7
    expect_quiet record 7
    ls "$caches"/*.aot > /dev/null 2>&1 && fail "the cache was there when the application ended"
    expect_in "$dir/record.trace" "vm: recording for the ahead-of-time cache $caches/viewer-"
    expect_in "$dir/record.trace" "vm: option -XX:AOTMode=record"
    expect_in "$dir/record.trace" "in the background"
    await_assembly record
    expect_in "$dir/record.trace" "vm: ahead-of-time cache assembled: $caches/viewer-"
    first_cache=$(ls "$caches"/*.aot)
    aot_start use exit=7
    expect_quiet use 7
    mapped || fail "the second start did not map the cache: $(grep Probe "$dir/classes.txt")"
    expect_in "$dir/use.trace" "vm: using the ahead-of-time cache $first_cache"
    [ "$(ls -A "$caches")" = "$(basename "$first_cache")" ] || fail "more than the cache is kept: $(ls -A "$caches")"

    # A changed jar: a new cache, from a start that ends without System.exit,
    # and the old one gone.
    touch -d '2001-02-03' "$dir/probe.jar"
    aot_start changed
    expect_quiet changed 0
    mapped && fail "a cache of the old jar was mapped"
    await_assembly changed
    [ "$(ls "$caches"/*.aot)" != "$first_cache" ] || fail "no new cache for the changed jar"
    [ "$(ls "$caches"/*.aot | wc -l)" = 1 ] || fail "the old cache was kept: $(ls -A "$caches")"

    # A cut-off cache and another runtime's archive under its name: ignored
    # without a word, removed, and made again.
    for spoilt in truncated foreign; do
        cache=$(ls "$caches"/*.aot)
        if [ $spoilt = truncated ]; then truncate -s 8192 "$cache"; else cp "$jdk/lib/server/classes.jsa" "$cache"; fi
        aot_start "$spoilt" exit=7
        expect_quiet "$spoilt" 7
        mapped && fail "$spoilt: mapped"
        expect_in "$dir/$spoilt.trace" "vm: the runtime did not map $cache: removed"
        [ -e "$cache" ] && fail "$spoilt: the refused cache was kept"
        aot_start "$spoilt-again" exit=7
        expect_quiet "$spoilt-again" 7
        await_assembly "$spoilt-again"
        aot_start "$spoilt-mapped" exit=7
        mapped || fail "$spoilt: the cache made again was not mapped"
    done

    # Two first starts at once: both record, neither harms the other's cache.
    rm -f "$caches"/*
    aot_start twice-1 exit=7 &
    aot_start twice-2 exit=7 &
    wait
    [ "$(cat "$dir/twice-1.rc") $(cat "$dir/twice-2.rc")" = "7 7" ] || fail "two first starts: $(cat "$dir"/twice-*.err)"
    await_assembly twice
    aot_start after-twice exit=7
    mapped || fail "the cache of two first starts was not mapped"
    [ "$(ls -A "$caches")" = "$(basename "$(ls "$caches"/*.aot)")" ] || fail "two first starts left: $(ls -A "$caches")"

    # A cache folder that cannot be written: nothing recorded, nothing added.
    # (As an ordinary user where the tests run as root, whom no mode stops.)
    rm -f "$caches"/* "$dir/classes.txt"
    chmod -R a+rX "$dir" && chmod a+w "$dir"
    [ -z "$as_user" ] || chown -R 65534:65534 "$dir/cache"
    chmod 555 "$caches"
    (cd "$dir" && XDG_CACHE_HOME=$dir/cache ZORV_LAUNCHER_DEBUG=$dir/read-only.trace $as_user ./viewer exit=7) \
        < /dev/null > "$dir/read-only.out" 2> "$dir/read-only.err"
    rc=$?
    expect_quiet read-only 7
    expect_in "$dir/read-only.trace" "vm: no ahead-of-time cache, cannot write in $caches"
    grep -q "option -XX:AOT" "$dir/read-only.trace" && fail "cache options for a read-only folder"
    [ -z "$(ls -A "$caches")" ] || fail "files in a read-only folder: $(ls -A "$caches")"
    # Nor is one that others may write in (they could put a cache there for
    # this user's VM to map), or one of another owner, or a link.
    for variant in others-write other-owner link; do
        chmod 755 "$caches"
        case $variant in
        others-write) chmod 757 "$caches" ;;
        other-owner) [ -n "$as_user" ] || continue; chown 0:0 "$caches" ;;
        link) mv "$caches" "$caches.real" && ln -s "$caches.real" "$caches" ;;
        esac
        (cd "$dir" && XDG_CACHE_HOME=$dir/cache ZORV_LAUNCHER_DEBUG=$dir/$variant.trace $as_user ./viewer exit=7) \
            < /dev/null > "$dir/$variant.out" 2> "$dir/$variant.err"
        rc=$?
        expect_quiet "$variant" 7
        expect_in "$dir/$variant.trace" "files: $caches is not this user's alone (another owner, others may write in it, or a link): no per-user caches kept"
        grep -q "option -XX:AOT" "$dir/$variant.trace" && fail "$variant: cache options"
        [ -z "$(ls -A "$caches/")" ] || fail "$variant: files in the folder: $(ls -A "$caches/")"
        [ "$variant" != link ] || { rm "$caches" && mv "$caches.real" "$caches"; }
        [ -z "$as_user" ] || chown 65534:65534 "$caches"
    done
    chmod 755 "$caches"
else
    echo "no runtime of version 24 or later under /usr/lib/jvm: the ahead-of-time cache is not tried"
fi

case=per-user-settings-only-from-own-folder
# The per-user copy's "JRE Path" (which the runtime-not-found dialog writes)
# is read only from a folder of this user's alone: one that others may write
# in could point the start at any runtime's library.
if [ -n "$aot_home" ]; then
    app user-settings viewer viewer.ini '[Product Information]' 'Product Name=Demo' 'Product Code=us' \
        '[Java Runtime Environment]' "JRE Path=$jdk" "$probe_settings" '[Class Path]' 'Class Path=probe.jar'
    mkdir -p "$dir/config/Demo/us" && chmod -R 700 "$dir/config"
    printf '[Java Runtime Environment]\nJRE Path=%s\n' "$aot_home" > "$dir/config/Demo/us/viewer.ini"
    XDG_CONFIG_HOME=$dir/config
    export XDG_CONFIG_HOME
    aot_version=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$aot_home/release")
    run exit=7
    expect_rc 7
    expect_in "$dir/stdout" "java.version=$aot_version."
    # The base folder may be a link to a folder of the user's.
    ln -s "$dir/config" "$dir/config-link"
    XDG_CONFIG_HOME=$dir/config-link
    run exit=7
    expect_in "$dir/stdout" "java.version=$aot_version."
    XDG_CONFIG_HOME=$dir/config
    chmod 777 "$dir/config/Demo/us"
    TRACE_FOR_RUN=$dir/others.trace run exit=7
    expect_rc 7
    expect_in "$dir/stdout" "java.version=$jdk17_version."
    expect_in "$dir/others.trace" "files: $dir/config/Demo/us is not this user's alone"
    unset XDG_CONFIG_HOME
fi

case=single-instance-without-secondary-main
# The second start hears at once that nobody took its arguments.
app plain viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
    "Maximum Version=$jdk17_version" 'Main Class=PlainProbe' '[Class Path]' 'Class Path=probe.jar' \
    '[Application]' 'Single Instance=yes'
launch first hold &
await "$dir/holding" || fail "main never ran: $(cat "$dir/first.err")"
TRACE_FOR_RUN=$dir/trace.txt run file.txt
expect_rc 255
expect_line "$dir/stderr" "The running instance of this application takes no arguments from a second start (its main class has no secondaryMain); these were not delivered."
[ "$(wc -l < "$dir/stderr")" = 1 ] || fail "more than one line on standard error: $(cat "$dir/stderr")"
expect_in "$dir/trace.txt" "launcher: exit code -1"
touch "$dir/release"
wait
[ "$(cat "$dir/first.rc")" = 0 ] || fail "first start: exit code $(cat "$dir/first.rc")"
grep -q NoSuchMethodError "$dir/first.err" && fail "the first instance printed: $(cat "$dir/first.err")"

case=single-instance-other-user
# Another user who makes the folder where this user's channels would be, or
# a link there, neither stalls nor redirects the start: it runs the
# application without the mode and says why in the trace. Nor can that user
# reach this user's channels.
other=zorvtestother
if [ "$(id -u)" = 0 ] && { id "$other" > /dev/null 2>&1 || useradd -M -s /bin/sh "$other"; }; then
    chmod 711 "$root"
    app other viewer viewer.ini '[Java Runtime Environment]' "Minimum Version=$jdk17_version" \
        "Maximum Version=$jdk17_version" "$probe_settings" '[Class Path]' 'Class Path=probe.jar' \
        '[Application]' 'Single Instance=yes'
    for planted in folder link; do
        shared=$root/shared-$planted
        mkdir -m 1777 "$shared" && mkdir -m 777 "$shared/theirs" && chown "$other" "$shared/theirs"
        if [ $planted = folder ]; then runuser -u "$other" -- mkdir -m 777 "$shared/zorv-0"
        else runuser -u "$other" -- ln -s "$shared/theirs" "$shared/zorv-0"; fi
        (XDG_RUNTIME_DIR=$shared TRACE_FOR_RUN=$dir/trace-$planted.txt launch $planted exit=4)
        [ "$(cat "$dir/$planted.rc")" = 4 ] || fail "$planted: exit code $(cat "$dir/$planted.rc"): $(cat "$dir/$planted.err")"
        expect_in "$dir/trace-$planted.txt" "single instance: off: $shared/zorv-0 is not a folder of this user's alone"
        [ -z "$(ls -A "$shared/theirs")" ] || fail "$planted: files made in the other user's folder: $(ls -A "$shared/theirs")"
    done
    launch first hold &
    await "$dir/holding" || fail "main never ran: $(cat "$dir/first.err")"
    runuser -u "$other" -- socat -u /dev/null "UNIX-CONNECT:$(ls "$root"/zorv-0/*.socket)" 2> /dev/null &&
        fail "another user reached the channel"
    touch "$dir/release"
    wait
    userdel "$other" 2> /dev/null
else
    echo "not root: the other user's attempts are not tried"
fi

case=modern-applications
# Applications as today's documentation starts them with java: from a jar's
# manifest, as a module, by class with the module options of a module-path
# library written as on java's command line; each against java itself, on
# JDK 17 and on the newest other runtime installed.
fx=/usr/share/openjfx/lib
newest=$(for release in /usr/lib/jvm/*/release; do
             printf '%s %s\n' "$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$release")" "${release%/release}"
         done | sort -n | tail -1 | cut -d' ' -f2)
[ -d "$fx" ] || fail "no JavaFX library in $fx: tools/setup installs openjfx"
modern() {  # modern FOLDER INI-LINES...: the application's jars beside zorv
    folder=$1
    shift
    app "$folder" viewer viewer.ini '[Product Information]' "Product Name=$folder" "$@"
    mkdir -p "$dir/lib" "$dir/mods" && cp "$modern_jar" "$dir/modern.jar" && cp "$modern_jar" "$dir/mods/" &&
        cp "$dep_jar" "$dir/lib/dep.jar" || exit 1
}
# same_as_java JAVA-ARGUMENTS...: java, started in the same folder, ends
# with zorv's exit code after the same output, but for the lines that name
# paths as each was given them.
same_as_java() {
    (cd "$dir" && "$home/bin/java" "$@" > java.out 2> java.err; echo $? > java.rc)
    [ "$(cat "$dir/java.rc")" = "$rc" ] || fail "exit code $rc, java's $(cat "$dir/java.rc"): $(cat "$dir/java.err")"
    grep -v '^command=\|^class.path=' "$dir/java.out" > "$dir/java.same"
    grep -v '^command=\|^class.path=' "$dir/stdout" > "$dir/zorv.same"
    cmp -s "$dir/java.same" "$dir/zorv.same" || fail "not java's output: $(diff "$dir/java.same" "$dir/zorv.same")"
}
# The runtime's log lines (-Xlog writes to standard output by default).
complaints() { grep -h '^\[' "$dir/stdout" "$dir/stderr" | grep -q . && fail "$*: the runtime complained: $(grep -h '^\[' "$dir/stdout" "$dir/stderr")"; }
for home in "$jdk" ${newest:+"$newest"}; do
    v=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$home/release")
    modern "jar-$v" '[Java Runtime Environment]' "JRE Path=$home" 'Main Jar=modern.jar'
    run opens dep
    expect_rc 0
    same_as_java -jar modern.jar opens dep
    for line in "command=$dir/modern.jar opens dep" "class.path=$dir/modern.jar" opens=main "dep=from lib/dep.jar" \
                agent=ran launcher=SUN_STANDARD; do
        expect_line "$dir/stdout" "$line"
    done

    modern "module-$v" '[Java Runtime Environment]' "JRE Path=$home" 'Main Module=modern.app' \
        'Virtual Machine Parameters="--add-opens" java.base/java.lang=modern.app' '[Class Path]' 'Module Path=mods/*.jar'
    run opens
    expect_rc 0
    same_as_java -p mods --add-opens java.base/java.lang=modern.app -m modern.app opens
    for line in module=modern.app opens=main "command=modern.app opens" class.path=; do
        expect_line "$dir/stdout" "$line"
    done

    # The class data archive follows the module options: no complaint on any
    # start, a new archive when they change.
    options="--module-path $fx --add-modules javafx.base --add-opens java.base/java.lang=ALL-UNNAMED"
    modern "fx-$v" '[Java Runtime Environment]' "JRE Path=$home" 'Main Class=modern.Main' \
        "Virtual Machine Parameters=$options" 'Class Data Sharing=auto' '[Class Path]' 'Class Path=modern.jar'
    saved_home=$HOME
    mkdir -p "$dir/home"
    HOME=$dir/home APPDATA=$dir/home XDG_CONFIG_HOME=$dir/home/config XDG_CACHE_HOME=$dir/home/cache
    export HOME APPDATA XDG_CONFIG_HOME XDG_CACHE_HOME
    for start in 1 2 3; do
        await_caches "$dir"
        run fx opens throw
        expect_rc 1
        complaints start $start
    done
    expect_in "$dir/stderr" 'Exception in thread "main" java.lang.IllegalStateException: thrown by main'
    # shellcheck disable=SC2086
    same_as_java $options -cp modern.jar modern.Main fx opens throw
    expect_line "$dir/stdout" "fx=javafx.base bound"
    expect_line "$dir/stdout" "command=modern.Main fx opens throw"
    # An archive, or from JDK 24 on a cache assembled in the background.
    await_caches "$dir"
    archives=$(find "$dir" -name '*.jsa' -o -name '*.aot' | sort)
    [ -n "$archives" ] || fail "no class data archive"
    sed -i 's/^Virtual Machine Parameters=.*/Virtual Machine Parameters=--add-opens java.base\/java.lang=ALL-UNNAMED/' \
        "$dir/viewer.ini"
    for start in 1 2; do
        await_caches "$dir"
        run opens
        expect_rc 0
        complaints "changed options, start $start"
    done
    expect_line "$dir/stdout" opens=main
    await_caches "$dir"
    find "$dir" -name '*.jsa' -o -name '*.aot' | sort | grep -qvxF "$archives" || fail "no new archive for the new options"
    HOME=$saved_home
    unset APPDATA XDG_CONFIG_HOME XDG_CACHE_HOME
done
# Tools that list Java processes see the application's main class.
modern jps '[Java Runtime Environment]' "JRE Path=$jdk" 'Main Class=modern.Main' '[Class Path]' 'Class Path=modern.jar'
launch first hold &
await "$dir/holding" || fail "main never ran: $(cat "$dir/first.err")"
"$jdk/bin/jps" -l | grep -q "^[0-9]* modern.Main$" || fail "jps -l does not show modern.Main: $("$jdk/bin/jps" -l)"
touch "$dir/release"
wait
# An option only java's command line knows stops the start, naming the setting to use.
modern refused '[Java Runtime Environment]' "JRE Path=$jdk" 'Main Class=modern.Main' \
    'Virtual Machine Parameters=-Dx=1 -jar modern.jar' '[Class Path]' 'Class Path=modern.jar'
run
expect_rc 255
expect_line "$dir/stderr" 'Virtual Machine Parameters: -jar is an option of the java command, not of the VM; use "Main Jar" in [Java Runtime Environment] instead.'
rm -f "$root/dialogs.log"

case=service
# "Application Type=service" as systemd runs it, on JDK 17 and the newest
# runtime: READY=1 on the notification socket once main is called, STOPPING=1
# and the exit status at the end, and the socket hidden from the application.
# SIGTERM ends it as under java without a stop class, and calls the stop
# method with one. The datagrams reach socat, which keeps them in notify.log.
listen() {  # listen SOCAT-ADDRESS NAME-AS-IN-/proc/net/unix
    rm -f "$dir/notify.log"
    socat -u "$1" "OPEN:$dir/notify.log,creat,append" &
    listener=$!
    for _ in $(seq 200); do grep -qF " $2" /proc/net/unix && return 0; sleep 0.1; done
    fail "socat never listened on $2"
}
# What the socket got once EXIT_STATUS came, a datagram a word: they come
# without a separator.
notices() {
    for _ in $(seq 200); do grep -q EXIT_STATUS "$dir/notify.log" 2> /dev/null && break; sleep 0.1; done
    kill "$listener"
    sed 's/[A-Z_]*=/\n&/g' "$dir/notify.log" | sed '/^$/d' | paste -sd' ' -
}
expect_notices() { [ "$(notices)" = "$1" ] || fail "notices \"$(cat "$dir/notify.log")\", expected $1"; }
service_app() {  # service_app FOLDER RUNTIME INI-LINES...
    folder=$1 home=$2
    shift 2
    app "$folder" myapp myapp.ini '[Java Runtime Environment]' "JRE Path=$home" 'Main Class=ServiceProbe' \
        'Virtual Machine Parameters=-Xcheck:jni' '[Class Path]' 'Class Path=probe.jar' \
        '[Application]' 'Application Type=service' "$@"
}
# serve NAME NOTIFY-SOCKET ARGUMENTS...: started as systemd starts it, SIGTERM
# once main runs; rc, stdout and stderr of the end.
serve() {
    name=$1 address=$2
    shift 2
    rm -f "$dir/started.txt" "$dir/hook.txt" "$dir/stop.txt"
    (NOTIFY_SOCKET=$address && export NOTIFY_SOCKET && launch "$name" "$@") &
    job=$!
    if await "$dir/started.txt"; then kill -TERM "$(cat "$dir/started.txt")"; else fail "main never ran: $(cat "$dir/$name.err")"; fi
    wait "$job"
    rc=$(cat "$dir/$name.rc")
    cp "$dir/$name.out" "$dir/stdout" && cp "$dir/$name.err" "$dir/stderr"
}
for home in "$jdk" ${newest:+"$newest"}; do
    v=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$home/release")
    service_app "service-$v" "$home"
    listen "UNIX-RECV:$dir/notify.socket" "$dir/notify.socket"
    serve term "$dir/notify.socket" a
    expect_rc 143
    expect_notices "READY=1 STOPPING=1 EXIT_STATUS=143"
    expect_line "$dir/stdout" "NOTIFY_SOCKET=null"
    expect_line "$dir/hook.txt" "worker done=false"
    # java itself, given SIGTERM the same way: the same end, hook and output.
    rm -f "$dir/started.txt" "$dir/hook.txt"
    (cd "$dir" && exec "$home/bin/java" -Xcheck:jni -cp probe.jar ServiceProbe a > java.out 2> java.err) &
    job=$!
    await "$dir/started.txt" && kill -TERM "$(cat "$dir/started.txt")"
    wait "$job"
    java_rc=$?
    [ "$java_rc" = "$rc" ] || fail "exit code $rc, java's $java_rc"
    [ -e "$dir/hook.txt" ] || fail "java ran no hook"
    cmp -s "$dir/java.out" "$dir/stdout" && cmp -s "$dir/java.err" "$dir/stderr" ||
        fail "not java's output: $(diff "$dir/java.out" "$dir/stdout"; diff "$dir/java.err" "$dir/stderr")"

    # The stop method, with a quoted argument; it is told through an abstract
    # socket. Shutdown hooks run once the worker too has ended.
    service_app "stop-$v" "$home" '[Service]' 'Stop Class=ServiceProbe' 'Stop Arguments=first "two words"'
    listen "ABSTRACT-RECV:zorv-test-$$-$v" "@zorv-test-$$-$v"
    serve stop "@zorv-test-$$-$v"
    expect_rc 0
    expect_notices "READY=1 STOPPING=1 EXIT_STATUS=0"
    expect_line "$dir/stop.txt" "args=2 [ 66 69 72 73 74 ] [ 74 77 6f 20 77 6f 72 64 73 ]"
    grep -q '^thread=.* daemon=true$' "$dir/stop.txt" && ! grep -q '^thread=main ' "$dir/stop.txt" ||
        fail "stop not on a daemon thread of its own: $(cat "$dir/stop.txt")"
    expect_line "$dir/hook.txt" "worker done=true"
    expect_line "$dir/stdout" released
    [ -s "$dir/stderr" ] && fail "standard error: $(cat "$dir/stderr")"

    # A stop method that never returns: ended after Stop Timeout, with 1.
    sed -i 's/^Stop Arguments=.*/Stop Arguments=never/' "$dir/myapp.ini" && echo 'Stop Timeout=2' >> "$dir/myapp.ini"
    listen "UNIX-RECV:$dir/notify.socket" "$dir/notify.socket"
    serve never "$dir/notify.socket"
    expect_rc 1
    expect_notices "READY=1 STOPPING=1 EXIT_STATUS=1"
    expect_line "$dir/stop.txt" "args=1 [ 6e 65 76 65 72 ]"
    [ "$(cat "$dir/stderr")" = '<4>The application did not end within 2 s of SIGTERM ("Stop Timeout" in [Service]): the process was ended.' ] ||
        fail "standard error: $(cat "$dir/stderr")"
done
# Failed starts: no READY=1 before main is called, and the code of the end;
# an exception of main is printed once, as by java.
service_app service-failures "$jdk"
listen "UNIX-RECV:$dir/notify.socket" "$dir/notify.socket"
(NOTIFY_SOCKET=$dir/notify.socket && export NOTIFY_SOCKET && run throw)
rc=$(cat "$dir/main.rc")
expect_rc 1
expect_notices "READY=1 STOPPING=1 EXIT_STATUS=1"
[ "$(grep -c 'thrown by the service' "$dir/main.err")" = 1 ] || fail "the trace not once: $(cat "$dir/main.err")"
expect_in "$dir/main.err" 'Exception in thread "main" java.lang.IllegalStateException: thrown by the service'
sed -i 's/^Main Class=.*/Main Class=Missing/' "$dir/myapp.ini"
listen "UNIX-RECV:$dir/notify.socket" "$dir/notify.socket"
(NOTIFY_SOCKET=$dir/notify.socket && export NOTIFY_SOCKET && run)
rc=$(cat "$dir/main.rc")
expect_rc 1
expect_notices "STOPPING=1 EXIT_STATUS=1"
sed -i 's/^Main Class=.*/Main Class=ServiceProbe/; s/^JRE Path=.*/JRE Path=nowhere\nMinimum Version=99/' "$dir/myapp.ini"
listen "UNIX-RECV:$dir/notify.socket" "$dir/notify.socket"
(unset DISPLAY; NOTIFY_SOCKET=$dir/notify.socket && export NOTIFY_SOCKET && JAVA_HOME_FOR_RUN=/nowhere run)
rc=$(cat "$dir/main.rc")
expect_rc 255
expect_notices "STOPPING=1 EXIT_STATUS=255"
expect_in "$dir/main.err" "The Java Runtime Environment (JRE) was not found."

echo "$failures failure(s)"
[ "$failures" = 0 ]
