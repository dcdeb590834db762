// A set of record numbers of one table, one bit per record.
//
// Record r (r >= 1) is bit (r - 1) mod 8, least significant first, of byte
// (r - 1) div 8; equally bit (r - 1) mod 32 of little-endian 32-bit word
// (r - 1) div 32. Size is the number of records (1..size); capacity is size
// rounded up to a multiple of 32 and the word count is capacity / 32. The
// buffer is the word count x 4 bytes rounded up to a multiple of 256, zero
// when new; it never shrinks while in use, and SetSize keeps the bits it
// already holds.
//
// Combining, counting and stepping work a 64-bit word at a time, skipping
// full and empty words whole.
//
// A bitmap has no lock: it belongs to one user at a time. Bitmaps are handed
// out and taken back by the process-wide pool (RecordsBitmapPool()).
#pragma once

#include <cstdint>

namespace ficha {

class TRecordsBitmap {
 public:
  static constexpr int32_t kAllocationStep = 256;

  TRecordsBitmap();  // empty: no buffer, size 0
  ~TRecordsBitmap();

  TRecordsBitmap(const TRecordsBitmap&) = delete;
  TRecordsBitmap& operator=(const TRecordsBitmap&) = delete;

  // Sets size, capacity and word count; grows the buffer as needed. Nothing
  // when new_size equals the size. A size below 0 is taken as 0, one above
  // INT32_MAX - 31 as that. Throws std::bad_alloc, leaving the bitmap as it
  // was, when the buffer cannot grow.
  void SetSize(int32_t new_size);

  // False for record numbers below 1 or beyond the capacity.
  bool IsMember(int32_t record) const;
  // Record numbers below 1 or beyond the capacity are ignored.
  void Include(int32_t record);
  void Exclude(int32_t record);

  // Set bits among records 1..size.
  int32_t MemberCount() const;
  // Set bits among records 1..n-1 (0 when n < 2): a member's 1-based ordinal
  // is MembersBefore(r) + 1.
  int32_t MembersBefore(int32_t n) const;

  // Steps forward from record *position + 1 looking for wanted members. Every
  // member found sets *position to its number and adds 1 to *counter; whole
  // words of members that lie within the size are skipped while found + 32
  // stays below wanted, adding 32 to found and *counter without moving
  // *position. Returns true (reached) once wanted members were found, false
  // when the size was passed first. *found (if given) receives the count.
  bool NextMembers(int32_t* position, int32_t wanted, int32_t* counter,
                   int32_t* found = nullptr) const;

  // The mirror of NextMembers: from record *position - 1 down to record 1,
  // subtracting from *counter. A position below 2 gives false at once.
  bool PriorMembers(int32_t* position, int32_t wanted, int32_t* counter,
                    int32_t* found = nullptr) const;

  // this := this AND/OR other over this bitmap's word count.
  // REQUIRES: other.WordCount() >= WordCount().
  void IntersectWith(const TRecordsBitmap& other);
  void UniteWith(const TRecordsBitmap& other);
  // Complements every word of the word count (bits past the size included).
  void Invert();
  // Every allocated byte to 0 / 255; the size is unchanged.
  void ClearAll();
  void SetAll();
  // Grows this buffer to the other's allocation (releases it when the other
  // has none), takes its size and copies its allocated bytes; bytes of this
  // buffer past them are cleared.
  void Assign(const TRecordsBitmap& other);

  int32_t Size() const { return size_; }
  int32_t Capacity() const { return capacity_; }
  int32_t WordCount() const { return word_count_; }
  int32_t Allocated() const { return allocated_; }
  // The buffer (Allocated() bytes, little-endian words); nullptr when none.
  const uint8_t* Bits() const { return reinterpret_cast<const uint8_t*>(words_); }

 private:
  // Grows (never shrinks) the buffer to bytes rounded up to kAllocationStep;
  // bytes <= 0 releases it.
  void Allocate(int64_t bytes);

  uint64_t* words_ = nullptr;  // Allocated() / 8 words
  int32_t allocated_ = 0;
  int32_t size_ = 0;
  int32_t capacity_ = 0;
  int32_t word_count_ = 0;  // 32-bit words
};

}  // namespace ficha
