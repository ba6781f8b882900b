"""The packer under Wine with either saver image: the 32-bit and the 64-bit
saver are both packed byte for byte unchanged, and `zembra-pack list` reads
the package behind either. The other architecture's image is taken from the
sibling build folder when it was built (build/win32 next to build/win64)."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import harness  # noqa: E402
import player_scenario as ps  # noqa: E402

MACHINES = {"win32": 0x014C, "win64": 0x8664}


def pe_machine(data):
    """The COFF machine field of a PE image."""
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    (machine,) = struct.unpack_from("<H", data, pe + 4)
    return machine


def saver_images(s):
    """(arch, path) of every built saver image: this build's and its
    sibling's."""
    images = [(open(os.path.join(s.build_dir, "wine-arch")).read().strip(), s.program(ps.SAVER))]
    parent = os.path.dirname(s.build_dir)
    for arch in MACHINES:
        other = os.path.join(parent, arch)
        if other == s.build_dir or arch == images[0][0]:
            continue
        for base, _dirs, files in os.walk(other):
            if "wineprefix" in base or "scenario-runs" in base:
                continue
            if ps.SAVER in files:
                images.append((arch, os.path.join(base, ps.SAVER)))
                break
    return images


def case_either_image_is_packed_unchanged_and_listed(s):
    movie = b"#player-standin\n"
    for arch, image in saver_images(s):
        with open(image, "rb") as f:
            original = f.read()
        assert pe_machine(original) == MACHINES[arch], "%s is not a %s image" % (image, arch)
        out = ps.pack(s, "GUID={11111111-2222-3333-4444-555555555555}\nMovie=m.swf\n"
                      "Layout=per-monitor\nAboutCaption=caption %s" % arch,
                      files={"m.swf": movie}, output="Packed-%s.scr" % arch, saver=image)
        with open(out, "rb") as f:
            packed = f.read()
        assert packed[:len(original)] == original, "%s image changed by packing" % arch
        assert packed[-4:] == b"PLWS" and len(packed) > len(original) + 12
        r = ps.wine(s, s.program(ps.PACKER), "list", s.winpath(out))
        assert r.returncode == 0, r.stdout + r.stderr
        for text in ("GUID", "Movie", "caption %s" % arch):
            assert text in r.stdout, "%s: %r missing from the listing:\n%s" % (arch, text,
                                                                                r.stdout)
        print("%s image %s: packed and listed" % (arch, os.path.basename(image)))


if __name__ == "__main__":
    harness.main([case_either_image_is_packed_unchanged_and_listed])
