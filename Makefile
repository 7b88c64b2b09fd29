# Every target installs what it needs first, so each works on a fresh Debian machine as root.
PRESETS := fuzz sanitize windows linux
FUZZ_SECONDS ?= 30

.PHONY: all deps web extension package-web package-extension package-python package-npm test run package $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS)) clean

all: build-linux

deps:
	@./scripts/setup-deps.sh

$(addprefix build-,$(PRESETS)): build-%: deps
	cmake --preset $* >/dev/null
	cmake --build --preset $*

# The browser page in build/web/page/; the native tests drive it in Chromium.
web: deps
	cmake --preset web >/dev/null
	cmake --build --preset web

# The extension in build/extension/chromium/ and build/extension/firefox/, with the tools that
# test it (npm ci); the web preset builds both with the page.
extension: web

test-linux: web

# The native suite comes last so that the run ends with its summary.
test: test-fuzz test-sanitize test-windows test-linux

test-linux test-sanitize test-windows: test-%: build-%
	ctest --preset $*

test-fuzz: build-fuzz
	VELTRUN_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz

run: build-windows
	./scripts/run-dialog.sh build/windows

# Release packages in out/: the Windows zip and installer, the Linux tarball and the .deb,
# checked after packing (the .deb by lintian too).
package: build-windows build-linux
	cd build/windows && cpack
	cmake --build --preset windows --target msi_release
	cd build/linux && cpack
	./packaging/check-package.py build/windows build/linux

# The page's zip, out/Veltrun-<version>-web.zip.
package: package-web
package-web: web
	cmake --build --preset web --target web_zip
	./packaging/check-package.py --web build/web

clean:
	rm -rf build

# The Python package's wheel and source archive, veltrun-<version>-*.whl and .tar.gz, built
# offline with Debian's Python and pybind11.
package: package-python
package-python: deps
	/usr/bin/python3 packaging/python-package.py out build/python

# The npm package, out/veltrun-<version>.tgz (npm pack), from the web build.
package: package-npm
package-npm: web
	cmake --build --preset web --target npm_release

# The extension's packages, out/Veltrun-<version>-chromium.zip and out/veltrun-<version>.xpi,
# after web-ext's lint of the Firefox build.
package: package-extension
package-extension: extension
	cmake --build --preset web --target extension_package
