# Entry points; the real work is in scripts/ and the CMake presets.
JOBS ?= $(shell nproc)

.PHONY: all bootstrap native asan win64 win32 fuzz bench test demo images installer format format-check

all: native

bootstrap:
	@scripts/bootstrap.sh

native: bootstrap
	@cmake --preset native >/dev/null && cmake --build --preset native -j $(JOBS)

asan: bootstrap
	@cmake --preset asan >/dev/null && cmake --build --preset asan -j $(JOBS)

win64: bootstrap
	@cmake --preset win64 >/dev/null && cmake --build --preset win64 -j $(JOBS)

win32: bootstrap
	@cmake --preset win32 >/dev/null && cmake --build --preset win32 -j $(JOBS)

fuzz: bootstrap
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j $(JOBS)

bench: native
	@scripts/bench.sh

test: bootstrap
	@scripts/test.sh

demo: bootstrap
	@scripts/demo.sh

# The README's pictures of the demo, refreshed in docs/images.
images: bootstrap
	@env -u DISPLAY DEMO_IMAGES=docs/images scripts/demo.sh

installer: bootstrap
	@scripts/installer.sh

format:
	@git ls-files '*.h' '*.cpp' | xargs -r clang-format -i

format-check:
	@scripts/check-source.sh
