// cdf_check.cpp — the header check of classic netCDF files (CDF-1, the 64-bit-offset
// CDF-2 and the 64-bit-data CDF-5), run before the netCDF library is let near a file.
//
// The installed library trusts the counts of a classic header: a corrupted dimension,
// attribute or variable count makes it try to allocate tens of gigabytes, and one such
// failed allocation leaves it freeing a half-built table and crashing the process. The
// check walks the header as the format defines it (Unidata, "The NetCDF Classic Format
// Specification", netCDF Users Guide) and asks that every count, name, value list and
// data offset fit in the file, and that every type be one of the format's. A header
// that passes cannot make the library ask for more memory than the file holds bytes.
//
// The check is deliberately no stricter than files that the library itself writes:
// padding bytes and the stored variable sizes (which the library recomputes on reading)
// are not looked at, and record data may end short of the record count (a library
// reads missing records as fill values).

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zudcdf.h"

namespace {

// Tags and limits of the classic format.
constexpr uint32_t kTagAbsent = 0x00;     // ZERO: an empty list
constexpr uint32_t kTagDimension = 0x0A;  // NC_DIMENSION
constexpr uint32_t kTagVariable = 0x0B;   // NC_VARIABLE
constexpr uint32_t kTagAttribute = 0x0C;  // NC_ATTRIBUTE
constexpr uint64_t kMaxName = 256;        // NC_MAX_NAME: longest name the library writes
constexpr uint64_t kNameBytesMin = 4;     // a name of one character, padded

constexpr size_t kFirstRead = 1 << 16;  // header bytes read at first; most headers are smaller

// Bytes of one value of external type `type` in a file of version `version`; 0 when the
// type does not exist in that version. Types 1-6 are the classic ones (byte, char,
// short, int, float, double); CDF-5 adds 7-11 (ubyte, ushort, uint, int64, uint64).
uint64_t type_size(uint32_t type, int version) {
  constexpr uint64_t kSizes[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
  const uint32_t last = version == 5 ? 11 : 6;
  return type >= 1 && type <= last ? kSizes[type] : 0;
}

uint64_t padded(uint64_t n) { return (n + 3) / 4 * 4; }

// Why a walk stopped: a sound header, one that goes on past the bytes given, a damaged one.
enum class Stop { kSound, kMore, kDamaged };

// A cursor over the first `len` bytes of a file of `file_size` bytes. Every read is
// bounded by both; running past the bytes given (but not past the file) asks for more.
class Header {
 public:
  Header(const unsigned char* bytes, size_t len, uint64_t file_size, int version)
      : bytes_(bytes), len_(len), file_size_(file_size), version_(version) {}

  uint64_t pos() const { return pos_; }
  uint64_t file_size() const { return file_size_; }
  int version() const { return version_; }
  bool failed() const { return stop_ != Stop::kSound; }
  Stop stop() const { return stop_; }
  const std::string& why() const { return why_; }

  // Bytes left in the file after the cursor.
  uint64_t left() const { return file_size_ - pos_; }

  // Marks the header damaged with a reason (the first reason stays). Returns false.
  bool damaged(const std::string& why) {
    if (!failed()) {
      stop_ = Stop::kDamaged;
      why_ = why;
    }
    return false;
  }

  // Reads a big-endian unsigned integer of `n` bytes (4 or 8) into `v`.
  bool get(int n, uint64_t* v, const std::string& what) {
    if (failed()) return false;
    if (!skip_check(static_cast<uint64_t>(n), what)) return false;
    uint64_t x = 0;
    for (int i = 0; i < n; ++i) x = x << 8 | bytes_[pos_ + static_cast<uint64_t>(i)];
    pos_ += static_cast<uint64_t>(n);
    *v = x;
    return true;
  }

  // A 32-bit field (tags, types, and counts of CDF-1 and CDF-2).
  bool get32(uint64_t* v, const std::string& what) { return get(4, v, what); }

  // A count or length (NON_NEG): 32 bits unsigned, or in CDF-5 64 bits whose sign bit
  // must be clear.
  bool count(uint64_t* v, const std::string& what) {
    if (version_ != 5) return get(4, v, what);
    if (!get(8, v, what)) return false;
    return *v >> 63 == 0 || damaged(what + " is negative");
  }

  // A data offset: 32 bits in CDF-1, 64 in the others.
  bool offset(uint64_t* v, const std::string& what) {
    if (!get(version_ == 1 ? 4 : 8, v, what)) return false;
    return *v >> 63 == 0 || damaged(what + " is negative");
  }

  // Steps over `n` bytes that must lie in the file.
  bool skip(uint64_t n, const std::string& what) {
    if (failed() || !skip_check(n, what)) return false;
    pos_ += n;
    return true;
  }

 private:
  // True when `n` bytes from the cursor lie in the bytes given; otherwise records why
  // not (past the end of the file, or only past the bytes given).
  bool skip_check(uint64_t n, const std::string& what) {
    if (n > left()) return damaged(what + " runs past the end of the file");
    if (n > len_ - pos_) {
      // Past the bytes given but inside the file: the caller reads more and starts over.
      if (!failed()) stop_ = Stop::kMore;
      return false;
    }
    return true;
  }

  const unsigned char* bytes_;
  uint64_t len_;
  uint64_t file_size_;
  int version_;
  uint64_t pos_ = 0;
  Stop stop_ = Stop::kSound;
  std::string why_;
};

// Width of a list count and of a name length: 4 bytes, 8 in CDF-5.
uint64_t count_bytes(const Header& h) { return h.version() == 5 ? 8 : 4; }

// Reads a list's tag and count; `tag` is the one the list must carry when it is not
// empty. The count is held to the elements whose smallest encoding fits in the rest of
// the file, so no later step meets a count larger than the file can hold.
bool list_head(Header& h, uint32_t tag, uint64_t min_elem, const char* what, uint64_t* n) {
  uint64_t t = 0;
  const std::string list = std::string(what) + " list";
  if (!h.get32(&t, list + " tag") || !h.count(n, list + " count")) return false;
  if (t == kTagAbsent && *n != 0) return h.damaged(list + " is marked absent but counts " +
                                                   std::to_string(*n));
  if (t != kTagAbsent && t != tag) return h.damaged(list + " has a wrong tag");
  if (*n > h.left() / min_elem)
    return h.damaged(list + " counts " + std::to_string(*n) + ", more than the file holds");
  return true;
}

// A name: its length, then its characters padded to four bytes.
bool name(Header& h, const std::string& what) {
  uint64_t n = 0;
  if (!h.count(&n, what + " name length")) return false;
  if (n == 0) return h.damaged(what + " has an empty name");
  if (n > kMaxName) return h.damaged(what + " name is " + std::to_string(n) + " bytes long");
  return h.skip(padded(n), what + " name");
}

// An attribute list (global, or of a variable): name, type, count and values each.
bool attributes(Header& h, const std::string& owner) {
  // Smallest attribute: a one-character name, a type and a count of zero values.
  const uint64_t min_attr = count_bytes(h) + kNameBytesMin + 4 + count_bytes(h);
  uint64_t n = 0;
  if (!list_head(h, kTagAttribute, min_attr, (owner + " attribute").c_str(), &n)) return false;
  for (uint64_t i = 0; i < n; ++i) {
    const std::string what = owner + " attribute " + std::to_string(i);
    uint64_t type = 0, values = 0;
    if (!name(h, what) || !h.get32(&type, what + " type") ||
        !h.count(&values, what + " value count"))
      return false;
    const uint64_t size = type_size(static_cast<uint32_t>(type), h.version());
    if (size == 0) return h.damaged(what + " has an unknown type " + std::to_string(type));
    if (values > h.left() / size) return h.damaged(what + " values run past the end of the file");
    if (!h.skip(padded(values * size), what + " values")) return false;
  }
  return true;
}

struct Dimension {
  uint64_t length;  // 0 for the record dimension
};

struct Variable {
  uint64_t begin;     // offset of its data in the file
  uint64_t bytes;     // bytes of its data (of one record, for a record variable)
  bool record;        // runs along the record dimension
  std::string label;  // "variable N", for messages
};

// The dimension list: a name and a length each; at most one length is 0 (the record
// dimension).
bool dimensions(Header& h, std::vector<Dimension>* dims) {
  const uint64_t min_dim = count_bytes(h) + kNameBytesMin + count_bytes(h);
  uint64_t n = 0;
  if (!list_head(h, kTagDimension, min_dim, "dimension", &n)) return false;
  bool have_record = false;
  for (uint64_t i = 0; i < n; ++i) {
    const std::string what = "dimension " + std::to_string(i);
    uint64_t length = 0;
    if (!name(h, what) || !h.count(&length, what + " length")) return false;
    if (length == 0) {
      if (have_record) return h.damaged(what + " is a second record dimension");
      have_record = true;
    }
    dims->push_back({length});
  }
  return true;
}

// The variable list: name, dimension ids, attributes, type, size and data offset each.
// The data size is worked out from the dimensions; the record dimension may only come
// first.
bool variables(Header& h, const std::vector<Dimension>& dims, std::vector<Variable>* vars) {
  const uint64_t c = count_bytes(h);
  // Smallest variable: a short name, no dimensions, an empty attribute list, type, size
  // and offset.
  const uint64_t min_var = c + kNameBytesMin + c + 4 + c + 4 + c + (h.version() == 1 ? 4 : 8);
  uint64_t n = 0;
  if (!list_head(h, kTagVariable, min_var, "variable", &n)) return false;
  for (uint64_t i = 0; i < n; ++i) {
    Variable v{0, 1, false, "variable " + std::to_string(i)};
    const std::string& what = v.label;
    uint64_t rank = 0;
    if (!name(h, what) || !h.count(&rank, what + " dimension count")) return false;
    if (rank > h.left() / c) return h.damaged(what + " dimension ids run past the end of the file");
    bool overflow = false;
    for (uint64_t d = 0; d < rank; ++d) {
      uint64_t id = 0;
      if (!h.count(&id, what + " dimension id")) return false;
      if (id >= dims.size())
        return h.damaged(what + " names dimension " + std::to_string(id) + " of " +
                         std::to_string(dims.size()));
      const uint64_t len = dims[id].length;
      if (len == 0) {
        if (d != 0) return h.damaged(what + " has the record dimension after its first");
        v.record = true;
        continue;
      }
      if (len > UINT64_MAX / v.bytes) overflow = true;
      if (!overflow) v.bytes *= len;
    }
    uint64_t type = 0, vsize = 0;
    if (!attributes(h, what) || !h.get32(&type, what + " type") ||
        !h.count(&vsize, what + " size") || !h.offset(&v.begin, what + " data offset"))
      return false;
    const uint64_t size = type_size(static_cast<uint32_t>(type), h.version());
    if (size == 0) return h.damaged(what + " has an unknown type " + std::to_string(type));
    if (overflow || v.bytes > UINT64_MAX / size) return h.damaged(what + " is larger than any file");
    v.bytes *= size;
    vars->push_back(v);
  }
  return true;
}

// Walks the header after the magic number. The data of every variable must begin after
// the header, and that of a fixed-size variable must lie inside the file. Record data
// is not held to the file: a file without records ends at its header, and a library
// reads records cut short as fill values.
void walk(Header& h) {
  uint64_t numrecs = 0;
  std::vector<Dimension> dims;
  std::vector<Variable> vars;
  // The record count may be all ones (a file still being written: STREAMING).
  if (!h.skip(4, "magic number") || !h.get(static_cast<int>(count_bytes(h)), &numrecs,
                                           "record count"))
    return;
  if (h.version() == 5 && numrecs >> 63 != 0 && numrecs != UINT64_MAX) {
    h.damaged("record count is negative");
    return;
  }
  if (!dimensions(h, &dims) || !attributes(h, "global") || !variables(h, dims, &vars))
    return;
  const uint64_t end = h.pos();
  for (const Variable& v : vars) {
    if (v.begin < end) {
      h.damaged(v.label + " data begins inside the header");
      return;
    }
    if (v.record) continue;
    if (v.begin > h.file_size()) {
      h.damaged(v.label + " data begins past the end of the file");
      return;
    }
    if (v.bytes > h.file_size() - v.begin) {
      h.damaged(v.label + " data runs past the end of the file");
      return;
    }
  }
}

// Version byte of a classic file (1, 2 or 5), 0 when the bytes are not one.
int classic_version(const unsigned char* bytes, size_t len) {
  if (len < 4 || bytes[0] != 'C' || bytes[1] != 'D' || bytes[2] != 'F') return 0;
  return bytes[3] == 1 || bytes[3] == 2 || bytes[3] == 5 ? bytes[3] : 0;
}

}  // namespace

// The public functions are described in zudcdf.h.

int CDF_check_header(const unsigned char* bytes, size_t len, unsigned long long file_size,
                     std::string* why) {
  if (!bytes || len > file_size) return 0;
  if (len < 4 && file_size >= 4) return 1;  // the magic number itself is not all there
  const int version = classic_version(bytes, len);
  if (version == 0) return 0;
  Header h(bytes, len, file_size, version);
  walk(h);
  switch (h.stop()) {
    case Stop::kSound: return 0;
    case Stop::kMore: return 1;
    case Stop::kDamaged: break;
  }
  if (why) *why = h.why();
  return -1;
}

int CDF_check_file(const char* filename, std::string* why) {
  // Only regular files are read here: opening a named pipe would wait for a writer, or
  // take the bytes the library is to read. Anything else is left to the library, which
  // reports what it reports on such a file.
  struct stat st {};
  if (!filename || stat(filename, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 4) return 0;
  FILE* f = std::fopen(filename, "rb");
  if (!f) return 0;
  const auto size = static_cast<unsigned long long>(st.st_size);
  std::vector<unsigned char> head;
  int rc = 1;
  // A header longer than the first read is read again at twice the length, never past
  // the end of the file, so the buffer stays within the file's size. With the whole
  // file given the check cannot ask for more.
  for (size_t want = kFirstRead; rc == 1; want *= 2) {
    if (want > size) want = static_cast<size_t>(size);
    head.resize(want);
    if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(head.data(), 1, want, f) != want) {
      if (why) *why = "the file cannot be read";
      rc = -1;
    } else {
      rc = CDF_check_header(head.data(), want, size, why);
      if (rc == 1 && want == size) rc = 0;
    }
  }
  std::fclose(f);
  return rc;
}
