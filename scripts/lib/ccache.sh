# Sourced by the scripts that configure a build (test, test-tsan, fuzz, package): sets `launcher`
# to the CMake arguments that put ccache in front of the compiler, or to nothing without ccache.
# Paths are taken relative to the tree, so that clones in other folders share the cache. The
# sourcing script has already changed to the top of the tree.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
