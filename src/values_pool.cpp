// values_pool.cpp — the analysis values of many stations computed side by side on worker
// threads, printed in the order the stations were read.
//
// The main thread reads each report and merges it (the merge may consult the station
// database, which is not shared between threads); a worker chooses the parcel, sets up the
// surface and storm motion, analyses the sounding and writes the record, all into its own
// sounding and record (THERM_analyse_merged). Every message of a station, whether printed
// by the main thread while it searched and merged or by the worker while it analysed, is
// held back and delivered with the record in the stations' order, so the output is byte
// for byte that of the one-thread run.

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
  std::vector<MESS_held> during;  // then the analysis' messages
  std::string record;             // then the record with its line end
};

}  // namespace

struct THERM_values_pool::State {
  THERM_output out;
  std::vector<std::string> parcels;  // "par" items of plot_param
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

// The record of one station, analysed as the one-thread run analyses it.
std::string station_record(const Job& job, const THERM_output& out,
                           const std::vector<std::string>& parcels, const Date* date) {
  UPA_sounding snd;
  THERM_record rec;
  THERM_analyse_merged(job.merged, job.merged_rc, parcels, &snd, &rec);
  const THERM_station st{&job.report, date, &snd, &rec};
  std::string line = out.form == THERM_form::json ? THERM_json_line(st, out.levels) : THERM_csv_row(st);
  line += '\n';
  return line;
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
    MESS_capture(&d.during);
    d.record = station_record(job, s->out, s->parcels, &s->date);
    MESS_capture(nullptr);
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
  s_->date = *UPA_get_file_date();
  const int n = workers < 1 ? 1 : workers;
  s_->limit = static_cast<std::size_t>(4 * n);
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
    MESS_release(d.during);
    MESS_release({MESS_held{MESS_PRINT, std::move(d.record), 1}});
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
