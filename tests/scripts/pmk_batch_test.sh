#!/usr/bin/env bash
# pmk-batch against the plug-in's batch rules: a tree of a few hundred small
# pictures signed with two local jobs, checked on two "hosts" (a stand-in for
# ssh that runs the command here), and an interrupted run resumed.
#   pmk_batch_test.sh PMK_BATCH PMKCMD TEST_DATA_DIR
set -euo pipefail
batch="$(readlink -f "$1")"
PMKCMD="$(readlink -f "$2")"
export PMKCMD
data="$(readlink -f "$3")"
work="$(readlink -f "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
cd "$work"
shopt -s dotglob
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Base pictures, small so that signing is quick, and one unreadable "picture".
mkdir base
convert "$data/kodim23.png" -resize 160x base/b1.png
convert "$data/kodim13.png" -resize 160x -quality 95 base/b2.jpg
convert "$data/kodim23.png" -crop 384x384+200+64 -resize 144x base/b3.tif
echo "not a picture" >base/broken.jpg

# What PMKCmd writes for each base when run with the plug-in's arguments:
# sign_msg[b], check_msg[b] (unsigned) and signed_msg[b] (its signed copy);
# the first line of the message and its number of line breaks.
declare -A sign_msg check_msg signed_msg newlines
message_of() { # log header: sets message
  message="$(cat "$1")"
  message="${message#"$2"}"
  newlines[$message]=$(tr -cd '\n' <"$1" | wc -c)
}
mkdir ref ref/signed
for path in base/*; do
  b="${path##*/}"
  cp "$path" "ref/$b"
  "$PMKCMD" -s abcdefghij -cores 1 -i "ref/$b" -o "ref/signed/$b" -l "ref/$b.s" -c 90 || true
  message_of "ref/$b.s" "ref/$b -> ref/signed/$b:" && sign_msg[$b]="$message"
  "$PMKCMD" -cores 1 -i "ref/$b" -l "ref/$b.c" || true
  message_of "ref/$b.c" "ref/$b:" && check_msg[$b]="$message"
  if [ -e "ref/signed/$b" ]; then
    "$PMKCMD" -cores 1 -i "ref/signed/$b" -l "ref/$b.d" || true
    message_of "ref/$b.d" "ref/signed/$b:" && signed_msg[$b]="$message"
  fi
done
[ "${sign_msg[b1.png]}" = "Success!" ] || fail "base picture not signed: ${sign_msg[b1.png]}"

# The tree: 49 files per folder in four folders, plus the names the rules
# single out. base_of[path] is the base each picture was copied from.
declare -A base_of
add() { # path base
  cp "base/$2" "$1"
  base_of[$1]="$2"
}
mkdir -p tree/a tree/b/c
for folder in tree tree/a tree/b tree/b/c; do
  for i in $(seq -w 1 16); do
    add "$folder/p$i.png" b1.png
    add "$folder/q$i.jpg" b2.jpg
    add "$folder/r$i.tif" b3.tif
  done
  add "$folder/broken.jpg" broken.jpg
done
add "tree/photo.JPG" b2.jpg
add "tree/photo2.jpeg" b2.jpg
add "tree/.hidden.png" b1.png
add "tree/with blank.TIFF" b3.tif
echo "notes" >tree/notes.txt
cp base/b1.png tree/picture.png.txt
# A link to a folder is no folder: handed on as a picture, like any name.
ln -s a tree/link.png
base_of[tree/link.png]=broken.jpg
# An existing "signed" folder is the output folder and is never walked.
mkdir tree/b/signed
cp ref/signed/b1.png tree/b/signed/old.png

expect_lines() { # file: sorted non-empty lines that must be the file's lines
  local file="$1"
  if [ ! -f "$file" ]; then
    fail "$file missing"
    return
  fi
  if ! diff <(grep -v '^$' "$file" | sort) <(sort) >"$work/diff"; then
    fail "$file differs from the plug-in's lines:"
    head -20 "$work/diff" >&2
  fi
}

# Batch signing, two jobs. Every folder gets one signed folder and one log
# line per picture, as the plug-in's batch signing would write them.
"$batch" sign tree --signature abcdefghijkl --jobs 2 && fail "broken pictures did not count as failed jobs"
for folder in tree tree/a tree/b tree/b/c; do
  for path in "$folder"/*; do
    [ -n "${base_of[$path]:-}" ] || continue
    name="${path##*/}"
    echo "$path -> $folder/signed/$name:${sign_msg[${base_of[$path]}]}"
  done | expect_lines "$folder/signed/signing_output.log"
done
[ ! -e tree/b/signed/signed ] || fail "an existing signed folder was walked"
[ ! -e tree/a/signed/signed ] || fail "a signed folder was walked"
[ -e "tree/signed/with blank.TIFF" ] || fail "a name with a blank was not signed"
if [ -e tree/signed/notes.txt ] || [ -e tree/signed/picture.png.txt ]; then
  fail "a non-picture was handed on"
fi

# Batch checking across two hosts: every picture of a subtree, the signed
# copies included, is checked once, and each folder holds its own log.
cat >fake-ssh <<EOF
#!/bin/sh
# Stands in for ssh: "fake-ssh HOST -- COMMAND" runs COMMAND on this machine.
echo "\$1" >>"$work/hosts.log"
shift
[ "\$1" = "--" ] && shift
exec sh -c "\$*"
EOF
chmod +x fake-ssh
printf '1/%s hostA\n1/%s hostB\n' "$work/fake-ssh" "$work/fake-ssh" >hosts
# Without SHELL (as under env -i), parallel's remote wrapper would run nothing.
env -u SHELL "$batch" check tree/b --sshloginfile hosts && fail "broken pictures did not count as failed jobs"
for folder in tree/b tree/b/c; do
  for path in "$folder"/*; do
    [ -n "${base_of[$path]:-}" ] || continue
    echo "$work/$path:${check_msg[${base_of[$path]}]}"
  done | expect_lines "$folder/detecting_output.log"
  for path in "$folder"/signed/*; do
    name="${path##*/}"
    [ "${name%.log}" = "$name" ] || continue
    base="${base_of[$folder/$name]:-b1.png}" # old.png is a signed b1.png
    echo "$work/$path:${signed_msg[$base]}"
  done | expect_lines "$folder/signed/detecting_output.log"
done
if ! grep -q hostA hosts.log || ! grep -q hostB hosts.log; then
  fail "the jobs did not reach both hosts"
fi
find tree -name '*_output.log' >logs
[ "$(wc -l <logs)" -eq 8 ] || fail "not one log per processed folder"
while IFS= read -r log; do
  lines=$(grep -vc '^$' "$log")
  breaks=$(grep -v '^$' "$log" | while IFS= read -r line; do echo "${newlines[${line#*:}]:-0}"; done |
    awk '{ n += $1 } END { print n }')
  [ "$(wc -l <"$log")" -eq "$breaks" ] || fail "$log: a line lost its line breaks"
  [ "$lines" -gt 0 ] || fail "$log is empty"
done <logs

# An interrupted run resumed: every picture is signed exactly once.
mkdir resume
for i in $(seq -w 1 40); do cp base/b1.png "resume/p$i.png"; done
"$batch" sign resume --signature abcdef --jobs 2 &
pid=$!
# Six pictures done: the job log holds a heading and one line per job.
until [ "$(tail -n +2 resume/pmk-batch-sign.joblog 2>/dev/null | wc -l)" -ge 6 ]; do sleep 0.05; done
kill -TERM "$pid"
wait "$pid" && fail "an interrupted run ended as complete"
done_before=$(grep -c 'Success!' resume/signed/signing_output.log)
if [ "$done_before" -lt 6 ] || [ "$done_before" -ge 40 ]; then
  fail "$done_before of 40 done before the interruption"
fi
"$batch" sign resume --signature abcdef --jobs 2 --resume || fail "the resumed run failed"
for i in $(seq -w 1 40); do echo "resume/p$i.png -> resume/signed/p$i.png:Success!"; done |
  expect_lines resume/signed/signing_output.log

[ "$failures" -eq 0 ] || exit 1
echo "pmk-batch: all checks passed ($done_before of 40 done before the interruption)"
