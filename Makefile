# Entry points for a fresh Debian machine (run as root):
#   make demo   start the server, drive it from a small client, print what it did
#   make test   build everything and run every test
#   make package  build the Debian package
# Both install any missing Debian package first.

.PHONY: all deps build demo test package test-sanitize bench format clean windows

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

demo: build
	@bash scripts/demo.sh

test: build
	@ctest --preset default
	@bash windows/run-tests.sh

# The Debian package: build/qrole_<version>_amd64.deb.
package: build
	@cmake --build --preset default --target package

windows: deps
	@bash windows/build.sh

test-sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize
	@ctest --preset sanitize

bench: build
	@bash scripts/bench.sh

format:
	@find include src tests bench tools -name '*.h' -o -name '*.cc' | xargs clang-format -i

clean:
	rm -rf build build-sanitize build-windows
