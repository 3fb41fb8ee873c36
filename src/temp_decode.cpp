// temp_decode.cpp — the reader of WMO TEMP (FM 35) text bulletins and the PILOT (FM 32)
// wind parts B and D that North and Central American stations send with them.
//
// Bytes arrive in chunks of any size and are scanned once, in place: a token is copied
// only into its group (the first bytes of a token, see Group), and only a token cut by the
// end of a chunk waits for the next one. Line ends matter only at the start of a line,
// where an abbreviated heading (T1T2A1A2ii CCCC YYGGgg [BBB]) starts a bulletin, so a
// line's first three tokens wait until they are known to be a heading or not; SOH and
// ETX bound a bulletin. A line may be of any length. Within a
// bulletin the groups are collected into reports: a report starts at its part letters
// (TTAA, TTBB, TTCC, TTDD, PPBB, PPDD) and ends at "=", or, where the "=" is missing, at
// the next part letters or the end of the bulletin. A report without part letters in a
// collective takes those of the report before it. Reports are kept per station, time and
// part until every file has been read: a correction (BBB CCx, COR) replaces the report it
// corrects, a repeated report is kept once (the fuller of two different sendings). Only
// then are the parts decoded and joined into one sounding per station and time.
//
// Two threads share a large chunk: SOH and ETX leave the scanner as it starts, so a chunk
// is cut at bulletin bounds into pieces. This reader scans them from the first on, and
// the worker thread from the last back, each into a reader of its own (a lane), until
// they meet. A lane only notes what it found (reports, NIL and ship reports, with the
// messages printed between them); this reader then files it in the order of the input,
// so that corrections, retransmissions and messages come out as one thread makes them.
// Decoding is shared the same way, by pieces of station groups.
//
// Code forms: WMO-No. 306, Manual on Codes, FM 35 and FM 32; the dew-point depression
// table is WMO code table 0777, the temperature sign by parity WMO code table 3931.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zudingest.h"

namespace {

constexpr M_type kWarn = MESS_WARN;           // "warn": rejected reports
constexpr M_type kDebug = mess_sub(MESS_DEBUG, MESS_SUB_A);  // "debug", sub-level a: reports skipped
constexpr std::size_t kMaxGroups = 2000;   // groups one report may hold
constexpr double kKnotsPerMs = 3600.0 / 1852.0;  // 1 knot = 1852 m per hour
constexpr double kFeetToM = 0.3048;        // international foot
constexpr int kKnotsDay = 50;              // YY + 50: wind speeds in knots
constexpr int kMaxSpeedKt = 500;           // a faster coded wind is garbled
constexpr char kSOH = 0x01;                // start of a bulletin
constexpr char kETX = 0x03;                // end of a bulletin
constexpr std::size_t kSplitMin = 128 * 1024;   // chunks from this size are scanned by two threads
constexpr std::size_t kPieceBytes = 64 * 1024;  // bytes of bulletins a lane scans
constexpr std::size_t kBytesPerEvent = 256;     // fewest bytes of a report, for a lane's list
constexpr std::size_t kStationsPerPiece = 32;   // stations a piece of the decoding takes
constexpr std::size_t kDecodeSplitMin = 2 * kStationsPerPiece;  // from this many, two threads decode

// Parts of a report, in the order they are joined.
enum Part { kTTAA, kTTBB, kTTCC, kTTDD, kPPBB, kPPDD, kNumParts };
constexpr const char* kPartName[kNumParts] = {"TTAA", "TTBB", "TTCC", "TTDD", "PPBB", "PPDD"};

bool is_digits(std::string_view s, std::size_t from, std::size_t n) {
  if (s.size() < from + n) return false;
  for (std::size_t i = from; i < from + n; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}
int num(std::string_view s, std::size_t from, std::size_t n) {
  int v = 0;
  for (std::size_t i = from; i < from + n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}
bool is_upper(std::string_view s, std::size_t from, std::size_t n) {
  if (s.size() < from + n) return false;
  for (std::size_t i = from; i < from + n; ++i)
    if (s[i] < 'A' || s[i] > 'Z') return false;
  return true;
}

// A group of the code: five digits or solidi. The five bytes are tested at once: a byte
// below 0x80 is a digit or a solidus ('/' is 0x2F, '9' 0x39) when adding 0x80 - 0x2F
// sets its high bit and adding 0x80 - 0x3A does not; neither sum carries into the next
// byte.
bool is_group(std::string_view g) {
  if (g.size() != 5) return false;
  if constexpr (std::endian::native != std::endian::little) {
    for (char c : g)
      if (!((c >= '0' && c <= '9') || c == '/')) return false;
    return true;
  }
  // Read as four bytes and one, in registers: five bytes copied into a zeroed word on the
  // stack and read back whole stall the processor (the read spans two writes).
  std::uint32_t first4 = 0;
  std::memcpy(&first4, g.data(), 4);
  const std::uint64_t x = first4 | std::uint64_t{static_cast<unsigned char>(g[4])} << 32;
  constexpr std::uint64_t kHigh = 0x8080808080;
  if (x & kHigh) return false;  // a byte from 0x80 up
  const std::uint64_t from_solidus = x + 0x5151515151;
  const std::uint64_t past_nine = x + 0x4646464646;
  return (from_solidus & ~past_nine & kHigh) == kHigh;
}

// Section indicators after which a part holds only groups this ingest does not keep:
// 31313 (instrument, launch time), 41414 (clouds), 51515-59595 regional and 61616-69696
// national groups.
bool ends_levels(std::string_view g) {
  if (g.size() != 5 || g[0] < '3' || g[0] > '6') return false;
  if (g == "31313" || g == "41414") return true;
  return (g[0] == '5' || g[0] == '6') && g[2] == g[0] && g[4] == g[0] && g[1] >= '1' &&
         g[1] <= '9' && g[3] == g[1];
}

// The part letters of a report, or -1. Ship (UU) and drop (XX) parts and PILOT parts A
// and C are recognised (-2): they are not ingested, but they end the report before them.
int part_of(std::string_view t) {
  if (t.size() != 4 || t[3] != t[2] || t[2] < 'A' || t[2] > 'D') return -1;
  const int letter = t[2] - 'A';  // A, B, C or D
  if (t[0] == 'T' && t[1] == 'T') return kTTAA + letter;
  if (t[0] == 'P' && t[1] == 'P') return letter == 1 ? kPPBB : letter == 3 ? kPPDD : -2;
  if ((t[0] == 'U' || t[0] == 'X') && t[1] == t[0]) return -2;
  return -1;
}

// The group decoders of zudingest.h, on a group's text.
int decode_td(std::string_view g, float* t, float* td) {
  *t = MISSING;
  *td = MISSING;
  if (!is_group(g) || !is_digits(g, 0, 3)) return -1;
  int ttt = num(g, 0, 3);
  double v = ttt / 10.0;
  if (ttt % 2 == 1) v = -v;  // odd tenths: below zero
  *t = static_cast<float>(v);
  if (!is_digits(g, 3, 2)) return 0;
  int dd = num(g, 3, 2);
  if (dd <= 50)
    *td = static_cast<float>(v - dd / 10.0);
  else if (dd >= 56)
    *td = static_cast<float>(v - (dd - 50));
  return 0;  // 51-55 are not used: dew point missing
}

int decode_wind(std::string_view g, bool knots, float* dir, float* spd) {
  *dir = MISSING;
  *spd = MISSING;
  if (!is_group(g) || !is_digits(g, 0, 5)) return -1;
  int ddd = num(g, 0, 3);
  int ff = num(g, 3, 2);
  int d = ddd - ddd % 5;
  int s = (ddd % 5) * 100 + ff;
  if (d > 360 || s > kMaxSpeedKt) return -1;
  *dir = static_cast<float>(d);
  *spd = static_cast<float>(knots ? s : s * kKnotsPerMs);
  return 0;
}

int decode_std(std::string_view g, bool upper, float* p, float* h) {
  *p = MISSING;
  *h = MISSING;
  if (!is_group(g) || !is_digits(g, 0, 2)) return -1;
  static constexpr std::string_view kLower[] = {"00", "92", "85", "70", "50", "40",
                                                "30", "25", "20", "15", "10"};
  static constexpr std::string_view kUpper[] = {"70", "50", "30", "20", "10",
                                                "07", "05", "03", "02", "01"};
  const std::string_view code = g.substr(0, 2);
  auto listed = [&code](const auto& codes) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
  };
  if (!(upper ? listed(kUpper) : listed(kLower))) return -1;
  // Above 100 mb the converted code of a level is its pressure in tens of mb ("07"),
  // above 10 mb a minus sign and the pressure in mb ("-7").
  char conv[6] = {g[0], g[1], g[2], g[3], g[4], '\0'};
  if (upper) {
    conv[0] = code[0] == '0' ? '-' : '0';
    conv[1] = code[0] == '0' ? code[1] : code[0];
  }
  return decd_ph(conv, p, h);
}

// Pressure (mb) from PPP of a level in part A/B (whole mb, below 100 meaning 1000 and
// more) or C/D (tenths of a mb).
float level_pressure(int ppp, bool upper) {
  if (upper) return static_cast<float>(ppp / 10.0);
  return static_cast<float>(ppp < 100 ? 1000 + ppp : ppp);
}

// One group of a report as received, kept without a heap allocation: at most
// kGroupCap - 1 characters (a longer token, never a group of the code, is cut), always
// NUL-terminated, so data() serves as a C string.
constexpr std::size_t kGroupCap = 12;
struct Group {
  std::array<char, kGroupCap> c{};
  unsigned char n = 0;
  Group() = default;
  explicit Group(std::string_view v) : n(static_cast<unsigned char>(std::min(v.size(), kGroupCap - 1))) {
    std::copy_n(v.data(), n, c.data());
  }
  // The group of the `len` bytes of a token at p, reading kGroupCap bytes from p: the
  // caller makes sure that they lie inside its buffer.
  static Group of_padded(const char* p, std::size_t len) {
    Group g;
    g.set_padded(p, len);
    return g;
  }
  // Makes this the group of_padded(p, len) returns, written in place: a group built
  // elsewhere and copied here would be read back from the stores that built it, across
  // their seams, which stalls the processor on every token.
  void set_padded(const char* p, std::size_t len) {
    if constexpr (std::endian::native != std::endian::little) {
      *this = Group(std::string_view(p, len));
      return;
    }
    const std::size_t k = std::min(len, kGroupCap - 1);
    std::uint64_t lo;
    std::uint32_t hi;
    std::memcpy(&lo, p, 8);
    std::memcpy(&hi, p + 8, 4);
    if (k < 8) {  // keep the first k bytes, NUL the rest
      lo &= (std::uint64_t{1} << (8 * k)) - 1;
      hi = 0;
    } else {
      hi &= (std::uint32_t{1} << (8 * (k - 8))) - 1;
    }
    std::memcpy(c.data(), &lo, 8);
    std::memcpy(c.data() + 8, &hi, 4);
    n = static_cast<unsigned char>(k);
  }
  // Adds bytes of a token read in pieces; what passes the cap is dropped.
  void append(const char* p, std::size_t len) {
    for (std::size_t i = 0; i < len && n < kGroupCap - 1; ++i) c[n++] = p[i];
  }
  std::string_view view() const { return {c.data(), n}; }
  operator std::string_view() const { return view(); }
  const char* data() const { return c.data(); }
  std::size_t size() const { return n; }
  char operator[](std::size_t i) const { return c[i]; }
  // The bytes past n are NUL, so equal arrays are equal groups.
  bool operator==(const Group& o) const {
    std::uint64_t a0, b0;
    std::uint32_t a1, b1;
    std::memcpy(&a0, c.data(), 8);
    std::memcpy(&b0, o.c.data(), 8);
    std::memcpy(&a1, c.data() + 8, 4);
    std::memcpy(&b1, o.c.data() + 8, 4);
    return a0 == b0 && a1 == b1;
  }
  bool operator==(std::string_view v) const { return view() == v; }
};

// Groups of five digits or solidi in a report.
std::size_t well_formed(const std::vector<Group>& groups) {
  return static_cast<std::size_t>(std::count_if(groups.begin(), groups.end(),
                                                [](const Group& g) { return is_group(g); }));
}

// One report as received.
struct Received {
  std::vector<Group> groups;        // the groups after the station number
  bool knots = true;                // YY + 50
  char id = '/';                    // Id (parts A, C) or a4
  bool correction = false;          // sent under a CCx/COR heading
};

// A token of a line as its group, and whether an "=" followed it on the line (ending the
// report). "=" with no token before it on the line, or after one already ended, is an
// empty token that ends the report.
struct LineTok {
  Group g;
  bool ends = false;
};

// What the scanner makes of each byte.
enum ByteClass : unsigned char { kTokenByte, kBlankByte, kEqualsByte, kLineByte, kBoundByte };

// Classes of the 256 byte values: "=" ends a report, LF a line, SOH and ETX a bulletin;
// space, other control bytes (CR among them) and anything outside ASCII are blanks.
constexpr std::array<ByteClass, 256> make_classes() {
  std::array<ByteClass, 256> cls{};
  for (int u = 0; u < 256; ++u) cls[u] = (u <= 0x20 || u >= 0x7f) ? kBlankByte : kTokenByte;
  cls['='] = kEqualsByte;
  cls['\n'] = kLineByte;
  cls[static_cast<unsigned char>(kSOH)] = kBoundByte;
  cls[static_cast<unsigned char>(kETX)] = kBoundByte;
  return cls;
}
constexpr std::array<ByteClass, 256> kByteClass = make_classes();

ByteClass class_of(char c) { return kByteClass[static_cast<unsigned char>(c)]; }

// The first byte from p on that is not a token byte, or `end`.
const char* token_rest(const char* p, const char* end) {
  while (p < end && class_of(*p) == kTokenByte) ++p;
  return p;
}

// Which of 64 bytes are token bytes, and which end a report, a line or a bulletin ("=",
// LF, SOH, ETX): bit i for byte i. Token bytes are 0x21 to 0x7E but "=": as signed bytes,
// those above 0x20 but 0x7F.
constexpr std::size_t kBlockBytes = 64;
struct ByteMasks {
  std::uint64_t token = 0;
  std::uint64_t special = 0;
};
ByteMasks byte_masks(const char* p) {
  ByteMasks m;
#if defined(__SSE2__)
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i equals = _mm_cmpeq_epi8(v, _mm_set1_epi8('='));
    const __m128i token = _mm_andnot_si128(_mm_or_si128(equals, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7f))),
                                           _mm_cmpgt_epi8(v, _mm_set1_epi8(0x20)));
    const __m128i special =
        _mm_or_si128(_mm_or_si128(equals, _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(kSOH)), _mm_cmpeq_epi8(v, _mm_set1_epi8(kETX))));
    m.token |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(token)) & 0xffffu) << (16 * k);
    m.special |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(special)) & 0xffffu)
                 << (16 * k);
  }
#else
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    const ByteClass k = class_of(p[i]);
    if (k == kTokenByte) m.token |= std::uint64_t{1} << i;
    else if (k != kBlankByte) m.special |= std::uint64_t{1} << i;
  }
#endif
  return m;
}

// Whether token `i` (0 to 2) of a line has the form of that field of an abbreviated
// heading: T1T2A1A2ii, CCCC, YYGGgg.
bool heading_field(int i, std::string_view t) {
  if (i == 0) return t.size() == 6 && is_upper(t, 0, 4) && is_digits(t, 4, 2);
  if (i == 1) return t.size() == 4 && is_upper(t, 0, 4);
  return t.size() == 6 && is_digits(t, 0, 6);
}

using Key = std::tuple<int, int, int, int>;  // WMO number, day, hour, part

// Why a part was rejected: the group and its place.
struct Fault {
  int index = -1;
  std::string group;
  std::string why;
  bool truncated = false;  // the groups ran out: what came before is sound
  int levels = 0;          // level entries decoded, whether or not new to the sounding
};

// What a lane found that this reader must file itself, in input order: the state it
// changes (the reports kept, the NIL and ship reports met) is this reader's.
struct LaneEvent {
  enum Kind { kNil, kOther, kFile } kind;
  std::vector<MESS_held> before;  // the lane's messages printed before it
  std::string key;                // kNil, kOther: the report's key in nils_ or others_
  std::string part, who;          // kOther: part letters and call sign
  Key file_key{};                 // kFile: station, time and part
  Received r;                     // kFile: the report
};

// A lane's findings: its events, and where its messages are held as they are printed
// (those after the last event stay there).
struct Lane {
  std::vector<LaneEvent> events;
  std::vector<MESS_held>* held = nullptr;
};

class TempReader final : public ING_reader {
 public:
  const char* format() const override { return "WMO TEMP"; }
  bool recognises(const char* head, std::size_t len) const override;
  void feed(const char* data, std::size_t len) override;
  void end_file() override;
  void finish(std::int64_t now, std::vector<ING_report>* out) override;

 private:
  using PartsIt = std::map<Key, Received>::iterator;
  void scan(const char* data, std::size_t len);
  void scan_shared(const char* data, std::size_t len, const std::vector<std::size_t>& ends);
  void replay(Lane& lane, const TempReader& from);
  void note_nil(const std::string& key);
  void note_other(const std::string& part, const std::string& who, const std::string& key);
  void file_or_log(const Key& key, Received r);
  void log(LaneEvent e);
  void decode_groups(std::int64_t now, std::span<const PartsIt> starts, std::size_t from,
                     std::size_t to, PartsIt end, ING_counts* c, std::vector<ING_report>* out) const;
  void decode_station(std::int64_t now, PartsIt first, PartsIt last, ING_counts* c,
                      std::vector<ING_report>* out) const;
  [[gnu::always_inline]] void token(const char* p, std::size_t n, bool padded);
  void special(char c);
  void token_end(const Group& g);
  void equals();
  void line_end();
  void line_token(const LineTok& t);
  void text_token(const LineTok& t);
  void bulletin_end();
  void add_token(const Group& tok);
  void report_end(bool terminated);
  void keep(const std::vector<Group>& all, std::size_t from);
  bool keep_nil(const std::string& part, std::span<const Group> toks);
  void skip_part(const std::string& part, std::span<const Group> toks);
  void file_report(const Key& key, Received r);
  bool decode(int part, const Received& r, ING_report* rep, Fault* f) const;

  // Scanning state, kept between chunks.
  enum LineStart { kMayBeHeading, kAfterHeading, kText };
  Group tok_;                        // a token cut by the end of a chunk
  bool in_tok_ = false;              // tok_ goes on in the next chunk
  bool last_open_ = false;           // the line's last token may still be ended by an "="
  std::array<LineTok, 3> lead_;      // the line's first tokens while they may be a heading
  int num_lead_ = 0;
  LineStart line_start_ = kMayBeHeading;  // what the line's tokens so far have been
  std::vector<Group> seg_;           // groups of the report being collected
  bool seg_overflow_ = false;        // the report was longer than kMaxGroups
  bool seg_has_part_ = false;        // the report being collected has its part letters
  Group last_part_{};                // part letters of the bulletin's last report
  Group last_ident_{};               // and its YYGGI group
  bool correction_ = false;          // the bulletin's heading says CCx or COR
  bool file_headed_ = false;         // a heading was seen in this file
  bool file_reports_ = false;        // a report was seen in this file
  std::map<Key, Received> parts_;    // every report kept, by station, time and part
  std::unordered_set<std::string> nils_;  // NIL reports met (part, station, YYGG)
  std::set<std::string> others_;     // ship and drop reports met
  Lane* lane_ = nullptr;             // a lane's findings go here instead of into the above
};

bool TempReader::recognises(const char* head, std::size_t len) const {
  const std::string_view h(head, len);
  for (int p = 0; p < kNumParts; ++p)
    if (h.find(kPartName[p]) != std::string_view::npos) return true;
  return false;
}

// The bulletin bounds that cut a chunk into pieces of about kPieceBytes for the lanes:
// the first bound, then the first bound past each piece's size, and the last bound.
// Piece j is (ends[j], ends[j + 1]]. False when that makes fewer than two pieces.
bool piece_bounds(const char* data, std::size_t len, std::vector<std::size_t>* ends) {
  std::size_t first = 0;
  while (first < len && class_of(data[first]) != kBoundByte) ++first;
  std::size_t last = len;
  while (last > first && class_of(data[last - 1]) != kBoundByte) --last;
  if (last <= first + 1) return false;
  --last;  // the index of the last bound
  ends->push_back(first);
  for (std::size_t at = first; at < last;) {
    std::size_t m = std::min(at + kPieceBytes, last);
    while (class_of(data[m]) != kBoundByte) ++m;  // stops at `last` at the latest
    ends->push_back(m);
    at = m;
  }
  return ends->size() >= 3;
}

void TempReader::feed(const char* data, std::size_t len) {
  std::vector<std::size_t> ends;
  if (lane_ == nullptr && len >= kSplitMin && ING_jobs() > 1 && piece_bounds(data, len, &ends))
    scan_shared(data, len, ends);
  else
    scan(data, len);
}

// Scans the bulletin the last chunk left open here, then the pieces of whole bulletins
// after it: this thread from the first on, the worker from the last back, in lanes;
// files what the lanes found in their order, then scans the rest here. A bound leaves
// the scanner as a new reader starts, so a lane starts where this reader would stand,
// and this reader stands after the last bound where it would had it scanned the lanes'
// bytes itself.
void TempReader::scan_shared(const char* data, std::size_t len, const std::vector<std::size_t>& ends) {
  scan(data, ends[0] + 1);
  const std::size_t k = ends.size() - 1;
  std::vector<TempReader> readers(k);
  std::vector<Lane> lanes(k);
  std::vector<std::vector<MESS_held>> held(k);
  auto piece = [&ends, data](std::size_t j) {
    return std::string_view(data + ends[j] + 1, ends[j + 1] - ends[j]);
  };
  auto here = [&](std::size_t j) { scan(piece(j).data(), piece(j).size()); };
  auto lane = [&](std::size_t j) {
    lanes[j].held = &held[j];
    lanes[j].events.reserve(piece(j).size() / kBytesPerEvent);  // no growing copies
    readers[j].lane_ = &lanes[j];
    readers[j].scan(piece(j).data(), piece(j).size());
  };
  for (std::size_t j = ING_share_ends(held, here, lane); j < k; ++j) replay(lanes[j], readers[j]);
  scan(data + ends[k] + 1, len - ends[k] - 1);
}

// Files a lane's findings in their order, delivering its messages between them, and adds
// its tallies.
void TempReader::replay(Lane& lane, const TempReader& from) {
  for (LaneEvent& e : lane.events) {
    MESS_release(e.before);
    if (e.kind == LaneEvent::kNil)
      note_nil(e.key);
    else if (e.kind == LaneEvent::kOther)
      note_other(e.part, e.who, e.key);
    else
      file_report(e.file_key, std::move(e.r));
  }
  MESS_release(*lane.held);
  counts.bulletins += from.counts.bulletins;
  counts.rejected += from.counts.rejected;
  file_headed_ = file_headed_ || from.file_headed_;
  file_reports_ = file_reports_ || from.file_reports_;
}

void TempReader::scan(const char* data, std::size_t len) {
  const char* p = data;
  const char* const end = data + len;
  if (in_tok_) {  // the token cut by the end of the last chunk
    const char* q = p;
    while (q < end && class_of(*q) == kTokenByte) ++q;
    tok_.append(p, static_cast<std::size_t>(q - p));
    p = q;
    if (p == end) return;
    in_tok_ = false;
    token_end(tok_);
  }
  // Blocks of 64 bytes, while a token starting in one can be read with its padding; p is
  // never inside a token at the start of a block.
  while (end - p >= static_cast<std::ptrdiff_t>(kBlockBytes + kGroupCap)) {
    const ByteMasks m = byte_masks(p);
    std::uint64_t events = (m.token & ~(m.token << 1)) | m.special;  // token starts, specials
    std::size_t next = kBlockBytes;
    while (events != 0) {
      const int i = std::countr_zero(events);
      events &= events - 1;
      if ((m.special >> i) & 1) {
        special(p[i]);
        continue;
      }
      const std::uint64_t stops = ~m.token >> i;
      const char* q = stops != 0 ? p + i + std::countr_zero(stops) : token_rest(p + kBlockBytes, end);
      if (q == end) {  // the token may go on in the next chunk
        tok_ = Group(std::string_view(p + i, static_cast<std::size_t>(q - p - i)));
        in_tok_ = true;
        return;
      }
      token(p + i, static_cast<std::size_t>(q - p - i), true);
      if (stops == 0) {  // the token ran past the block: the next block starts after it
        next = static_cast<std::size_t>(q - p);
        break;
      }
    }
    p += next;
  }
  while (p < end) {
    const ByteClass k = class_of(*p);
    if (k == kTokenByte) {
      const char* q = token_rest(p + 1, end);
      const std::size_t n = static_cast<std::size_t>(q - p);
      if (q == end) {  // the token may go on in the next chunk
        tok_ = Group(std::string_view(p, n));
        in_tok_ = true;
        return;
      }
      token(p, n, static_cast<std::size_t>(end - p) >= kGroupCap);
      p = q;
      continue;
    }
    ++p;
    if (k != kBlankByte) special(p[-1]);
  }
}

// A whole token of `n` bytes at p; `padded`: kGroupCap bytes may be read from p.
inline void TempReader::token(const char* p, std::size_t n, bool padded) {
  // A line's first token of other than six bytes is no heading: the line is text.
  if (line_start_ == kMayBeHeading && num_lead_ == 0 && n != 6 && n != 4) line_start_ = kText;
  if (padded && line_start_ == kText && n != 4) {
    // Most tokens: a group inside a report's text, neither part letters nor NNNN.
    last_open_ = true;
    if (seg_.size() < kMaxGroups)
      seg_.emplace_back().set_padded(p, n);
    else
      seg_overflow_ = true;
    return;
  }
  token_end(padded ? Group::of_padded(p, n) : Group(std::string_view(p, n)));
}

// A byte that ends a report, a line or a bulletin.
void TempReader::special(char c) {
  switch (class_of(c)) {
    case kTokenByte:
    case kBlankByte:
      break;
    case kEqualsByte:
      equals();
      break;
    case kLineByte:
      line_end();
      break;
    case kBoundByte:
      line_end();
      bulletin_end();
      break;
  }
}

void TempReader::end_file() {
  if (in_tok_) token_end(tok_);
  in_tok_ = false;
  line_end();
  bulletin_end();
  if (file_reports_ && !file_headed_) ++counts.bulletins;  // a file of bare reports
  file_headed_ = file_reports_ = false;
}

void TempReader::bulletin_end() {
  report_end(false);
  last_part_ = Group{};
  last_ident_ = Group{};
  correction_ = false;
}

// A whole token of the line. Past the line's start it goes straight to the report.
void TempReader::token_end(const Group& g) {
  last_open_ = true;
  if (line_start_ == kText && g.size() != 4) {  // neither part letters nor NNNN
    add_token(g);
    return;
  }
  if (line_start_ == kText)
    text_token(LineTok{g, false});
  else
    line_token(LineTok{g, false});
}

// "=" ends the line's last token (which has been handed on, unless it is still one of the
// line's first tokens), or stands alone as an empty token that ends the report.
void TempReader::equals() {
  if (!last_open_) {
    line_token(LineTok{Group(), true});
    return;
  }
  last_open_ = false;
  if (num_lead_ > 0)
    lead_[num_lead_ - 1].ends = true;
  else
    report_end(true);
}

void TempReader::line_end() {
  last_open_ = false;
  // Fewer than three tokens are no heading.
  for (int i = 0; i < num_lead_; ++i) text_token(lead_[i]);
  num_lead_ = 0;
  line_start_ = kMayBeHeading;
}

// The next token of the line: an abbreviated heading starts a bulletin, and reports may
// follow on its line.
void TempReader::line_token(const LineTok& t) {
  if (line_start_ == kText) {
    text_token(t);
    return;
  }
  if (line_start_ == kMayBeHeading) {
    lead_[num_lead_++] = t;
    if (!heading_field(num_lead_ - 1, t.g)) {
      line_start_ = kText;
      for (int i = 0; i < num_lead_; ++i) text_token(lead_[i]);
      num_lead_ = 0;
    } else if (num_lead_ == 3) {
      bulletin_end();
      ++counts.bulletins;
      file_headed_ = true;
      num_lead_ = 0;
      line_start_ = kAfterHeading;
    }
    return;
  }
  // BBB: RRx delayed, CCx (or COR) corrected, AAx amended, Pxx segmented.
  line_start_ = kText;
  const std::string_view bbb = t.g;
  if (bbb.size() == 3 && is_upper(bbb, 0, 3) &&
      (bbb == "COR" || bbb[0] == 'R' || bbb[0] == 'C' || bbb[0] == 'A' || bbb[0] == 'P')) {
    correction_ = bbb == "COR" || bbb.substr(0, 2) == "CC";
    return;
  }
  text_token(t);
}

// A token of the text of a bulletin.
void TempReader::text_token(const LineTok& t) {
  if (t.g.size() == 4 && t.g == "NNNN") {
    report_end(false);
    return;
  }
  if (t.g.size() > 0) add_token(t.g);
  if (t.ends) report_end(true);
}

void TempReader::add_token(const Group& tok) {
  // Part letters while a report is open: the open report lacked its "=".
  if (tok.size() == 4 && part_of(tok) != -1) {
    if (seg_has_part_) report_end(false);
    seg_has_part_ = true;
  }
  if (seg_.size() < kMaxGroups)
    seg_.push_back(tok);
  else
    seg_overflow_ = true;
}

void TempReader::report_end(bool /*terminated*/) {
  // The groups stay in seg_ (its storage is reused for the next report).
  struct Clear {
    TempReader* r;
    ~Clear() {
      r->seg_.clear();
      r->seg_overflow_ = false;
      r->seg_has_part_ = false;
    }
  } clear{this};
  std::vector<Group>& toks = seg_;
  if (toks.empty()) return;
  std::size_t k = 0;
  while (k < toks.size() && part_of(toks[k]) == -1) ++k;
  if (k == toks.size()) {
    // A collective may leave out the part letters and YYGGI after its first report.
    if (last_part_.n == 0 || !is_digits(toks[0], 0, 5) || toks[0].n != 5) return;
    toks.insert(toks.begin(), {last_part_, last_ident_});
    k = 0;
  }
  last_part_ = toks[k];
  if (toks.size() > k + 1 && toks[k + 1].n == 5) last_ident_ = toks[k + 1];
  file_reports_ = true;
  if (seg_overflow_) {
    ++counts.rejected;
    MESS_print(kWarn, "Rejected %s %s: more than %zu groups\n", toks[k].data(),
               toks.size() > k + 2 ? toks[k + 2].data() : "", kMaxGroups);
    return;
  }
  keep(toks, k);
}

// Text of the i-th token of a report, empty past its end.
std::string token_text(std::span<const Group> toks, std::size_t i) {
  return i < toks.size() ? std::string(toks[i].view()) : std::string();
}

// Whether the report is a NIL report; the same NIL report comes under several
// headings and is counted once.
bool TempReader::keep_nil(const std::string& part, std::span<const Group> toks) {
  for (std::size_t i = 1; i < toks.size() && i <= 3 && part_of(part) >= 0; ++i)
    if (toks[i].view() == "NIL" || toks[i].view() == "NILL") {
      std::string key;  // "part station YYGGI", appended in place: every NIL has one
      key.reserve(part.size() + 2 * kGroupCap);
      key += part;
      key += ' ';
      if (i > 1) key += toks[i - 1].view();
      key += ' ';
      if (i > 2) key += toks[1].view();
      if (lane_ == nullptr) {
        note_nil(key);
      } else {
        log(LaneEvent{LaneEvent::kNil, {}, key, {}, {}, {}, {}});
      }
      return true;
    }
  return false;
}

// A part not ingested: ship and dropsonde soundings are told to the user, once per
// report; PILOT parts A and C repeat the standard-level winds of TEMP parts A and C.
void TempReader::skip_part(const std::string& part, std::span<const Group> toks) {
  const std::string who = token_text(toks, 1);
  if (part[0] == 'U' || part[0] == 'X') {
    bool nil = false;
    for (std::size_t i = 1; i < toks.size() && i <= 3; ++i) nil = nil || toks[i].view() == "NIL";
    if (nil) return;
    const std::string key = part + " " + who + " " + token_text(toks, 2);
    if (lane_ == nullptr) {
      note_other(part, who, key);
    } else {
      log(LaneEvent{LaneEvent::kOther, {}, key, part, who, {}, {}});
    }
    return;
  }
  MESS_print(kDebug, "Skipped %s %s: part not ingested\n", part.c_str(), who.c_str());
}

// A NIL report met: counted and told once, whatever headings it comes under.
void TempReader::note_nil(const std::string& key) {
  if (!nils_.insert(key).second) return;
  ++counts.nil;
  MESS_print(kDebug, "NIL %s\n", key.c_str());
}

// A ship or dropsonde report met: rejected and told once per report.
void TempReader::note_other(const std::string& part, const std::string& who, const std::string& key) {
  if (!others_.insert(key).second) return;
  ++counts.rejected;
  MESS_print(kWarn, "Rejected %s %s: ship and dropsonde reports are not ingested (no station number)\n",
             part.c_str(), who.c_str());
}

// Files a report, or in a lane notes it for the reader that files the lane's findings.
void TempReader::file_or_log(const Key& key, Received r) {
  if (lane_ == nullptr) {
    file_report(key, std::move(r));
    return;
  }
  log(LaneEvent{LaneEvent::kFile, {}, {}, {}, {}, key, std::move(r)});
}

// Notes a lane's finding, after the messages the lane has printed since the last.
void TempReader::log(LaneEvent e) {
  e.before = std::move(*lane_->held);
  lane_->held->clear();
  lane_->events.push_back(std::move(e));
}

// Files a readable report under its key, settling a second sending of the same part.
void TempReader::file_report(const Key& key, Received r) {
  auto it = parts_.find(key);
  if (it == parts_.end()) {
    parts_.emplace(key, std::move(r));
  } else if (it->second.groups == r.groups) {
    ++counts.duplicates;
  } else if (r.correction) {
    it->second = std::move(r);
    ++counts.corrected;
  } else {
    // A second, different sending without a correction heading: the fuller one stands
    // (a report first sent empty or cut short is often sent again complete), counted in
    // well-formed groups, since a copy whose lines were broken inside groups is longer.
    // A correction met first stays against the report it corrects.
    if (!it->second.correction && well_formed(r.groups) > well_formed(it->second.groups))
      it->second = std::move(r);
    ++counts.duplicates;
  }
}

// Files one report under its station, time and part.
void TempReader::keep(const std::vector<Group>& all, std::size_t from) {
  const std::span<const Group> toks(all.data() + from, all.size() - from);
  const std::string part(toks[0].view());
  if (keep_nil(part, toks)) return;
  int p = part_of(part);
  if (p < 0) {
    skip_part(part, toks);
    return;
  }
  const std::string ident = token_text(toks, 1);
  const std::string station = token_text(toks, 2);
  if (ident.size() != 5 || !is_digits(ident, 0, 4) || !is_group(ident) || station.size() != 5 ||
      !is_digits(station, 0, 5)) {
    ++counts.rejected;
    MESS_print(kWarn, "Rejected %s %s %s: identification unreadable\n", part.c_str(),
               ident.c_str(), station.c_str());
    return;
  }
  int yy = num(ident, 0, 2);
  int gg = num(ident, 2, 2);
  Received r;
  r.knots = yy > kKnotsDay;
  int day = r.knots ? yy - kKnotsDay : yy;
  if (day < 1 || day > 31 || gg > 23) {
    ++counts.rejected;
    MESS_print(kWarn, "Rejected %s %s: group 2 \"%s\": no such day or hour\n", part.c_str(),
               station.c_str(), ident.c_str());
    return;
  }
  r.id = ident[4];
  r.correction = correction_;
  r.groups.assign(toks.begin() + 3, toks.end());
  file_or_log(Key{num(station, 0, 5), day, gg, p}, std::move(r));
}

// Level of the Id indicator: the last standard level (mb) whose wind is reported; 0 when
// Id is a solidus (no winds at standard levels).
float wind_limit(char id, bool upper) {
  if (id < '0' || id > '9') return 1e9f;
  int d = id - '0';
  if (upper) return static_cast<float>(d == 0 ? 100 : d * 10);
  if (d == 0) return 1000;
  if (d == 9) return 925;
  if (d == 8) return 850;
  return static_cast<float>(d * 100);
}

// A group that can be a wind: all solidi, or a direction to 360 degrees with a speed
// under 300.
bool wind_like(std::string_view g) {
  if (g == "/////") return true;
  if (!is_group(g) || !is_digits(g, 0, 3)) return false;
  int ddd = num(g, 0, 3);
  return ddd - ddd % 5 <= 360 && ddd % 5 <= 2 && (is_digits(g, 3, 2) || g.compare(3, 2, "//") == 0);
}

// A group that can begin the next entry of part A (`upper` false) or C: a standard level,
// tropopause, maximum wind, a closing section, or nothing at all.
bool entry_like(const std::vector<Group>& g, std::size_t i, bool upper) {
  if (i >= g.size()) return true;
  const std::string_view s = g[i];
  if (ends_levels(s)) return true;
  if (!is_group(s) || !is_digits(s, 0, 2)) return false;
  static const char* const kLower[] = {"00", "92", "85", "70", "50", "40", "30",
                                       "25", "20", "15", "10", "88", "77", "66"};
  static const char* const kUpper[] = {"70", "50", "30", "20", "10", "07", "05",
                                       "03", "02", "01", "88", "77", "66"};
  const std::string_view pp = s.substr(0, 2);
  if (upper) return std::find(std::begin(kUpper), std::end(kUpper), pp) != std::end(kUpper);
  return std::find(std::begin(kLower), std::end(kLower), pp) != std::end(kLower);
}

// Merges a standard level into the report unless it is there already.
void add_man(ING_report* rep, const UPA_level& l) {
  for (const UPA_level& m : rep->man)
    if (m.p == l.p) return;
  rep->man.push_back(l);
}

// Walks the groups of one part; records where and why reading stopped.
struct GroupCursor {
  const std::vector<Group>& g;
  Fault* f;
  std::size_t i = 0;

  bool more() const { return i < g.size(); }

  // Takes the next group, a view ending in the kept NUL so data() serves as a C string.
  bool need(std::string_view* out) {
    if (i >= g.size()) {
      f->index = static_cast<int>(i + 4);
      f->group.clear();
      f->why = "missing: the report ends inside a level";
      f->truncated = true;
      return false;
    }
    if (!is_group(g[i])) {
      f->index = static_cast<int>(i + 4);
      f->group = g[i];
      f->why = "is not a group of five digits or solidi";
      return false;
    }
    *out = g[i++];
    return true;
  }

  // Rejects the group just taken.
  bool fail(std::string_view grp, const char* why) {
    f->index = static_cast<int>(i + 3);
    f->group = std::string(grp);
    f->why = why;
    return false;
  }
};

// Counts a surface wind and keeps it unless the surface already has one.
void add_surface_wind(const ING_wind& w, ING_report* rep, Fault* f) {
  ++f->levels;
  if (rep->sfc.dir == MISSING) {
    rep->sfc.dir = w.dir;
    rep->sfc.spd = w.spd;
  }
}

// Reads a temperature group and a wind group into a level of pressure l->p.
bool read_temp_wind(GroupCursor& c, const Received& r, UPA_level* l) {
  std::string_view b, w;
  if (!c.need(&b) || !c.need(&w)) return false;
  decode_td(b, &l->t, &l->td);
  decode_wind(w, r.knots, &l->dir, &l->spd);
  return true;
}

// A level of the pressure PPP in group a (xxPPP), all else missing; a pressure that is
// not three digits rejects the group for why.
bool start_level(GroupCursor& c, std::string_view a, bool upper, const char* why, UPA_level* l) {
  if (!is_digits(a, 2, 3)) return c.fail(a, why);
  *l = UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  l->p = level_pressure(num(a, 2, 3), upper);
  return true;
}

// 99PPP: the surface, keeping the station height already known.
bool read_surface(GroupCursor& c, std::string_view a, const Received& r, ING_report* rep) {
  UPA_level l;
  if (!start_level(c, a, false, "surface pressure unreadable", &l)) return false;
  if (!read_temp_wind(c, r, &l)) return false;
  l.h = rep->sfc.h;
  rep->sfc = l;
  ++c.f->levels;
  return true;
}

// 88PPP: a tropopause level.
bool read_tropopause(GroupCursor& c, std::string_view a, bool upper, const Received& r,
                     ING_report* rep) {
  UPA_level l;
  if (!start_level(c, a, upper, "tropopause pressure unreadable", &l)) return false;
  if (!read_temp_wind(c, r, &l)) return false;
  rep->trop.push_back(l);
  ++c.f->levels;
  return true;
}

// 77PPP or 66PPP: a maximum wind, then its vertical shear group, which is skipped.
bool read_max_wind(GroupCursor& c, std::string_view a, bool upper, const Received& r,
                   ING_report* rep) {
  UPA_level l;
  if (!start_level(c, a, upper, "maximum-wind pressure unreadable", &l)) return false;
  std::string_view w;
  if (!c.need(&w)) return false;
  decode_wind(w, r.knots, &l.dir, &l.spd);
  rep->mwnd.push_back(l);
  ++c.f->levels;
  const std::vector<Group>& g = c.g;
  if (c.more() && g[c.i].size() == 5 && g[c.i][0] == '4' && !ends_levels(g[c.i])) ++c.i;
  return true;
}

// Whether the standard level just read carries a wind group. Id says which levels do
// (above 10 mb: all, unless Id is a solidus); a report that breaks its own Id is read
// by what follows instead.
bool standard_has_wind(const GroupCursor& c, float p, float limit, bool upper, char id) {
  const std::vector<Group>& g = c.g;
  const std::size_t i = c.i;
  bool wind = p >= limit || (upper && p < 10 && id != '/');
  if (wind && i < g.size() && !wind_like(g[i]) && entry_like(g, i, upper)) wind = false;
  if (!wind && i < g.size() && wind_like(g[i]) && entry_like(g, i + 1, upper) &&
      !entry_like(g, i, upper))
    wind = true;
  if (!wind && i < g.size() && g[i] == "/////" && entry_like(g, i + 1, upper)) wind = true;
  return wind;
}

// PPhhh: a standard isobaric level, its temperature group, and its wind group if it has one.
bool read_standard(GroupCursor& c, std::string_view a, bool upper, float limit,
                   const Received& r, ING_report* rep) {
  UPA_level l{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  if (decode_std(a, upper, &l.p, &l.h) != 0 && l.p == MISSING)
    return c.fail(a, "is not a standard level");
  std::string_view b, w;
  if (!c.need(&b)) return false;
  decode_td(b, &l.t, &l.td);
  if (standard_has_wind(c, l.p, limit, upper, r.id)) {
    if (!c.need(&w)) return false;
    decode_wind(w, r.knots, &l.dir, &l.spd);
  }
  add_man(rep, l);
  ++c.f->levels;
  return true;
}

// Parts A and C: surface, standard levels, tropopauses and maximum winds.
bool decode_standard_part(GroupCursor& c, bool upper, const Received& r, ING_report* rep) {
  const std::vector<Group>& g = c.g;
  const float limit = wind_limit(r.id, upper);
  std::string_view a;
  while (c.more()) {
    if (ends_levels(g[c.i])) break;
    if (g[c.i] == "/////") {  // a stray missing group where a level should begin
      ++c.i;
      continue;
    }
    if (!c.need(&a)) return false;
    const std::string_view pp = a.substr(0, 2);
    bool ok = true;
    if (pp == "99" && !upper) {
      ok = read_surface(c, a, r, rep);
    } else if (pp == "88") {
      if (a == "88999") continue;
      ok = read_tropopause(c, a, upper, r, rep);
    } else if (pp == "77" || pp == "66") {
      if (a.compare(2, 3, "999") == 0) continue;
      ok = read_max_wind(c, a, upper, r, rep);
    } else {
      ok = read_standard(c, a, upper, limit, r, rep);
    }
    if (!ok) return false;
  }
  return true;
}

// TEMP parts B and D: significant temperature levels, then winds after 21212.
bool decode_significant_part(GroupCursor& c, bool upper, const Received& r, ING_report* rep) {
  const std::vector<Group>& g = c.g;
  bool winds = false;  // in section 21212
  std::string_view a, b;
  while (c.more()) {
    if (ends_levels(g[c.i])) break;
    if (g[c.i] == "21212") {
      winds = true;
      ++c.i;
      continue;
    }
    if (!c.need(&a)) return false;
    if (a[0] != a[1] || !is_digits(a, 0, 2)) return c.fail(a, "is not a level number nnPPP");
    if (!c.need(&b)) return false;
    if (!is_digits(a, 2, 3)) continue;  // a level of unknown pressure holds nothing usable
    float p = level_pressure(num(a, 2, 3), upper);
    if (p <= 0) continue;  // "000" in part D: no such level
    const bool surface = a[0] == '0' && !upper;
    // Levels are decoded where they are kept: one filled value by value on the stack
    // and copied into its list whole is read back before its writes have settled, which
    // stalls the processor on every level.
    if (winds && surface) {
      ING_wind w;
      w.p = p;
      decode_wind(b, r.knots, &w.dir, &w.spd);
      add_surface_wind(w, rep, c.f);
    } else if (winds) {
      ING_wind& w = rep->wind.emplace_back();
      w.p = p;
      decode_wind(b, r.knots, &w.dir, &w.spd);
      ++c.f->levels;
    } else {
      UPA_sig_level& s = rep->sig.emplace_back(UPA_sig_level{p, MISSING, MISSING});
      decode_td(b, &s.t, &s.td);
      ++c.f->levels;
      if (surface && rep->sfc.p == MISSING) rep->sfc.p = p;
    }
  }
  return true;
}

// PILOT parts B and D: 9tnu1u2u3 (heights in units of 300 m, 1000 ft in Region IV),
// 8tnu1u2u3 (units of 500 m), 1tnu1u2u3 (above 100 units), then one wind per level.
// A solidus in the first place of "90/12" stands for the surface.
bool decode_height_part(GroupCursor& c, const Received& r, ING_report* rep) {
  const std::vector<Group>& g = c.g;
  const bool feet = (rep->wmo >= 70000 && rep->wmo < 80000) || (rep->wmo >= 91100 && rep->wmo < 91500);
  std::string_view a, b;
  while (c.more()) {
    if (ends_levels(g[c.i]) || g[c.i] == "21212") break;
    if (!c.need(&a)) return false;
    if (a[0] != '9' && a[0] != '8' && a[0] != '1') return c.fail(a, "is not a height group 9tuuu");
    if (!is_digits(a, 1, 1)) return c.fail(a, "height tens unreadable");
    const int tens = (a[0] == '1' ? 100 : 0) + 10 * (a[1] - '0');
    for (int k = 2; k < 5; ++k) {
      bool surface = a[k] == '/' && k == 2 && tens == 0 && a[0] == '9';
      if (a[k] == '/' && !surface) continue;
      if (!c.need(&b)) return false;
      const int level = surface ? 0 : tens + (a[k] - '0');
      if (level == 0) {
        ING_wind w;
        decode_wind(b, r.knots, &w.dir, &w.spd);
        add_surface_wind(w, rep, c.f);
        continue;
      }
      ING_wind& w = rep->wind.emplace_back();  // decoded in place, as above
      decode_wind(b, r.knots, &w.dir, &w.spd);
      if (a[0] == '8')
        w.h = static_cast<float>(level * 500.0);
      else
        w.h = static_cast<float>(level * (feet ? 1000.0 * kFeetToM : 300.0));
      ++c.f->levels;
    }
  }
  return true;
}

bool TempReader::decode(int part, const Received& r, ING_report* rep, Fault* f) const {
  const bool upper = part == kTTCC || part == kTTDD || part == kPPDD;
  // Levels take two groups or more: room for them at once, not by doubling.
  const std::size_t most = r.groups.size() / 2 + 1;
  if (part == kTTAA || part == kTTCC)
    rep->man.reserve(rep->man.size() + most);
  else if (part == kTTBB || part == kTTDD)
    rep->sig.reserve(rep->sig.size() + most);
  if (part != kTTAA && part != kTTCC) rep->wind.reserve(rep->wind.size() + most);
  GroupCursor c{r.groups, f};
  if (part == kTTAA || part == kTTCC) return decode_standard_part(c, upper, r, rep);
  if (part == kTTBB || part == kTTDD) return decode_significant_part(c, upper, r, rep);
  return decode_height_part(c, r, rep);
}

// What decoding a part may change in a report: it appends levels and notes and sets the
// surface. A part that is rejected or holds no level is taken back to the mark.
struct ReportMark {
  UPA_level sfc;
  std::size_t man, sig, wind, trop, mwnd, notes;
  explicit ReportMark(const ING_report& r)
      : sfc(r.sfc), man(r.man.size()), sig(r.sig.size()), wind(r.wind.size()),
        trop(r.trop.size()), mwnd(r.mwnd.size()), notes(r.notes.size()) {}
  void restore(ING_report* r) const {
    r->sfc = sfc;
    r->man.resize(man);
    r->sig.resize(sig);
    r->wind.resize(wind);
    r->trop.resize(trop);
    r->mwnd.resize(mwnd);
    r->notes.resize(notes);
  }
};

// Decodes the parts of one station and time, [first, last) of parts_, into one sounding,
// appended to `out` when a part gave a level; tallies in *c.
void TempReader::decode_station(std::int64_t now, PartsIt first, PartsIt last, ING_counts* c,
                                std::vector<ING_report>* out) const {
  const auto [wmo, day, hour, first_part] = first->first;
  (void)first_part;
  ING_report rep;
  rep.wmo = wmo;
  if (TEMP_date(day, hour, now, &rep.date) != 0) {
    rep.date = Date{IMISSING, IMISSING, day, IMISSING, IMISSING, hour, 0, 0};
  }
  bool pilot[kNumParts] = {};
  for (PartsIt it = first; it != last; ++it) pilot[std::get<3>(it->first)] = true;
  bool levels = false;
  for (PartsIt it = first; it != last; ++it) {
    const int part = std::get<3>(it->first);
    const ReportMark mark(rep);
    Fault f;
    if (!decode(part, it->second, &rep, &f) && f.truncated) {
      rep.notes.push_back(std::string(kPartName[part]) + " ends inside a level (group " +
                          std::to_string(f.index) + "): that level is incomplete");
    } else if (f.index >= 0) {
      ++c->rejected;
      MESS_print(kWarn, "Rejected %s of %05d day %02d %02dZ: group %d \"%s\" %s\n",
                 kPartName[part], wmo, day, hour, f.index, f.group.c_str(), f.why.c_str());
      mark.restore(&rep);
      continue;
    }
    // Winds of section 21212 only where no PILOT part gives them at fixed heights.
    if ((part == kTTBB && pilot[kPPBB]) || (part == kTTDD && pilot[kPPDD]))
      rep.wind.resize(mark.wind);
    if (f.levels == 0) {
      ++c->nil;  // e.g. only regional groups: no sounding
      MESS_print(kDebug, "No level in %s %05d %02d%02d\n", kPartName[part], wmo, day, hour);
      mark.restore(&rep);
      continue;
    }
    ++c->reports;
    MESS_print(kDebug, "Kept %s %05d %02d%02d\n", kPartName[part], wmo, day, hour);
    levels = true;
  }
  if (levels) out->push_back(std::move(rep));
}

// Decodes the station groups that begin at starts[from, to) (the last one ends at `end`).
void TempReader::decode_groups(std::int64_t now, std::span<const PartsIt> starts, std::size_t from,
                               std::size_t to, PartsIt end, ING_counts* c,
                               std::vector<ING_report>* out) const {
  for (std::size_t i = from; i < to; ++i)
    decode_station(now, starts[i], i + 1 < starts.size() ? starts[i + 1] : end, c, out);
}

void TempReader::finish(std::int64_t now, std::vector<ING_report>* out) {
  std::vector<PartsIt> starts;  // the first part of each station and time
  auto station_time = [](const Key& k) {
    return std::make_tuple(std::get<0>(k), std::get<1>(k), std::get<2>(k));
  };
  for (PartsIt it = parts_.begin(); it != parts_.end(); ++it)
    if (starts.empty() || station_time(starts.back()->first) != station_time(it->first))
      starts.push_back(it);
  const std::size_t n = starts.size();
  if (n < kDecodeSplitMin || ING_jobs() < 2) {
    for (std::size_t i = 0; i < n; ++i) {
      decode_groups(now, starts, i, i + 1, parts_.end(), &counts, out);
      // The parts of this station and time are done with: their memory serves the next.
      parts_.erase(starts[i], i + 1 < n ? starts[i + 1] : parts_.end());
    }
    return;
  }
  // Pieces of kStationsPerPiece stations, this thread's from the first on, the worker's
  // from the last back; the soundings and messages of the worker's follow, as one thread
  // makes them.
  const std::size_t pieces = (n + kStationsPerPiece - 1) / kStationsPerPiece;
  std::vector<std::vector<ING_report>> reps(pieces);
  std::vector<ING_counts> tallies(pieces);
  std::vector<std::vector<MESS_held>> held(pieces);
  auto first = [](std::size_t j) { return j * kStationsPerPiece; };
  auto last = [n](std::size_t j) { return std::min(n, (j + 1) * kStationsPerPiece); };
  auto here = [&](std::size_t j) {
    decode_groups(now, starts, first(j), last(j), parts_.end(), &counts, out);
  };
  auto there = [&](std::size_t j) {
    decode_groups(now, starts, first(j), last(j), parts_.end(), &tallies[j], &reps[j]);
  };
  for (std::size_t j = ING_share_ends(held, here, there); j < pieces; ++j) {
    MESS_release(held[j]);
    for (ING_report& r : reps[j]) out->push_back(std::move(r));
    counts.reports += tallies[j].reports;
    counts.nil += tallies[j].nil;
    counts.rejected += tallies[j].rejected;
  }
  parts_.clear();
}

}  // namespace

std::unique_ptr<ING_reader> TEMP_reader() { return std::make_unique<TempReader>(); }

int TEMP_decode_td(const char* grp, float* t, float* td) {
  return decode_td(grp ? grp : "", t, td);
}

int TEMP_decode_wind(const char* grp, bool knots, float* dir, float* spd) {
  return decode_wind(grp ? grp : "", knots, dir, spd);
}

int TEMP_decode_std(const char* grp, bool upper, float* p, float* h) {
  return decode_std(grp ? grp : "", upper, p, h);
}

int TEMP_date(int day, int hour, std::int64_t now, Date* date) {
  if (day < 1 || day > 31 || hour < 0 || hour > 23) return -1;
  time_t secs = static_cast<time_t>(now);
  Date cur;
  DATE_get_gmdate(&secs, &cur);
  int y = cur.year;
  int m = cur.month;
  if (day > cur.day && --m < 1) {
    m = 12;
    --y;
  }
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int tries = 0; tries < 12; ++tries) {
    int len = kDays[m - 1] + (m == 2 && DATE_is_leap(y) ? 1 : 0);
    if (day <= len) {
      DATE_init(date);
      date->year = y;
      date->month = m;
      date->day = day;
      date->hour = hour;
      date->min = 0;
      date->sec = 0;
      DATE_monday_julian(y, m, day, &date->jday);
      return 0;
    }
    if (--m < 1) {
      m = 12;
      --y;
    }
  }
  return -1;
}
