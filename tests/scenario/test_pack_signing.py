"""Signed savers: a packed saver signed with osslsigncode (throwaway
self-signed certificate made here with openssl) verifies, `zembra-pack list`
still reads its package and the saver still plays it; packing a saver that
is already signed takes its signature off (the packer says so), and the
result lists, plays and can be signed again."""

import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import harness  # noqa: E402
import player_scenario as ps  # noqa: E402
from harness import check  # noqa: E402

GUID = "ZembraSigned-7C21"
MANIFEST = "GUID = %s\nMovie = movie.swf\nAboutCaption = signed caption" % GUID
MOVIE = b"#player-standin\n"


def run(*cmd):
    r = subprocess.run(list(cmd), capture_output=True, text=True, timeout=120)
    check(r.returncode == 0, "%s failed (%d): %s %s" % (cmd[0], r.returncode, r.stdout,
                                                       r.stderr))
    return r.stdout


def certificate(s):
    """A throwaway self-signed code-signing certificate: (cert, key)."""
    cert, key = s.path("cert.pem"), s.path("key.pem")
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
        "-days", "2", "-subj", "/CN=Zembra Scenario Signer",
        "-addext", "extendedKeyUsage=codeSigning")
    return cert, key


def sign(cert, key, src, dst):
    run("osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Zembra scenario",
        "-in", src, "-out", dst)
    run("osslsigncode", "verify", "-CAfile", cert, dst)


def security_entry(data):
    """(offset, size) of the security directory and the CheckSum field's
    offset of a PE image."""
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    opt = pe + 24
    (magic,) = struct.unpack_from("<H", data, opt)
    dirs = opt + (112 if magic == 0x20B else 96)
    return struct.unpack_from("<II", data, dirs + 4 * 8), opt + 64


def listing(s, path):
    r = ps.wine(s, s.program(ps.PACKER), "list", s.winpath(path))
    check(r.returncode == 0, "list failed (%d): %s %s" % (r.returncode, r.stdout, r.stderr))
    for text in ("GUID", "Movie", '"%s"' % GUID, "signed caption"):
        check(text in r.stdout, "%r missing from the listing:\n%s" % (text, r.stdout))
    return r.stdout


def plays(s, scr, name):
    """Runs scr /s with the stand-in until the movie reaches the player,
    then ends it with a key."""
    ps.remove_temp_entry(s, GUID)
    ps.register_standin(s)
    log, env = ps.log_env(s, name + ".log")
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie")], 40,
                 "the movie of %s to reach the player" % name)
    time.sleep(1)
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "%s did not end with 0" % name)
    s.wait_no_process()


def case_signed_packed_saver_keeps_its_package(s):
    cert, key = certificate(s)
    packed = ps.pack(s, MANIFEST, {"movie.swf": MOVIE})
    signed = s.path("Signed.scr")
    sign(cert, key, packed, signed)
    with open(packed, "rb") as f:
        plain = f.read()
    with open(signed, "rb") as f:
        data = f.read()
    (offset, size), _ = security_entry(data)
    # The table ends the file and the package's trailer ends right before
    # it: the packer left a length that needs no padding.
    check(offset + size == len(data) and offset == len(plain), "table at %d+%d of %d (packed %d)"
          % (offset, size, len(data), len(plain)))
    check(data[offset - 4:offset] == b"PLWS", "no trailer right before the table")
    out = listing(s, signed)
    check("signed: certificate table of %d bytes" % size in out, out)
    plays(s, signed, "signed")


def case_packing_a_signed_saver_removes_the_signature(s):
    cert, key = certificate(s)
    signed_saver = s.path("SignedSaver.scr")
    sign(cert, key, s.program(ps.SAVER), signed_saver)
    pkg = s.path("pkg")
    os.makedirs(pkg, exist_ok=True)
    with open(os.path.join(pkg, "movie.swf"), "wb") as f:
        f.write(MOVIE)
    ini = os.path.join(pkg, "saver.ini")
    with open(ini, "w") as f:
        f.write("[package]\n" + MANIFEST + "\n")
    out = s.path("Repacked.scr")
    r = ps.wine(s, s.program(ps.PACKER), "build", "--saver", s.winpath(signed_saver),
                "--manifest", s.winpath(ini), "--output", s.winpath(out))
    check(r.returncode == 0, "packing failed (%d): %s %s" % (r.returncode, r.stdout, r.stderr))
    check("signature was removed" in r.stderr and "again" in r.stderr,
          "no word about signing again: %r" % r.stderr)

    with open(s.program(ps.SAVER), "rb") as f:
        bare = f.read()
    with open(out, "rb") as f:
        data = f.read()
    (offset, size), checksum_at = security_entry(data)
    check((offset, size) == (0, 0), "security directory still set: %r" % ((offset, size),))
    # The bare image comes back but for its checksum; what follows is the
    # package.
    same = data[:checksum_at] + data[checksum_at + 4:len(bare)]
    check(same == bare[:checksum_at] + bare[checksum_at + 4:], "image changed by unsigning")
    check(data[-4:] == b"PLWS", "no trailer at the end")
    # osslsigncode prints the checksum it finds; the packer's is the real
    # one (the same sum osslsigncode writes when signing).
    (stored,) = struct.unpack_from("<I", data, checksum_at)
    body = bytearray(data)
    body[checksum_at:checksum_at + 4] = b"\0\0\0\0"
    if len(body) % 2:
        body += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", bytes(body)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    check(stored == (total + len(data)) & 0xFFFFFFFF, "checksum 0x%08X is not the file's" % stored)

    listing(s, out)
    plays(s, out, "repacked")
    resigned = s.path("Resigned.scr")
    sign(cert, key, out, resigned)
    listing(s, resigned)

    # A packed saver that was signed is refused like any packed saver.
    r = ps.wine(s, s.program(ps.PACKER), "build", "--saver", s.winpath(resigned),
                "--manifest", s.winpath(ini), "--output", s.winpath(s.path("Twice.scr")))
    check(r.returncode == 2 and "already carries a package" in r.stderr,
          "re-packing a signed packed saver: %d %s" % (r.returncode, r.stderr))


if __name__ == "__main__":
    harness.main([case_signed_packed_saver_keeps_its_package,
                  case_packing_a_signed_saver_removes_the_signature])
