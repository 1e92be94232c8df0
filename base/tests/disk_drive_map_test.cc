#include "base/disk_drive_map.h"

#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "base/tests/fake_device_io.h"

namespace base {
namespace {

using namespace base_testing;

constexpr uint64_t kGiB = 1ull << 30;

bool SolidState(const DiskFacts& facts) {
  FakeDeviceIo io;
  io.Add(L"disk").responder = DiskResponder(facts);
  ScopedKernelHandle disk = io.Open(L"disk", 0, 0);
  return IsSolidStateDisk(disk.Get(), io);
}

TEST(SolidStateTest, DecidedByTrimSeekPenaltyAndRotation) {
  struct Case {
    const char* name;
    DiskFacts facts;
    bool expected;
  };
  const Case cases[] = {
      {"no query answers: counted as solid state", {}, true},
      {"TRIM off, nothing else", {false, {}, 12, {}}, false},
      {"TRIM on, no seek penalty", {true, false, 12, {}}, true},
      {"TRIM on, seek penalty", {true, true, 12, {}}, false},
      {"seek penalty in a short answer is not believed", {true, true, 8, {}}, true},
      {"TRIM fails, seek penalty", {{}, true, 12, {}}, false},
      {"rotating at 7200", {true, false, 12, 7200}, false},
      {"non-rotating media", {true, false, 12, 1}, true},
      {"rate not reported", {{}, {}, 12, 0}, true},
      {"rotation in a short answer is not believed", {true, false, 12, 7200, 512}, true},
      {"TRIM off cannot be saved by the rotation rate", {false, false, 12, 1}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(SolidState(c.facts), c.expected) << c.name;
}

TEST(SolidStateTest, AsksTheDocumentedQuestions) {
  FakeDeviceIo io;
  io.Add(L"disk").responder = DiskResponder({});
  ScopedKernelHandle disk = io.Open(L"disk", 0, 0);
  IsSolidStateDisk(disk.Get(), io);
  ASSERT_EQ(io.controls.size(), 3u);
  EXPECT_EQ(FirstWord(io.controls[0].in), 8u);  // TRIM first
  EXPECT_EQ(FirstWord(io.controls[1].in), 7u);  // then seek penalty
  EXPECT_EQ(io.controls[1].out_size, 12u);
  EXPECT_EQ(io.controls[2].code, static_cast<DWORD>(IOCTL_ATA_PASS_THROUGH));
  ASSERT_EQ(io.controls[2].in.size(), 560u);
  ATA_PASS_THROUGH_EX header{};
  std::memcpy(&header, io.controls[2].in.data(), sizeof(header));
  EXPECT_EQ(header.Length, 48u);
  EXPECT_EQ(header.AtaFlags, ATA_FLAGS_DATA_IN);
  EXPECT_EQ(header.DataTransferLength, 512u);
  EXPECT_EQ(header.TimeOutValue, 5u);
  EXPECT_EQ(header.DataBufferOffset, 48u);
  EXPECT_EQ(header.CurrentTaskFile[6], 0xEC);
}

TEST(EnumFixedDrivesTest, GroupsTheFixedVolumesByDiskNumber) {
  FakeDeviceIo io;
  STORAGE_DEVICE_NUMBER number{FILE_DEVICE_DISK, 3, 2};
  io.Add(L"\\\\.\\C:").answers[IOCTL_STORAGE_GET_DEVICE_NUMBER] = Answer(BytesOf(number));
  const DiskDriveMap map = EnumFixedDrives(io);
  ASSERT_EQ(map.disks.size(), 1u);
  EXPECT_EQ(map.disks.at(3), std::vector<wchar_t>{L'C'});
  EXPECT_TRUE(map.ssd_letters.empty());
  // Only fixed drives are asked: the rig's Z: is a network drive.
  EXPECT_FALSE(io.WasOpened(L"\\\\.\\Z:"));
  ASSERT_FALSE(io.opens.empty());
  EXPECT_EQ(io.opens[0].access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
}

TEST(EnumFixedDrivesTest, SkipsVolumesThatCannotBeAsked) {
  FakeDeviceIo short_answer;
  STORAGE_DEVICE_NUMBER number{FILE_DEVICE_DISK, 3, 2};
  short_answer.Add(L"\\\\.\\C:").answers[IOCTL_STORAGE_GET_DEVICE_NUMBER] = Answer(BytesOf(number), 8);
  EXPECT_TRUE(EnumFixedDrives(short_answer).disks.empty());

  FakeDeviceIo closed;
  closed.Add(L"\\\\.\\C:").opens = false;
  EXPECT_TRUE(EnumFixedDrives(closed).disks.empty());
}

TEST(EnumFixedDrivesTest, TheRigsRealDrives) {
  const DiskDriveMap map = EnumFixedDrives();
  bool has_c = false;
  for (const auto& [disk, letters] : map.disks) {
    has_c = has_c || std::count(letters.begin(), letters.end(), L'C') == 1;
    EXPECT_EQ(std::count(letters.begin(), letters.end(), L'Z'), 0);
  }
  EXPECT_TRUE(has_c);
}

class ChooseSsdTest : public ::testing::Test {
 protected:
  void AddDisk(uint32_t number, const DiskFacts& facts) {
    io_.Add(L"\\\\?\\PhysicalDrive" + std::to_wstring(number)).responder = DiskResponder(facts);
  }
  SsdInstallDrive Choose(DiskDriveMap& map, bool filter) {
    return ChooseSsdInstallDrive(map, filter, io_, [this](wchar_t letter) { return free_[letter]; });
  }

  FakeDeviceIo io_;
  std::map<wchar_t, uint64_t> free_;
  static constexpr DiskFacts kSsd{true, false, 12, 1};
  static constexpr DiskFacts kHdd{true, true, 12, 7200};
};

TEST_F(ChooseSsdTest, TakesTheRoomiestVolumeOfTheSolidStateDisks) {
  AddDisk(0, kHdd);
  AddDisk(1, kSsd);
  DiskDriveMap map;
  map.disks[0] = {L'C'};
  map.disks[1] = {L'D', L'E'};
  free_ = {{L'C', 900 * kGiB}, {L'D', 50 * kGiB}, {L'E', 80 * kGiB}};
  const SsdInstallDrive chosen = Choose(map, false);
  EXPECT_TRUE(chosen.found);
  EXPECT_EQ(chosen.letter, L'E');
  EXPECT_EQ(chosen.free_gib, 80u);
  EXPECT_EQ(map.ssd_letters, (std::vector<wchar_t>{L'D', L'E'}));
  EXPECT_TRUE(io_.WasOpened(L"\\\\?\\PhysicalDrive1"));
  EXPECT_EQ(io_.opens.back().access, 0u);  // query only
}

TEST_F(ChooseSsdTest, EqualWholeGibKeepsTheFirstLetterOfADisk) {
  AddDisk(0, kSsd);
  DiskDriveMap map;
  map.disks[0] = {L'D', L'E'};
  free_ = {{L'D', 100 * kGiB + 10}, {L'E', 100 * kGiB + kGiB / 2}};
  const SsdInstallDrive chosen = Choose(map, false);
  EXPECT_EQ(chosen.letter, L'D');
  EXPECT_EQ(chosen.free_gib, 100u);
}

TEST_F(ChooseSsdTest, NothingWithoutSolidStateDisksOrFreeSpace) {
  AddDisk(0, kHdd);
  AddDisk(1, kSsd);
  DiskDriveMap map;
  map.disks[0] = {L'C'};
  map.disks[1] = {L'D'};
  map.disks[2] = {L'E'};  // cannot be opened
  free_ = {{L'C', 900 * kGiB}, {L'D', kGiB - 1}, {L'E', 900 * kGiB}};
  const SsdInstallDrive chosen = Choose(map, false);
  EXPECT_FALSE(chosen.found);
  EXPECT_EQ(chosen.letter, 0);
  EXPECT_EQ(map.ssd_letters, std::vector<wchar_t>{L'D'});  // listed even without room
}

TEST_F(ChooseSsdTest, TheFilterRejectsUsbVolumes) {
  AddDisk(0, kSsd);
  DiskDriveMap map;
  map.disks[0] = {L'C'};  // the real C: answers the file-system test
  free_ = {{L'C', 40 * kGiB}};
  io_.Add(L"\\\\?\\C:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(DescriptorWithBus(BusTypeUsb));

  DiskDriveMap unfiltered = map;
  EXPECT_TRUE(Choose(unfiltered, false).found);
  const SsdInstallDrive filtered = Choose(map, true);
  EXPECT_FALSE(filtered.found);
  EXPECT_EQ(map.ssd_letters, std::vector<wchar_t>{L'C'});

  io_.Add(L"\\\\?\\C:").answers[IOCTL_STORAGE_QUERY_PROPERTY] = Answer(DescriptorWithBus(BusTypeSata));
  DiskDriveMap again;
  again.disks[0] = {L'C'};
  EXPECT_EQ(Choose(again, true).letter, L'C');
}

}  // namespace
}  // namespace base
