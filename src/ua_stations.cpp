// ua_stations.cpp — the stations of one run when the identifier resource names several:
// a comma-separated list or "all".
//
// Searching the file anew for every listed station would read a large file once per
// station. Instead the file is read forward once: every station passed on the way is
// noted (its first occurrence by identifier and by WMO number), so a listed station that
// lies behind the reader is found in the notes and read again by its number, and one that
// lies ahead is found by reading on. Only a list that turns back in the file costs a
// rewind; the answer is always the first matching station of the file, as a single
// search gives.

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "zudresrc.h"
#include "zudscript.h"
#include "zudunits.h"

namespace {

constexpr int kAnswerLen = 10;  // longest identifier kept, as at the station prompt

// The WMO number an answer stands for when it starts with a digit, else missing.
int wanted_wmo(const std::string& id) {
  if (id.empty() || !std::isdigit(static_cast<unsigned char>(id[0]))) return IMISSING;
  errno = 0;
  const long n = std::strtol(id.c_str(), nullptr, 10);
  if (errno == ERANGE || n > INT_MAX) return IMISSING;
  return static_cast<int>(n);
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// What the reader has passed so far: the first station number of every identifier
// (upper case) and WMO number met, and the number of the next station to identify.
class StationNotes {
 public:
  // The number of the first station matching `id`, reading on as far as needed; -1 when
  // no station of the file matches.
  int find(const std::string& id) {
    const int wmo = wanted_wmo(id);
    const std::string key = upper(id);
    for (;;) {
      const int seen = noted(key, wmo);
      if (seen >= 0) return seen;
      if (at_end_ || !identify_next()) return -1;
    }
  }

 private:
  int noted(const std::string& key, int wmo) const {
    int best = -1;
    if (auto it = by_id_.find(key); it != by_id_.end()) best = it->second;
    if (wmo != IMISSING)
      if (auto it = by_wmo_.find(wmo); it != by_wmo_.end() && (best < 0 || it->second < best))
        best = it->second;
    return best;
  }

  // Identifies station next_ and notes it. False at the end of the file.
  bool identify_next() {
    UPA_report ident;
    if (UPA_read(UPA_file_handle(), &ident, UPA_REP_IDENT, &next_) != 0) {
      at_end_ = true;
      return false;
    }
    by_id_.emplace(upper(ident.id), next_);
    if (ident.wmo != IMISSING) by_wmo_.emplace(ident.wmo, next_);
    ++next_;
    return true;
  }

  std::unordered_map<std::string, int> by_id_;
  std::unordered_map<int, int> by_wmo_;
  int next_ = 0;
  bool at_end_ = false;
};

// Every station of the file in file order. Returns 0 (nothing can be missing).
int each_in_file(const UPA_station_visit& visit) {
  UPA_report report;
  for (int n = 0; UPA_read(UPA_file_handle(), &report, UPA_REP_ALL, &n) == 0; ++n) {
    MESS_print(MESS_MESS, "Searching for %s...\n", report.id);
    visit(&report);
  }
  return 0;
}

}  // namespace

bool UPA_is_station_list(const char* value) {
  return value != nullptr && (std::strchr(value, ',') != nullptr || stricmp(value, "all") == 0);
}

std::vector<std::string> UPA_station_answers(const char* value) {
  std::vector<std::string> out;
  if (value == nullptr) return out;
  int n = 0;
  char** items = nullptr;
  parse_string(value, ',', &n, &items);
  for (int i = 0; i < n && items != nullptr; ++i) {
    std::string a = items[i] ? items[i] : "";
    if (a.empty()) continue;
    if (a.size() > static_cast<std::size_t>(kAnswerLen)) a.resize(kAnswerLen);
    if (a.size() == 3 || !(a[0] >= 'a' && a[0] <= 'z')) a = upper(a);
    out.push_back(a);
  }
  free_parsed_array(n, items);
  return out;
}

int UPA_each_station(const char* value, const UPA_station_visit& visit) {
  UPA_rewind_file();
  if (value != nullptr && stricmp(value, "all") == 0) return each_in_file(visit);
  StationNotes notes;
  int missing = 0;
  UPA_report report;
  for (const std::string& id : UPA_station_answers(value)) {
    MESS_print(MESS_MESS, "Searching for %s...\n", id.c_str());
    int n = notes.find(id);
    if (n < 0 || UPA_read(UPA_file_handle(), &report, UPA_REP_ALL, &n) != 0) {
      MESS_print(MESS_WARN, "UPA_get_station: No such station:%s\n", id.c_str());
      ++missing;
      continue;
    }
    visit(&report);
  }
  return missing;
}
