// The real binary runs on the embedded sample: help, a listing and a full analysis.

#include <gtest/gtest.h>

#include "run_parse.h"

// -h prints the description and the option summary and touches no file.
TEST(Program, HelpExitsZero) {
  e2e::Run r = e2e::run({"-h", "no_such_file.upa"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("ua_parse: This program reads data for an individual station,\n", 0), 0u)
      << r.out;
  EXPECT_NE(r.out.find("Input file names"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

// A batch run on the sample prints every table of the chosen station and ends with 0.
TEST(Program, SampleAnalysis) {
  e2e::Options opt;
  opt.cwd = ZUD_SAMPLE_DATA;
  e2e::Run r = e2e::run({"-ba", "-me", "out4", "-id", "OAX", "sample.upa"}, opt);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* heading : {"Station: OAX", "Sounding variables and indices", "Parcel Indices",
                              "Wind level data", "Wind Parameters", "Storm Parameters"})
    EXPECT_NE(r.out.find(heading), std::string::npos) << heading;
}
