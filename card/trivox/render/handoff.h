// The latest value from one writer to one reader, neither ever waiting: three
// copies, and one atomic index that says which copy is the newest.
#pragma once

#include <atomic>
#include <type_traits>

namespace trivox {

template <typename T>
class Handoff {
  static_assert(std::is_trivially_copyable<T>::value, "copying a hand-over must not allocate");

 public:
  // Writer: fill spare(), then publish() makes it the latest.
  T& spare() { return m_copy[m_spare]; }
  void publish() { m_spare = m_latest.exchange(m_spare | kFresh, std::memory_order_acq_rel) & kIndex; }

  // Reader: take() swaps in the latest copy, if one came since; true then.
  // The copy read stays put until the next take().
  bool take() {
    if (!(m_latest.load(std::memory_order_relaxed) & kFresh)) return false;
    m_read = m_latest.exchange(m_read, std::memory_order_acq_rel) & kIndex;
    return true;
  }
  const T& read() const { return m_copy[m_read]; }

 private:
  static constexpr unsigned kIndex = 3, kFresh = 4;
  T m_copy[3] = {};
  std::atomic<unsigned> m_latest{1};
  unsigned m_spare = 0;  // the writer's
  unsigned m_read = 2;   // the reader's
};

}  // namespace trivox
