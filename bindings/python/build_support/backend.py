"""A minimal PEP 517 build backend for this pure-Python package.

It needs nothing beyond the standard library, so that
`pip install --no-build-isolation bindings/python` works without network
access and without setuptools or wheel installed.
"""

import base64
import hashlib
import os
import zipfile

NAME = "tersolite"
VERSION = "0.2.1"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DIST_INFO = f"{NAME}-{VERSION}.dist-info"

METADATA = f"""Metadata-Version: 2.1
Name: {NAME}
Version: {VERSION}
Summary: Shrink a JSON or YAML document to a budget of characters (bindings to libtersolite)
Requires-Python: >=3.8
"""

WHEEL = """Wheel-Version: 1.0
Generator: tersolite-build-support
Root-Is-Purelib: true
Tag: py3-none-any
"""


def _package_files():
    package = os.path.join(ROOT, NAME)
    for name in sorted(os.listdir(package)):
        if name.endswith(".py"):
            yield f"{NAME}/{name}", os.path.join(package, name)


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    target = os.path.join(metadata_directory, DIST_INFO)
    os.makedirs(target, exist_ok=True)
    with open(os.path.join(target, "METADATA"), "w") as f:
        f.write(METADATA)
    with open(os.path.join(target, "WHEEL"), "w") as f:
        f.write(WHEEL)
    return DIST_INFO


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    filename = f"{NAME}-{VERSION}-py3-none-any.whl"
    records = []
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for arcname, path in _package_files():
            with open(path, "rb") as f:
                data = f.read()
            wheel.writestr(arcname, data)
            records.append(_record_line(arcname, data))
        for name, text in (("METADATA", METADATA), ("WHEEL", WHEEL)):
            arcname = f"{DIST_INFO}/{name}"
            wheel.writestr(arcname, text)
            records.append(_record_line(arcname, text.encode()))
        records.append(f"{DIST_INFO}/RECORD,,")
        wheel.writestr(f"{DIST_INFO}/RECORD", "\n".join(records) + "\n")
    return filename
