# Entry points. `make test` sets up, builds and runs every test; `make run` sets up,
# builds and runs the main job.
JOBS ?= $(shell nproc)

.PHONY: setup native win64 win32 test run bench clean

setup:
	@scripts/setup

native win64 win32: setup
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test: native win64 win32
	ctest --preset native -j $(JOBS)
	ctest --preset win64 -j $(JOBS)
	ctest --preset win32 -j $(JOBS)

# The profile tool on a sample file; pass your own arguments with ARGS="FILE COMMAND ...".
run: native
	@scripts/run-tesvar $(ARGS)

bench: native
	cmake --build --preset native --target benchmarks -j $(JOBS)
	build/native/bench/scan_bench
	build/native/bench/copy_bench

clean:
	rm -rf build
