# The page's WebAssembly module: clang with Debian's wasi-libc and libc++ (wasi-libc,
# libc++-14-dev-wasm32, libclang-rt-14-dev-wasm32). The module imports nothing from WASI, so the
# page supplies its two converter functions and nothing else.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_SYSROOT /usr)
# SIMD128: every browser the page supports runs it, and the core's byte loops use it.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -msimd128")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
