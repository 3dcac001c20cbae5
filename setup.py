"""The Python module, for pip: `pip install . --no-build-isolation` builds the
extension with the project's CMake (cmake, a C++17 compiler, zlib, htslib,
pybind11 and the Python headers) for the interpreter pip runs under."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class cmake_build_ext(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTING=OFF",
                        "-DPython_EXECUTABLE=" + sys.executable], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_engine", "-j", str(os.cpu_count() or 1)], check=True)
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(build / "python" / "motif_tools" / target.name, target)


setup(
    name="motif_tools",
    version=re.search(r"project\(motif_matrix VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1),
    description="DNA motifs: read, scan, compare and draw them on the engine of motif_scan and motif_compare",
    packages=["motif_tools"],
    package_dir={"": "python"},
    ext_modules=[Extension("motif_tools._engine", sources=[])],
    cmdclass={"build_ext": cmake_build_ext},
    install_requires=["numpy", "pandas"],
    python_requires=">=3.8",
)
