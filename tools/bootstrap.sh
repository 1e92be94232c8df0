#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, then builds the
# Windows x86-64 dependencies (mingw-w64, posix threads) into a prefix outside
# the work tree. Called by `make` before every build: when everything is up to
# date it only checks and prints one line.
#
# Environment:
#   QL_DEPS_PREFIX  install prefix      (default: $HOME/.cache/quillorane/mingw64)
#   QL_DEPS_WORK    sources/builds/logs (default: $HOME/.cache/quillorane/work)
#
# Everything comes from Debian: binary packages via apt-get, sources via
# `apt-get source`. Each dependency has a stamp ($QL_DEPS_PREFIX/stamps/<dep>.stamp)
# holding source version + build options + compiler version; a dependency is
# rebuilt only when its stamp (or one of its installed files) is missing or differs.
set -Eeuo pipefail

# ---------------------------------------------------------------------------
# Settings
# ---------------------------------------------------------------------------
QL_DEPS_PREFIX=${QL_DEPS_PREFIX:-$HOME/.cache/quillorane/mingw64}
QL_DEPS_WORK=${QL_DEPS_WORK:-$HOME/.cache/quillorane/work}
QL_DEPS_PREFIX=$(realpath -m -- "$QL_DEPS_PREFIX")
QL_DEPS_WORK=$(realpath -m -- "$QL_DEPS_WORK")
export QL_DEPS_PREFIX

SCRIPT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_ROOT=$(cd "$SCRIPT_DIR/.." && pwd)
TOOLCHAIN_FILE=$REPO_ROOT/cmake/mingw-w64-x86_64.cmake

JOBS=$(nproc)
TRIPLE=x86_64-w64-mingw32
SYSROOT=/usr/$TRIPLE
CC_W=$TRIPLE-gcc-posix
CXX_W=$TRIPLE-g++-posix
AR_W=$TRIPLE-gcc-ar-posix
RANLIB_W=$TRIPLE-gcc-ranlib-posix
RC_W=$TRIPLE-windres
OBJDUMP_W=$TRIPLE-objdump

P=$QL_DEPS_PREFIX
W=$QL_DEPS_WORK
LOG_DIR=$W/logs
STAMP_DIR=$P/stamps

# Debian binary packages for building and testing. The `mingw-w64` meta package
# is left out on purpose: it drags in the i686 toolchain.
APT_PACKAGES=(
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine64 wine xvfb xauth x11-apps x11-utils imagemagick fonts-wqy-microhei
  cmake ninja-build make gcc libc6-dev perl tcl dpkg-dev xz-utils python3
  7zip nginx aria2 curl
  googletest libgtest-dev libgmock-dev nlohmann-json3-dev libstb-dev libfmt-dev
  libssl-dev zlib1g-dev libsqlite3-dev libsqlitecpp-dev libcpp-httplib-dev openssl
)

# ---------------------------------------------------------------------------
# Messages and failure handling
# ---------------------------------------------------------------------------
say() { printf 'bootstrap: %s\n' "$*"; }
die() { printf 'bootstrap: ERROR: %s\n' "$*" >&2; REPORTED=1; exit 1; }

REPORTED=0
FAIL_LINE='' FAIL_CMD=''
trap 'FAIL_LINE=$LINENO FAIL_CMD=$BASH_COMMAND' ERR
on_exit() {
  local rc=$?
  if (( rc != 0 )) && (( REPORTED == 0 )); then
    printf 'bootstrap: ERROR: failed (exit %s)%s\n' "$rc" \
      "${FAIL_LINE:+ at line $FAIL_LINE: $FAIL_CMD}" >&2
  fi
  if (( rc != 0 )); then
    printf 'bootstrap: dependencies are NOT ready in %s\n' "$QL_DEPS_PREFIX" >&2
  fi
}
trap on_exit EXIT

# step <log-name> <description> <command...>
# Runs the command (usually a function) in a subshell with errexit on, output
# appended to $LOG_DIR/<log-name>.log; on failure prints the log's tail and exits.
step() {
  local name=$1 what=$2 rc=0
  shift 2
  local log=$LOG_DIR/$name.log
  printf '\n==== %s  %s\n' "$(date '+%F %T')" "$what" >>"$log"
  set +e
  ( set -e; "$@" ) </dev/null >>"$log" 2>&1
  rc=$?
  set -e
  if (( rc != 0 )); then
    {
      printf 'bootstrap: ERROR: %s: %s failed (exit %s). Last lines of %s:\n' "$name" "$what" "$rc" "$log"
      tail -n 40 "$log" | sed 's/^/  | /'
    } >&2
    REPORTED=1
    exit 1
  fi
}

# ---------------------------------------------------------------------------
# apt: wait for locks held by another apt/dpkg run instead of failing
# ---------------------------------------------------------------------------
APT_LOG=$LOG_DIR/apt.log
APT_UPDATED=0

apt_get() {
  local deadline=$((SECONDS + 600)) rc start configured=0
  while :; do
    start=$(stat -c %s "$APT_LOG" 2>/dev/null || echo 0)
    rc=0
    DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=120 "$@" \
      </dev/null >>"$APT_LOG" 2>&1 || rc=$?
    (( rc == 0 )) && return 0
    local out
    out=$(tail -c +"$((start + 1))" "$APT_LOG")
    if (( SECONDS < deadline )) && grep -qiE 'could not get lock|unable to acquire|unable to lock|is another process using it' <<<"$out"; then
      sleep 5
      continue
    fi
    if (( !configured )) && grep -q "dpkg --configure -a" <<<"$out"; then
      configured=1
      DEBIAN_FRONTEND=noninteractive dpkg --configure -a >>"$APT_LOG" 2>&1 || true
      continue
    fi
    return "$rc"
  done
}

apt_update() {
  (( APT_UPDATED )) && return 0
  apt_get update || { tail -n 20 "$APT_LOG" >&2; die "apt-get update failed (log: $APT_LOG)"; }
  APT_UPDATED=1
}

declare -A PKG_VERSIONS=()  # installed version of each package in APT_PACKAGES

read_package_versions() {
  local name st ver
  PKG_VERSIONS=()
  while read -r name st ver; do
    [[ $st == ii ]] && PKG_VERSIONS[$name]=$ver
  done < <(dpkg-query -W -f='${Package} ${db:Status-Abbrev} ${Version}\n' "${APT_PACKAGES[@]}" 2>/dev/null || true)
}

ensure_apt_packages() {
  local name missing=()
  read_package_versions
  for name in "${APT_PACKAGES[@]}"; do
    [[ -n ${PKG_VERSIONS[$name]:-} ]] || missing+=("$name")
  done
  (( ${#missing[@]} == 0 )) && return 0
  say "installing Debian packages: ${missing[*]}"
  apt_update
  apt_get install "${missing[@]}" || {
    tail -n 30 "$APT_LOG" | sed 's/^/  | /' >&2
    die "apt-get install failed (log: $APT_LOG)"
  }
  read_package_versions
}

# ---------------------------------------------------------------------------
# Debian source packages
# ---------------------------------------------------------------------------
have_deb_src() {
  grep -qsE '^[[:space:]]*Types:.*\bdeb-src\b' /etc/apt/sources.list.d/*.sources && return 0
  grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

ensure_deb_src() {
  have_deb_src && return 0
  say "adding a deb-src entry for apt-get source"
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed -E 's/^([[:space:]]*Types:).*/\1 deb-src/' /etc/apt/sources.list.d/debian.sources \
      >/etc/apt/sources.list.d/debian-src.sources
  elif grep -qsE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list \
      >/etc/apt/sources.list.d/debian-src.list
  else
    die "no Debian apt source found to derive a deb-src entry from"
  fi
  APT_UPDATED=0
}

# Versions of the source packages built here, newest first, one per line,
# keyed by package (loaded once per run by load_source_versions).
SOURCE_PACKAGES=(sqlite3 sqlitecpp openssl curl 7zip)
declare -A SRC_VERSIONS=()

read_source_versions() {
  { apt-cache showsrc --only-source "${SOURCE_PACKAGES[@]}" 2>/dev/null || true; } |
    awk '/^Package: /{p=$2} /^Version: /{print p, $2}' | sort -u
}

load_source_versions() {
  local pairs pkg v i
  local -A seen=()
  pairs=$(read_source_versions)
  for pkg in "${SOURCE_PACKAGES[@]}"; do
    grep -q "^$pkg " <<<"$pairs" || { seen[missing]=1; break; }
  done
  if [[ -n ${seen[missing]:-} ]]; then
    ensure_deb_src
    apt_update
    pairs=$(read_source_versions)
  fi
  for pkg in "${SOURCE_PACKAGES[@]}"; do
    local sorted=()
    while read -r v; do
      # Insertion sort with Debian's version ordering (the lists are short).
      for ((i = 0; i < ${#sorted[@]}; i++)); do
        dpkg --compare-versions "$v" gt "${sorted[i]}" && break
      done
      sorted=("${sorted[@]:0:i}" "$v" "${sorted[@]:i}")
    done < <(awk -v p="$pkg" '$1 == p {print $2}' <<<"$pairs")
    (( ${#sorted[@]} )) || die "apt-cache showsrc lists no version of source package '$pkg' (deb-src entry and apt-get update done)"
    SRC_VERSIONS[$pkg]=$(printf '%s\n' "${sorted[@]}")
  done
}

# Version of source package $1 to build: the newest listed one that is not known
# to be unfetchable (a .dsc that answered 404 while an older version could be fetched).
pick_source_version() {
  local pkg=$1 v skip=$W/src/$1/unfetchable
  while read -r v; do
    grep -qsxF -- "$v" "$skip" || { printf '%s\n' "$v"; return 0; }
  done <<<"${SRC_VERSIONS[$pkg]}"
  head -n 1 <<<"${SRC_VERSIONS[$pkg]}"
}

# fetch_source <pkg> <version>: sets SRC_DIR and SRC_VERSION. Falls back to the
# other listed versions (newest first) when the wanted one cannot be fetched.
# Runs with errexit off (called in a condition): every step is checked.
fetch_source() {
  local pkg=$1 want=$2 base=$W/src/$1 v failed=() candidates
  SRC_DIR=$base/$want/tree SRC_VERSION=$want
  [[ -f $base/$want/.extracted ]] && return 0
  candidates=$( { printf '%s\n' "$want"; grep -vxF -- "$want" <<<"${SRC_VERSIONS[$pkg]}" || true; } )
  mkdir -p "$base"
  while read -r v; do
    rm -rf "${base:?}/$v"
    mkdir -p "$base/$v/dl"
    echo "apt-get source $pkg=$v"
    if (cd "$base/$v/dl" && apt-get -q source --download-only --only-source "$pkg=$v"); then
      (cd "$base/$v/dl" && dpkg-source -x ./*.dsc ../tree) || { echo "dpkg-source -x failed"; return 1; }
      touch "$base/$v/.extracted" || return 1
      if (( ${#failed[@]} )); then
        printf '%s\n' "${failed[@]}" >>"$base/unfetchable"
      fi
      # Drop other extracted versions.
      find "$base" -mindepth 1 -maxdepth 1 -type d ! -name "$v" -exec rm -rf {} +
      SRC_DIR=$base/$v/tree SRC_VERSION=$v
      return 0
    fi
    echo "could not fetch $pkg=$v, trying another listed version"
    failed+=("$v")
    rm -rf "${base:?}/$v"
  done <<<"$candidates"
  return 1
}

# get_source <dep> <pkg> <version>: fetch_source with logging; sets SRC_DIR/SRC_VERSION.
get_source() {
  local dep=$1 pkg=$2 want=$3 log=$LOG_DIR/$1.log
  printf '\n==== %s  fetch source %s=%s\n' "$(date '+%F %T')" "$pkg" "$want" >>"$log"
  if ! fetch_source "$pkg" "$want" >>"$log" 2>&1; then
    {
      printf 'bootstrap: ERROR: %s: could not fetch any listed version of source package %s. Last lines of %s:\n' "$dep" "$pkg" "$log"
      tail -n 20 "$log" | sed 's/^/  | /'
    } >&2
    REPORTED=1
    exit 1
  fi
  if [[ $SRC_VERSION != "$want" ]]; then
    say "$dep: $pkg $want could not be fetched, using $SRC_VERSION"
  fi
}

# ---------------------------------------------------------------------------
# Stamps
# ---------------------------------------------------------------------------
COMPILER_ID=''
compiler_id() {  # called once in main, before the builds fork
  local p
  COMPILER_ID="$($CXX_W -dumpfullversion) $($CXX_W -dumpmachine)"
  for p in gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
           binutils-mingw-w64-x86-64; do
    COMPILER_ID+=" $p=$(pkg_version "$p")"
  done
}

pkg_version() {
  [[ -n ${PKG_VERSIONS[$1]:-} ]] || die "package $1 is not installed"
  printf '%s' "${PKG_VERSIONS[$1]}"
}
file_hash() { sha256sum "$1" | cut -c1-16; }

# Prints the stamp text for a dependency.
make_stamp() {  # <dep> <source> <options...>
  local dep=$1 src=$2
  shift 2
  printf 'dep: %s\nsource: %s\noptions: %s\ncompiler: %s\n' "$dep" "$src" "$*" "$COMPILER_ID"
}

# is_current <dep> <stamp-text> <installed files...>
is_current() {
  local dep=$1 stamp=$2 f
  shift 2
  [[ -f $STAMP_DIR/$dep.stamp ]] || return 1
  [[ "$(<"$STAMP_DIR/$dep.stamp")" == "$stamp" ]] || return 1
  for f in "$@"; do [[ -e $P/$f ]] || return 1; done
}

BUILT_LIST=''  # set in main: file listing the dependencies built in this run
BUILD_T0=0
begin_build() {  # <dep> <version>
  say "building $1 $2 (log: $LOG_DIR/$1.log)"
  rm -f "$STAMP_DIR/$1.stamp"
  : >"$LOG_DIR/$1.log"
  BUILD_T0=$SECONDS
}
end_build() {  # <dep> <stamp-text>
  printf '%s\n' "$2" >"$STAMP_DIR/$1.stamp"
  echo "$1" >>"$BUILT_LIST"
  say "  $1 done ($((SECONDS - BUILD_T0)) s)"
}

CMAKE_CROSS=()
cmake_cross_args() {
  CMAKE_CROSS=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" -DCMAKE_BUILD_TYPE=Release
               -DBUILD_SHARED_LIBS=OFF -Wno-dev)
}

# ---------------------------------------------------------------------------
# zlib: the static archive and headers from libz-mingw-w64-dev
# ---------------------------------------------------------------------------
dep_zlib() {
  local ver stamp
  ver=$(pkg_version libz-mingw-w64-dev)
  stamp=$(make_stamp zlib "libz-mingw-w64-dev $ver" "copy static libz.a only")
  is_current zlib "$stamp" include/zlib.h include/zconf.h lib/libz.a && return 0
  begin_build zlib "$ver"
  step zlib install install_zlib
  end_build zlib "$stamp"
}
install_zlib() {
  install -m 644 "$SYSROOT/include/zlib.h" "$SYSROOT/include/zconf.h" "$P/include/"
  install -m 644 "$SYSROOT/lib/libz.a" "$P/lib/libz.a"
}

# ---------------------------------------------------------------------------
# SQLite: amalgamation generated natively from Debian's sqlite3 source, then
# one mingw compile
# ---------------------------------------------------------------------------
SQLITE_DEFS=(-DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_MATH_FUNCTIONS
             -DSQLITE_DEFAULT_MEMSTATUS=0 -DSQLITE_USE_URI=1)
dep_sqlite3() {
  local ver stamp opts="-O2 ${SQLITE_DEFS[*]}"
  ver=$(pick_source_version sqlite3)
  stamp=$(make_stamp sqlite3 "sqlite3 $ver" "$opts")
  is_current sqlite3 "$stamp" include/sqlite3.h include/sqlite3ext.h lib/libsqlite3.a && return 0
  begin_build sqlite3 "$ver"
  get_source sqlite3 sqlite3 "$ver"
  stamp=$(make_stamp sqlite3 "sqlite3 $SRC_VERSION" "$opts")
  step sqlite3 "generate the amalgamation" sqlite3_amalgamation
  step sqlite3 "mingw compile" sqlite3_compile
  end_build sqlite3 "$stamp"
}
sqlite3_amalgamation() {
  local b=$W/build/sqlite3
  rm -rf "$b" && mkdir -p "$b" && cd "$b"
  "$SRC_DIR/configure" --disable-tcl
  make -j"$JOBS" sqlite3.c sqlite3.h
}
sqlite3_compile() {
  local b=$W/build/sqlite3
  cd "$b"
  mkdir -p win && cd win
  "$CC_W" -O2 "${SQLITE_DEFS[@]}" -I.. -c ../sqlite3.c -o sqlite3.o
  rm -f libsqlite3.a
  "$AR_W" rcs libsqlite3.a sqlite3.o
  install -m 644 ../sqlite3.h "$SRC_DIR/src/sqlite3ext.h" "$P/include/"
  install -m 644 libsqlite3.a "$P/lib/libsqlite3.a"
}

# ---------------------------------------------------------------------------
# SQLiteCpp, against the prefix's SQLite
# ---------------------------------------------------------------------------
SQLITECPP_OPTS=(-DSQLITECPP_INTERNAL_SQLITE=OFF -DSQLITECPP_RUN_CPPLINT=OFF -DSQLITECPP_RUN_CPPCHECK=OFF
                -DSQLITECPP_RUN_DOXYGEN=OFF -DSQLITECPP_BUILD_EXAMPLES=OFF -DSQLITECPP_BUILD_TESTS=OFF
                -DSQLITE_ENABLE_COLUMN_METADATA=ON)
dep_sqlitecpp() {
  local ver stamp opts
  ver=$(pick_source_version sqlitecpp)
  cmake_cross_args
  opts="${SQLITECPP_OPTS[*]} toolchain=$(file_hash "$TOOLCHAIN_FILE") sqlite=$(file_hash "$STAMP_DIR/sqlite3.stamp")"
  stamp=$(make_stamp sqlitecpp "sqlitecpp $ver" "$opts")
  is_current sqlitecpp "$stamp" include/SQLiteCpp/SQLiteCpp.h lib/libSQLiteCpp.a && return 0
  begin_build sqlitecpp "$ver"
  get_source sqlitecpp sqlitecpp "$ver"
  stamp=$(make_stamp sqlitecpp "sqlitecpp $SRC_VERSION" "$opts")
  step sqlitecpp build sqlitecpp_build
  end_build sqlitecpp "$stamp"
}
sqlitecpp_build() {
  local b=$W/build/sqlitecpp s=$W/build/sqlitecpp-stage
  rm -rf "$b" "$s"
  cmake -S "$SRC_DIR" -B "$b" "${CMAKE_CROSS[@]}" "${SQLITECPP_OPTS[@]}" \
    -DSQLite3_INCLUDE_DIR="$P/include" -DSQLite3_LIBRARY="$P/lib/libsqlite3.a" \
    -DCMAKE_INSTALL_PREFIX="$s"
  cmake --build "$b" -j "$JOBS"
  cmake --install "$b"
  rm -rf "$P/include/SQLiteCpp"
  cp -r "$s/include/SQLiteCpp" "$P/include/"
  install -m 644 "$s/lib/libSQLiteCpp.a" "$P/lib/libSQLiteCpp.a"
}

# ---------------------------------------------------------------------------
# OpenSSL: libcrypto only
# ---------------------------------------------------------------------------
OPENSSL_OPTS=(mingw64 no-shared no-tests no-module no-dso no-engine no-autoload-config
              no-idea no-mdc2 no-rc5 no-seed no-camellia no-aria no-sm2 no-sm3 no-sm4 no-whirlpool)
dep_openssl() {
  local ver stamp opts="${OPENSSL_OPTS[*]}"
  ver=$(pick_source_version openssl)
  stamp=$(make_stamp openssl "openssl $ver" "$opts")
  is_current openssl "$stamp" include/openssl/opensslv.h include/openssl/configuration.h \
    include/openssl/rsa.h lib/libcrypto.a && return 0
  begin_build openssl "$ver"
  get_source openssl openssl "$ver"
  stamp=$(make_stamp openssl "openssl $SRC_VERSION" "$opts")
  step openssl configure openssl_configure
  step openssl "build libcrypto.a" openssl_build
  end_build openssl "$stamp"
}
openssl_configure() {
  local b=$W/build/openssl
  rm -rf "$b" && mkdir -p "$b" && cd "$b"
  perl "$SRC_DIR/Configure" "${OPENSSL_OPTS[@]}" \
    CC="$CC_W" CXX="$CXX_W" AR="$TRIPLE-ar" RANLIB="$TRIPLE-ranlib" RC="$RC_W"
}
openssl_build() {
  local b=$W/build/openssl
  cd "$b"
  make -j"$JOBS" build_generated
  make -j"$JOBS" libcrypto.a
  rm -rf "$P/include/openssl"
  mkdir -p "$P/include/openssl"
  cp "$SRC_DIR"/include/openssl/*.h "$P/include/openssl/"
  cp "$b"/include/openssl/*.h "$P/include/openssl/"
  install -m 644 libcrypto.a "$P/lib/libcrypto.a"
}

# ---------------------------------------------------------------------------
# libcurl: Schannel, HTTP only, zlib from the prefix
# ---------------------------------------------------------------------------
CURL_OPTS=(-DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DPICKY_COMPILER=OFF
           -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_MBEDTLS=OFF -DCURL_USE_WOLFSSL=OFF
           -DCURL_USE_BEARSSL=OFF -DCURL_USE_NSS=OFF
           -DHTTP_ONLY=ON -DCURL_ZLIB=ON -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
           -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF
           -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_NGTCP2=OFF -DUSE_QUICHE=OFF
           -DUSE_MSH3=OFF -DCURL_USE_LIBPSL=OFF -DCURL_USE_GSSAPI=OFF -DENABLE_ARES=OFF)
dep_curl() {
  local ver stamp opts
  ver=$(pick_source_version curl)
  cmake_cross_args
  opts="${CURL_OPTS[*]} toolchain=$(file_hash "$TOOLCHAIN_FILE") zlib=$(file_hash "$STAMP_DIR/zlib.stamp")"
  stamp=$(make_stamp curl "curl $ver" "$opts")
  is_current curl "$stamp" include/curl/curl.h lib/libcurl.a && return 0
  begin_build curl "$ver"
  get_source curl curl "$ver"
  stamp=$(make_stamp curl "curl $SRC_VERSION" "$opts")
  step curl build curl_build
  end_build curl "$stamp"
}
curl_build() {
  local b=$W/build/curl s=$W/build/curl-stage
  rm -rf "$b" "$s"
  cmake -S "$SRC_DIR" -B "$b" "${CMAKE_CROSS[@]}" "${CURL_OPTS[@]}" \
    -DZLIB_INCLUDE_DIR="$P/include" -DZLIB_LIBRARY="$P/lib/libz.a" \
    -DCMAKE_INSTALL_PREFIX="$s"
  # The CA settings must not leak a host path into the library.
  if grep -E '^#define CURL_CA_(BUNDLE|PATH)' "$b/lib/curl_config.h"; then
    echo "curl_config.h names a CA bundle/path" >&2
    exit 1
  fi
  cmake --build "$b" -j "$JOBS"
  cmake --install "$b"
  rm -rf "$P/include/curl"
  cp -r "$s/include/curl" "$P/include/"
  install -m 644 "$s/lib/libcurl.a" "$P/lib/libcurl.a"
}

# ---------------------------------------------------------------------------
# GoogleTest / GoogleMock from /usr/src/googletest
# ---------------------------------------------------------------------------
GTEST_OPTS=(-DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF -Dgtest_build_tests=OFF
            -Dgtest_build_samples=OFF -Dgmock_build_tests=OFF)
dep_googletest() {
  local ver stamp
  ver=$(pkg_version googletest)
  cmake_cross_args
  stamp=$(make_stamp googletest "googletest $ver (/usr/src/googletest)" "${GTEST_OPTS[*]} toolchain=$(file_hash "$TOOLCHAIN_FILE")")
  is_current googletest "$stamp" include/gtest/gtest.h include/gmock/gmock.h lib/libgtest.a \
    lib/libgtest_main.a lib/libgmock.a lib/libgmock_main.a && return 0
  begin_build googletest "$ver"
  step googletest build googletest_build
  end_build googletest "$stamp"
}
googletest_build() {
  local b=$W/build/googletest s=$W/build/googletest-stage l
  rm -rf "$b" "$s"
  cmake -S /usr/src/googletest -B "$b" "${CMAKE_CROSS[@]}" "${GTEST_OPTS[@]}" -DCMAKE_INSTALL_PREFIX="$s"
  cmake --build "$b" -j "$JOBS"
  cmake --install "$b"
  rm -rf "$P/include/gtest" "$P/include/gmock"
  cp -r "$s/include/gtest" "$s/include/gmock" "$P/include/"
  for l in gtest gtest_main gmock gmock_main; do
    install -m 644 "$s/lib/lib$l.a" "$P/lib/lib$l.a"
  done
}

# ---------------------------------------------------------------------------
# Header-only packages: nlohmann-json, stb, fmt
# ---------------------------------------------------------------------------
dep_nlohmann_json() {
  local ver stamp
  ver=$(pkg_version nlohmann-json3-dev)
  stamp=$(make_stamp nlohmann-json "nlohmann-json3-dev $ver" "copy /usr/include/nlohmann")
  is_current nlohmann-json "$stamp" include/nlohmann/json.hpp include/nlohmann/json_fwd.hpp && return 0
  begin_build nlohmann-json "$ver"
  step nlohmann-json install install_nlohmann_json
  end_build nlohmann-json "$stamp"
}
install_nlohmann_json() {
  rm -rf "$P/include/nlohmann"
  cp -r /usr/include/nlohmann "$P/include/"
}

dep_stb() {
  local ver stamp
  ver=$(pkg_version libstb-dev)
  stamp=$(make_stamp stb "libstb-dev $ver" "copy /usr/include/stb, stb_image.h also flat")
  is_current stb "$stamp" include/stb_image.h include/stb/stb_image.h && return 0
  begin_build stb "$ver"
  step stb install install_stb
  end_build stb "$stamp"
}
install_stb() {
  rm -rf "$P/include/stb"
  cp -r /usr/include/stb "$P/include/"
  install -m 644 /usr/include/stb/stb_image.h "$P/include/stb_image.h"
}

dep_fmt() {
  local ver stamp
  ver=$(pkg_version libfmt-dev)
  stamp=$(make_stamp fmt "libfmt-dev $ver" "copy /usr/include/fmt (header-only use: FMT_HEADER_ONLY)")
  is_current fmt "$stamp" include/fmt/format.h include/fmt/format-inl.h include/fmt/core.h && return 0
  begin_build fmt "$ver"
  step fmt install install_fmt
  end_build fmt "$stamp"
}
install_fmt() {
  rm -rf "$P/include/fmt"
  cp -r /usr/include/fmt "$P/include/"
}

# ---------------------------------------------------------------------------
# 7-Zip engine DLL: bundle CPP/7zip/Bundles/Format7z (7z format, extraction and
# creation, AES) built with a gcc makefile generated from the bundle's MSVC
# makefile object list and ../../7zip_gcc.mak.
# ---------------------------------------------------------------------------
SEVENZIP_LOCAL_FLAGS='-DZ7_DEFLATE_EXTRACT_ONLY -DZ7_BZIP2_EXTRACT_ONLY'
SEVENZIP_MAKE_VARS=(IS_MINGW=1 MSYSTEM=MINGW64 IS_X64=1 "CC=$CC_W" "CXX=$CXX_W" "RC=$RC_W" LFLAGS_STRIP=-s)
SEVENZIP_RECIPE=2
dep_7zip() {
  local ver stamp
  local opts="Bundles/Format7z recipe=$SEVENZIP_RECIPE LOCAL_FLAGS=$SEVENZIP_LOCAL_FLAGS ${SEVENZIP_MAKE_VARS[*]}"
  ver=$(pick_source_version 7zip)
  stamp=$(make_stamp 7zip "7zip $ver" "$opts")
  is_current 7zip "$stamp" bin/7z.dll && return 0
  begin_build 7zip "$ver"
  get_source 7zip 7zip "$ver"
  stamp=$(make_stamp 7zip "7zip $SRC_VERSION" "$opts")
  step 7zip "generate the gcc makefile" sevenzip_makefile
  step 7zip "build 7z.dll" sevenzip_build
  step 7zip "check 7z.dll" sevenzip_check
  install -m 644 "$W/build/7zip/7z.dll" "$P/bin/7z.dll"
  end_build 7zip "$stamp"
}
# Object list = every $O\X.obj of the bundle's MSVC makefile and of the .mak files
# it includes (except 7zip.mak). StdAfx is MSVC's precompiled header; LzmaDecOpt
# is assembler only (no asmc/jwasm in Debian): 7zip_gcc.mak then uses C LzmaDec.
sevenzip_makefile() {
  local dir=$SRC_DIR/CPP/7zip/Bundles/Format7z inc objs o
  cd "$dir"
  objs=$( {
      cat makefile
      for inc in $(sed -n 's/^!include "\(.*\)"/\1/p' makefile); do
        case $inc in */7zip.mak) continue ;; esac
        cat "$inc"
      done
    } | grep -o '\$O\\[A-Za-z0-9_]*\.obj' | sed 's/^\$O\\//; s/\.obj$//' |
      grep -vx -e StdAfx -e LzmaDecOpt | awk '!seen[$0]++')
  [[ -n $objs ]] || { echo "no objects found in $dir/makefile"; exit 1; }
  grep -q '^DEF_FILE = ../../Archive/Archive2.def' makefile || { echo "unexpected DEF_FILE in $dir/makefile"; exit 1; }
  for o in $objs; do
    grep -q "^\$O/$o.o:" ../../7zip_gcc.mak || { echo "7zip_gcc.mak has no rule for $o.o"; exit 1; }
  done
  {
    echo "# Generated by tools/bootstrap.sh from this directory's makefile (MSVC)."
    echo "PROG = 7z"
    echo "DEF_FILE = ../../Archive/Archive2.def"
    echo "LOCAL_FLAGS = $SEVENZIP_LOCAL_FLAGS"
    echo "OBJS = \\"
    for o in $objs; do echo "  \$O/$o.o \\"; done
    echo "  \$O/resource.o \\"
    echo
    echo "include ../../7zip_gcc.mak"
  } >makefile.gcc
  cat makefile.gcc
}
sevenzip_build() {
  local b=$W/build/7zip
  rm -rf "$b"
  make -C "$SRC_DIR/CPP/7zip/Bundles/Format7z" -f makefile.gcc -j"$JOBS" \
    "${SEVENZIP_MAKE_VARS[@]}" O="$b"
}
sevenzip_check() {
  local dll=$W/build/7zip/7z.dll sym imports bad
  "$OBJDUMP_W" -p "$dll" >"$W/build/7zip/objdump.txt"
  for sym in CreateObject GetHandlerProperty GetHandlerProperty2 GetNumberOfFormats GetIsArc \
             GetNumberOfMethods GetMethodProperty CreateDecoder CreateEncoder SetLargePageMode; do
    grep -qE "^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+$sym\$" "$W/build/7zip/objdump.txt" ||
      { echo "7z.dll does not export $sym"; exit 1; }
  done
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$W/build/7zip/objdump.txt" | tr 'A-Z' 'a-z' | sort -u)
  echo "7z.dll imports: $(echo $imports)"
  bad=$(grep -vxE 'kernel32\.dll|user32\.dll|advapi32\.dll|oleaut32\.dll|ole32\.dll|shell32\.dll|gdi32\.dll|msvcrt\.dll|api-ms-win-[a-z0-9-]+\.dll' <<<"$imports" || true)
  [[ -z $bad ]] || { echo "7z.dll imports non-system DLLs: $bad"; exit 1; }
  # AES (7z archives with a password): the 7zAES coder must be registered.
  [[ -f $W/build/7zip/7zAes.o && -f $W/build/7zip/MyAes.o ]] || { echo "AES objects were not built"; exit 1; }
  grep -qa '7zAES' "$dll" || { echo "7z.dll lacks the 7zAES coder"; exit 1; }
}

# The telemetry client and the web API requests go to host names of the
# project's; on this machine they are the loopback collector and the loopback
# web API stand-in of the tests and of `make run`.
ensure_test_hosts() {
  local name line
  for name in report.quillorane.test api.quillorane.test; do
    line="127.0.0.1 $name"
    grep -qE "^127\.0\.0\.1[[:space:]].*\b${name//./\\.}\b" /etc/hosts ||
      echo "$line" >>/etc/hosts || die "cannot add '$line' to /etc/hosts"
  done
}

# ---------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------
main() {
  local t0=$SECONDS
  mkdir -p "$W" "$LOG_DIR"
  # One bootstrap at a time per work dir (make may start several).
  exec 9>"$W/.bootstrap.lock"
  if ! flock -n 9; then
    say "waiting for another bootstrap run to finish"
    flock 9
  fi

  ensure_apt_packages
  ensure_test_hosts

  [[ -f $TOOLCHAIN_FILE ]] || die "missing CMake toolchain file $TOOLCHAIN_FILE"
  local tool
  for tool in "$CC_W" "$CXX_W" "$AR_W" "$RANLIB_W" "$RC_W" "$OBJDUMP_W" "$TRIPLE-ar" "$TRIPLE-ranlib" \
              cmake ninja make perl tclsh gcc dpkg-source apt-get; do
    command -v "$tool" >/dev/null || die "required tool '$tool' not found"
  done

  mkdir -p "$P/include" "$P/lib" "$P/bin" "$STAMP_DIR" "$W/src" "$W/build"
  # Keep host pkg-config files out of the cross builds.
  export PKG_CONFIG_LIBDIR=$P/lib/pkgconfig PKG_CONFIG_PATH=''
  load_source_versions
  compiler_id

  BUILT_LIST=$W/.built-this-run
  : >"$BUILT_LIST"
  # Independent chains run side by side: their configure steps are mostly
  # serial (curl's CMake checks, sqlite's configure), so overlapping them with
  # the other compiles saves time even on 2 cores.
  local pids=() pid failed=0
  (dep_zlib; dep_curl) & pids+=($!)
  (dep_sqlite3; dep_sqlitecpp) & pids+=($!)
  (dep_openssl) & pids+=($!)
  (dep_7zip) & pids+=($!)
  (dep_googletest; dep_nlohmann_json; dep_stb; dep_fmt) & pids+=($!)
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
  if (( failed )); then
    REPORTED=1
    die "some dependencies failed to build (see the messages above)"
  fi

  if [[ -s $BUILT_LIST ]]; then
    say "built: $(tr '\n' ' ' <"$BUILT_LIST")($((SECONDS - t0)) s)"
  fi
  rm -f "$BUILT_LIST"
  say "deps ready in $P"
}

main "$@"; exit $?
