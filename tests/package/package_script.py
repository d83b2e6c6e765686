"""scripts/package as the release and install tests run it, and the
certificates they have it sign with."""

import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))


def run_package(env, cwd=None):
    """scripts/package with only these LQ_ variables: status, stdout lines,
    stderr lines."""
    env = dict({k: v for k, v in os.environ.items()
                if not k.startswith("LQ_")}, **env)
    result = subprocess.run([os.path.join(ROOT, "scripts", "package")],
                            env=env, capture_output=True, text=True,
                            stdin=subprocess.DEVNULL, timeout=1800, cwd=cwd)
    return (result.returncode, result.stdout.splitlines(),
            result.stderr.splitlines())


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True)


def make_certificate(folder, name, password=None):
    """A self-signed certificate for name, name.pem, and its key, name.key,
    encrypted when a password is given."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-days", "2", "-keyout",
            os.path.join(folder, name + ".key"), "-out",
            os.path.join(folder, name + ".pem"), "-subj", "/CN=" + name,
            *(["-passout", "pass:" + password] if password else ["-nodes"]))


def verifies(path, ca_file):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca_file,
                           "-in", path], capture_output=True).returncode == 0
