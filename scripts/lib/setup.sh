# Shared by the project's scripts: installing what a fresh Debian 12 machine lacks, and the
# virtual display for programs that show windows. Source it; it defines functions only.

# The Debian packages that building and testing need.
VORA_PACKAGES=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb
  openssl osslsigncode
)

# What scripts/bench needs besides: Google Benchmark for the native figures, jq to read them.
VORA_BENCH_PACKAGES=(libbenchmark-dev jq)

# The Debian packages that the native sanitizer build, its tests and its fuzz targets need beyond
# cmake and ninja: libFuzzer's runtime comes with libclang-rt, the sanitizers' symbolizer with
# llvm. Clang 19 is the oldest of Debian 12's that compiles std::expected against its libstdc++;
# clang 16 still reports C++20 concepts as incomplete, and libstdc++ then leaves <expected> empty.
VORA_FUZZ_PACKAGES=(clang-19 libclang-rt-19-dev llvm-19)

# Installs every missing package when run as root; otherwise prints the apt-get line and fails.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages; install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    return 1
  fi
  echo "installing ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# What the project makes once per machine and every clone reuses: PowerShell, the second Wine.
VORA_CACHE_DIR=${VORA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vora}

# The PowerShell that tests/support/pwsh_host's project builds, as the messages name it.
VORA_PWSH_VERSION=7.6.10

# Runs COMMAND... once per machine: holding LOCK, so that other clones wait for it, and only while
# STAMP is missing; writes STAMP when it succeeds, so that a run cut short counts as none. LOCK
# lies outside what COMMAND replaces.
once_per_machine() {
  local lock=$1 stamp=$2
  shift 2
  mkdir -p "$(dirname "$lock")"
  (
    flock 9
    [ ! -f "$stamp" ] || exit 0
    "$@" 9>&- && touch "$stamp"
  ) 9>"$lock"
}

# PowerShell for Windows, for the tests and the demo under Wine: tests/support/pwsh_host
# published self-contained for win-x64 (130 MB) into the cache, once per machine for each version
# of its sources, which name the PowerShell version. Sets VORA_WINDOWS_POWERSHELL to that
# folder, or empty with the reason in VORA_WINDOWS_POWERSHELL_MISSING.
ensure_windows_powershell() {
  local source=$PWD/tests/support/pwsh_host key out
  VORA_WINDOWS_POWERSHELL= VORA_WINDOWS_POWERSHELL_MISSING=
  key=$(cat "$source/Program.cs" "$source/pwsh_host.csproj" | sha256sum | cut -c1-16)
  out=$VORA_CACHE_DIR/pwsh-for-windows-$key
  if [ ! -f "$out/bin/.published" ] && ! command -v dotnet >/dev/null; then
    VORA_WINDOWS_POWERSHELL_MISSING="no dotnet; install the .NET SDK 10 to have it"
  elif once_per_machine "$out.lock" "$out/bin/.published" publish_windows_powershell "$source" "$out"
  then
    VORA_WINDOWS_POWERSHELL=$out/bin
  else
    VORA_WINDOWS_POWERSHELL_MISSING="dotnet publish failed ($out/publish.log)"
  fi
}
publish_windows_powershell() {
  local source=$1 out=$2
  echo "publishing PowerShell $VORA_PWSH_VERSION for Windows into $out, once per machine"
  rm -rf "$out"
  mkdir -p "$out"
  DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1 dotnet publish "$source" -c Release \
    -o "$out/bin" --artifacts-path "$out/obj" >"$out/publish.log" 2>&1
}

# The locale Wine runs in where it shows boxes: the uninstaller's users are Hungarian, and the
# boxes' buttons ("Igen", "Nem", "OK") come from Windows in the user's language.
VORA_BOX_LOCALE=hu_HU.UTF-8

# Generates a glibc locale such as hu_HU.UTF-8 when it is missing (locale -a lists it as
# hu_HU.utf8); as ensure_packages, only as root, otherwise it prints the command and fails.
ensure_locale() {
  local name=$1
  local language=${name%%.*}
  if locale -a 2>/dev/null | grep -qix "$language.utf-\?8"; then return 0; fi
  ensure_packages locales
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing locale $name; generate it with:" >&2
    echo "  sudo localedef -i $language -f UTF-8 $name" >&2
    return 1
  fi
  echo "generating the locale $name"
  localedef -i "$language" -f UTF-8 "$name"
}

# Starts an Xvfb of its own on the first free display number and exports DISPLAY.
# stop_display ends it; callers arrange that with a trap.
start_display() {
  local number=90
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  VORA_XVFB_PID=$!
  local waited=0
  until [ -e "/tmp/.X11-unix/X$number" ]; do
    if ! kill -0 "$VORA_XVFB_PID" 2>/dev/null || [ $waited -ge 100 ]; then
      echo "Xvfb did not start on :$number" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$number"
}

stop_display() {
  if [ -n "${VORA_XVFB_PID:-}" ]; then
    kill "$VORA_XVFB_PID" 2>/dev/null || true
    wait "$VORA_XVFB_PID" 2>/dev/null || true
    VORA_XVFB_PID=
  fi
}

# Where a per-user install of Vora keeps its things, below the user's profile folder: both
# shortcuts, the user's data and the install folder.
VORA_USER_PLACES=(Desktop/Vora.lnk "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Vora.lnk"
                  AppData/Roaming/Vora AppData/Local/Programs/Vora)

# Builds uninstall.exe from commit $2 of this clone in a new clone at $1, as every clean build
# makes it: $1/build/windows/uninstall.exe. The build's output goes to $1/build.log, which is
# shown when it fails.
build_clean_uninstall() {
  local clone=$1 rev=$2
  mkdir -p "$(dirname "$clone")"
  git clone --quiet --no-checkout "$PWD" "$clone"
  git -C "$clone" checkout --quiet --detach "$rev"
  (cd "$clone" && cmake --preset windows >build.log 2>&1 &&
    cmake --build --preset windows --target uninstall >>build.log 2>&1) ||
    { cat "$clone/build.log" >&2; return 1; }
}

# Ends the wineserver of a prefix, and with it every Wine process still running in it.
stop_wine() {
  WINEPREFIX="$1" wineserver -k 2>/dev/null || true
}

# A second Wine, 10.0 from Debian trixie, as a second opinion on what Windows does: a minimal
# trixie tree made once per machine with debootstrap from the machine's own Debian mirror, kept
# outside any clone and reused by all of them. The stamp is written last, so that a tree cut short
# counts as none. Sets VORA_SECOND_WINE to the tree, or empty with the reason in
# VORA_SECOND_WINE_MISSING.
VORA_SECOND_WINE_TREE=$VORA_CACHE_DIR/wine-10-trixie
ensure_second_wine() {
  local tree=$VORA_SECOND_WINE_TREE
  VORA_SECOND_WINE= VORA_SECOND_WINE_MISSING=
  if [ -f "$tree/.vora-ready" ]; then
    VORA_SECOND_WINE=$tree
    return 0
  fi
  if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
    VORA_SECOND_WINE_MISSING="making and entering its chroot needs root and a mount namespace"
    return 0
  fi
  if ! ensure_packages debootstrap >/dev/null; then
    VORA_SECOND_WINE_MISSING="debootstrap could not be installed"
    return 0
  fi
  if ! once_per_machine "$tree.lock" "$tree/.vora-ready" make_second_wine "$tree"; then
    VORA_SECOND_WINE_MISSING="debootstrap failed ($tree.log)"
    return 0
  fi
  VORA_SECOND_WINE=$tree
}
make_second_wine() {
  local tree=$1
  echo "making the second Wine (Debian trixie's) in $tree with debootstrap, once per machine"
  rm -rf "$tree" "$tree.partial"
  debootstrap --variant=minbase --include=wine,wine64,xvfb,xauth trixie "$tree.partial" \
    "$(debian_mirror)" >"$tree.log" 2>&1 && mv "$tree.partial" "$tree"
}

# The Debian archive this machine's apt uses, which serves every release.
debian_mirror() {
  local uri
  uri=$(sed -n 's/^URIs: *\([^ ]*\/debian\)\/* *$/\1/p' /etc/apt/sources.list.d/*.sources \
    2>/dev/null | head -n 1)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' \
    /etc/apt/sources.list 2>/dev/null)
  printf '%s\n' "${uri%/}"
}
