// Opening a database file through the Berkeley DB layer when the path names
// no regular file: refused at once as such (kNotRegular), in the same step as
// the open, whatever the mode. A named pipe is never waited on, a device
// never read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "base/berkeley_db.h"
#include "support/scratch_dir.h"

namespace indicizza {
namespace {

constexpr auto kPromptly = std::chrono::seconds(5);

struct OpeningCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> make;
  bdb::OpenMode mode;
  friend void PrintTo(const OpeningCase& c, std::ostream* os) { *os << c.name; }
};

void namedPipe(const std::filesystem::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }
void zeroDevice(const std::filesystem::path& p) { std::filesystem::create_symlink("/dev/zero", p); }
void folder(const std::filesystem::path& p) { std::filesystem::create_directory(p); }

class OpeningWhatIsNoFile : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(OpeningWhatIsNoFile, IsRefusedAtOnce) {
  testing::ScratchDir dir;
  const auto path = dir / "x.db";
  GetParam().make(path);
  bdb::Database database;
  auto opening =
      std::async(std::launch::async, [&] { return database.open(path.c_str(), GetParam().mode); });
  if (opening.wait_for(kPromptly) == std::future_status::timeout) {
    ADD_FAILURE() << "the open waited";
    // Bytes for the pipe, so that the open waiting on it can end.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    const std::string page(8192, '\0');
    if (fd >= 0) {
      EXPECT_GT(write(fd, page.data(), page.size()), 0);
      close(fd);
    }
  }
  EXPECT_EQ(opening.get().code(), Status::Code::kNotRegular);
}

INSTANTIATE_TEST_SUITE_P(
    BerkeleyDb, OpeningWhatIsNoFile,
    ::testing::Values(OpeningCase{"NamedPipeToRead", namedPipe, bdb::OpenMode::kReadOnly},
                      OpeningCase{"NamedPipeToWrite", namedPipe, bdb::OpenMode::kExisting},
                      OpeningCase{"Device", zeroDevice, bdb::OpenMode::kReadOnly},
                      OpeningCase{"Folder", folder, bdb::OpenMode::kReadOnly}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace indicizza
