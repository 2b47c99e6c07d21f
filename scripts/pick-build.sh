# Sourced, not run: chooses the Windows build that the try-it script and the
# benchmark use. The 32-bit build is the deliverable; where this machine
# cannot run 32-bit programs (or ZENOLT_NO_WIN32=1 is set), the 64-bit build
# of the same source stands in for it.
#   pick_windows_build TARGET...   sets preset and bin, builds the targets,
#                                  and says on standard error which build it is
pick_windows_build() {
    cmake --preset windows >/dev/null
    preset=windows
    local capability
    capability=$(cat build/windows/wine-capability.txt)
    if [ "$capability" = runs ]; then
        echo "Using the 32-bit build (build/windows)." >&2
    else
        preset=windows-x64
        cmake --preset windows-x64 >/dev/null
        echo "Using the 64-bit build (build/windows-x64), which stands in for the 32-bit one:" \
             "${capability#skips: }." >&2
    fi
    cmake --build --preset "$preset" --target "$@" >/dev/null
    bin=build/$preset
}
