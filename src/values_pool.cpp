// values_pool.cpp — many stations analysed side by side on worker threads, their records
// or tables printed in the order the stations were read.
//
// The main thread reads each report and merges it (the merge may consult the station
// database, which is not shared between threads); a worker chooses the parcel, sets up the
// surface and storm motion and analyses the sounding into its own sounding and record
// (THERM_setup_merged, THERM_analyse), and writes the record for the values forms. The
// main thread prints the tables (THERM_report_analysed) or the record. Every message of a
// station, whether printed by the main thread while it searched and merged or by the
// worker while it set up and analysed, is held back and delivered in the stations' order
// where a one-thread run prints it, so the output is byte for byte that of that run.

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "zudscript.h"

namespace {

// One station on its way through the pool.
struct Job {
  long seq = 0;                   // its place in the output
  std::vector<MESS_held> before;  // messages printed for it before its analysis
  UPA_report report;              // merged report: identification and location
  UPA_sounding merged;
  int merged_rc = 0;
};

// What a worker made of a station.
struct Done {
  std::vector<MESS_held> before;  // the job's own messages first
  std::vector<MESS_held> setup;   // then those of the set-up
  std::vector<MESS_held> during;  // then the analysis' messages
  std::string record;             // values forms: the record with its line end
  // Tables: the station as analysed.
  UPA_report report;
  int merged_rc = 0;
  UPA_sounding snd;
  THERM_parcel parcel;
  THERM_record rec;
};

}  // namespace

struct THERM_values_pool::State {
  THERM_output out;
  std::vector<std::string> parcels;  // "par" items of plot_param
  bool severe = true;                // tables: the severe-weather values are shown
  Date date{};                       // of the open file, as the records carry it
  std::mutex lock;
  std::condition_variable work;      // a job was queued, or the pool is closing
  std::condition_variable finished;  // a job was done
  std::deque<Job> queue;
  std::map<long, Done> done;
  bool closing = false;
  std::vector<std::thread> workers;
  std::vector<MESS_held> pending;    // the main thread's messages since the last station
  long next_seq = 0;                 // the next station handed in
  long next_out = 0;                 // the next station to print
  std::size_t limit = 0;             // stations in flight at most
};

namespace {

// Sets up and analyses one station as the one-thread run does, each step's messages held
// in its own list, and writes its record for the values forms.
void analyse(Job& job, const THERM_values_pool::State& s, Done* d) {
  MESS_capture(&d->setup);
  THERM_setup_merged(std::move(job.merged), job.merged_rc, s.parcels, &d->snd, &d->parcel, &d->rec);
  MESS_capture(&d->during);
  const bool values = s.out.form != THERM_form::tables;
  THERM_analyse(d->snd, d->parcel, &d->rec, values || s.severe);
  if (values) {
    d->record = THERM_record_line({&job.report, &s.date, &d->snd, &d->rec}, s.out);
  }
  MESS_capture(nullptr);
  d->report = std::move(job.report);
  d->merged_rc = job.merged_rc;
}

void work(THERM_values_pool::State* s) {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> g(s->lock);
      s->work.wait(g, [s] { return s->closing || !s->queue.empty(); });
      if (s->queue.empty()) return;  // closing and nothing left
      job = std::move(s->queue.front());
      s->queue.pop_front();
    }
    Done d;
    d.before = std::move(job.before);
    analyse(job, *s, &d);
    {
      std::lock_guard<std::mutex> g(s->lock);
      s->done.emplace(job.seq, std::move(d));
    }
    s->finished.notify_all();
  }
}

}  // namespace

// Starts `workers` threads (at least one) for records in the form `out`; from here on the
// main thread's messages are held until the station they precede is printed.
THERM_values_pool::THERM_values_pool(const THERM_output& out, int workers) : s_(new State) {
  s_->out = out;
  s_->parcels = THERM_param_parcels();
  s_->severe = THERM_severe_shown();
  s_->date = *UPA_get_file_date();
  const int n = workers < 1 ? 1 : workers;
  s_->limit = static_cast<std::size_t>(2 * n);  // enough to keep every worker busy
  MESS_capture(&s_->pending);
  for (int k = 0; k < n; ++k) s_->workers.emplace_back(work, s_.get());
}

THERM_values_pool::~THERM_values_pool() { finish(); }

// Merges the report on this thread and queues its analysis; prints the stations that are
// done, in order, and waits while too many are in flight.
void THERM_values_pool::add(UPA_report* report) {
  Job job;
  job.merged_rc = UPA_merge_sounding(report, &job.merged);
  job.report = *report;
  job.before = std::move(s_->pending);
  s_->pending.clear();
  {
    std::lock_guard<std::mutex> g(s_->lock);
    job.seq = s_->next_seq++;
    s_->queue.push_back(std::move(job));
  }
  s_->work.notify_one();
  print_done(false);
}

// Prints the finished stations that are next in order; with `all`, waits for every station
// handed in. Keeps at most `limit` stations in flight.
void THERM_values_pool::print_done(bool all) {
  for (;;) {
    Done d;
    {
      std::unique_lock<std::mutex> g(s_->lock);
      const auto in_flight = [this] { return static_cast<std::size_t>(s_->next_seq - s_->next_out); };
      const bool must_wait = all ? s_->next_out < s_->next_seq : in_flight() > s_->limit;
      if (must_wait)
        s_->finished.wait(g, [this] { return s_->done.count(s_->next_out) != 0; });
      auto it = s_->done.find(s_->next_out);
      if (it == s_->done.end()) return;
      d = std::move(it->second);
      s_->done.erase(it);
      ++s_->next_out;
    }
    MESS_release(d.before);
    MESS_release(d.setup);
    if (s_->out.form == THERM_form::tables) {
      // As the one-thread run: a fresh analysis state and the file's date, then the report.
      // Its tables are printed, not held: what the main thread holds comes after them.
      MESS_capture(nullptr);
      THERM_reset();
      THERM_set_date(nullptr);
      THERM_report_analysed(&d.report, d.merged_rc, std::move(d.snd), d.parcel, std::move(d.rec),
                            d.during);
      MESS_capture(&s_->pending);
    } else {
      MESS_release(d.during);
      MESS_release({MESS_held{MESS_PRINT, std::move(d.record), 1}});
    }
  }
}

// Prints every station handed in, stops the workers and delivers the main thread's
// messages again as they are printed. Idempotent.
void THERM_values_pool::finish() {
  if (!s_ || s_->workers.empty()) return;
  print_done(true);
  {
    std::lock_guard<std::mutex> g(s_->lock);
    s_->closing = true;
  }
  s_->work.notify_all();
  for (std::thread& t : s_->workers) t.join();
  s_->workers.clear();
  MESS_capture(nullptr);
  MESS_release(s_->pending);
  s_->pending.clear();
}
