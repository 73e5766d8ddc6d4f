# Sourced by the shell benchmarks: where the repository, the programs and the
# real slides are, and the tools a benchmark needs. One place for what every
# script used to find for itself.
#
#   . "$(dirname "$0")/common.sh"
#   bench_build "${1:-}"        # BUILD: the build folder (default build/)
#   bench_program qorvan        # QORVAN=... (fails unless built)
#   bench_real                  # REAL=... the real slides (QORVAN_TESTDATA, else ../shared/testdata)
#   bench_need hyperfine ...    # fails naming the first tool that is missing
#   bench_work                  # WORK=... a temporary folder, removed on exit

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

bench_fail() {
    echo "bench: $*" >&2
    exit 1
}

bench_build() {
    BUILD=${1:-build}
    case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
}

# Sets the upper-cased variable of the program's name (qorvan -> QORVAN,
# qorvan-console -> CONSOLE).
bench_program() {
    path=$BUILD/bin/$1
    [ -x "$path" ] || bench_fail "build $path first"
    case $1 in
    qorvan) QORVAN=$path ;;
    qorvan-console) CONSOLE=$path ;;
    *) bench_fail "unknown program $1" ;;
    esac
}

# The same variable the tests read (tests/support/testdata.h).
bench_real() {
    REAL=${QORVAN_TESTDATA:-$ROOT/../shared/testdata}/real
    [ -d "$REAL" ] || bench_fail "no real slides in $REAL (set QORVAN_TESTDATA)"
}

bench_need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || bench_fail "needs $tool"
    done
}

bench_work() {
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
}
