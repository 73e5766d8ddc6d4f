// A tmpfs of a few hundred kilobytes over a fresh temporary directory, for
// tests of a full or read-only disk. Mounting needs privileges a test run
// may lack: tests skip when mounted is false.
#pragma once

#include <sys/mount.h>

#include <cstddef>
#include <string>

#include "tests/support/tempdir.h"

namespace qorvan::testing {

struct SmallDisk {
    TempDir dir;
    bool mounted = false;

    explicit SmallDisk(std::size_t kilobytes)
    {
        const std::string size = "size=" + std::to_string(kilobytes) + "k";
        mounted = ::mount("tmpfs", dir.str().c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted) ::umount2(dir.str().c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
};

} // namespace qorvan::testing
