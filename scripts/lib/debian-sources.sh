# Sourced by the dependency build scripts: Debian source packages through a
# private apt configuration (its own sources list with deb-src entries for the
# machine's own Debian mirrors, its own state and cache) under a cache folder.
# The system's apt configuration is only read, never changed.
#   debian_sources_init CACHE_ROOT    sets up the private configuration
#   fetch_source NAME VERSION         prints the unpacked, patched tree
#   fetch_source_near NAME VERSION    the same for VERSION or, where its source
#                                     is gone, the newest one that can be had;
#                                     prints "VERSION TREE"
# The caller defines say().

debian_sources_init() {
  apt_root="$1/apt"
  mkdir -p "$apt_root/etc/sources.list.d" "$apt_root/etc/preferences.d" \
    "$apt_root/lists/partial" "$apt_root/cache/archives/partial"

  # One deb-src line for each enabled "deb" entry of the system's own lists,
  # one-line and deb822 alike, with the same mirror, suites, components and key.
  system_deb_src_lines() {
    local list
    for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$list" ] || continue
      awk '$1 == "deb" { $1 = "deb-src"; print }' "$list"
    done
    for list in /etc/apt/sources.list.d/*.sources; do
      [ -f "$list" ] || continue
      awk -v RS= -F '\n' '
        {
          types = uris = suites = comps = key = ""; enabled = "yes"
          for (i = 1; i <= NF; i++) {
            line = $i
            if (line ~ /^#/ || line !~ /:/) continue
            name = tolower(substr(line, 1, index(line, ":") - 1))
            value = substr(line, index(line, ":") + 1)
            gsub(/^[ \t]+|[ \t]+$/, "", value)
            if (name == "types") types = value
            else if (name == "uris") uris = value
            else if (name == "suites") suites = value
            else if (name == "components") comps = value
            else if (name == "signed-by") key = value
            else if (name == "enabled") enabled = tolower(value)
          }
          if (enabled == "no" || (" " types " ") !~ / deb /) next
          option = key == "" ? "" : "[signed-by=" key "] "
          n_uris = split(uris, uri_list, /[ \t]+/)
          n_suites = split(suites, suite_list, /[ \t]+/)
          for (u = 1; u <= n_uris; u++)
            for (s = 1; s <= n_suites; s++)
              print "deb-src " option uri_list[u] " " suite_list[s] " " comps
        }' "$list"
    done
  }

  system_deb_src_lines | grep -E '(debian|ubuntu)' >"$apt_root/etc/sources.list" || true
  if [ ! -s "$apt_root/etc/sources.list" ]; then
    say "no Debian mirror found in /etc/apt; cannot fetch the sources"
    exit 1
  fi

  apt_private=(
    -o "Dir::Etc::SourceList=$apt_root/etc/sources.list"
    -o "Dir::Etc::SourceParts=$apt_root/etc/sources.list.d"
    -o "Dir::Etc::Preferences=$apt_root/etc/preferences"
    -o "Dir::Etc::PreferencesParts=$apt_root/etc/preferences.d"
    -o "Dir::State=$apt_root"
    -o "Dir::State::Lists=$apt_root/lists"
    -o "Dir::Cache=$apt_root/cache"
    -o "Debug::NoLocking=true"
  )
  # Root would hand the downloads to the _apt user, who cannot write here.
  if [ "$(id -u)" -eq 0 ]; then apt_private+=(-o "APT::Sandbox::User=root"); fi
  src_root="$1/src"
}

read_source_indices() {  # once a run ($$ is the script's own process in subshells too)
  if [ ! -f "$apt_root/.read-by-$$" ]; then
    say "reading the source indices of $(awk '{print $(NF - 1)}' "$apt_root/etc/sources.list" | sort -u | tr '\n' ' ')"
    apt-get "${apt_private[@]}" update -qq >&2
    rm -f "$apt_root"/.read-by-*
    touch "$apt_root/.read-by-$$"
  fi
}

fetch_source() {  # source version -> prints the unpacked folder
  local name="$1" version="$2"
  local upstream="${version#*:}"
  upstream="${upstream%-*}"
  local folder="$src_root/$name-${version#*:}"
  if [ ! -f "$folder/.unpacked" ]; then
    read_source_indices
    rm -rf "$folder"
    mkdir -p "$folder"
    say "fetching $name $version"
    if ! (cd "$folder" && apt-get "${apt_private[@]}" source -qq "$name=$version" >&2); then
      rm -rf "$folder"
      return 1
    fi
    mv "$folder/$name-$upstream" "$folder/tree"
    touch "$folder/.unpacked"
  fi
  echo "$folder/tree"
}

# Security updates replace published sources (and a mirror may not carry the
# security pool's), so the version installed here may not be fetchable.
fetch_source_near() {  # source version -> "version tree"
  local name="$1" wanted="$2" version tree
  read_source_indices
  for version in "$wanted" $(apt-cache "${apt_private[@]}" showsrc "$name" |
                             awk '$1 == "Version:" { print $2 }' | sort -Vr); do
    if tree="$(fetch_source "$name" "$version")"; then
      echo "$version $tree"
      return 0
    fi
  done
  say "no source of $name can be fetched"
  return 1
}
