// ing_jobs.cpp — the second thread of the ingest: how many threads it may use, and one
// piece of work run on a worker thread beside the calling one.
//
// An ingest is short (tens of milliseconds for a whole feed) and its pieces of parallel
// work shorter still (a millisecond or two each), so the worker is started once, as soon
// as the program knows its input is large, and then waits for work by polling for a
// while before it sleeps: a sleeping thread, and on a virtual machine the idle processor
// under it, can take as long to wake as a piece of work takes to do. The worker's
// messages are held and handed to the caller, who delivers them where a one-thread run
// prints them, so that the output does not depend on the threads.

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <thread>

#include "zudingest.h"

namespace {

constexpr int kMaxJobs = 2;  // the work is split in two at most
// How long the worker polls for work before it sleeps: longer than the gaps between the
// pieces of one ingest, short against a run.
constexpr auto kPollFor = std::chrono::milliseconds(5);
constexpr int kPollBatch = 256;  // polls between looks at the clock
// Heap the worker faults in when it starts, while the caller has other things to do: a
// page is given by the system at its first write, and the first writes would otherwise
// fall in the pieces of work, the caller's on the critical path. Of the caller's heap
// about what a feed's reports take; of its own, about its share of them. Where the system
// can fault in a range without writing it (Linux 5.14 on), the blocks are handed back to
// the heap at once and faulted in while they are used; elsewhere the worker writes a byte
// in each page of a block it holds, and the caller frees it once that is done.
constexpr std::size_t kWarmCaller = 3 << 20;
constexpr std::size_t kWarmOwn = 3 << 19;
constexpr std::size_t kPage = 4096;

int jobs = 0;  // ING_set_jobs; 0: one per processor, below 0: halves on one thread

void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits until `a` holds something other than `old`: polls for kPollFor, letting other
// threads of this processor run between polls, then sleeps. Returns the new value.
unsigned wait_change(const std::atomic<unsigned>& a, unsigned old) {
  const auto until = std::chrono::steady_clock::now() + kPollFor;
  for (;;) {
    for (int i = 0; i < kPollBatch; ++i) {
      const unsigned v = a.load(std::memory_order_acquire);
      if (v != old) return v;
      cpu_relax();
    }
    if (std::chrono::steady_clock::now() >= until) break;
    std::this_thread::yield();
  }
  a.wait(old, std::memory_order_acquire);
  return a.load(std::memory_order_acquire);
}

// The processors a thread may use other than `cpu` (the caller's when the worker
// starts), in *set; false when there are no two to choose from or `cpu` is unknown. A
// worker the scheduler placed beside the caller would take the caller's time: at its
// start (a new thread is first run where it was made, ahead of its maker) and whenever
// another program holds the other processor.
bool others_than(int cpu, cpu_set_t* set) {
  CPU_ZERO(set);
  if (cpu < 0 || ::sched_getaffinity(0, sizeof *set, set) != 0) return false;
  if (!CPU_ISSET(cpu, set) || CPU_COUNT(set) < 2) return false;
  CPU_CLR(cpu, set);
  return true;
}

// Has the system fault in the whole pages of [p, p + n) as for a write, without changing
// what they hold, so that memory in use by another thread may be among them; false
// where it cannot.
bool populate(std::uintptr_t at, std::size_t n) {
#if defined(__linux__)
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14
  const std::uintptr_t from = (at + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t to = (at + n) & ~(kPage - 1);
  return to <= from || ::madvise(reinterpret_cast<void*>(from), to - from, kPopulateWrite) == 0;
#else
  (void)at;
  (void)n;
  return false;
#endif
}

// A block's address as a number, still wanted after the block is freed.
std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Writes a byte in every page of [p, p + n).
void touch_pages(char* p, std::size_t n) {
  volatile char* v = p;  // the writes are the point: none may be left out
  for (std::size_t i = 0; i < n; i += kPage) v[i] = 0;
}

// The worker thread and the one task open to it at a time. The caller works on its own
// task meanwhile (ING_share_ends: both take pieces of one piece of work, from its two
// ends, until they meet), and the worker may find nothing left: a worker kept from a
// processor (a busy machine) never holds the caller up for more than the piece it has
// in hand.
class Worker {
 public:
  // Starts the thread; false when none can be had.
  bool start() {
    const int caller_cpu = ::sched_getcpu();
    warm_ = static_cast<char*>(std::malloc(kWarmCaller));  // from the caller's heap
    // Whether the system can fault in without writing, tried on the block's first whole
    // page (two pages' length from its unaligned start holds one).
    if (warm_ != nullptr && populate(address(warm_), 2 * kPage)) {
      in_use_ = address(warm_);
      std::free(warm_);  // in use from now on, faulted in by the worker meanwhile
      warm_ = nullptr;
    }
    // The thread is placed on another processor as it is made, before it first runs.
    pthread_attr_t attr;
    if (::pthread_attr_init(&attr) != 0) return fail_start();
    cpu_set_t set;
    if (others_than(caller_cpu, &set)) ::pthread_attr_setaffinity_np(&attr, sizeof set, &set);
    const int made = ::pthread_create(&thread_, &attr, &Worker::thread_main, this);
    ::pthread_attr_destroy(&attr);
    if (made != 0) return fail_start();
    started_ = true;
    return true;
  }
  bool started() const { return started_; }
  // Opens `task` to the worker and runs `mine` here; returns when `mine` has ended and
  // the worker's run of `task`, if it took it, has too.
  void share(const std::function<void()>& mine, const std::function<void()>& task) {
    if (warm_ != nullptr && warmed_.load(std::memory_order_acquire)) {
      std::free(warm_);  // its pages, written, serve the caller's next allocations
      warm_ = nullptr;
    }
    task_ = &task;
    const unsigned n = ++count_;
    open_.store(n, std::memory_order_release);
    open_.notify_one();
    mine();
    unsigned expect = n;
    if (!open_.compare_exchange_strong(expect, kNone, std::memory_order_acq_rel)) {
      unsigned f = finished_.load(std::memory_order_acquire);
      while (f != n) f = wait_change(finished_, f);
    }
    task_ = nullptr;
  }
  ~Worker() {
    if (!started_) return;
    open_.store(kQuit, std::memory_order_release);
    open_.notify_one();
    ::pthread_join(thread_, nullptr);
    std::free(warm_);
  }

 private:
  static constexpr unsigned kNone = 0;    // open_: no task open
  static constexpr unsigned kQuit = ~0u;  // open_: the worker is to end

  // The worker thread: faults in heap, then takes tasks until told to end.
  static void* thread_main(void* self) {
    auto* w = static_cast<Worker*>(self);
    w->warm();
    w->run();
    return nullptr;
  }
  // No thread after all: the caller's block is handed back.
  bool fail_start() {
    std::free(warm_);
    warm_ = nullptr;
    return false;
  }

  // Faults in the caller's block, then a block of its own heap.
  void warm() {
    if (in_use_ != 0) {
      populate(in_use_, kWarmCaller);
      if (void* own = std::malloc(kWarmOwn)) {
        const std::uintptr_t at = address(own);
        std::free(own);
        populate(at, kWarmOwn);
      }
      return;
    }
    if (warm_ != nullptr) touch_pages(warm_, kWarmCaller);
    warmed_.store(true, std::memory_order_release);
    if (char* own = static_cast<char*>(std::malloc(kWarmOwn))) {
      touch_pages(own, kWarmOwn);
      std::free(own);
    }
  }

  void run() {
    for (;;) {
      unsigned n = wait_change(open_, kNone);
      if (n == kQuit) return;
      if (!open_.compare_exchange_strong(n, kNone, std::memory_order_acq_rel)) continue;
      (*task_)();
      finished_.store(n, std::memory_order_release);
      finished_.notify_one();
    }
  }

  pthread_t thread_{};
  bool started_ = false;
  const std::function<void()>* task_ = nullptr;  // written before the task is opened
  unsigned count_ = 0;                           // tasks opened so far (caller only)
  std::atomic<unsigned> open_{kNone};            // number of the task open to the worker
  std::atomic<unsigned> finished_{0};            // the last task the worker finished
  char* warm_ = nullptr;                         // caller's heap for the worker to fault in
  std::atomic<bool> warmed_{false};              // ... and it has
  std::uintptr_t in_use_ = 0;                    // or the same, already handed back
};

// The process's worker, stopped and joined at exit.
Worker& worker() {
  static Worker w;
  return w;
}

}  // namespace

void ING_set_jobs(int n) { jobs = n; }

int ING_jobs() {
  if (jobs < 0) return kMaxJobs;  // the work is cut as for two threads
  if (jobs > 0) return std::min(jobs, kMaxJobs);
  // The processor count is read from the system once: each reading opens a file.
  static const unsigned cpus = std::thread::hardware_concurrency();
  return cpus >= 2 ? kMaxJobs : 1;
}

void ING_start_worker() {
  if (jobs >= 0 && ING_jobs() > 1 && !worker().started()) worker().start();
}

std::size_t ING_share_ends(std::span<std::vector<MESS_held>> held,
                           const std::function<void(std::size_t)>& mine,
                           const std::function<void(std::size_t)>& other) {
  const std::size_t n = held.size();
  std::vector<std::atomic<bool>> taken(n);  // a piece is run by whoever sets its flag
  std::size_t m = 0;
  const std::function<void()> from_front = [&] {
    for (; m < n && !taken[m].exchange(true, std::memory_order_acq_rel); ++m) mine(m);
  };
  const std::function<void()> from_back = [&] {
    for (std::size_t i = n; i-- > 0 && !taken[i].exchange(true, std::memory_order_acq_rel);) {
      MESS_capture(&held[i]);
      other(i);
      MESS_capture(nullptr);
    }
  };
  if (jobs < 0) {  // the back half as the worker runs it, after the front half
    for (std::size_t i = n / 2; i < n; ++i) taken[i] = true;
    from_front();
    for (std::size_t i = n; i-- > n / 2;) taken[i] = false;
    from_back();
    return m;
  }
  if (n > 1) ING_start_worker();
  if (n > 1 && ING_jobs() > 1 && worker().started())
    worker().share(from_front, from_back);
  else
    from_front();  // one thread, or none to be had (a resource limit): every piece here
  return m;
}
