"""The CMake build behind pyproject.toml: the Python module of both builds is
built with the libraries copied into the package and RPATH $ORIGIN, so that
the installed package finds them wherever it is installed."""
import os
import shutil
import subprocess
import sys

from setuptools import setup
from setuptools.command.build import build
from setuptools.dist import Distribution

HERE = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build):
    def run(self):
        build = os.path.join(HERE, "build", "pip")
        subprocess.check_call([
            "cmake", "-S", HERE, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DKELVANE_BUILD_TESTS=OFF",
            "-DKELVANE_BUILD_PYTHON=ON", "-DKELVANE_PYTHON_RELOCATABLE=ON", "-DPython_EXECUTABLE=" + sys.executable,
            "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON", "-DCMAKE_INSTALL_RPATH=$ORIGIN"])
        subprocess.check_call(["cmake", "--build", build, "-j2", "--target", "kelvane_python", "kelvane_python_gen1"])
        target = os.path.join(self.build_lib, "kelvane")
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(os.path.join(build, "python", "kelvane"), target, symlinks=False,
                        ignore=shutil.ignore_patterns("__pycache__"))
        super().run()


class BinaryDistribution(Distribution):
    def has_ext_modules(self):
        return True


setup(cmdclass={"build": CMakeBuild}, distclass=BinaryDistribution)
