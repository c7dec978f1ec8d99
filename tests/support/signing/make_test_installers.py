#!/usr/bin/env python3
"""Makes the signed stand-in installers the trust tests check.

A fresh test PKI is generated on every run, into the build tree only:
a root CA, leaves issued by it (the expected signer and its near misses,
wrong usages, an expired one) and a self-signed impostor. The stand-in
program with an overlay appended plays the installer; each leaf signs a
copy with osslsigncode, and some signed copies are then tampered with.

usage: make_test_installers.py STAND_IN_EXE OUT_DIR SIGNER
Writes OUT_DIR/root.cer (DER) and OUT_DIR/installers/<case>.exe.
"""
import os
import shutil
import datetime
import struct
import subprocess
import sys
import tempfile

OVERLAY_SIZE = 64 * 1024
# A signer's name with Chinese characters; the probe program holds the same.
GBK_SIGNER = "Tavrel 测试签名, Inc."

# case: (leaf name, O, CN, extensions, issuer) - issuer "self" is self-signed.
# The names are filled in from the expected signer.
CODE_SIGNING = """basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
"""
SERVER_ONLY = """basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=serverAuth
"""
NO_USAGE_LIST = """basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
"""
ROOT = """basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
"""


def run(*args, cwd=None):
    result = subprocess.run(list(args), cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode(errors="replace"))
        raise SystemExit(f"failed: {' '.join(args)}")


def subject(o, cn):
    def esc(v):
        return v.replace("\\", "\\\\").replace("/", "\\/")
    return f"/O={esc(o)}/CN={esc(cn)}"


def stamp(moment):
    return moment.strftime("%Y%m%d%H%M%SZ")


NOW = datetime.datetime.now(datetime.timezone.utc)
# Valid from yesterday, so a clock a little behind still finds them valid.
CURRENT = (stamp(NOW - datetime.timedelta(days=1)), stamp(NOW + datetime.timedelta(days=730)))
# Long expired, and inside the root's lifetime, so expiry is its only fault.
EXPIRED = ("20200101000000Z", "20210101000000Z")
ROOT_LIFETIME = ("20190101000000Z", stamp(NOW + datetime.timedelta(days=3650)))


class Pki:
    def __init__(self, work):
        self.work = work
        self.key = os.path.join(work, "leaf.key")
        self.root_key = os.path.join(work, "root.key")
        self.root_pem = os.path.join(work, "root.pem")
        os.makedirs(os.path.join(work, "issued"), exist_ok=True)
        self._write("index.txt", "")
        self._write("serial", "1000\n")
        # One key serves every leaf: the tests are about names, usages and
        # trust, and RSA key generation is the slow part.
        run("openssl", "genrsa", "-out", self.key, "2048")
        run("openssl", "genrsa", "-out", self.root_key, "2048")
        self._certify("root", self.root_key, "Tavrel Test PKI", "Tavrel Test Root", ROOT, ROOT_LIFETIME,
                      self_signed=True, out=self.root_pem)

    def _write(self, name, text):
        path = os.path.join(self.work, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def _certify(self, name, key, o, cn, ext, dates, self_signed=False, out=None):
        """A certificate for key, issued by the root or by itself."""
        csr = os.path.join(self.work, name + ".csr")
        crt = out or os.path.join(self.work, name + ".crt")
        plain = self._write("req.cnf", "[req]\ndistinguished_name=dn\nstring_mask=utf8only\n[dn]\n")
        run("openssl", "req", "-new", "-utf8", "-key", key, "-out", csr, "-subj", subject(o, cn), "-config", plain)
        w = self.work
        config = self._write("ca.cnf", f"""[ca]
default_ca=test
[test]
dir={w}
database={w}/index.txt
serial={w}/serial
new_certs_dir={w}/issued
certificate={self.root_pem}
private_key={self.root_key}
default_md=sha256
policy=anything
unique_subject=no
copy_extensions=none
email_in_dn=no
[anything]
organizationName=optional
commonName=optional
[v3]
{ext}""")
        issuer = ["-selfsign", "-keyfile", key] if self_signed else []
        run("openssl", "ca", "-batch", "-utf8", "-preserveDN", "-notext", "-config", config, "-extensions", "v3",
            *issuer, "-in", csr, "-out", crt, "-startdate", dates[0], "-enddate", dates[1])
        return crt

    def issue(self, name, o, cn, ext, dates=CURRENT):
        """Leaf issued by the root; returns the chain file (leaf, root)."""
        crt = self._certify(name, self.key, o, cn, ext, dates)
        chain = os.path.join(self.work, name + "-chain.pem")
        with open(chain, "wb") as out:
            for part in (crt, self.root_pem):
                with open(part, "rb") as f:
                    out.write(f.read())
        return chain

    def self_signed(self, name, o, cn, ext):
        return self._certify(name, self.key, o, cn, ext, CURRENT, self_signed=True)

    def root_der(self, path):
        run("openssl", "x509", "-in", self.root_pem, "-outform", "DER", "-out", path)


def sign(chain, key, src, dst):
    if os.path.exists(dst):
        os.remove(dst)
    run("osslsigncode", "sign", "-certs", chain, "-key", key, "-h", "sha256", "-n", "Tavrel stand-in installer",
        "-in", src, "-out", dst)


def pe_sections(data):
    """(name, raw offset, raw size) of each section of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    sections = []
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0").decode(errors="replace")
        raw_size, raw_offset = struct.unpack_from("<II", data, entry + 16)
        sections.append((name, raw_offset, raw_size))
    return sections


def flip_byte(src, dst, offset):
    with open(src, "rb") as f:
        data = bytearray(f.read())
    data[offset] ^= 0x01
    with open(dst, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    stand_in, out_dir, signer = sys.argv[1], sys.argv[2], sys.argv[3]
    installers = os.path.join(out_dir, "installers")
    shutil.rmtree(installers, ignore_errors=True)
    os.makedirs(installers)
    work = os.path.join(out_dir, "pki")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    pki = Pki(work)
    pki.root_der(os.path.join(out_dir, "root.cer"))

    # The installer: the program followed by a payload, as real installers carry.
    with open(stand_in, "rb") as f:
        program = f.read()
    overlay = bytes((i * 7 + 13) & 0xFF for i in range(OVERLAY_SIZE))
    unsigned = os.path.join(installers, "unsigned.exe")
    with open(unsigned, "wb") as f:
        f.write(program + overlay)

    def dest(case):
        return os.path.join(installers, case + ".exe")

    leaves = {
        "good": (signer, signer, CODE_SIGNING),
        "other-signer": ("Tavrel Other Signer Ltd", "Tavrel Other Signer Ltd", CODE_SIGNING),
        "near-miss": (signer + " Ltd", signer + " Ltd", CODE_SIGNING),
        "case-differs": (signer.upper(), signer.upper(), CODE_SIGNING),
        "organisation-only": (signer, "Tavrel Other Signer Ltd", CODE_SIGNING),
        "common-name-only": ("Tavrel Other Signer Ltd", signer, CODE_SIGNING),
        "gbk-name": (GBK_SIGNER, GBK_SIGNER, CODE_SIGNING),
        "server-auth-only": (signer, signer, SERVER_ONLY),
        "no-usage-list": (signer, signer, NO_USAGE_LIST),
    }
    for case, (o, cn, ext) in leaves.items():
        sign(pki.issue(case, o, cn, ext), pki.key, unsigned, dest(case))
    sign(pki.issue("expired", signer, signer, CODE_SIGNING, EXPIRED),
         pki.key, unsigned, dest("expired"))
    sign(pki.self_signed("impostor", signer, signer, CODE_SIGNING), pki.key, unsigned, dest("impostor"))

    with open(dest("good"), "rb") as f:
        good = f.read()
    sections = pe_sections(good)
    text = next(s for s in sections if s[0] == ".text")
    flip_byte(dest("good"), dest("code-changed"), text[1] + text[2] // 2)
    flip_byte(dest("good"), dest("overlay-changed"), len(program) + OVERLAY_SIZE // 2)
    with open(dest("data-appended"), "wb") as f:
        f.write(good + b"appended after the signature")


if __name__ == "__main__":
    main()
