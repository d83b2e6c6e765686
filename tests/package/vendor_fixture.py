"""A vendor's engine, plugins and UI data for the tests of the release path:
libraries of their own that export what the host imports and do nothing
(every function returns 0), so that no test passes our simulator off as the
real engine. The host started with them ends with "Failed to create view
controller.", having loaded them."""

import glob
import os
import re
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
PLUGINS = {
    "screen_retriever_windows_plugin":
        ["ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar"],
    "system_tray_plugin": ["SystemTrayPluginRegisterWithRegistrar"],
    "window_manager_plugin": ["WindowManagerPluginRegisterWithRegistrar"],
}


def engine_functions():
    """Every function the engine interface's headers declare."""
    found = []
    for header in sorted(glob.glob(os.path.join(ROOT, "host", "*.h"))):
        with open(header, encoding="utf-8") as f:
            found += re.findall(r"^FLUTTER_EXPORT\s[^;{(]*?(\w+)\s*\(",
                                f.read(), re.M)
    return found


def build_library(folder, name, functions):
    """name.dll and its import library libname.dll.a in folder."""
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "nothing.c")
        with open(source, "w") as f:
            f.write("void *Nothing(void) { return 0; }\n")
        exports = os.path.join(work, name + ".def")
        with open(exports, "w") as f:
            f.write("EXPORTS\n" + "".join("  %s=Nothing\n" % function
                                          for function in functions))
        subprocess.run(
            ["x86_64-w64-mingw32-gcc", "-shared", "-s", "-o",
             os.path.join(folder, name + ".dll"), source, exports,
             "-Wl,--out-implib," + os.path.join(folder,
                                                "lib%s.dll.a" % name)],
            check=True)


def make_vendor(folder):
    """The engine and the plugins, with their import libraries, in folder,
    and a UI bundle in folder/data."""
    os.makedirs(os.path.join(folder, "data", "flutter_assets"))
    build_library(folder, "flutter_windows", engine_functions())
    for name, functions in PLUGINS.items():
        build_library(folder, name, functions)
    for name in ("icudtl.dat", "app.so", "flutter_assets/AssetManifest.json"):
        with open(os.path.join(folder, "data", name), "w") as f:
            f.write("vendor's " + name)
