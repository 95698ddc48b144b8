"""The package's summary information made the same on every build:

    summary.py times MSI EPOCH   sets its creation and last-saved times (which wixl takes from
                                 the clock) to EPOCH, in place
    summary.py product VERSION   prints the product code of that version: each version its own,
                                 for Windows Installer upgrades from one product to another
    summary.py code MSI NAME     prints the package code for it: derived from NAME and the
                                 package's bytes with the code zeroed, so that another package
                                 gets another code and a rebuild the same one
"""

import hashlib
import struct
import sys
import uuid

SUMMARY_FORMAT = uuid.UUID("F29F85E0-4FF9-1068-AB91-08002B27B3D9").bytes_le
PID_CREATE_TIME, PID_LAST_SAVE_TIME = 12, 13
VT_FILETIME = 64
PACKAGE_NAMESPACE = uuid.UUID("0b9b7a54-61f4-5c1d-8e2f-3a4c5d6e7f80")
PRODUCT_NAMESPACE = uuid.UUID("c3a1e7d2-94b8-5f06-a1c3-5e7f9b2d4a68")


def set_times(path, epoch):
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        # The stream is a few hundred bytes, which libmsi writes in one piece; the caller checks
        # the result with msiinfo all the same.
        if data.count(SUMMARY_FORMAT) != 1:
            sys.exit("%s: no single summary information stream" % path)
        stream = data.index(SUMMARY_FORMAT) - 28
        section = stream + struct.unpack_from("<I", data, stream + 44)[0]
        count = struct.unpack_from("<I", data, section + 4)[0]
        filetime = (epoch + 11644473600) * 10**7  # 100 ns since 1601
        done = 0
        for i in range(count):
            pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * i)
            if pid in (PID_CREATE_TIME, PID_LAST_SAVE_TIME):
                assert struct.unpack_from("<I", data, section + offset)[0] == VT_FILETIME
                struct.pack_into("<Q", data, section + offset + 4, filetime)
                done += 1
        if done != 2:
            sys.exit("%s: the summary information lacks its times" % path)
        f.seek(0)
        f.write(data)


if __name__ == "__main__":
    if sys.argv[1] == "times":
        set_times(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "product":
        print("{%s}" % str(uuid.uuid5(PRODUCT_NAMESPACE, "Tolvarin " + sys.argv[2])).upper())
    else:
        with open(sys.argv[2], "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        print("{%s}" % str(uuid.uuid5(PACKAGE_NAMESPACE, sys.argv[3] + " " + digest)).upper())
