// ua_ingest.cpp — the upper-air ingest program: reads coded soundings (WMO TEMP text
// bulletins) from files or standard input and writes them into the converted upper-air
// files, one per observation time, where the sounding print program finds them.
//
// Each input file goes to the first reader that recognises its first bytes; adding an
// input format is adding a reader to make_readers(). Exit statuses: 0 when a file was
// written, 10 when no input file exists, 30 when nothing could be ingested.

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "zudingest.h"
#include "zudresrc.h"

namespace {

constexpr M_type kPrint = MESS_PRINT;  // the help text
constexpr M_type kWarn = MESS_WARN;    // inputs and stations not ingested
constexpr M_type kMess = MESS_MESS;    // the summary line
constexpr int kExitNoInput = 10;
constexpr int kExitNoData = 30;
constexpr std::size_t kChunk = 1 << 18;          // bytes read at a time (several pieces for two threads)
constexpr std::size_t kWriteBatch = 256;         // reports complete before a batch is written
constexpr std::size_t kShareReadsFrom = 64;      // reports from which the station files
                                                 // are read side by side
constexpr long kProgressMin = 1 << 20;           // inputs from this size show progress
constexpr int kMaxPath = 160;                    // joined file names
constexpr int kKeepHeap = 16 << 20;               // bytes of freed heap kept for reuse
constexpr const char* kStationList = "igra2-station-list.txt";
constexpr const char* kStationDb = "upa.cty";

// Keyed options this program accepts, in help order.
res_type res_key[] = {RES_help,      RES_batch,     RES_message,      RES_file_path,
                      RES_con_path,  RES_name_conv, RES_station_list, RES_hour,
                      RES_num_hour,  RES_identifier, RES_null};
// Positional options: the input file names.
res_type res_pos[] = {RES_filenames, RES_null};

// Every input format, in the order they are offered a file.
std::vector<std::unique_ptr<ING_reader>> make_readers(const ING_select* sel) {
  std::vector<std::unique_ptr<ING_reader>> r;
  r.push_back(TEMP_reader());
  r.push_back(IGRA_reader(sel));
  r.push_back(LIST_reader(sel));
  return r;
}

// A one-line count of bytes read on a terminal's standard error, erased at the end.
class Progress {
 public:
  explicit Progress(long total) : on_(total >= kProgressMin && ::isatty(2) == 1), total_(total) {}
  void add(std::size_t n) {
    done_ += static_cast<long>(n);
    if (on_ && done_ - shown_ >= kProgressMin / 4) {
      std::fprintf(stderr, "\r%ld of %ld bytes read", done_, total_);
      shown_ = done_;
    }
  }
  ~Progress() {
    if (on_ && shown_ > 0) std::fprintf(stderr, "\r%*s\r", 48, "");
  }

 private:
  bool on_;
  long total_;
  long done_ = 0;
  long shown_ = 0;
};

// The input names of the command line; "-" is standard input.
std::vector<std::string> input_names() {
  std::vector<std::string> names;
  const char* v = RES_get("filename");
  std::string cur;
  for (const char* c = v ? v : ""; *c; ++c) {
    if (*c == '\n') {
      if (!cur.empty()) names.push_back(cur);
      cur.clear();
    } else {
      cur += *c;
    }
  }
  if (!cur.empty()) names.push_back(cur);
  if (names.empty()) names.push_back("-");
  return names;
}

std::string joined_path(const char* file) {
  char path[kMaxPath] = "";
  FILE_add_path(RES_get("file_path"), file, path);
  return path;
}

// Reads one input through the first reader that recognises it. Returns false when no
// reader does.
bool ingest_file(FILE* in, const std::string& name, std::vector<std::unique_ptr<ING_reader>>& readers,
                 Progress* progress, const std::function<void(std::vector<ING_report>*)>& write) {
  // Not cleared first: the reads fill what is used, and clearing would touch every page.
  const std::unique_ptr<char[]> buf(new char[kChunk]);
  std::size_t n = std::fread(buf.get(), 1, kChunk, in);
  progress->add(n);
  ING_reader* reader = nullptr;
  for (auto& r : readers)
    if (r->recognises(buf.get(), n)) {
      reader = r.get();
      break;
    }
  if (!reader) {
    MESS_print(kWarn, "%s: no upper-air reports found\n", name.c_str());
    return false;
  }
  // Reports complete while the input is still read (archives) are written in batches.
  std::vector<ING_report> ready;
  while (n > 0) {
    reader->feed(buf.get(), n);
    reader->take_ready(&ready);
    if (ready.size() >= kWriteBatch) {
      write(&ready);
      ready.clear();
    }
    n = std::fread(buf.get(), 1, kChunk, in);
    progress->add(n);
  }
  if (std::ferror(in)) MESS_print(kWarn, "%s: read error; reports after it are lost\n", name.c_str());
  reader->end_file();
  reader->take_ready(&ready);
  if (!ready.empty()) write(&ready);
  return true;
}

// The one warning of a report whose block could not hold everything: "wmo dd hhZ: " and
// its notes joined by "; ", as "%05d %02d %02dZ: %s" prints them; the notes, a few
// hundred bytes for each of hundreds of reports of a feed, appended rather than
// formatted.
std::string notes_line(const ING_report& r) {
  char head[48];
  if (r.wmo >= 0 && r.wmo <= 99999 && r.date.day >= 0 && r.date.day <= 99 && r.date.hour >= 0 &&
      r.date.hour <= 99) {
    const auto digits = [](int v, int width, char* p) {
      for (int i = width - 1; i >= 0; --i, v /= 10) p[i] = static_cast<char>('0' + v % 10);
    };
    std::memcpy(head, "00000 00 00Z: ", 15);
    digits(r.wmo, 5, head);
    digits(r.date.day, 2, head + 6);
    digits(r.date.hour, 2, head + 9);
  } else {
    std::snprintf(head, sizeof head, "%05d %02d %02dZ: ", r.wmo, r.date.day, r.date.hour);
  }
  std::string line = head;
  for (std::size_t i = 0; i < r.notes.size(); ++i) {
    if (i > 0) line += "; ";
    line += r.notes[i].c_str();
  }
  line += '\n';
  return line;
}

// What a run has written so far.
struct Output {
  bool located = false;                  // station list and upa.cty read
  ING_stations stations;
  std::set<std::string> files;           // converted files written
  std::set<int> stations_written;
  int refused = 0;                       // reports the selection could not place
};

// Reads the station list and the station database into *st; for many reports the two
// files are read side by side, their messages delivered in the order of one thread.
void read_stations(std::size_t reports, ING_stations* st) {
  const char* list = RES_get("station_list");
  const std::string list_path = joined_path(list && *list ? list : kStationList);
  const std::string cty_path = joined_path(kStationDb);
  int listed = 0;
  auto read_list = [&] { listed = ING_read_station_list(list_path.c_str(), &st->list); };
  auto tell = [&] {
    if (listed < 0) MESS_print(kWarn, "Station list not found: %s\n", list_path.c_str());
  };
  if (reports < kShareReadsFrom) {
    read_list();
    tell();
    ING_read_cty(cty_path.c_str(), st);
    return;
  }
  std::vector<std::vector<MESS_held>> held(2);
  auto read = [&](std::size_t i) {
    if (i == 0)
      read_list();
    else
      ING_read_cty(cty_path.c_str(), st);
  };
  auto here = [&](std::size_t i) {  // held too: the list's warning comes between
    MESS_capture(&held[i]);
    read(i);
    MESS_capture(nullptr);
  };
  ING_share_ends(held, here, read);
  MESS_release(held[0]);
  tell();
  MESS_release(held[1]);
}

// Locates the selected reports and writes them, one file per observation time, into
// files that may already hold other stations (or earlier batches). The reports stay in
// `reports`: a reader's batches are cleared for the next, the last one lives to the exit,
// which hands its memory back without a free for every level list.
void write_reports(std::vector<ING_report>* reports, const ING_select& sel, Output* out) {
  // Locations from upa.cty, else from the station list (which adds upa.cty lines).
  ING_stations& stations = out->stations;
  if (!out->located && !reports->empty()) {
    out->located = true;
    read_stations(reports->size(), &stations);
  }
  out->refused += ING_keep_selected(sel, stations, reports);
  for (ING_report& r : *reports)
    if (!ING_locate(&stations, &r))
      MESS_print(kWarn, "Station %05d is in neither %s nor the station list: written without location\n",
                 r.wmo, kStationDb);

  // One file per observation time.
  // A station twice at one time (an archive holding two ascents of the hour) keeps the
  // later one: a file holds one block per station.
  std::map<std::tuple<int, int, int, int>, std::vector<ING_report*>> by_time;
  for (ING_report& r : *reports) {
    std::vector<ING_report*>& at = by_time[{r.date.year, r.date.month, r.date.day, r.date.hour}];
    auto same = std::find_if(at.begin(), at.end(), [&r](const ING_report* o) { return o->wmo == r.wmo; });
    if (same == at.end()) {
      at.push_back(&r);
      continue;
    }
    MESS_print(kWarn, "%05d %02d %02dZ: a second sounding of this time replaces the first\n", r.wmo,
               r.date.day, r.date.hour);
    *same = &r;
  }
  for (auto& [when, reps] : by_time) {
    const Date& date = reps.front()->date;
    std::string path;
    if (date.year == IMISSING || ING_file_name(date, &path) != 0) {
      MESS_print(kWarn, "No converted file name for day %02d %02dZ: %zu stations not written\n",
                 date.day, date.hour, reps.size());
      continue;
    }
    if (ING_write_file(path.c_str(), date, reps) < 0) continue;
    out->files.insert(path);
    for (ING_report* r : reps) {
      out->stations_written.insert(r->wmo);
      if (!r->notes.empty() && MESS_check(kWarn)) MESS_put(kWarn, notes_line(*r));
    }
  }
}

// The help text, then the end of the run.
void print_help() {
  char prog[RES_PROGNAME_LEN] = "";
  RES_get_progname(prog);
  MESS_print(kPrint, "%s: This program reads WMO TEMP bulletins, IGRA 2 station files and\n", prog);
  MESS_print(kPrint, "   published sounding lists and writes the soundings\n");
  MESS_print(kPrint, "   into the converted upper air files, one per observation time\n");
  RES_help_print(prog, res_key, res_pos);
  ZUD_exit(0);
}

// Inputs: every name that exists ("-" is standard input), with the sum of their sizes
// in bytes; none at all ends the run.
std::vector<std::string> usable_inputs(long* total) {
  std::vector<std::string> usable;
  for (const std::string& n : input_names()) {
    if (n == "-") {
      usable.push_back(n);
    } else if (!FILE_exist(n.c_str())) {
      MESS_print(kWarn, "No such input file: %s\n", n.c_str());
    } else if (FILE_is_dir(n.c_str())) {
      MESS_print(kWarn, "Input is a directory, not a file: %s\n", n.c_str());
    } else {
      usable.push_back(n);
      *total += std::max(0L, FILE_size(n.c_str()));
    }
  }
  if (usable.empty()) {
    MESS_print(kWarn, "No input file found\n");
    ZUD_exit(kExitNoInput);
  }
  return usable;
}

// Feeds every input to the readers, showing progress over total bytes.
void read_inputs(const std::vector<std::string>& usable, long total,
                 std::vector<std::unique_ptr<ING_reader>>& readers,
                 const std::function<void(std::vector<ING_report>*)>& write) {
  Progress progress(total);
  for (const std::string& n : usable) {
    FILE* in = n == "-" ? stdin : std::fopen(n.c_str(), "rb");
    if (!in) {
      MESS_print(kWarn, "Cannot open input file: %s\n", n.c_str());
      continue;
    }
    ingest_file(in, n == "-" ? "standard input" : n, readers, &progress, write);
    if (in != stdin) std::fclose(in);
  }
}

// Lets each reader hand over the soundings it still holds; sums their counts.
ING_counts finish_readers(std::vector<std::unique_ptr<ING_reader>>& readers,
                          std::vector<ING_report>* reports) {
  ING_counts counts;
  const std::int64_t now = FILE_get_current_time();
  for (auto& r : readers) {
    r->finish(now, reports);
    counts.bulletins += r->counts.bulletins;
    counts.reports += r->counts.reports;
    counts.nil += r->counts.nil;
    counts.rejected += r->counts.rejected;
  }
  return counts;
}

// Standard error's buffer where no one watches it: a feed gives hundreds of warnings,
// each otherwise a write of its own. The message layer empties it before anything it
// prints on standard output, and the exit empties it before standard output, so the
// order of the two streams is as printed.
char err_buf[1 << 16];

void flush_errors() { std::fflush(stderr); }

}  // namespace

int main(int argc, char** argv) {
  if (::isatty(2) != 1 && std::setvbuf(stderr, err_buf, _IOFBF, sizeof err_buf) == 0)
    std::atexit(flush_errors);
#ifdef __GLIBC__
  // A run allocates and frees a few megabytes in large pieces (file texts, a feed's
  // reports): kept in the heap for reuse rather than handed back to the system and
  // faulted in again page by page.
  mallopt(M_MMAP_THRESHOLD, kKeepHeap);
  mallopt(M_TRIM_THRESHOLD, kKeepHeap);
#endif
  RES_init(argc, argv, res_key, res_pos);
  if (FLAG_help()) print_help();
  FILE_set_name("upa_cvt");
  MESS_print_prog("UPPER AIR BULLETIN INGEST");

  long total = 0;
  const std::vector<std::string> usable = usable_inputs(&total);
  // Inputs of more than one chunk are read and written by two threads where there are two.
  if (total >= static_cast<long>(kChunk)) ING_start_worker();

  // The soundings wanted: a time window (-ho, -nh) and stations (-id). -ho is read here
  // as a window, not as the time of a file to name.
  ING_select sel;
  if (ING_set_window(RES_get("hour"), RES_get("num_hour"), FILE_get_current_time(), &sel) != 0)
    ZUD_exit(kExitNoData);
  FILE_set_time(nullptr);
  ING_set_ids(RES_get("identifier"), &sel);
  std::vector<std::unique_ptr<ING_reader>> readers = make_readers(&sel);
  Output out;
  auto write = [&sel, &out](std::vector<ING_report>* reps) { write_reports(reps, sel, &out); };
  read_inputs(usable, total, readers, write);
  std::vector<ING_report> reports;
  ING_counts counts = finish_readers(readers, &reports);
  write(&reports);
  counts.rejected += out.refused;
  int files = static_cast<int>(out.files.size());
  if (files > 0) ING_write_cty(&out.stations);

  MESS_print(kMess, "%d reports of %d stations from %d bulletins into %d files; %d NIL, %d rejected\n",
             counts.reports, static_cast<int>(out.stations_written.size()), counts.bulletins, files,
             counts.nil, counts.rejected);
  ZUD_exit(files > 0 ? 0 : kExitNoData);
}
