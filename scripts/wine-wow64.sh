#!/usr/bin/env bash
# Wine in its new WoW64 mode, which runs 32-bit Windows programs inside a
# 64-bit Unix process and so needs no i386 Linux library: Debian's Wine 10
# from a minimal Debian sid root (Debian 12 cannot install it; its own Wine 8
# needs i386 libraries to run a 32-bit program).
#
#   scripts/wine-wow64.sh                  makes the root and its prefix once
#   scripts/wine-wow64.sh COMMAND [ARG...] runs COMMAND with the root's wine,
#                                          wineserver, wineboot and winepath
#                                          first on PATH
#
# The folder is $POLYVIEW_WINE_WOW64, by default build/wine-wow64: root/ (the
# sid system, about 1.9 GB), bin/ (the four wrappers), prefix/ (the Wine
# prefix the wrappers use when the caller names none). The wrappers run Wine
# in the root, in the caller's directory and environment; they and the making
# need root (chroot, mounts in a private mount namespace).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dir=$(realpath -m "${POLYVIEW_WINE_WOW64:-$here/../build/wine-wow64}")
root=$dir/root
stamp=$root/.polyview-complete
packages=(wine wine64 libwine libgl1 libgl1-mesa-dri libegl1)
tools=(wine wineserver wineboot winepath)

say() { echo "wine-wow64: $*" >&2; }
die() { say "$*"; exit 1; }

# enter PROGRAM [ARG...]: PROGRAM (a path in the root) in the root, in the
# caller's directory, with the caller's environment but for PATH (a PATH
# that reaches these wrappers would have the root find them again). The
# mounts live in a private mount namespace and end with it.
enter() {
  local program=$1
  shift
  [ "$(id -u)" = 0 ] || die "running Wine in its root needs root (chroot and mounts)"
  exec unshare -m --propagation private -- "$BASH" -c '
    root=$1 repo=$2 program=$3
    shift 3
    # The host folders that the root does not have (the caller may work in
    # any of them), then the current folder and the repository where they
    # lie in one that it has.
    for d in /*/; do
      d=${d%/}
      case ${d#/} in
        bin|boot|dev|etc|lib|lib32|lib64|libx32|proc|run|sbin|sys|tmp|usr|var|lost+found) continue ;;
      esac
      [ -L "$d" ] && continue
      mkdir -p "$root$d" && mount --rbind "$d" "$root$d"
    done
    for d in "$PWD" "$repo"; do
      [ -d "$root$d" ] || { mkdir -p "$root$d" && mount --rbind "$d" "$root$d"; }
    done
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --rbind /tmp "$root/tmp"
    exec chroot "$root" /usr/bin/env -C "$PWD" PATH=/usr/local/bin:/usr/bin:/bin "$program" "$@"
  ' enter "$root" "$(dirname "$here")" "$program" "$@"
}

# The wrappers' entry: wine-wow64.sh --tool NAME [ARG...].
if [ "${1:-}" = --tool ]; then
  name=$2
  shift 2
  [ -f "$stamp" ] || die "no complete Wine root in $dir: make it with scripts/wine-wow64.sh (as root, with the Debian package registry reachable)"
  export WINEPREFIX=${WINEPREFIX:-$dir/prefix}
  case $name in
    wineserver) enter /usr/lib/x86_64-linux-gnu/wine/wineserver "$@" ;;
    *) enter "/usr/bin/$name" "$@" ;;
  esac
fi

write_wrappers() {
  local name
  mkdir -p "$dir/bin"
  for name in "${tools[@]}"; do
    printf '#!/bin/sh\nexec "%s" --tool %s "$@"\n' "$here/wine-wow64.sh" "$name" >"$dir/bin/$name"
    chmod +x "$dir/bin/$name"
  done
}

# The root is complete once the stamp is written, as the last step: a root
# from an interrupted run is made again from the start.
make_root() {
  [ "$(id -u)" = 0 ] || die "making the Wine root needs root (debootstrap and chroot)"
  command -v debootstrap >/dev/null || die "making the Wine root needs debootstrap (scripts/packages.txt lists it)"
  local new=$dir/root.new log=$dir/setup.log start=$SECONDS
  mkdir -p "$dir" || die "cannot make the folder $dir"
  rm -rf "$new" "$root"
  say "making a Debian sid root with Wine in $root (about 2 minutes, 340 MB to download)"
  : >"$log"
  # In a mount namespace of its own: a failed debootstrap leaves no mounts.
  unshare -m --propagation private debootstrap --variant=minbase sid "$new" >>"$log" 2>&1 ||
    die "debootstrap of Debian sid failed (is the Debian package registry reachable?); see $log"
  # The registry keeps sid as of a fixed day, past the Release file's
  # Valid-Until date.
  local apt="apt-get -o Acquire::Check-Valid-Until=false"
  (root=$new && enter /bin/sh -c "$apt update && DEBIAN_FRONTEND=noninteractive $apt install -y --no-install-recommends ${packages[*]} && apt-get clean") \
    >>"$log" 2>&1 || die "installing Wine in the sid root failed (is the Debian package registry reachable?); see $log"
  local file
  for file in usr/bin/wine usr/bin/wineboot usr/bin/winepath usr/lib/x86_64-linux-gnu/wine/wineserver \
              usr/lib/x86_64-linux-gnu/wine/i386-windows/ntdll.dll usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll; do
    # Inside the root: its commands are links through /etc/alternatives.
    chroot "$new" test -e "/$file" || die "the sid root lacks /$file after the install; see $log"
  done
  chroot "$new" dpkg-query -W "${packages[@]}" >"$new/.polyview-complete"
  mv "$new" "$root"
  say "root made in $((SECONDS - start)) s: $(du -sh "$root" | cut -f1)"
}

if [ $# = 0 ]; then
  [ -f "$stamp" ] || make_root
  write_wrappers
  if [ ! -f "$dir/prefix/system.reg" ]; then
    start=$SECONDS
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$dir/bin/wineboot" -i >>"$dir/setup.log" 2>&1 ||
      die "making the Wine prefix failed; see $dir/setup.log"
    "$dir/bin/wineserver" -w
    say "prefix made in $((SECONDS - start)) s: $(du -sh "$dir/prefix" | cut -f1)"
  fi
  echo "$dir"
  exit 0
fi

[ -f "$stamp" ] && [ -x "$dir/bin/wine" ] ||
  die "no complete Wine root in $dir: make it with scripts/wine-wow64.sh (as root, with the Debian package registry reachable)"
export WINEPREFIX=${WINEPREFIX:-$dir/prefix}
PATH=$dir/bin:$PATH exec "$@"
