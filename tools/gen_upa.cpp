// gen_upa.cpp — writes a large converted upper-air file for speed and memory
// measurements of the sounding print program.
//
// One realistic station block is taken from an existing "ZUDUPA+" file (by default the
// first block of data/sample.upa) and written N times, each copy under an identifier of
// its own and with small perturbations of its groups: heights by a few metres,
// temperatures by up to 0.4 degC (their sign kept), wind speeds by a few knots. The line
// layout of the template is kept, so block skipping meets the same line structure as in
// real files. With -x the file is written in the "ZUDUPAx" layout, whose station tokens
// carry unique WMO numbers and the template's position.
//
// Usage: gen_upa [-n count] [-t template.upa] [-i ident] [-s seed] [-x] out.upa
// Prints the identifier of the last station written on the standard output.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultCount = 20000;        // stations written by default
constexpr int kMandatoryTriples = 16;       // 1000 to 10 mb
constexpr int kFirstWmo = 10000;            // WMO number of the first station (-x)
constexpr int kMaxWmo = 99999;              // largest five-digit WMO number
constexpr int kLetters = 26;                // identifier alphabet
constexpr int kThreeLetterIds = 26 * 26 * 26;  // identifiers of three letters

// What a token of a station block holds, for its perturbation.
enum class Role { station, height, temp, wind, other };

struct Token {
  std::string text;
  Role role = Role::other;
  bool line_end = false;  // a line break follows the token
};

// Reads the header, the date line and the blocks of a "ZUDUPA+" file, and returns the
// tokens of the block whose identifier is `ident` (the first block when empty).
bool read_template(const std::string& path, const std::string& ident, std::string* date,
                   std::vector<Token>* block) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line) || line.rfind("ZUDUPA", 0) != 0) {
    std::cerr << "gen_upa: " << path << " is no ZUDUPA+ file\n";
    return false;
  }
  if (!std::getline(in, *date)) return false;
  std::vector<Token> cur;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string w;
    bool any = false;
    while (words >> w) {
      cur.push_back(Token{w, Role::other, false});
      any = true;
    }
    if (any) cur.back().line_end = true;
    if (any && cur.back().text == "$") {
      if (ident.empty() || cur.front().text == ident) {
        *block = cur;
        return true;
      }
      cur.clear();
    }
  }
  std::cerr << "gen_upa: no station " << (ident.empty() ? "block" : ident) << " in " << path
            << "\n";
  return false;
}

// Marks the role of every token: the station token, the mandatory triples (and any
// above 10 mb), tropopause and maximum wind, significant pairs up to "X", wind pairs up
// to "$".
void assign_roles(std::vector<Token>* block) {
  auto& b = *block;
  size_t i = 0;
  b[i++].role = Role::station;
  auto triple = [&](bool height_first) {
    if (i < b.size()) b[i++].role = height_first ? Role::height : Role::other;
    if (i < b.size()) b[i++].role = Role::temp;
    if (i < b.size()) b[i++].role = Role::wind;
  };
  for (int t = 0; t < kMandatoryTriples; ++t) triple(true);
  while (i < b.size() && b[i].text[0] == '-') triple(true);
  triple(false);                                // tropopause 88PPP TTTdd dddff
  if (i < b.size()) b[i++].role = Role::other;  // 77PPP
  if (i < b.size()) b[i++].role = Role::wind;
  while (i < b.size() && b[i].text[0] != 'X') {  // significant PPP TTTdd
    b[i++].role = Role::other;
    if (i < b.size()) b[i++].role = Role::temp;
  }
  if (i < b.size()) ++i;  // the "X" that ends them
  while (i < b.size() && b[i].text[0] != '$') {  // wind HH dddff
    b[i++].role = Role::other;
    if (i < b.size()) b[i++].role = Role::wind;
  }
}

bool all_digits(const std::string& s) {
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return !s.empty();
}

// Three-digit or two-digit field of a group, zero-padded.
std::string field(int v, int width) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  return buf;
}

// A copy of the group with a small change of the quantity it holds; missing groups
// ("X", 999 temperatures and directions) stay as they are.
std::string perturb(const Token& t, std::mt19937& rng) {
  const std::string& s = t.text;
  if (s.size() != 5 || !all_digits(s)) return s;
  std::uniform_int_distribution<int> step(-2, 2);
  switch (t.role) {
    case Role::height: {  // PP hhh: a few metres (decametres aloft)
      int h = std::atoi(s.substr(2).c_str()) + step(rng);
      if (h < 0 || h > 999) return s;
      return s.substr(0, 2) + field(h, 3);
    }
    case Role::temp: {  // TTT dd: an even step keeps the tenths digit's parity (the sign)
      int ttt = std::atoi(s.substr(0, 3).c_str());
      if (ttt == 999) return s;
      int v = ttt + 2 * step(rng);
      if (v < 0 || v > 998) return s;
      return field(v, 3) + s.substr(3);
    }
    case Role::wind: {  // ddd ff: speed by a few knots, direction (and hundreds) kept
      int ddd = std::atoi(s.substr(0, 3).c_str());
      if (ddd == 999) return s;
      int ff = std::atoi(s.substr(3).c_str()) + step(rng);
      if (ff < 0 || ff > 99) return s;
      return s.substr(0, 3) + field(ff, 2);
    }
    default:
      return s;
  }
}

// Identifier number n: three letters AAA..ZZZ, then four letters.
std::string identifier(int n) {
  std::string id;
  int letters = n < kThreeLetterIds ? 3 : 4;
  if (letters == 4) n -= kThreeLetterIds;
  for (int k = 0; k < letters; ++k) {
    id.insert(id.begin(), static_cast<char>('A' + n % kLetters));
    n /= kLetters;
  }
  return id;
}

}  // namespace

int main(int argc, char** argv) {
  int count = kDefaultCount;
  std::string tmpl = "data/sample.upa";
  std::string ident;
  unsigned seed = 1;
  bool kind5 = false;
  std::string out_path;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-n" && i + 1 < argc) {
      count = std::atoi(argv[++i]);
    } else if (a == "-t" && i + 1 < argc) {
      tmpl = argv[++i];
    } else if (a == "-i" && i + 1 < argc) {
      ident = argv[++i];
    } else if (a == "-s" && i + 1 < argc) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "-x") {
      kind5 = true;
    } else if (!a.empty() && a[0] != '-' && out_path.empty()) {
      out_path = a;
    } else {
      std::cerr << "usage: gen_upa [-n count] [-t template.upa] [-i ident] [-s seed] [-x] out.upa\n";
      return 2;
    }
  }
  if (out_path.empty() || count < 1 || (kind5 && count > kMaxWmo - kFirstWmo + 1)) {
    std::cerr << "gen_upa: give an output file and a count of 1 to "
              << (kind5 ? kMaxWmo - kFirstWmo + 1 : 1 << 30) << "\n";
    return 2;
  }

  std::string date;
  std::vector<Token> block;
  if (!read_template(tmpl, ident, &date, &block)) return 1;
  assign_roles(&block);

  std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
  if (!out) {
    std::cerr << "gen_upa: cannot write " << out_path << "\n";
    return 1;
  }
  out << (kind5 ? "ZUDUPAx" : "ZUDUPA+") << "\n" << date << "\n";
  std::mt19937 rng(seed);
  std::string last;
  std::string text;
  for (int n = 0; n < count; ++n) {
    last = identifier(n);
    text.clear();
    for (size_t k = 0; k < block.size(); ++k) {
      const Token& t = block[k];
      if (t.role == Role::station) {
        // Kind 5: WMO number, identifier and a position near the template's centre.
        text += kind5 ? field(kFirstWmo + n, 5) + ":" + last + ":41.32:-96.37" : last;
      } else {
        text += perturb(t, rng);
      }
      text += t.line_end ? '\n' : ' ';
    }
    out << text;
  }
  out.close();
  if (!out) {
    std::cerr << "gen_upa: writing " << out_path << " failed\n";
    return 1;
  }
  std::cout << last << "\n";
  return 0;
}
