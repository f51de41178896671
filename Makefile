# Entry points. `make test` sets up, builds and runs every test; `make run` sets up,
# builds and starts the repair tool under Wine; `make dist` makes the distribution in
# dist/ (scripts/package: third-party files from MENDORA_REDIST=FOLDER, signed with
# MENDORA_SIGN_CERT=FILE.p12 MENDORA_SIGN_PASSWORD=...).
JOBS ?= $(shell nproc)

.PHONY: setup native win64 win32 asan test run dist bench fuzz fuzz-build fuzz-campaign clean

setup:
	@scripts/setup

native win64 win32 asan: setup
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test: native win64 win32 asan
	ctest --preset native -j $(JOBS)
	ctest --preset win64 -j $(JOBS)
	ctest --preset win32 -j $(JOBS)
	ctest --preset asan -L unit -j $(JOBS)

# Mendora.exe (win64) under Wine: on $DISPLAY, or on a virtual display with a
# screenshot saved to build/win64/mendora.png.
run: win64
	@scripts/run-mendora build/win64

# Builds only what ships (the target "shipped" of each tree).
dist: setup
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 --target shipped -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 --target shipped -j $(JOBS)
	@scripts/package $(MENDORA_REDIST)

bench: native
	cmake --build --preset native --target benchmarks -j $(JOBS)
	build/native/bench/scan_bench
	build/native/bench/copy_bench
	build/native/bench/codepage_bench

# libFuzzer runs of every fuzz target, FUZZ_SECONDS (default 60) each; not part of `make test`.
fuzz: fuzz-build
	tests/fuzz/run-fuzzers build/fuzz

fuzz-build:
	@scripts/setup-fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

# A long campaign: every target until CAMPAIGN_RUNS inputs (default 10,000,000) or
# CAMPAIGN_SECONDS each, in parallel on the cores; what adds coverage joins the seed
# corpus in tests/fuzz/corpus (review and commit it). Not part of `make test`.
fuzz-campaign: fuzz-build
	tests/fuzz/run-campaign build/fuzz

clean:
	rm -rf build
