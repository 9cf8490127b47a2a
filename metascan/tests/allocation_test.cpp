// No size claimed inside a file may make a reader allocate more than the file holds. This test
// program replaces the global allocation functions (the library's containers allocate through
// them) and records the largest single request while a reader runs.
#include "probe_helpers.h"

#include <atomic>
#include <new>

namespace {
std::atomic<std::size_t> largestRequest{0};

void* allocate(std::size_t size) {
  std::size_t seen = largestRequest.load();
  while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace metascan::testing {
namespace {

struct HugeClaim {
  const char* name;
  Reader read;
  ByteVec bytes;
};

std::vector<HugeClaim> hugeClaims() {
  std::vector<HugeClaim> claims;

  ByteVec asf = asfHeader({asfContentDescription(utf16le(u"Song"), {}, {}, {}, {})});
  ByteVec asfHeaderSize = asf;
  writeLe32(asfHeaderSize, 16, 0xFFFFFFF0);
  claims.push_back({"ASF header size", parse_wmv, asfHeaderSize});
  ByteVec asfObjectSize = asf;
  writeLe32(asfObjectSize, 30 + 16, 0xFFFFFFF0);
  asfObjectSize[30 + 24] = 0xFF;  // title length 65535
  asfObjectSize[30 + 25] = 0xFF;
  claims.push_back({"ASF object size and text length", parse_wmv, asfObjectSize});

  ByteVec rmContentSize = cat({rmFileHeader(), rmContent("Title", "", "", "")});
  writeBe32(rmContentSize, 18 + 4, 0xFFFFFFFF);
  claims.push_back({"RealMedia CONT size", parse_rm, rmContentSize});

  ByteVec moov = atom("moov", {atom("udta", {userDataText("nam", "Title")})});
  ByteVec moovSize = moov;
  writeBe32(moovSize, 0, 0xFFFFFFFF);
  claims.push_back({"QuickTime atom size", parse_mov, moovSize});
  claims.push_back({"QuickTime 64-bit atom size", parse_mov,
                    cat({ByteWriter().be32(1).text("moov").be64(std::uint64_t{1} << 62).data(), moov})});
  ByteVec childSize = moov;
  writeBe32(childSize, 8, 0xFFFFFFF0);
  claims.push_back({"QuickTime child size", parse_mov, childSize});
  return claims;
}

TEST(AllocationBound, HugeDeclaredSizesNeverAllocateMoreThanTheFile) {
  for (const HugeClaim& claim : hugeClaims()) {
    TempFile file(claim.bytes);
    TagRecord record;
    largestRequest = 0;
    int result = claim.read(file.path().c_str(), &record.info);
    std::size_t largest = largestRequest.load();
    EXPECT_LE(largest, claim.bytes.size()) << claim.name;
    EXPECT_TRUE(result == METASCAN_OK || result == METASCAN_ERROR) << claim.name;
  }
}

}  // namespace
}  // namespace metascan::testing
