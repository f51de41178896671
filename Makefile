# Entry points. `make test` sets up, builds and runs every test; `make run` sets up,
# builds and starts the repair tool under Wine; `make dist` fills dist/win32 and
# dist/win64 (third-party files from MENDORA_REDIST=FOLDER).
JOBS ?= $(shell nproc)

.PHONY: setup native win64 win32 test run dist bench clean

setup:
	@scripts/setup

native win64 win32: setup
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test: native win64 win32
	ctest --preset native -j $(JOBS)
	ctest --preset win64 -j $(JOBS)
	ctest --preset win32 -j $(JOBS)

# Mendora.exe (win64) under Wine: on $DISPLAY, or on a virtual display with a
# screenshot saved to build/win64/mendora.png.
run: win64
	@scripts/run-mendora build/win64

dist: win64 win32
	@scripts/package $(MENDORA_REDIST)

bench: native
	cmake --build --preset native --target benchmarks -j $(JOBS)
	build/native/bench/scan_bench
	build/native/bench/copy_bench

clean:
	rm -rf build
