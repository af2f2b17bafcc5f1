#include <gtest/gtest.h>

#include "platform/mounts.h"

namespace tarvex {
namespace {

TEST(DriveMountsTest, OnlyDriveFileSystemsSortedOnceWithEscapesDecoded) {
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
      "tmpfs /dev/shm tmpfs rw 0 0\n"
      "/dev/sdc1 /data xfs rw 0 0\n"
      "/dev/sdc1 /data xfs rw 0 0\n"
      "/dev/sr0 /media/cd iso9660 ro 0 0\n"
      "broken line\n";
  EXPECT_EQ(ParseDriveMounts(table),
            (std::vector<std::string>{"/", "/data/", "/media/cd/", "/media/usb stick/"}));
}

}  // namespace
}  // namespace tarvex
