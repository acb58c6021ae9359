// Test support for the table component: a journal-like table ("TCJOU") with
// every kind of field, and lines to fill it with.

#ifndef QROLE_DATA_TABLE_COMPONENT_TEST_UTIL_H_
#define QROLE_DATA_TABLE_COMPONENT_TEST_UTIL_H_

#include <string>
#include <vector>

#include "data/data_test_util.h"
#include "data/table_component.h"
#include "gtest/gtest.h"
#include "qrole/error.h"

namespace qrole::data::test {

// Positions (codes in brackets where they differ):
//   1 FECHA date   2 CUENTA text 10   3 ASIENTO text 6   4 DESCRIPCION text 30
//   5 TIPO text 1   6 IMPORTE double   7 PORCENTAJE single   8 CONTADOR int16
//   9 NUMERO int32   10 REFERENCIA text 20 [22]   11 ASIENTO (DOC) CONTABLE text 6
//   12-26 PERIODOS double, 15 elements [12]   27 DOCUMENTO ADJUNTO long content [28]
//   28 NOTAS text 20 [30]
// Indexes: 1 = FECHA + ASIENTO, 2 = CUENTA + FECHA, 3 = ASIENTO + FECHA,
// 4 = REFERENCIA.
inline std::vector<FieldEntry> ComponentFields() {
  return {
      {5, 6, "FECHA", 1},
      {0, 10, "CUENTA", 2},
      {0, 6, "ASIENTO", 3},
      {0, 30, "DESCRIPCION", 4},
      {0, 1, "TIPO", 5},
      {3, 0, "IMPORTE", 6},
      {2, 0, "PORCENTAJE", 7},
      {1, 0, "CONTADOR", 8},
      {4, 0, "NUMERO", 9},
      {0, 20, "REFERENCIA", 22},
      {0, 6, "ASIENTO (DOC) CONTABLE", 11},
      {3, 0, "PERIODOS", 12, 15},
      {90, 0, "DOCUMENTO ADJUNTO", 28},
      {0, 20, "NOTAS", 30},
  };
}

inline std::vector<SegmentEntry> ComponentSegments() {
  return {
      {1, 1, 1, 6},   {1, 3, 1, 6},  // date + entry
      {2, 2, 1, 10},  {2, 1, 1, 6},  // account + date
      {3, 3, 1, 6},   {3, 1, 1, 6},  // entry + date
      {4, 10, 1, 20},                // reference
  };
}

inline constexpr int kComponentPositions = 28;

struct Line {
  std::string date;  // stored form
  std::string account;
  std::string entry;
  std::string description;
  double amount = 0;
  std::string reference;
};

// The lines most tests start from; record n is kLines[n - 1].
inline const std::vector<Line>& SampleLines() {
  static const std::vector<Line> lines = {
      {"B31231", "4300001", "000001", "Factura uno", 100.0, "R1"},
      {"B31231", "5720001", "000001", "Cobro", -100.0, "R1"},
      {"C40101", "4300003", "000002", "Factura dos", 250.5, "R2"},
      {"C40101", "4770001", "000002", "IVA", 52.6, "R2"},
      {"C40215", "4300002", "000003", "Factura tres", 75.0, "R3"},
      {"991231", "4300010", "000004", "Antigua", 10.0, "R4"},
      {"C40301", "6000001", "000005", "Compra", -33.3, ""},
      {"C40301", "4000001", "000005", "Proveedor", 33.3, ""},
  };
  return lines;
}

// Appends `line` through the component; returns its record number.
inline int32_t AddLine(TableComponent& t, const Line& line) {
  t.AddNew();
  t.SetField(1, 0, line.date);
  t.SetField(2, 0, line.account);
  t.SetField(3, 0, line.entry);
  t.SetField(4, 0, line.description);
  t.SetField(5, 0, line.amount < 0 ? "2" : "1");
  t.SetField(6, 0, line.amount);
  t.SetField(22, 0, line.reference);
  t.Update();
  return t.LastRecordNumber();
}

// The record numbers of the set, walked from MoveFirst.
inline std::vector<int32_t> Walk(TableComponent& t) {
  std::vector<int32_t> records;
  for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) records.push_back(t.RecordNumber());
  return records;
}

// Runs `fn` and returns the automation error it raised (number 0 when none).
template <class Fn>
AutomationError ErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const AutomationError& e) {
    return e;
  }
  return AutomationError(0, "", "");
}

}  // namespace qrole::data::test

#endif  // QROLE_DATA_TABLE_COMPONENT_TEST_UTIL_H_
