"""The package's build backend: builds libtersolite with CMake and puts it
inside the wheel, beside the Python code that loads it.

It needs nothing beyond the standard library, CMake and a C++ compiler, so
`pip install ./bindings/python` works offline. The library is built from the
repository this folder lives in, in `build/python` at its root (kept, so a
second install is quick). `pip install -C library=PATH ...` packs a library
built elsewhere instead.
"""

import base64
import hashlib
import os
import re
import shutil
import subprocess
import sysconfig
import zipfile

NAME = "tersolite"
# Real paths: the build folder is the same however the checkout is reached.
PACKAGE = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
ROOT = os.path.dirname(os.path.dirname(PACKAGE))


def _version():
    with open(os.path.join(PACKAGE, NAME, "__init__.py"), encoding="utf-8") as f:
        return re.search(r'^__version__ = "([^"]+)"', f.read(), re.M).group(1)


VERSION = _version()
DIST_INFO = f"{NAME}-{VERSION}.dist-info"
TAG = "py3-none-" + re.sub(r"[^A-Za-z0-9]", "_", sysconfig.get_platform())

METADATA = f"""Metadata-Version: 2.1
Name: {NAME}
Version: {VERSION}
Summary: Shrink a JSON or YAML document to a budget of characters
License: MIT
Classifier: License :: OSI Approved :: MIT License
Classifier: Typing :: Typed
Requires-Python: >=3.8
"""

WHEEL = f"""Wheel-Version: 1.0
Generator: tersolite-build-support
Root-Is-Purelib: false
Tag: {TAG}
"""


def _build_library(config_settings):
    given = (config_settings or {}).get("library")
    if given:
        if not os.path.isfile(given):
            raise RuntimeError(f"library={given}: no such file")
        return given
    if not os.path.isfile(os.path.join(ROOT, "CMakeLists.txt")):
        raise RuntimeError(f"the tersolite sources are not at {ROOT}: install from a checkout of the repository")
    if shutil.which("cmake") is None:
        raise RuntimeError("building libtersolite needs cmake (and a C++ compiler, libyaml-dev, "
                           "libexpected-dev, libcli11-dev: .ci/deps installs them)")
    build = os.path.join(ROOT, "build", "python")
    configure = ["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DTERSOLITE_BUILD_TESTS=OFF"]
    if shutil.which("ninja") and not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        configure += ["-G", "Ninja"]
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "tersolite"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "libtersolite.so")


def _package_files(library):
    package = os.path.join(PACKAGE, NAME)
    for name in sorted(os.listdir(package)):
        if name.endswith(".py") or name == "py.typed":
            yield f"{NAME}/{name}", os.path.join(package, name)
    yield f"{NAME}/libtersolite.so", os.path.realpath(library)
    yield f"{DIST_INFO}/LICENSE", os.path.join(ROOT, "LICENSE")


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    target = os.path.join(metadata_directory, DIST_INFO)
    os.makedirs(target, exist_ok=True)
    for name, text in (("METADATA", METADATA), ("WHEEL", WHEEL)):
        with open(os.path.join(target, name), "w", encoding="utf-8") as f:
            f.write(text)
    return DIST_INFO


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    library = _build_library(config_settings)
    filename = f"{NAME}-{VERSION}-{TAG}.whl"
    records = []

    def add(arcname, data):
        info = zipfile.ZipInfo(arcname, date_time=(1980, 1, 1, 0, 0, 0))
        info.external_attr = 0o644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        wheel.writestr(info, data)
        records.append(_record_line(arcname, data))

    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w") as wheel:
        for arcname, path in _package_files(library):
            with open(path, "rb") as f:
                add(arcname, f.read())
        add(f"{DIST_INFO}/METADATA", METADATA.encode())
        add(f"{DIST_INFO}/WHEEL", WHEEL.encode())
        records.append(f"{DIST_INFO}/RECORD,,")
        wheel.writestr(f"{DIST_INFO}/RECORD", "\n".join(records) + "\n")
    return filename
