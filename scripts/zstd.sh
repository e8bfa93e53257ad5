#!/usr/bin/env bash
# Cross-builds a static zstd (lib/ only) from Debian's own source into a cache outside the repository.
#
# usage: scripts/zstd.sh TARGET          build once, then do nothing on later runs
#        scripts/zstd.sh --prefix TARGET  print where TARGET's headers and libzstd.a are
#   TARGET  mingw (x86_64-w64-mingw32) or wasm (Debian's emscripten, installed if missing)
#
# The source is the version of the installed libzstd, fetched with apt-get source
# through a private apt option file: the system's lists stay as they are, and apt
# verifies the files against the signed Release file as it always does.
# Cache: ${XDG_CACHE_HOME:-$HOME/.cache}/demoplayer/zstd (DEMO_CACHE overrides it).
set -euo pipefail

usage() { sed -n '4,6p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
say() { printf 'zstd: %s\n' "$*" >&2; }
die() { printf 'zstd: %s\n' "$*" >&2; exit 1; }

print_prefix=0
if [ "${1:-}" = "--prefix" ]; then print_prefix=1; shift; fi
[ $# -eq 1 ] || usage
target="$1"
case "$target" in mingw | wasm) ;; *) usage ;; esac

cache="${DEMO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/demoplayer}/zstd"
prefix="$cache/$target"
if [ "$print_prefix" = 1 ]; then
  echo "$prefix"
  exit 0
fi

# The Debian version whose source we build: the same as the system's library.
version=""
for pkg in libzstd-dev libzstd1; do
  version=$(dpkg-query -W -f='${source:Version}' "$pkg" 2>/dev/null) && [ -n "$version" ] && break
  version=""
done
source_pkg=$(dpkg-query -W -f='${source:Package}' "$pkg" 2>/dev/null || true)
[ -n "$version" ] || die "no libzstd installed to take the version from (apt-get install libzstd-dev)"

# Build settings: a change here makes the stamp differ and the library rebuilt.
jobs=$(( $(nproc 2>/dev/null || echo 2) < 2 ? $(nproc 2>/dev/null || echo 1) : 2 ))
make_vars=(ZSTD_LEGACY_SUPPORT=0 ZSTD_LIB_DEPRECATED=0 ZSTD_LIB_DICTBUILDER=0 ZSTD_NO_UNUSED_FUNCTIONS=1)
case "$target" in
  mingw)
    host=x86_64-w64-mingw32
    tools=("$host-gcc" "$host-ar")
    make_vars+=(CC="$host-gcc" AR="$host-ar" CFLAGS=-O2)
    ;;
  wasm)
    tools=(emcc emar)
    # The hand-written x86-64 decoder does not apply to WebAssembly.
    make_vars+=(CC=emcc AR=emar CFLAGS=-O2 ZSTD_NO_ASM=1)
    export NODE_PATH=/usr/share/nodejs
    ;;
esac
# The stamp names the installed version, whichever source was built for it.
stamp_text="zstd $version $target ${make_vars[*]}"

# Ends the script when the prefix holds a finished build of these settings.
exit_when_ready() {
  if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp_text" ] && [ -f "$prefix/lib/libzstd.a" ]; then
    built=$(cat "$prefix/.built" 2>/dev/null || echo "$version")
    say "$built for $target is ready in $prefix"
    if [ "$built" != "$version" ]; then
      say "WARNING: built from $built, not the installed $version; to try for $version's source again:"
      say "WARNING: rm -rf $prefix $cache/src/$version"
    fi
    exit 0
  fi
}
exit_when_ready

# What the steps below need; ./dev installs all of it except emscripten.
if [ "$target" = wasm ] && ! command -v emcc >/dev/null 2>&1; then
  say "installing emscripten (large, once)"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q emscripten >/dev/null
fi
for tool in apt-get dpkg-source make flock "${tools[@]}"; do
  command -v "$tool" >/dev/null 2>&1 ||
    die "$tool is missing (./dev installs what this needs: dpkg-dev, make, mingw-w64)"
done

mkdir -p "$cache"
# Two builds at once (two checkouts, one cache) take turns.
exec 9>"$cache/.lock"
flock 9
exit_when_ready

# apt with its own option file: its own sources (the system's, as deb-src),
# lists and caches.
apt_dir="$cache/apt"
src_dir="$cache/src/$version"
if [ ! -f "$src_dir/.complete" ]; then
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
  : >"$apt_dir/sources.list"
  system_sources=/etc/apt/sources.list.d/debian.sources
  if [ -f "$system_sources" ]; then
    sed 's/^Types:.*/Types: deb-src/' "$system_sources" >"$apt_dir/sources.list.d/debian-src.sources"
  else
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm bookworm-updates' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' '' \
      'Types: deb-src' 'URIs: http://deb.debian.org/debian-security' 'Suites: bookworm-security' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
      >"$apt_dir/sources.list.d/debian-src.sources"
  fi
  # Read after the system's configuration (proxies, validity and the like
  # still apply); the update hooks that refresh system caches do not run.
  cat >"$apt_dir/apt.conf" <<EOF
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Acquire::Languages "none";
EOF
  apt_opts=(-c "$apt_dir/apt.conf")
  say "fetching the source list (private to $apt_dir)"
  apt-get "${apt_opts[@]}" update -q >"$apt_dir/update.log" 2>&1 || { cat "$apt_dir/update.log" >&2; die "apt-get update failed"; }
  # The installed version first. A mirror may list a security update's source
  # without serving its files: then the newest other Debian revision of the
  # same upstream release, said loudly, since it lacks that update's fixes.
  upstream="${version%-*}"
  candidates=("$version")
  while read -r v; do
    [ "$v" != "$version" ] && [ "${v%-*}" = "$upstream" ] && candidates+=("$v")
  done < <(apt-cache "${apt_opts[@]}" showsrc "$source_pkg" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV | uniq)
  fetched=""
  for v in "${candidates[@]}"; do
    say "fetching Debian's zstd $v source"
    rm -rf "$src_dir"
    mkdir -p "$src_dir"
    # apt checks each file against the hashes of the signed index and unpacks
    # with dpkg-source; no check is turned off here.
    if (cd "$src_dir" && apt-get "${apt_opts[@]}" source -q "$source_pkg=$v") >"$apt_dir/source.log" 2>&1; then
      fetched="$v"
      break
    fi
    sed -n 's/^E: //p' "$apt_dir/source.log" | head -n 2 | sed 's/^/zstd:   /' >&2
  done
  [ -n "$fetched" ] || die "no source of zstd $upstream could be fetched (log: $apt_dir/source.log)"
  echo "$fetched" >"$src_dir/.complete"
fi
built=$(cat "$src_dir/.complete")
if [ "$built" != "$version" ]; then
  say "WARNING: the installed $version's source is not to be had here; building $built, without the"
  say "WARNING: changes of $version (see /usr/share/doc/libzstd1/changelog.Debian.gz)"
fi
tree=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name "$source_pkg-*" | head -n1)
if [ -z "$tree" ] || [ ! -f "$tree/lib/zstd.h" ]; then
  die "no unpacked source in $src_dir (remove it and run again)"
fi

say "building libzstd.a for $target (${tools[0]}, -O2)"
build="$cache/build/$target"
rm -rf "$build"
mkdir -p "$build"
cp -a "$tree/lib" "$build/lib"
make -C "$build/lib" -j"$jobs" "${make_vars[@]}" libzstd.a >"$build/make.log" 2>&1 ||
  { tail -n 30 "$build/make.log" >&2; die "building libzstd.a for $target failed (log: $build/make.log)"; }

rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"
cp "$build/lib/zstd.h" "$build/lib/zstd_errors.h" "$prefix/include/"
cp "$build/lib/libzstd.a" "$prefix/lib/"
echo "$built" >"$prefix/.built"
echo "$stamp_text" >"$prefix/.stamp"
say "$built for $target installed in $prefix"
