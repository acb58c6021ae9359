// qrole-mkprogdir: builds the program directory the server ships.
//
//   qrole-mkprogdir SOURCE_DIR OUTPUT_DIR
//
// SOURCE_DIR is the repository's src/data. Writes into OUTPUT_DIR:
//   - a definition file (".QRA") per table of tables/tables.txt;
//   - "IVA03.QRF", the VAT types of program/vat_types.tsv (300 records);
//   - "Moneda.qrf" and "Moneda1.qrf", the currency tables of
//     program/currencies.tsv (10 records each);
//   - the chart templates "PLANC00", "PLANC01" and "PLANC02" (".QRD" with
//     their ".QRC") from charts/pgc1990.tsv, pgc2007.tsv and snc.tsv.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/currency_table.h"
#include "data/globals.h"
#include "data/message_table.h"
#include "data/record_file.h"
#include "data/record_update.h"
#include "data/table_source.h"
#include "platform/env.h"
#include "platform/text_encoding.h"

namespace {

using qrole::platform::Status;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "qrole-mkprogdir: %s\n", what.c_str());
  std::exit(1);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Die("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  Status s = qrole::platform::CurrentEnv()->Files().WriteAllAtomic(path, bytes);
  if (!s.ok()) Die("cannot write " + path + ": " + s.ToString());
}

// Non-comment lines of a TAB-separated file, split at TAB.
std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(ReadText(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    size_t start = 0;
    while (true) {
      size_t tab = line.find('\t', start);
      cells.push_back(
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(cells);
  }
  return rows;
}

std::string Padded(const std::string& utf8, size_t n) {
  std::string s = qrole::platform::Utf8ToCp1252(utf8);
  s.resize(n, ' ');
  return s;
}

std::string SingleBytes(float v) {
  std::string b(4, '\0');
  std::memcpy(b.data(), &v, 4);
  return b;
}

void WriteVatTypes(const std::string& src, const std::string& out) {
  std::string bytes(300 * 33, ' ');
  for (int r = 0; r < 300; ++r) {
    bytes.replace(static_cast<size_t>(r) * 33 + 25, 8, SingleBytes(0) + SingleBytes(0));
  }
  for (const auto& row : ReadTsv(src + "/program/vat_types.tsv")) {
    if (row.size() != 6) Die("vat_types.tsv: six columns expected");
    int code = std::stoi(row[0]);
    if (code < 1 || code > 300) Die("vat_types.tsv: code out of range");
    std::string rec = Padded(row[1], 21) + Padded(row[2], 2) + Padded(row[3], 2) +
                      SingleBytes(std::stof(row[4])) + SingleBytes(std::stof(row[5]));
    bytes.replace(static_cast<size_t>(code - 1) * 33, 33, rec);
  }
  WriteBytes(out + "/IVA03.QRF", bytes);
}

void WriteCurrencies(const std::string& src, const std::string& out) {
  std::map<std::string, std::vector<qrole::data::CurrencySlot>> files;
  for (const auto& row : ReadTsv(src + "/program/currencies.tsv")) {
    if (row.size() != 6) Die("currencies.tsv: six columns expected");
    auto& slots = files[row[0]];
    slots.resize(qrole::data::kCurrencySlots);
    int slot = std::stoi(row[1]);
    slots.at(static_cast<size_t>(slot)) = {row[2], row[3], std::stoi(row[4]), std::stod(row[5])};
  }
  for (const auto& [name, slots] : files) {
    std::string bytes;
    for (const auto& s : slots) bytes += qrole::data::EncodeCurrencyRecord(s);
    WriteBytes(out + "/" + name, bytes);
  }
}

void WriteChart(const std::string& tsv, const std::string& out, const std::string& number) {
  for (const char* ext : {".QRD", ".QRC", ".QRC-lock"})
    qrole::platform::CurrentEnv()->Files().Remove(out + "/PLANC" + number + ext).IgnoreError();
  Status s = qrole::data::OpenTableFile(1, "PLANC", 1, out, number);
  if (!s.ok()) Die("cannot open the chart " + number + ": " + s.ToString());
  qrole::data::Slot& slot = qrole::data::GetSlot(1);
  for (const auto& row : ReadTsv(tsv)) {
    if (row.size() != 2 || row[0].empty() || row[0].size() > 10) Die(tsv + ": bad line");
    slot.ClearValues();
    slot.SetText(1, row[0]);
    slot.SetText(2, row[1]);
    slot.SetText(3, std::to_string(row[0].size() < 5 ? row[0].size() : 5));
    for (int f = 1; f <= slot.num_fields(); ++f)
      if (f > 3 && slot.field(f).type != 0) slot.SetNumber(f, 0);
    s = qrole::data::AppendRecord(1);
    if (!s.ok()) Die("cannot append to the chart " + number + ": " + s.ToString());
  }
  qrole::data::CloseAllFiles();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) Die("usage: qrole-mkprogdir SOURCE_DIR OUTPUT_DIR");
  const std::string src = argv[1], out = argv[2];
  qrole::platform::CurrentEnv()->Files().CreateDirectories(out).IgnoreError();
  qrole::data::FillMessageTable();

  auto tables = qrole::data::ParseTableSource(ReadText(src + "/tables/tables.txt"));
  if (!tables.ok()) Die(tables.status().ToString());
  for (const auto& t : *tables) WriteBytes(out + "/" + t.name + ".QRA", EncodeDefinition(t));

  WriteVatTypes(src, out);
  WriteCurrencies(src, out);

  qrole::data::SetProgramDirectory(out);
  const std::pair<const char*, const char*> charts[] = {
      {"00", "pgc1990.tsv"}, {"01", "pgc2007.tsv"}, {"02", "snc.tsv"}};
  for (const auto& [number, file] : charts) WriteChart(src + "/charts/" + file, out, number);
  std::printf("qrole-mkprogdir: program directory ready in %s\n", out.c_str());
  return 0;
}
