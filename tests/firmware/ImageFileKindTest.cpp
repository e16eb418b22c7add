// A firmware image chosen as a folder, a FIFO or a device: refused by kind, never opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "firmware/FirmwareImages.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

TEST(FirmwareImageFileKind, FolderFifoAndDeviceAreRefusedWithoutBlocking) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "folder.mmc");
    const auto folder = ReadEscImage(dir / "folder.mmc");
    ASSERT_FALSE(folder.Ok());
    EXPECT_EQ(folder.Kind(), ProblemKind::Folder);
    EXPECT_EQ(folder.Detail(),
              (dir / "folder.mmc").string() + ": is a folder, not a firmware image");

    const std::filesystem::path fifo = dir / "pipe.xup";
    test::MakeFifo(fifo);
    std::string problem;
    ASSERT_TRUE(test::EndsWithoutBlocking(
        [&] {
            const auto card = ReadCardImage(fifo);
            problem = card.Ok() ? "" : card.Detail();
        },
        fifo));
    EXPECT_NE(problem.find("is not a regular file but a FIFO"), std::string::npos) << problem;

    const auto device = ReadEscImage("/dev/zero");
    ASSERT_FALSE(device.Ok());
    EXPECT_EQ(device.Kind(), ProblemKind::NotRegular);
    EXPECT_NE(device.Detail().find("a character device"), std::string::npos) << device.Detail();
}

}  // namespace
}  // namespace vorna
