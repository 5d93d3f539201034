#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already present.
# Safe to run again and again; runs apt-get directly as root, through sudo otherwise.
# With --fuzz, also what scripts/fuzz.sh needs: clang and its libFuzzer runtime.
set -u

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  unixodbc unixodbc-dev odbcinst libsqlite3-dev sqlite3
  libsqliteodbc odbc-postgresql postgresql postgresql-client
  tdsodbc odbc-mdbtools odbc-mariadb mariadb-server
  libgtest-dev googletest
  fonts-wqy-microhei fonts-hanazono qt6-translations-l10n qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
  xvfb xauth libxkbcommon-x11-0 libxcb-cursor0
  libgmp-dev zlib1g-dev
  python3 python3-xlrd python3-openpyxl libxml2-utils xsltproc libreoffice-calc-nogui locales
  poppler-utils strace clang-format
  lintian desktop-file-utils appstream librsvg2-bin fakeroot dpkg-dev
  qtkeychain-qt6-dev gnome-keyring dbus
  libcurl4-openssl-dev
  python3-aiosmtpd
)
if [ "${1:-}" = --fuzz ]; then PACKAGES+=(clang libclang-rt-14-dev); fi

# The print tests check that a Chinese locale gets A4 paper; the locale must exist for that.
ensure_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$' && return 0
  [ -f /etc/locale.gen ] || return 0
  "${SUDO[@]}" sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'zh_CN.UTF-8 UTF-8' | "${SUDO[@]}" tee -a /etc/locale.gen >/dev/null
  "${SUDO[@]}" locale-gen >/tmp/install-deps-locale.log 2>&1 ||
    echo "install-deps: locale-gen failed (see /tmp/install-deps-locale.log)" >&2
}
if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq || echo "install-deps: apt-get update failed" >&2
if ! "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/install-deps.log 2>&1; then
  # Retry one by one so the message names exactly what could not be installed.
  failed=()
  for p in "${missing[@]}"; do
    "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "$p" >>/tmp/install-deps.log 2>&1 || failed+=("$p")
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "install-deps: could not install: ${failed[*]} (see /tmp/install-deps.log)" >&2
    exit 1
  fi
fi
ensure_locale
exit 0
