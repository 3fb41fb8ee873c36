// Header check of classic netCDF files: sound headers of the three versions pass (and
// the netCDF library opens the same files, which confirms the test's own encoding), each
// kind of damage is refused with its reason, and a header cut at any byte is refused.
//
// The headers are written field by field from the published grammar of the classic
// format (Unidata, "The NetCDF Classic Format Specification").

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run_parse.h"
#include "tmpdir.h"
#include "zud.h"
#include "zudcdf.h"

namespace {

// What goes into the sample file; a test case spoils one field.
struct Fields {
  uint64_t numrecs = 2;
  uint32_t dim_tag = 0x0A;
  uint64_t ndims = 2;
  std::string dim0 = "station";  // the record dimension
  uint64_t dim0_len = 0;
  std::string dim1 = "level";
  uint64_t dim1_len = 3;
  uint32_t gatt_tag = 0x0C;
  uint64_t ngatts = 1;
  uint32_t att_type = 2;  // char
  uint64_t att_len = 3;   // value count written
  std::string att_value = "abc";
  uint32_t var_tag = 0x0B;
  uint64_t nvars = 2;
  std::vector<uint64_t> p_dims = {1};  // p(level), fixed size
  uint32_t p_type = 5;                 // float
  std::vector<uint64_t> lat_dims = {0};  // lat(station), a record variable
  int64_t p_begin_shift = 0;           // added to p's data offset
  int64_t file_extra = 0;              // bytes added to (or cut from) the whole file
};

// A sample file: its bytes, the length of its header and the offset at which each
// header field ends.
struct Sample {
  std::string bytes;
  size_t header = 0;
  std::vector<size_t> ends;
};

// Writes a file with the dimensions station (record) and level, a global attribute
// "title" (by default "abc") and the variables p(level) and lat(station): header, then p's 3
// floats, then 4 bytes of lat per record.
Sample write(int version, const Fields& f) {
  Sample s;
  auto mark = [&] { s.ends.push_back(s.bytes.size()); };
  auto u32 = [&](uint64_t x) {
    for (int sh = 24; sh >= 0; sh -= 8) s.bytes += static_cast<char>(x >> sh & 0xFF);
    mark();
  };
  auto u64 = [&](uint64_t x) {
    for (int sh = 56; sh >= 0; sh -= 8) s.bytes += static_cast<char>(x >> sh & 0xFF);
    mark();
  };
  auto count = [&](uint64_t x) { version == 5 ? u64(x) : u32(x); };
  auto offset = [&](uint64_t x) { version == 1 ? u32(x) : u64(x); };
  auto pad = [&] {
    while (s.bytes.size() % 4) s.bytes += '\0';
  };
  auto name = [&](const std::string& n) {
    count(n.size());
    s.bytes += n;
    pad();
    mark();
  };
  // The header length does not depend on the offsets' values: written once to learn it.
  uint64_t header = 0;
  for (int pass = 0; pass < 2; ++pass) {
    s = Sample{};
    s.bytes = std::string("CDF") + static_cast<char>(version);
    mark();
    count(f.numrecs);
    u32(f.dim_tag);
    count(f.ndims);
    name(f.dim0);
    count(f.dim0_len);
    name(f.dim1);
    count(f.dim1_len);
    u32(f.gatt_tag);
    count(f.ngatts);
    name("title");
    u32(f.att_type);
    count(f.att_len);
    s.bytes += f.att_value;
    pad();
    mark();
    u32(f.var_tag);
    count(f.nvars);
    name("p");
    count(f.p_dims.size());
    for (uint64_t d : f.p_dims) count(d);
    u32(0);  // no attributes
    count(0);
    u32(f.p_type);
    count(12);
    offset(static_cast<uint64_t>(static_cast<int64_t>(header) + f.p_begin_shift));
    name("lat");
    count(f.lat_dims.size());
    for (uint64_t d : f.lat_dims) count(d);
    u32(0);
    count(0);
    u32(5);
    count(4);
    offset(header + 12);
    header = s.bytes.size();
  }
  s.header = header;
  s.bytes.append(12 + 4 * 2, '\0');  // p, then lat of the two records
  if (f.file_extra < 0) {
    s.bytes.resize(s.bytes.size() - static_cast<size_t>(-f.file_extra));
  } else {
    s.bytes.append(static_cast<size_t>(f.file_extra), '\0');
  }
  return s;
}

int check(const std::string& bytes, std::string* why = nullptr) {
  return CDF_check_header(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                          bytes.size(), why);
}

constexpr int kVersions[] = {1, 2, 5};

}  // namespace

// Sound headers of each version pass, and the library opens the same bytes and reads the
// dimensions they declare.
TEST(CdfCheck, SoundHeadersOpen) {
  CDF_print_errors(0);
  for (int v : kVersions) {
    SCOPED_TRACE("CDF-" + std::to_string(v));
    const Sample s = write(v, Fields{});
    std::string why;
    EXPECT_EQ(check(s.bytes, &why), 0) << why;
    const std::string path = zud_test_tmpdir() + "sound" + std::to_string(v) + ".nc";
    e2e::spit(path, s.bytes);
    EXPECT_EQ(CDF_check_file(path.c_str(), &why), 0) << why;
    const int fd = CDF_open(path.c_str(), 0);
    ASSERT_NE(fd, -1);
    EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("level")), 3);
    EXPECT_EQ(CDF_get_dim_size(-1), 2);  // the record count written
    EXPECT_EQ(CDF_close(), 0);
  }
  CDF_print_errors(1);
}

// Every fixture the netCDF tools wrote passes, the one without records among them (its
// record variables begin past its end).
TEST(CdfCheck, LibraryWrittenFixturesPass) {
  for (const char* name : {"stations.nc", "metric.nc", "empty.nc", "shapes.nc", "caps.nc",
                           "neither.nc", "reports.nc", "short.nc"}) {
    std::string why;
    EXPECT_EQ(CDF_check_file((std::string(ZUD_BUILD_DATA) + "/" + name).c_str(), &why), 0)
        << name << ": " << why;
  }
}

// Bytes that are not classic netCDF are left to the library, whatever follows.
TEST(CdfCheck, OtherFilesPassThrough) {
  const std::string cases[] = {
      "",                                // empty
      "CDF",                             // too short for a version byte
      std::string("CDF\x03", 4) + "xx",  // no such version
      "\x89HDF\r\n\x1a\n",               // netCDF-4 (HDF5), another reader's business
      "CDF text that is no netCDF",      // version byte ' '
  };
  for (const std::string& c : cases) EXPECT_EQ(check(c), 0) << c;
  // Fewer bytes than the magic number of a longer file: the check asks for more.
  EXPECT_EQ(CDF_check_header(reinterpret_cast<const unsigned char*>("CDF"), 3, 100, nullptr), 1);
}

// Each kind of damage, in each version where it is damage, refused with its reason.
TEST(CdfCheck, DamageRefused) {
  struct Case {
    const char* what;
    std::function<void(Fields&)> spoil;
    const char* reason;  // part of the reason given
    bool cdf5_sound;     // the change is sound in CDF-5
  } cases[] = {
      {"dimension count of the crash file", [](Fields& f) { f.ndims = 0x4F435420; },
       "dimension list counts 1329812512, more than the file holds", false},
      {"variable count beyond the file", [](Fields& f) { f.nvars = 1000; },
       "variable list counts 1000", false},
      {"attribute count beyond the file", [](Fields& f) { f.ngatts = 100; },
       "global attribute list counts 100", false},
      {"absent list with a count", [](Fields& f) { f.gatt_tag = 0; },
       "global attribute list is marked absent", false},
      {"a list under another list's tag", [](Fields& f) { f.dim_tag = 0x0B; },
       "dimension list has a wrong tag", false},
      {"empty name", [](Fields& f) { f.dim1 = ""; }, "dimension 1 has an empty name", false},
      {"name longer than the library writes", [](Fields& f) { f.dim1 = std::string(257, 'x'); },
       "dimension 1 name is 257 bytes long", false},
      {"second record dimension", [](Fields& f) { f.dim1_len = 0; },
       "dimension 1 is a second record dimension", false},
      {"type 0", [](Fields& f) { f.att_type = 0; }, "unknown type 0", false},
      {"type 7, unsigned byte, only in CDF-5", [](Fields& f) { f.att_type = 7; },
       "global attribute 0 has an unknown type 7", true},
      {"type 12, beyond every version", [](Fields& f) { f.p_type = 12; },
       "variable 0 has an unknown type 12", false},
      {"attribute values beyond the file", [](Fields& f) { f.att_len = 1000; },
       "global attribute 0 values run past the end of the file", false},
      {"dimension id out of range", [](Fields& f) { f.p_dims = {2}; },
       "variable 0 names dimension 2 of 2", false},
      {"record dimension not first", [](Fields& f) { f.lat_dims = {1, 0}; },
       "variable 1 has the record dimension after its first", false},
      {"data offset inside the header", [](Fields& f) { f.p_begin_shift = -4; },
       "variable 0 data begins inside the header", false},
      {"data offset past the file", [](Fields& f) { f.p_begin_shift = 1000; },
       "variable 0 data begins past the end of the file", false},
      {"fixed-size data cut short", [](Fields& f) { f.p_begin_shift = 12 + 8 - 11; },
       "variable 0 data runs past the end of the file", false},
      {"fixed-size data larger than any file",
       [](Fields& f) {
         f.dim1_len = 0xFFFFFFFF;
         f.p_dims = {1, 1, 1};
       },
       "variable 0 is larger than any file", false},
  };
  for (int v : kVersions) {
    for (const Case& c : cases) {
      SCOPED_TRACE("CDF-" + std::to_string(v) + ": " + c.what);
      Fields f;
      c.spoil(f);
      std::string why;
      const int rc = check(write(v, f).bytes, &why);
      if (v == 5 && c.cdf5_sound) {
        EXPECT_EQ(rc, 0) << why;
      } else {
        EXPECT_EQ(rc, -1);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
      }
    }
  }
}

// A CDF-5 count is a signed 64-bit number: one with the sign bit set is refused, except
// a record count of all ones, which marks a file still being written (STREAMING).
TEST(CdfCheck, NegativeCountInCdf5) {
  Fields f;
  f.numrecs = 0x8000000000000000ULL;
  std::string why;
  EXPECT_EQ(check(write(5, f).bytes, &why), -1);
  EXPECT_EQ(why, "record count is negative");
  f.numrecs = UINT64_MAX;
  EXPECT_EQ(check(write(5, f).bytes, &why), 0) << why;
  f = Fields{};
  f.dim1_len = 0x8000000000000003ULL;
  EXPECT_EQ(check(write(5, f).bytes, &why), -1);
  EXPECT_EQ(why, "dimension 1 length is negative");
}

// A header cut at any byte (every field boundary among them) is refused when the file
// ends there, and asks for more when only the bytes before the cut are given of a
// longer file. Data cut inside the records is left to the library, which reads missing
// records as fill.
TEST(CdfCheck, CutHeaders) {
  for (int v : kVersions) {
    SCOPED_TRACE("CDF-" + std::to_string(v));
    const Sample s = write(v, Fields{});
    ASSERT_GT(s.ends.size(), 30u);  // every field of the header was marked
    EXPECT_EQ(s.ends.back(), s.header);
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.bytes.data());
    for (size_t cut = 4; cut < s.header; ++cut) {
      std::string why;
      EXPECT_EQ(CDF_check_header(bytes, cut, cut, &why), -1) << "file cut at " << cut;
      EXPECT_FALSE(why.empty()) << cut;
      EXPECT_EQ(CDF_check_header(bytes, cut, s.bytes.size(), nullptr), 1) << "given " << cut;
    }
    // Header complete, the 12 bytes of p not: damaged. Complete p, records cut: sound.
    for (size_t cut = s.header; cut < s.header + 12; ++cut)
      EXPECT_EQ(CDF_check_header(bytes, cut, cut, nullptr), -1) << "p cut at " << cut;
    for (size_t cut = s.header + 12; cut <= s.bytes.size(); ++cut)
      EXPECT_EQ(CDF_check_header(bytes, cut, cut, nullptr), 0) << "records cut at " << cut;
  }
}

// The file check reads a header longer than its first read of 64 KiB in full: a sound
// one passes and opens, and the same file cut inside the header is refused.
TEST(CdfCheck, LongHeaderFromFile) {
  Fields f;
  f.att_value = std::string(100000, 'x');  // a title of 100000 characters
  f.att_len = f.att_value.size();
  const Sample s = write(2, f);
  ASSERT_GT(s.header, 100000u);
  const std::string path = zud_test_tmpdir() + "long.nc";
  e2e::spit(path, s.bytes);
  std::string why;
  EXPECT_EQ(CDF_check_file(path.c_str(), &why), 0) << why;
  CDF_print_errors(0);
  const int fd = CDF_open(path.c_str(), 0);
  EXPECT_NE(fd, -1);
  if (fd != -1) CDF_close();
  CDF_print_errors(1);

  e2e::spit(path, s.bytes.substr(0, 80000));
  EXPECT_EQ(CDF_check_file(path.c_str(), &why), -1);
  EXPECT_EQ(why, "global attribute 0 values run past the end of the file");
}
