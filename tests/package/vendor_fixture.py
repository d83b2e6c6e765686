"""A vendor's engine, plugins and UI data; no copies of our simulator."""

import os
import re
import subprocess

PLUGINS = {name: [plugin + "RegisterWithRegistrar"] for name, plugin in [
    ("screen_retriever_windows_plugin", "ScreenRetrieverWindowsPluginCApi"),
    ("system_tray_plugin", "SystemTrayPlugin"),
    ("window_manager_plugin", "WindowManagerPlugin")]}


def make_vendor(folder):
    os.makedirs(os.path.join(folder, "data", "flutter_assets"))
    host = os.path.join(os.path.dirname(__file__), "..", "..", "host")
    headers = ""
    for name in ("flutter_windows.h", "flutter_messenger.h"):
        with open(os.path.join(host, name)) as f:
            headers += f.read()
    engine = re.findall(r"^FLUTTER_EXPORT\s[^;{(]*?(\w+)\s*\(", headers, re.M)
    for name, functions in dict(PLUGINS, flutter_windows=engine).items():
        path = os.path.join(folder, name)
        with open(path + ".def", "w") as f:
            f.write("EXPORTS\n" + "".join(n + "=Nothing\n" for n in functions))
        subprocess.run(["x86_64-w64-mingw32-gcc", "-shared", "-s", "-o",
                        path + ".dll", "-x", "c", "-", "-x", "none",
                        path + ".def", "-Wl,--out-implib,%s/lib%s.dll.a" %
                        (folder, name)],
                       input=b"void *Nothing(void) { return 0; }", check=True)
    for name in ("icudtl.dat", "app.so", "flutter_assets/AssetManifest.json"):
        with open(os.path.join(folder, "data", name), "w") as f:
            f.write("vendor's " + name)
