#include "lib/bitmap/RecordsBitmap.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "lib/bitmap/RecordsBitmapStack.h"

namespace ficha {
namespace {

// The stepping rule done the slow way, one record and one 32-bit word at a
// time, on the bytes of the bitmap.
struct Reference {
  const uint8_t* bytes;
  int32_t size;
  int32_t words;

  explicit Reference(const TRecordsBitmap& b)
      : bytes(b.Bits()), size(b.Size()), words(b.WordCount()) {}
  bool Bit(int64_t r) const { return (bytes[(r - 1) / 8] >> ((r - 1) % 8)) & 1; }
  uint32_t Word(int64_t i) const {
    uint32_t w;
    std::memcpy(&w, bytes + i * 4, 4);
    return w;
  }

  bool Next(int32_t* p, int32_t k, int32_t* c, int32_t* found) const {
    *found = 0;
    int64_t r = *p + 1;
    if (r > size) return false;
    int64_t wi = (r - 1) / 32;
    for (;;) {
      for (; r <= (wi + 1) * 32; ++r) {
        if (r > size) return false;
        if (Bit(r)) {
          *p = static_cast<int32_t>(r);
          ++*c;
          if (++*found == k) return true;
        }
      }
      ++wi;
      while (wi < words && (wi + 1) * 32 <= size && Word(wi) == 0xFFFFFFFFu && *found + 32 < k) {
        *found += 32;
        *c += 32;
        ++wi;
      }
      while (wi < words && Word(wi) == 0) ++wi;
      r = wi * 32 + 1;
      if (r > size) return false;
    }
  }

  bool Prior(int32_t* p, int32_t k, int32_t* c, int32_t* found) const {
    *found = 0;
    if (*p < 2) return false;
    int64_t r = std::min<int64_t>(*p - 1, size);
    if (r < 1) return false;
    int64_t wi = (r - 1) / 32;
    for (;;) {
      for (; r > wi * 32; --r) {
        if (Bit(r)) {
          *p = static_cast<int32_t>(r);
          --*c;
          if (++*found == k) return true;
        }
      }
      --wi;
      while (wi >= 0 && Word(wi) == 0xFFFFFFFFu && *found + 32 < k) {
        *found += 32;
        *c -= 32;
        --wi;
      }
      while (wi >= 0 && Word(wi) == 0) --wi;
      if (wi < 0) return false;
      r = (wi + 1) * 32;
    }
  }
};

TEST(RecordsBitmapTest, NewBitmapIsEmpty) {
  TRecordsBitmap b;
  EXPECT_EQ(b.Size(), 0);
  EXPECT_EQ(b.Allocated(), 0);
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(b.MemberCount(), 0);
  EXPECT_EQ(b.MembersBefore(10), 0);
  EXPECT_FALSE(b.IsMember(1));
  int32_t p = 0, c = 0, found = -1;
  EXPECT_FALSE(b.NextMembers(&p, 1, &c, &found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(p, 0);
  p = 5;
  EXPECT_FALSE(b.PriorMembers(&p, 1, &c));
  b.Include(1);  // beyond the capacity: ignored, no crash
  b.Invert();
  b.ClearAll();
  b.SetAll();
  EXPECT_EQ(b.MemberCount(), 0);
}

TEST(RecordsBitmapTest, SizeCapacityAndAllocation) {
  struct Case {
    int32_t size, capacity, words, allocated;
  };
  const Case cases[] = {
      {1, 32, 1, 256},       {32, 32, 1, 256}, {33, 64, 2, 256}, {2048, 2048, 64, 256},
      {2049, 2080, 65, 512}, {0, 0, 0, 0},     {-3, 0, 0, 0},    {100000, 100000, 3125, 12544}};
  for (const Case& c : cases) {
    TRecordsBitmap b;
    b.SetSize(c.size);
    EXPECT_EQ(b.Capacity(), c.capacity) << c.size;
    EXPECT_EQ(b.WordCount(), c.words) << c.size;
    EXPECT_EQ(b.Allocated(), c.allocated) << c.size;
  }
}

TEST(RecordsBitmapTest, ResizingKeepsBitsAndNeverShrinks) {
  TRecordsBitmap b;
  b.SetSize(5000);
  b.Include(1);
  b.Include(4999);
  int32_t allocated = b.Allocated();
  b.SetSize(10);
  EXPECT_EQ(b.Allocated(), allocated);
  EXPECT_EQ(b.MemberCount(), 1);
  b.SetSize(100000);
  EXPECT_TRUE(b.IsMember(1));
  EXPECT_TRUE(b.IsMember(4999));  // kept while the buffer stayed
  EXPECT_FALSE(b.IsMember(99999));
  EXPECT_EQ(b.MemberCount(), 2);
  b.SetSize(0);  // asking for no bytes releases the buffer
  EXPECT_EQ(b.Allocated(), 0);
}

TEST(RecordsBitmapTest, RecordNumbersMapToBytesLeastSignificantFirst) {
  TRecordsBitmap b;
  b.SetSize(100);
  for (int32_t r : {1, 8, 9, 33, 100}) b.Include(r);
  const uint8_t* bytes = b.Bits();
  EXPECT_EQ(bytes[0], 0x81);
  EXPECT_EQ(bytes[1], 0x01);
  EXPECT_EQ(bytes[4], 0x01);
  EXPECT_EQ(bytes[12], 0x08);
  b.Exclude(8);
  EXPECT_EQ(bytes[0], 0x01);
}

TEST(RecordsBitmapTest, BadRecordNumbersChangeNothing) {
  TRecordsBitmap b;
  b.SetSize(40);
  for (int32_t r : {0, -5, 65, 1000000, INT32_MIN, INT32_MAX}) {
    b.Include(r);
    EXPECT_FALSE(b.IsMember(r)) << r;
  }
  EXPECT_EQ(b.MemberCount(), 0);
  b.SetAll();
  b.Exclude(0);
  b.Exclude(-1);
  EXPECT_EQ(b.MemberCount(), 40);
}

TEST(RecordsBitmapTest, InvertCountsOnlyWithinSize) {
  TRecordsBitmap b;
  b.SetSize(33);
  b.Invert();
  EXPECT_EQ(b.MemberCount(), 33);
  int32_t p = 30, c = 0;
  std::vector<int32_t> seen;
  while (b.NextMembers(&p, 1, &c)) seen.push_back(p);
  EXPECT_EQ(seen, (std::vector<int32_t>{31, 32, 33}));
  p = 100;  // beyond the size: steps back from the last record
  ASSERT_TRUE(b.PriorMembers(&p, 1, &c));
  EXPECT_EQ(p, 33);
}

TEST(RecordsBitmapTest, WholeWordOperationsStopAtTheWordCount) {
  // Three 32-bit words: the upper half of the second 64-bit word is outside.
  TRecordsBitmap a;
  a.SetSize(200);
  a.Include(120);
  a.SetSize(96);
  TRecordsBitmap ones;
  ones.SetSize(200);
  ones.SetAll();
  ones.SetSize(96);
  a.Invert();
  a.IntersectWith(ones);
  a.UniteWith(ones);
  a.SetSize(200);
  EXPECT_TRUE(a.IsMember(96));
  EXPECT_FALSE(a.IsMember(97));
  EXPECT_TRUE(a.IsMember(120));  // untouched by the three operations
  EXPECT_FALSE(a.IsMember(119));
  EXPECT_EQ(a.MemberCount(), 97);
}

TEST(RecordsBitmapTest, AndOrAgainstModel) {
  std::mt19937 rng(7);
  for (int32_t size : {1, 31, 32, 33, 64, 65, 96, 1000, 4097}) {
    TRecordsBitmap a, b;
    a.SetSize(size);
    b.SetSize(size);
    std::vector<bool> ma(size + 1), mb(size + 1);
    for (int32_t r = 1; r <= size; ++r) {
      if (rng() % 3 == 0) a.Include(r), ma[r] = true;
      if (rng() % 2 == 0) b.Include(r), mb[r] = true;
    }
    TRecordsBitmap and_ab, or_ab, not_a;
    and_ab.Assign(a);
    and_ab.IntersectWith(b);
    or_ab.Assign(a);
    or_ab.UniteWith(b);
    not_a.Assign(a);
    not_a.Invert();
    int32_t n_and = 0, n_or = 0, n_not = 0;
    for (int32_t r = 1; r <= size; ++r) {
      ASSERT_EQ(and_ab.IsMember(r), ma[r] && mb[r]) << size << " " << r;
      ASSERT_EQ(or_ab.IsMember(r), ma[r] || mb[r]) << size << " " << r;
      ASSERT_EQ(not_a.IsMember(r), !ma[r]) << size << " " << r;
      n_and += ma[r] && mb[r];
      n_or += ma[r] || mb[r];
      n_not += !ma[r];
      if (r % 7 == 0) {
        int32_t before = 0;
        for (int32_t q = 1; q < r; ++q) before += ma[q];
        ASSERT_EQ(a.MembersBefore(r), before) << size << " " << r;
      }
    }
    EXPECT_EQ(and_ab.MemberCount(), n_and);
    EXPECT_EQ(or_ab.MemberCount(), n_or);
    EXPECT_EQ(not_a.MemberCount(), n_not);
  }
}

TEST(RecordsBitmapTest, CombiningWithAShorterBitmapIsSafe) {
  TRecordsBitmap a, small;
  a.SetSize(200);
  a.SetAll();
  small.SetSize(40);
  small.SetAll();
  a.UniteWith(small);
  EXPECT_EQ(a.MemberCount(), 200);
  a.IntersectWith(small);  // records the shorter bitmap cannot hold are out
  EXPECT_EQ(a.MemberCount(), 64);
}

TEST(RecordsBitmapTest, MembersBeforeGivesOrdinals) {
  TRecordsBitmap b;
  b.SetSize(100);
  b.SetAll();
  EXPECT_EQ(b.MembersBefore(1), 0);
  EXPECT_EQ(b.MembersBefore(0), 0);
  EXPECT_EQ(b.MembersBefore(100), 99);
  EXPECT_EQ(b.MembersBefore(5000), 100);  // members lie within the size
  EXPECT_EQ(b.MemberCount(), 100);
}

// Stepping one by one visits exactly the members, forward and backward, and
// keeps the counter as the ordinal.
TEST(RecordsBitmapTest, SteppingVisitsEveryMemberAcrossWordBoundaries) {
  std::mt19937 rng(11);
  for (int32_t size : {1, 31, 32, 33, 63, 64, 65, 127, 128, 129, 1000, 3000}) {
    for (int density : {0, 1, 50, 100}) {
      TRecordsBitmap b;
      b.SetSize(size);
      std::vector<int32_t> members;
      for (int32_t r = 1; r <= size; ++r) {
        bool in = density == 100 || static_cast<int>(rng() % 100) < density;
        // Put members on the word edges too.
        if (density > 0 && (r % 32 == 0 || r % 32 == 1)) in = true;
        if (in) {
          b.Include(r);
          members.push_back(r);
        }
      }
      std::vector<int32_t> forward;
      int32_t p = 0, c = 0;
      while (b.NextMembers(&p, 1, &c)) {
        forward.push_back(p);
        ASSERT_EQ(c, static_cast<int32_t>(forward.size()));
      }
      EXPECT_EQ(forward, members) << size << " " << density;
      std::vector<int32_t> backward;
      p = size + 1;
      c = static_cast<int32_t>(members.size()) + 1;
      while (b.PriorMembers(&p, 1, &c)) {
        backward.insert(backward.begin(), p);
        ASSERT_EQ(c, static_cast<int32_t>(members.size() - backward.size() + 1));
      }
      EXPECT_EQ(backward, members) << size << " " << density;
    }
  }
}

// Multi-record steps, with their whole-word skips, agree with the rule done
// one record at a time.
TEST(RecordsBitmapTest, MultiStepsMatchTheRecordByRecordRule) {
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    int32_t size = 1 + static_cast<int32_t>(rng() % 600);
    TRecordsBitmap b;
    b.SetSize(size);
    // Runs of full and empty words mixed with scattered bits.
    for (int32_t r = 1; r <= size;) {
      int kind = static_cast<int>(rng() % 3);
      int32_t len = 1 + static_cast<int32_t>(rng() % 90);
      for (int32_t q = r; q < r + len && q <= size; ++q) {
        if (kind == 0 || (kind == 1 && rng() % 4 == 0)) b.Include(q);
      }
      r += len;
    }
    if (round % 5 == 0) b.Invert();
    Reference ref(b);
    for (int probe = 0; probe < 20; ++probe) {
      int32_t start = static_cast<int32_t>(rng() % (size + 2));
      int32_t k = 1 + static_cast<int32_t>(rng() % 120);
      int32_t p1 = start, c1 = 1000, f1 = 0, p2 = start, c2 = 1000, f2 = 0;
      bool r1 = b.NextMembers(&p1, k, &c1, &f1);
      bool r2 = ref.Next(&p2, k, &c2, &f2);
      ASSERT_EQ(r1, r2) << "next size " << size << " start " << start << " k " << k;
      ASSERT_EQ(p1, p2) << "next size " << size << " start " << start << " k " << k;
      ASSERT_EQ(c1, c2);
      ASSERT_EQ(f1, f2);
      p1 = p2 = start;
      c1 = c2 = 1000;
      r1 = b.PriorMembers(&p1, k, &c1, &f1);
      r2 = ref.Prior(&p2, k, &c2, &f2);
      ASSERT_EQ(r1, r2) << "prior size " << size << " start " << start << " k " << k;
      ASSERT_EQ(p1, p2) << "prior size " << size << " start " << start << " k " << k;
      ASSERT_EQ(c1, c2);
      ASSERT_EQ(f1, f2);
    }
  }
}

TEST(RecordsBitmapTest, FullWordSkipLeavesThePositionAtTheLastVisitedMember) {
  TRecordsBitmap b;
  b.SetSize(64);
  b.SetAll();
  int32_t p = 0, c = 0, found = 0;
  EXPECT_FALSE(b.NextMembers(&p, 100, &c, &found));
  EXPECT_EQ(found, 64);
  EXPECT_EQ(c, 64);
  EXPECT_EQ(p, 32);  // the second word was counted whole
  p = 0;
  c = 0;
  EXPECT_TRUE(b.NextMembers(&p, 64, &c, &found));
  EXPECT_EQ(p, 64);
}

TEST(RecordsBitmapTest, AssignCopiesSizeAndBits) {
  TRecordsBitmap a, b;
  a.SetSize(3000);
  a.Include(2999);
  b.SetSize(10);
  b.Assign(a);
  EXPECT_EQ(b.Size(), 3000);
  EXPECT_EQ(b.Allocated(), a.Allocated());
  EXPECT_TRUE(b.IsMember(2999));
  EXPECT_EQ(b.MemberCount(), 1);
  b.Assign(b);
  EXPECT_EQ(b.MemberCount(), 1);
}

// A copy holds the other bitmap's records and nothing else, also once it
// grows again.
TEST(RecordsBitmapTest, AssignLeavesNoOldMembersBehind) {
  TRecordsBitmap a, empty;
  a.SetSize(5000);
  a.Include(3);
  a.Include(4990);
  a.Assign(empty);
  EXPECT_EQ(a.Size(), 0);
  EXPECT_EQ(a.Allocated(), 0);  // asking for no bytes releases the buffer
  a.SetSize(5000);
  EXPECT_EQ(a.MemberCount(), 0);

  TRecordsBitmap small;
  small.SetSize(10);
  small.Include(2);
  a.Include(4990);
  a.Assign(small);
  a.SetSize(5000);
  EXPECT_TRUE(a.IsMember(2));
  EXPECT_FALSE(a.IsMember(4990));
  EXPECT_EQ(a.MemberCount(), 1);
}

// A size whose buffer cannot be had raises and leaves the bitmap as it was,
// so that its records stay within what is allocated.
TEST(RecordsBitmapTest, FailedGrowthLeavesTheBitmapAsItWas) {
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    TRecordsBitmap b;
    b.SetSize(100);
    b.Include(7);
    // Room for what the process has now plus a little, not for 256 MB more.
    long pages = 0;
    if (FILE* f = fopen("/proc/self/statm", "r")) {
      if (fscanf(f, "%ld", &pages) != 1) pages = 0;
      fclose(f);
    }
    if (pages == 0) _exit(3);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max =
        static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    try {
      b.SetSize(INT32_MAX - 31);
      _exit(4);  // the limit did not bite: nothing shown
    } catch (const std::bad_alloc&) {
    }
    if (b.Size() != 100 || b.Capacity() != 128 || b.WordCount() != 4) _exit(1);
    b.Include(100000000);  // beyond the buffer: must be ignored
    if (!b.IsMember(7) || b.MemberCount() != 1) _exit(2);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
  if (WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 4) GTEST_SKIP() << "no memory limit";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RecordsBitmapStackTest, AcquireClearsAndKeepsSize) {
  TRecordsBitmapStack pool;
  auto b = pool.Acquire();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Size(), 0);
  b->SetSize(500);
  b->SetAll();
  TRecordsBitmap* raw = b.get();
  pool.Release(b);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(pool.SpareCount(), 1u);
  auto again = pool.Acquire();
  EXPECT_EQ(again.get(), raw);
  EXPECT_EQ(again->Size(), 500);
  EXPECT_EQ(again->MemberCount(), 0);
  EXPECT_EQ(pool.SpareCount(), 0u);
  std::unique_ptr<TRecordsBitmap> empty;
  pool.Release(empty);  // nothing to take back
  EXPECT_EQ(pool.SpareCount(), 0u);
  pool.Release(again);
}

TEST(RecordsBitmapStackTest, KeepsAtMost64Spares) {
  TRecordsBitmapStack pool;
  std::vector<std::unique_ptr<TRecordsBitmap>> out;
  for (int i = 0; i < 65; ++i) out.push_back(pool.Acquire());
  for (auto& b : out) pool.Release(b);
  EXPECT_EQ(pool.SpareCount(), 64u);
  for (auto& b : out) EXPECT_EQ(b, nullptr);
}

TEST(RecordsBitmapStackTest, ProcessWidePoolIsShared) {
  auto b = RecordsBitmapPool().Acquire();
  size_t before = RecordsBitmapPool().SpareCount();
  RecordsBitmapPool().Release(b);
  EXPECT_EQ(RecordsBitmapPool().SpareCount(), before + 1);
}

// Run by the next test in a process of its own: the handler, registered before
// the process-wide pool is made, runs after the pool has been destroyed at
// exit, as the destructors of longer-lived objects would.
TEST(RecordsBitmapStackTest, DISABLED_UseAfterExitBody) {
  std::atexit(+[] {
    auto b = RecordsBitmapPool().Acquire();
    b->SetSize(100000);
    b->Include(5);
    RecordsBitmapPool().Release(b);
    auto c = RecordsBitmapPool().Acquire();
    c->SetSize(10);
    RecordsBitmapPool().Release(c);
    std::fputs("released\n", stdout);
    std::fflush(stdout);
  });
  for (int i = 0; i < 2; ++i) {
    auto b = RecordsBitmapPool().Acquire();
    b->SetSize(1000);
    RecordsBitmapPool().Release(b);
  }
}

TEST(RecordsBitmapStackTest, BitmapsHandedBackAfterThePoolIsGoneAreFreed) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl("/proc/self/exe", "test_lib_bitmap",
          "--gtest_filter=RecordsBitmapStackTest.DISABLED_UseAfterExitBody",
          "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the process crashed at exit\n" << text;
  EXPECT_EQ(WEXITSTATUS(status), 0) << text;
  EXPECT_NE(text.find("released"), std::string::npos) << text;
}

}  // namespace
}  // namespace ficha
