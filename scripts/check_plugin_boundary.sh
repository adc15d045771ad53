#!/bin/sh
# The plug-in's folders and the one direction their includes run in:
#
#   host_program -> filter_host -> interface      gimp -> filter_host, signing
#   library -> viewer -> signing -> dialogs        library -> interface, dialogs
#             viewer -> batch
#
# interface/ (our declarations of the editor's interface), batch/ (batch
# logic, no widgets) and dialogs/ include no other plug-in folder. No
# program reaches into another program's sources: plugin/ never includes
# cmd/, nor cmd/ plugin/.
#   scripts/check_plugin_boundary.sh [SOURCE_ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
status=0
problems=$(mktemp) || exit 2
trap 'rm -f "$problems"' EXIT

fail() {
  echo "plug-in boundary: $1" >&2
  status=1
}

# The plug-in folders each folder may include, besides itself.
may_include() {
  case $1 in
    interface | batch | dialogs) echo "" ;;
    signing) echo "dialogs" ;;
    viewer) echo "signing dialogs batch" ;;
    library) echo "interface viewer dialogs" ;;
    filter_host) echo "interface" ;;
    host_program) echo "filter_host interface" ;;
    gimp) echo "filter_host interface signing dialogs" ;;
    *) echo "unknown" ;;
  esac
}

for folder in plugin/*/; do
  from=$(basename "$folder")
  allowed=$(may_include "$from")
  if [ "$allowed" = unknown ]; then
    fail "plugin/$from/ has no place in the include order (scripts/check_plugin_boundary.sh)"
    continue
  fi
  for file in $(find "$folder" -name '*.cpp' -o -name '*.h'); do
    grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(plugin\|cmd\)/' "$file" |
      while IFS= read -r line; do
        target=$(echo "$line" | sed 's/.*#[[:space:]]*include[[:space:]]*"\([a-z_]*\/[a-z_]*\).*/\1/')
        case $target in
          cmd/*) echo "$file reaches into another program: $line" ;;
          "plugin/$from") ;;
          plugin/*)
            to=${target#plugin/}
            case " $allowed " in
              *" $to "*) ;;
              *) echo "$file includes against the direction ($from -> $to): $line" ;;
            esac
            ;;
        esac
      done
  done
done > "$problems"
while IFS= read -r problem; do fail "$problem"; done < "$problems"

for file in $(find cmd -name '*.cpp' -o -name '*.h'); do
  grep -q '^[[:space:]]*#[[:space:]]*include[[:space:]]*"plugin/' "$file" &&
    fail "$file: the command-line program must not include the plug-in"
done

exit $status
