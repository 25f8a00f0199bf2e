#!/bin/sh
# Installs every package the project needs on a Debian 12 machine (run as root).
# Quiet when everything is already there.
set -e
here=$(cd "$(dirname "$0")" && pwd)
pkgs=$(grep -v '^#' "$here/packages.txt" | grep -v '^$' | tr '\n' ' ')
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
