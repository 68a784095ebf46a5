# Orvane screen saver: the two commands a fresh Debian machine needs.
#   make demo   install what is missing, build, and run the saver on sample props
#   make check  install what is missing, build every preset, run every test
SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: all deps configure build native mingw64 mingw32 dist check test demo fuzz fuzz-run bench clean install package web web-test

all: build

deps:
	@scripts/install-deps

configure: deps
	@for p in native mingw64 mingw32; do \
	  [ -f build/$$p/CMakeCache.txt ] || cmake --preset $$p >/dev/null || exit 1; \
	done

native mingw64 mingw32: deps
	@[ -f build/$@/CMakeCache.txt ] || cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

build: native mingw64 mingw32

# The Windows packages (build/dist): the sample props come from the native proptool. Signed
# when SIGN_CERT and SIGN_KEY (and SIGN_PKCS11_MODULE for a key in a token, SIGN_PASSWORD,
# SIGN_TIMESTAMP_URL or SIGN_NO_TIMESTAMP=1) are in the environment,
# which scripts/dist reads (see docs/publishing.md). The builds it runs first never see
# SIGN_PASSWORD; scripts/dist hands it to the signers alone.
dist:
	@env -u SIGN_PASSWORD $(MAKE) --no-print-directory deps native mingw64 mingw32
	@scripts/dist

test:
	ctest --preset native -j $(JOBS)
	ctest --preset mingw64
	@if [ -f build/web/orvane-web.js ]; then tests/web/run; fi

# The web page (build/web): the program compiled by emscripten, the page, and the sample
# props drawn by the native proptool. Any static web server serves the folder.
web: deps
	@[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
	cmake --build --preset native --target proptool -j $(JOBS)
	@[ -f build/web-build/CMakeCache.txt ] || NODE_PATH=/usr/share/nodejs cmake --preset web >/dev/null
	NODE_PATH=/usr/share/nodejs cmake --build --preset web -j $(JOBS)
	build/native/proptool sample build/web/props.prp --count 529 >/dev/null

# The page in headless Chromium, served from 127.0.0.1 (beside orvane-render's frame); make
# test runs it too once the page is built.
web-test: web native
	@tests/web/run

check: build dist web test

demo: deps native mingw64
	@scripts/demo

fuzz: deps
	@scripts/fuzz build

fuzz-run: deps
	@scripts/fuzz run 600

bench: deps native
	@scripts/bench

# Linux: the module, its description, the samples, the tools and the man pages under
# PREFIX (the screen-saver daemon looks in /usr); DESTDIR stages them elsewhere.
PREFIX ?= /usr
install: native
	cmake --install build/native --prefix $(PREFIX)

# Linux: the Debian package build/dist/orvane_1.0_amd64.deb, then build/dist/SHA256SUMS
# again, so it lists every file there (the Windows packages too).
package: native
	cd build/native && cpack -B $(CURDIR)/build/native/cpack >/dev/null
	mkdir -p build/dist
	cp build/native/cpack/orvane_*.deb build/dist/
	@scripts/checksums build/dist
	@ls build/dist/orvane_*.deb

clean:
	rm -rf build
