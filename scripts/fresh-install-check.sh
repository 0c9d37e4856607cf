#!/usr/bin/env bash
# Proves that the project's own scripts install everything they use: makes a
# minimal Debian 12 (bookworm) with debootstrap in a folder, puts a clean clone
# of this repository's HEAD into it, and runs a command there under chroot
# (by default `bash .ci/run`, the whole CI job). Needs root.
#
#   bash scripts/fresh-install-check.sh [--root DIR] [--keep] [-- COMMAND...]
#
# The folder is kept with --keep, and a kept folder is reused (only the clone
# is made anew), so a second check costs no second download.
set -euo pipefail
cd "$(dirname "$0")/.."

root="${TMPDIR:-/tmp}/fenban-fresh-debian"
keep=0
command=(bash .ci/run)
while (($#)); do
  case "$1" in
    --root) root="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    --) shift; command=("$@"); break ;;
    *) echo "usage: $0 [--root DIR] [--keep] [-- COMMAND...]" >&2; exit 2 ;;
  esac
done
if [[ "$(id -u)" -ne 0 ]]; then echo "fresh-install-check: run it as root" >&2; exit 2; fi

if ! command -v debootstrap >/dev/null; then
  env DEBIAN_FRONTEND=noninteractive apt-get update
  env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi
mirror="${FENBAN_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
if [[ ! -x "$root/usr/bin/apt-get" ]]; then
  echo "fresh-install-check: debootstrap bookworm into $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror"
  # The security and updates suites, as on a real Debian 12 machine.
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
  # A fresh machine has git (CI clones with it); everything else comes from our scripts.
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get update
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    git ca-certificates
fi

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  if [[ "$keep" = 0 ]]; then rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT
for fs in proc sys dev dev/pts; do
  mount --bind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The network's own certificate authorities (a proxy's, say) come along, as
# the machine's name servers do; the system installs nothing else for us.
extra_env=()
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  chroot "$root" update-ca-certificates >/dev/null
  extra_env+=(NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt)
fi

rm -rf "$root/work/fenban"
mkdir -p "$root/work"
git clone --quiet --no-hardlinks . "$root/work/fenban"
git -C "$root/work/fenban" checkout --quiet "$(git rev-parse HEAD)"
echo "fresh-install-check: running '${command[*]}' in a fresh Debian 12 at $root"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 "${extra_env[@]}" bash -c 'cd /work/fenban && "$@"' bash "${command[@]}"
echo "fresh-install-check: passed"
